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

// The board changes shared by MakeMove and the game's PlayMove: squares, lists, material, castling
// rights, the fifty-move entry fiftyHistory[historyIndex] and the key of the pieces (not the side key, and
// the side to move is not switched). anyDoubleStepSetsEp: the game records every double step as an
// en-passant file, the search only one that an enemy pawn could take.
void ApplyMoveToBoard(const Move& move, int historyIndex, bool anyDoubleStepSetsEp);
// The reverse of ApplyMoveToBoard on squares, lists and material, with side already switched back to the
// mover (castling rights, epFile and key are restored by the caller).
void RetractMoveFromBoard(const Move& move);

}  // namespace kelb
