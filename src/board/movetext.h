// Coordinate move text: e2e4, e7e8q, castling as the king's move (e1g1).
#pragma once
#include <string>
#include <string_view>

#include "board/board.h"

namespace kelb {

std::string MoveToText(const Move& move);
// The legal move of the game position (legalMoves) whose text equals the input exactly; from = 0 if none.
Move ParseMoveText(std::string_view text);

}  // namespace kelb
