#include "board/attack.h"

#include "board/board.h"

namespace kelb {

// The probes and rays of one attacking side, unrolled with the steps as constants.
template <int BySide>
static inline bool AttackedBy(int square) {
  const auto& sq = Board.squares;
  constexpr int pawn = PieceCode(BySide, kPawn);
  constexpr int knight = PieceCode(BySide, kKnight);
  constexpr int bishop = PieceCode(BySide, kBishop);
  constexpr int rook = PieceCode(BySide, kRook);
  constexpr int queen = PieceCode(BySide, kQueen);
  constexpr int king = PieceCode(BySide, kKing);
  constexpr const int32_t* pawnFrom = BySide == kBlack ? blackPawnAttackers : whitePawnAttackers;

#pragma GCC unroll 2
  for (int i = 0; i < 2; ++i) {
    const int t = square + pawnFrom[i];
    if (sq[t] == pawn) {
      attackerSquare[Board.ply] = t;
      attackDirection[Board.ply] = 0;
      return true;
    }
  }
  const uint64_t* sets = Board.pieceSet;
  if (kAttackSets.king[square] & sets[king]) {
    attackDirection[Board.ply] = 0;
    return true;
  }
  if (kAttackSets.knight[square] & sets[knight]) {
    // The first knight in the order of the steps is the one recorded.
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
      const int t = square + knightSteps[i];
      if (sq[t] == knight) {
        attackerSquare[Board.ply] = t;
        attackDirection[Board.ply] = 0;
        return true;
      }
    }
  }
  const uint64_t diagonal = sets[bishop] | sets[queen], straight = sets[rook] | sets[queen];
  if (!((kAttackSets.anyDiagonal[square] & diagonal) | (kAttackSets.anyStraight[square] & straight)))
    return false;
    // Rays: walk over empty squares; the border numbers around the board are empty and off-board, so the
    // walk ends on them at the latest. The first piece met decides the direction.
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) {
    const int d = kingSteps[i];
    const int first = i < 4 ? bishop : rook;
    if (!(kAttackSets.ray[i][square] & (i < 4 ? diagonal : straight))) continue;
    int t = square + d;
    int code;
    while ((code = sq[t]) == kEmpty && onBoard[t]) t += d;
    if (code == first || code == queen) {
      attackerSquare[Board.ply] = t;
      attackDirection[Board.ply] = d;
      return true;
    }
  }
  return false;
}

bool IsAttacked(int square, int bySide) {
  return bySide == kWhite ? AttackedBy<kWhite>(square) : AttackedBy<kBlack>(square);
}

}  // namespace kelb
