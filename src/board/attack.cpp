#include "board/attack.h"

#include "board/board.h"

namespace kelb {

bool IsAttacked(int square, int bySide) {
  const auto& sq = Board.squares;
  const int ply = Board.ply;
  const int pawn = PieceCode(bySide, kPawn);
  const int32_t* pawnFrom = bySide == kBlack ? blackPawnAttackers : whitePawnAttackers;
  for (int i = 0; i < 2; ++i) {
    const int t = square + pawnFrom[i];
    if (sq[t] == pawn) {
      attackerSquare[ply] = t;
      attackDirection[ply] = 0;
      return true;
    }
  }
  const int kingCode = PieceCode(bySide, kKing);
  for (int i = 0; i < 8; ++i) {
    if (sq[square + kingSteps[i]] == kingCode) {
      attackDirection[ply] = 0;
      return true;
    }
  }
  const int knight = PieceCode(bySide, kKnight);
  for (int i = 0; i < 8; ++i) {
    const int t = square + knightSteps[i];
    if (sq[t] == knight) {
      attackerSquare[ply] = t;
      attackDirection[ply] = 0;
      return true;
    }
  }
  const int bishop = PieceCode(bySide, kBishop);
  const int rook = PieceCode(bySide, kRook);
  const int queen = PieceCode(bySide, kQueen);
  for (int i = 0; i < 4; ++i) {
    const int d = diagonalSteps[i];
    for (int t = square + d; onBoard[t]; t += d) {
      const int code = sq[t];
      if (code == kEmpty) continue;
      if (code == bishop || code == queen) {
        attackerSquare[ply] = t;
        attackDirection[ply] = d;
        return true;
      }
      break;
    }
  }
  for (int i = 0; i < 4; ++i) {
    const int d = straightSteps[i];
    for (int t = square + d; onBoard[t]; t += d) {
      const int code = sq[t];
      if (code == kEmpty) continue;
      if (code == rook || code == queen) {
        attackerSquare[ply] = t;
        attackDirection[ply] = d;
        return true;
      }
      break;
    }
  }
  return false;
}

}  // namespace kelb
