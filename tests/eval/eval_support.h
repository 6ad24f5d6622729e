// Setting up positions for the evaluation tests, and the colour-flipped twin of a FEN.
#pragma once
#include <random>
#include <string>

#include "board/board.h"
#include "eval/eval.h"

namespace kelb::test {

// Sets up a FEN position on the Board with its lists, material and key; false when refused.
bool SetUpFen(const std::string& fen);

// The position with ranks mirrored, colours exchanged, the other side to move, castling rights and
// en-passant square mirrored.
std::string FlipFen(const std::string& fen);

// One random legal move from the current Board, returned as the FEN after it (the Board is left as it
// was); empty when the side to move has no legal move.
std::string RandomMoveFen(std::mt19937& rng);

// Evaluate() of a FEN position (the position must be accepted).
int EvalFen(const std::string& fen);

// The evaluation context of a FEN position after the pawn terms.
EvalContext AfterPawns(const std::string& fen);

// The evaluation context of a FEN position after the pawn, blend and king terms.
EvalContext AfterKings(const std::string& fen);

}  // namespace kelb::test
