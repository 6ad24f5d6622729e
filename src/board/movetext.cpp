#include "board/movetext.h"

namespace kelb {

// Positions 1..8 file letters, 9..16 rank digits, 17 a blank, 18..29 the lower-case letter of piece
// code 1..12.
static constexpr char kMoveLetters[] = " abcdefgh12345678 pnbrqkpnbrqk";

std::string MoveToText(const Move& move) {
  std::string text;
  if (move.from == 0) return text;  // the null move has no text
  text += kMoveLetters[move.from / 10];
  text += kMoveLetters[8 + move.from % 10];
  text += kMoveLetters[move.to / 10];
  text += kMoveLetters[8 + move.to % 10];
  if (move.promotion != 0) text += kMoveLetters[17 + move.promotion];
  return text;
}

Move ParseMoveText(std::string_view text) {
  for (int k = 1; k <= legalMoveCount; ++k) {
    if (MoveToText(legalMoves[k]) == text) return legalMoves[k];
  }
  return Move{};
}

}  // namespace kelb
