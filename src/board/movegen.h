// Pseudo-legal move generation into the shared move buffer, with ordering scores (from the hash move,
// killers and history of search/ordering.h).
#pragma once
#include <cstdint>

#include "board/board.h"

namespace kelb {

// Squares to which a piece other than the king may move when in check.
extern SquareArray<uint8_t> evasionMask;
// Per square, the piece kinds (bit 1 << kind) that would give direct check to the enemy king from there.
extern SquareArray<uint8_t> checkMask;

// Appends the moves of the side to move for level makeDepth to moveBuffer and sets moveStart/moveCount of
// that level. capturesOnly keeps captures, en passant and queen promotions.
void GenerateMoves(bool capturesOnly);

}  // namespace kelb
