// Opening development while castling is still possible, and fixed piece patterns: bishop pair,
// rooks together, rooks shut in by their own king, knights and bishops trapped in the corners.
#include <cstdlib>

#include "eval/eval.h"

namespace kelb {

// Development of one side, squares read from its own side of the board (a template on the side, so that
// every mirrored square is a constant; the same for the patterns below).
template <int side>
static int Development() {
  auto at = [](int file, int rank) { return Board.squares[RelativeSquare(side, file, rank)]; };
  auto occupied = [&](int file, int rank) { return at(file, rank) != kEmpty; };
  const int enemy = 1 - side;
  const int queen = Own(side, kQueen), bishop = Own(side, kBishop), knight = Own(side, kKnight);
  const int pawn = Own(side, kPawn), enemyPawn = Enemy(side, kPawn);
  int v = 0;

  if (at(4, 1) == queen) {  // d1
    if (occupied(3, 2)) v -= 6;
    if (occupied(5, 2)) v -= 3;
  }
  if (at(3, 1) == bishop && occupied(2, 2) && occupied(4, 2)) v -= 10;
  if (at(6, 1) == bishop && occupied(5, 2) && occupied(7, 2)) v -= 10;
  if (at(2, 1) == knight && occupied(3, 3) && occupied(4, 2)) v -= 7;
  if (at(7, 1) == knight && occupied(6, 3) && occupied(5, 2)) v -= 7;

  // Early queen sorties, judged by the first queen slot.
  const int q = Board.queens[side][1];
  if (q != 0) {
    const int qr = RelativeRank(side, rankOf[q]);
    const int enemyMaterial = Board.pieceMaterial[enemy];
    if ((qr == 3 || qr == 6) && enemyMaterial > 2500) v -= 9;
    if (qr == 4 || qr == 5) {
      if (at(2, 8) == Enemy(side, kKnight))
        v -= q == RelativeSquare(side, 4, 4) ? 37 : 30;
      else if (enemyMaterial > 2500)
        v -= 18;
    }
  }

  // Knight in front of the c-pawn.
  if (at(3, 2) == pawn && at(3, 3) == knight) v -= (at(4, 4) == pawn || at(4, 5) == enemyPawn) ? 15 : 6;
  // Centre pawns blocked on their home squares.
  if (at(4, 2) == pawn && occupied(4, 3)) v -= at(3, 1) == bishop ? 15 : 2;
  if (at(5, 2) == pawn && occupied(5, 3)) v -= at(6, 1) == bishop ? 15 : 2;

  // Gambit pawn: the enemy's extra pawn on our c4 while his king side sleeps.
  if (at(6, 1) == bishop && at(7, 2) == pawn && at(3, 4) == enemyPawn &&
      (at(6, 8) == Enemy(side, kBishop) || at(7, 8) == Enemy(side, kKnight))) {
    if (at(2, 5) == enemyPawn) {
      if (at(1, 4) == pawn)
        v += 77;
      else if (at(3, 6) == enemyPawn || at(3, 7) == enemyPawn)
        v += 42;
      else
        v += 82;
    } else {
      v += 65;
    }
    if (at(5, 3) == pawn) v += 7;
  }
  return v;
}

void ScoreDevelopment(EvalContext& e) {
  if (Board.queenSideLost[kWhite] && Board.kingSideLost[kWhite] && Board.queenSideLost[kBlack] &&
      Board.kingSideLost[kBlack])
    return;
  e.whiteScore += Development<kWhite>();
  e.blackScore += Development<kBlack>();
}

template <int side>
static int PiecePatterns(const EvalContext& e) {
  auto at = [](int file, int rank) { return Board.squares[RelativeSquare(side, file, rank)]; };
  const int enemy = 1 - side;
  const int rook = Own(side, kRook), knight = Own(side, kKnight), bishop = Own(side, kBishop);
  const int enemyPawn = Enemy(side, kPawn);
  const int king = Board.king[side];
  int v = 0;

  const int r1 = Board.rooks[side][1], r2 = Board.rooks[side][2];
  if (r1 != 0 && r2 != 0) {
    const int rank1 = RelativeRank(side, rankOf[r1]), rank2 = RelativeRank(side, rankOf[r2]);
    if (rank1 == 7 && rank2 == 7 && RelativeRank(side, rankOf[Board.king[enemy]]) == 8) v += 8;
    if (rank1 == 1 && rank2 == 1) v += std::abs(fileOf[r1] - fileOf[r2]);
  }
  if (Board.bishops[side][1] != 0 && Board.bishops[side][2] != 0) v += 30;

  // Rooks shut in by their own king behind unmoved pawns (the king's square decides first: no other term
  // has a side effect, so the order of the tests changes nothing); most kings stand on none of the four.
  const uint64_t shutInKings = SquareBit(RelativeSquare(side, 2, 1)) | SquareBit(RelativeSquare(side, 3, 1)) |
                               SquareBit(RelativeSquare(side, 6, 1)) | SquareBit(RelativeSquare(side, 7, 1));
  if (SquareBit(king) & shutInKings) {
    if ((king == RelativeSquare(side, 2, 1) || king == RelativeSquare(side, 3, 1)) &&
        ((at(1, 1) == rook && OwnRear(e, side, 1) < 5) || (at(2, 1) == rook && OwnRear(e, side, 2) < 5)))
      v -= 65;
    if ((king == RelativeSquare(side, 7, 1) || king == RelativeSquare(side, 6, 1)) &&
        ((at(8, 1) == rook && OwnRear(e, side, 8) < 5) || (at(7, 1) == rook && OwnRear(e, side, 7) < 5)))
      v -= 65;
  }

  // Knights and bishops trapped in the enemy's corners; most positions have no piece there to look at.
  const uint64_t cornerKnights =
      SquareBit(RelativeSquare(side, 1, 8)) | SquareBit(RelativeSquare(side, 8, 8));
  const uint64_t cornerBishops =
      SquareBit(RelativeSquare(side, 1, 7)) | SquareBit(RelativeSquare(side, 8, 7));
  if ((Board.pieceSet[knight] & cornerKnights) | (Board.pieceSet[bishop] & cornerBishops)) {
    if (at(1, 8) == knight && (at(1, 7) == enemyPawn || at(3, 7) == enemyPawn)) v -= 80;
    if (at(8, 8) == knight && (at(8, 7) == enemyPawn || at(6, 7) == enemyPawn)) v -= 80;
    if (at(1, 7) == bishop && at(2, 6) == enemyPawn) v -= 150;
    if (at(8, 7) == bishop && at(7, 6) == enemyPawn) v -= 150;
  }
  return v;
}

void ScorePiecePatterns(EvalContext& e) {
  e.whiteScore += PiecePatterns<kWhite>(e);
  e.blackScore += PiecePatterns<kBlack>(e);
}

}  // namespace kelb
