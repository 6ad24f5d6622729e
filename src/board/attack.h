// Whether a square is attacked by a side, recording where the attack comes from for check evasion.
#pragma once

#include "board/board.h"

namespace kelb {

// True when a piece of bySide attacks the square (its own content is not looked at). On a hit it records the
// attacker in attackerSquare[ply] and, for a slider, the step towards it in attackDirection[ply] (0 for
// pawns, knights and the king; a king hit leaves attackerSquare[ply] as it was).
bool IsAttacked(int square, int bySide);

// Called right after MakeMove: true when the move left the mover's own king attacked. The same answer as
// IsAttacked on that king, found cheaply when the mover was not in check before the move: then only a
// line through the square the piece left can have opened, so a piece off every line of its king cannot
// expose it and a piece on one needs a look along that line only. King moves, en passant (two squares
// empty) and moves out of check get the full test, which alone records the attacker.
inline bool MoveLeftKingAttacked(const Move& move, bool wasInCheck) {
  const int mover = Board.xside;
  const int king = Board.king[mover];
  if (wasInCheck || move.piece == PieceCode(mover, kKing) || MoveKind(move) == kEnPassant)
    return IsAttacked(king, Board.side);
  const int from = move.from;
  const int df = fileOf[from] - fileOf[king], dr = rankOf[from] - rankOf[king];
  int step;
  bool diagonal;
  if (df == 0) {
    step = dr > 0 ? 1 : -1;
    diagonal = false;
  } else if (dr == 0) {
    step = df > 0 ? 10 : -10;
    diagonal = false;
  } else if (df == dr || df == -dr) {
    step = (df > 0 ? 10 : -10) + (dr > 0 ? 1 : -1);
    diagonal = true;
  } else {
    return false;
  }
  const auto& sq = Board.squares;
  int t = king + step;
  int code;
  while ((code = sq[t]) == kEmpty && onBoard[t]) t += step;
  const int enemy = Board.side;
  return code == PieceCode(enemy, kQueen) || code == PieceCode(enemy, diagonal ? kBishop : kRook);
}

}  // namespace kelb
