// Endings without pawns: drawn material balances, driving a bare king to the edge (to the bishop's
// corner in the bishop-and-knight mate), and compression of small advantages toward a draw.
#include <cstdlib>

#include "eval/eval.h"

namespace kelb {

// Two minors against at most a rook: only the bishop pair, or bishop and knight against a bare king,
// make progress. With bishop and knight the bare king is driven to a corner of the bishop's shade:
// |rank - file| is 7 at a8 and h1, 0 on the a1-h8 diagonal. Shades are absolute, whoever owns the bishop.
static int MinorPairAdjustment(int side, int lightBishops, int darkBishops, int enemyBishops, bool& drawn) {
  drawn = false;
  if (Board.pieceMaterial[side] != 600 || Board.pieceMaterial[1 - side] > 500) return 0;
  if (lightBishops == 2 || darkBishops == 2 || lightBishops + darkBishops == 0) {
    drawn = true;
    return 0;
  }
  if (lightBishops == 1 && darkBishops == 1) return enemyBishops == 0 ? 60 : 0;
  if (Board.pieceMaterial[1 - side] != 0) return 0;
  const int bareKing = Board.king[1 - side];
  const int diagonalGap = 30 * std::abs(rankOf[bareKing] - fileOf[bareKing]);
  return lightBishops == 1 ? diagonalGap : -diagonalGap;
}

int EvaluatePawnless() {
  if (Board.pieceMaterial[kWhite] <= 300 && Board.pieceMaterial[kBlack] <= 300) return 0;
  int w = Board.pieceMaterial[kWhite], b = Board.pieceMaterial[kBlack];

  int light[2] = {0, 0}, dark[2] = {0, 0};
  for (int side = kWhite; side <= kBlack; side++)
    for (int i = 1; i <= Board.bishopCount[side]; i++) {
      int s = Board.bishops[side][i];
      if (s == 0) continue;
      if (side == kWhite)
        w -= 50;
      else
        b -= 50;
      if ((fileOf[s] - rankOf[s]) % 2 == 0)
        dark[side]++;
      else
        light[side]++;
    }

  bool drawn = false;
  w += MinorPairAdjustment(kWhite, light[kWhite], dark[kWhite], light[kBlack] + dark[kBlack], drawn);
  if (drawn) return 0;
  b += MinorPairAdjustment(kBlack, light[kBlack], dark[kBlack], light[kWhite] + dark[kWhite], drawn);
  if (drawn) return 0;

  const int wk = Board.king[kWhite], bk = Board.king[kBlack];
  w += 2 * KingCentre(wk);
  b += 2 * KingCentre(bk);

  // The stronger side drives a bare king to the edge and brings its own king close; the test on
  // the second side sees the first side's corrected value.
  const int d = std::abs(fileOf[wk] - fileOf[bk]) + std::abs(rankOf[wk] - rankOf[bk]);
  if (b < w) {
    if (Board.pieceMaterial[kBlack] == 0)
      w += 4000 - 2 * KingCentre(bk) - 4 * d;
    else
      w -= 4 * d;
  }
  if (w < b) {
    if (Board.pieceMaterial[kWhite] == 0)
      b += 4000 - 2 * KingCentre(wk) - 4 * d;
    else
      b -= 4 * d;
  }

  // Knights belong in the centre.
  for (int side = kWhite; side <= kBlack; side++)
    for (int i = 1; i <= Board.knightCount[side]; i++) {
      int s = Board.knights[side][i];
      if (s == 0) continue;
      if (side == kWhite)
        w += KingCentre(s) - 100;
      else
        b += KingCentre(s) - 100;
    }

  int s = w - b;
  if (s >= -350 && s <= -251)
    s = 3 * s + 700;
  else if (s >= -250 && s <= 250)
    s = s / 5;
  else if (s >= 251 && s <= 350)
    s = 3 * s - 700;
  return Board.side == kWhite ? -s : s;
}

}  // namespace kelb
