// Making and unmaking moves and null moves on the Board, fully incremental.
#pragma once

#include "board/board.h"

namespace kelb {

// Plays the move (the record must stay unchanged until its unmake); the opponent is then to move.
void MakeMove(Move& move);
// Exactly undoes the last MakeMove of that record.
void UnmakeMove(const Move& move);
// Passes the turn; the null record is stored as the first record of the current level.
void MakeNullMove();
void UnmakeNullMove();

}  // namespace kelb
