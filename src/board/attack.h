// Whether a square is attacked by a side, recording where the attack comes from for check evasion.
#pragma once

#include "board/board.h"

namespace kelb {

// Where a knight, a king or a slider along each direction (as in kingSteps) must stand to reach a square,
// as sets: a probe or a walk whose set holds no such piece of the attacker cannot hit and is skipped.
struct AttackSets {
  SquareArray<uint64_t> knight, king, anyDiagonal, anyStraight;
  SquareArray<uint64_t> ray[8];
};
constexpr AttackSets MakeAttackSets() {
  AttackSets t{};
  for (int s = 11; s <= 88; ++s) {
    if (!onBoard[s]) continue;
    for (int i = 0; i < 8; ++i) {
      t.knight[s] |= SquareBit(s + knightSteps[i]);
      t.king[s] |= SquareBit(s + kingSteps[i]);
      for (int x = s + kingSteps[i]; onBoard[x]; x += kingSteps[i]) t.ray[i][s] |= SquareBit(x);
      (i < 4 ? t.anyDiagonal : t.anyStraight)[s] |= t.ray[i][s];
    }
  }
  return t;
}
inline constexpr AttackSets kAttackSets = MakeAttackSets();

// True when a piece of bySide attacks the square (its own content is not looked at). On a hit it records the
// attacker in attackerSquare[ply] and, for a slider, the step towards it in attackDirection[ply] (0 for
// pawns, knights and the king; a king hit leaves attackerSquare[ply] as it was).
bool IsAttacked(int square, int bySide);

// The line between two squares by their file and rank differences, as fileOf and rankOf give them (0 for a
// border number, so each difference lies in -8..8): entry 32 * dr + df + kLineCentre holds the step and
// whether the line is a diagonal. The check tests ask for it after nearly every move; one look-up replaces
// the comparisons of the differences.
namespace detail {
inline constexpr int kLineCentre = 8 * 32 + 8;
struct LineTable {
  int8_t step[2 * kLineCentre + 1];
  bool diagonal[2 * kLineCentre + 1];
  int16_t coordinate[110];  // 32 * rankOf + fileOf
};
constexpr LineTable MakeLineTable() {
  LineTable t{};
  for (int s = 0; s < 110; ++s) t.coordinate[s] = static_cast<int16_t>(32 * rankOf[s] + fileOf[s]);
  for (int dr = -8; dr <= 8; ++dr)
    for (int df = -8; df <= 8; ++df) {
      const int i = 32 * dr + df + kLineCentre;
      if (df == 0) {
        t.step[i] = static_cast<int8_t>(dr > 0 ? 1 : dr < 0 ? -1 : 0);
      } else if (dr == 0) {
        t.step[i] = static_cast<int8_t>(df > 0 ? 10 : -10);
      } else if (df == dr || df == -dr) {
        t.step[i] = static_cast<int8_t>((df > 0 ? 10 : -10) + (dr > 0 ? 1 : -1));
        t.diagonal[i] = true;
      }
    }
  return t;
}
inline constexpr LineTable kLineTable = MakeLineTable();
}  // namespace detail

// The step from `from` towards `to` (squares 0..109) along a rank, file or diagonal (0 when they share
// none), and whether the line is a diagonal.
inline int LineStep(int from, int to, bool& diagonal) {
  const int i = detail::kLineTable.coordinate[to] - detail::kLineTable.coordinate[from] + detail::kLineCentre;
  diagonal = detail::kLineTable.diagonal[i];
  return detail::kLineTable.step[i];
}

// A slider of bySide attacks the king through the square `opened` (the king standing on a line with it):
// the first piece beyond the king's neighbours on that line decides.
inline bool LineThroughAttacked(int king, int opened, int bySide) {
  bool diagonal;
  const int step = LineStep(king, opened, diagonal);
  if (step == 0) return false;
  // No slider of bySide that moves along the line stands anywhere on it: nothing to walk.
  // kStepDirection[step + 11]: the index in kingSteps of a step -11..11 (unused for others).
  static constexpr int8_t kStepDirection[23] = {0, 4, 1, 0, 0, 0, 0, 0, 0, 0, 5, 0,
                                                6, 0, 0, 0, 0, 0, 0, 0, 2, 7, 3};
  const uint64_t sliders = Board.pieceSet[PieceCode(bySide, kQueen)] |
                           Board.pieceSet[PieceCode(bySide, diagonal ? kBishop : kRook)];
  if (!(kAttackSets.ray[kStepDirection[step + 11]][king] & sliders)) return false;
  const auto& sq = Board.squares;
  int t = king + step;
  int code;
  while ((code = sq[t]) == kEmpty && onBoard[t]) t += step;
  return code == PieceCode(bySide, kQueen) || code == PieceCode(bySide, diagonal ? kBishop : kRook);
}

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
  return LineThroughAttacked(king, move.from, Board.side);
}

// Whether the side to move is in check after the opponent's last move `last`: the same answer as
// IsAttacked on its king, and IsAttacked is what records the attacker whenever the answer is yes. The king
// was not attacked before that move (the move before it was legal), so after a plain move only the piece
// that moved or a line through the square it left can attack it; castling, en passant, promotions and
// king moves get the full test.
inline bool InCheckAfter(const Move& last) {
  const int side = Board.side, enemy = Board.xside;
  const int king = Board.king[side];
  const int piece = last.piece, to = last.to;
  const int kind = pieceType[piece];
  if (MoveKind(last) != kNormalMove || last.promotion != 0 || kind == kKing) return IsAttacked(king, enemy);
  bool attacks;
  if (kind == kPawn) {
    attacks = enemy == kWhite ? (king == to + 11 || king == to - 9) : (king == to - 11 || king == to + 9);
  } else if (kind == kKnight) {
    attacks = (kAttackSets.knight[king] & SquareBit(to)) != 0;
  } else {
    bool diagonal;
    const int step = LineStep(to, king, diagonal);
    attacks = false;
    if (step != 0 && (kind == kQueen || diagonal == (kind == kBishop))) {
      int t = to + step;
      while (t != king && Board.squares[t] == kEmpty) t += step;
      attacks = t == king;
    }
  }
  if (attacks || LineThroughAttacked(king, last.from, enemy)) return IsAttacked(king, enemy);
  return false;
}

}  // namespace kelb
