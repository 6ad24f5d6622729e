// Pawn structure: placement, threats, doubling, support, weaknesses, passed pawns with the kings and
// rooks around them, candidates and the spread of pawns in pawn endings.
#include <cstdlib>

#include "eval/eval.h"

namespace kelb {

// [8 - rank][file - 1], for White; Black reads its own rank 9 - r.
static constexpr int8_t kPawnSquareTable[8][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},      // 8
    {1, 1, 3, 3, 3, 3, 1, 1},      // 7
    {1, 7, 9, 11, 11, 9, 7, 1},    // 6
    {1, 8, 12, 27, 27, 12, 8, 1},  // 5
    {1, 8, 20, 24, 24, 20, 8, 1},  // 4
    {1, 8, 11, 16, 16, 11, 8, 1},  // 3
    {1, 2, 3, 11, 11, 3, 2, 1},    // 2
    {0, 0, 0, 0, 0, 0, 0, 0},      // 1
};

// By d + 4, d = neighbour's rank - own rank (relative) in -4..+2; other d give 0.
static constexpr int8_t kPawnSupportTable[7] = {2, 4, 7, 10, 6, 3, 1};

// By relative rank 0..8 (entries outside 2..7 unused).
static constexpr int8_t kPassedPawnBonus[9] = {0, 0, 11, 12, 19, 35, 58, 80, 0};
static constexpr int8_t kPassedPawnBlock[9] = {0, 0, 2, 3, 4, 10, 14, 21, 0};
static constexpr int8_t kPawnAdvanceBonus[9] = {0, 0, 16, 16, 19, 22, 25, 0, 0};

// By the piece code on a square attacked by a pawn of the side [side][code].
static constexpr int8_t kPawnThreatTable[2][13] = {
    {0, 0, 0, 0, 0, 0, 0, /* black */ 0, 14, 14, 16, 16, 0},
    {0, /* white */ 0, 14, 14, 16, 16, 0, 0, 0, 0, 0, 0, 0},
};

// [6 - ranks the king stands ahead of the pawn][king file - pawn file + 7].
static constexpr int8_t kKingPasserTable[13][15] = {
    {0, 0, 1, 3, 4, 6, 7, 7, 7, 6, 4, 3, 1, 0, 0},       // +6
    {0, 0, 3, 5, 6, 8, 9, 9, 9, 8, 6, 5, 3, 0, 0},       // +5
    {0, 0, 3, 6, 8, 10, 11, 11, 11, 10, 8, 6, 3, 0, 0},  // +4
    {0, 0, 3, 6, 9, 12, 13, 13, 13, 12, 9, 6, 3, 0, 0},  // +3
    {0, 0, 3, 6, 9, 13, 15, 15, 15, 13, 9, 6, 3, 0, 0},  // +2
    {0, 0, 3, 6, 9, 13, 20, 20, 20, 13, 9, 6, 3, 0, 0},  // +1
    {0, 0, 3, 6, 9, 12, 16, 0, 16, 12, 9, 6, 3, 0, 0},   // 0
    {0, 0, 0, 0, 2, 2, 10, 11, 10, 2, 2, 0, 0, 0, 0},    // -1
    {0, 0, 0, 0, 0, 0, 2, 2, 2, 0, 0, 0, 0, 0, 0},       // -2
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},       // -3
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},       // -4
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},       // -5
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},       // -6
};

static inline int Support(int d) { return d >= -4 && d <= 2 ? kPawnSupportTable[d + 4] : 0; }

// Value of `side`'s king on `kingSquare` near a passer of `side` on file f, relative rank r.
static inline int KingPasser(int side, int kingSquare, int f, int r) {
  int ahead = RelativeRank(side, rankOf[kingSquare]) - r;
  return kKingPasserTable[6 - ahead][fileOf[kingSquare] - f + 7];
}

static inline bool IsPieceOrKing(int code, int side) {  // a knight..king of `side`
  return code != kEmpty && code != PieceCode(side, kPawn) &&
         (side == kWhite ? isWhitePiece[code] : isBlackPiece[code]);
}

// The file arrays, from one pass over both pawn lists.
static void FillPawnFiles(EvalContext& e) {
  for (int f = 0; f < 10; f++) {
    e.whiteRear[f] = e.whiteRear2[f] = 9;
    e.blackRear[f] = e.blackRear2[f] = 0;
  }
  for (int i = 1; i <= kMaxPawnSlots; i++) {
    int s = Board.pawns[kWhite][i];
    if (s == 0) continue;
    int f = fileOf[s], r = rankOf[s];
    if (r < e.whiteRear[f]) {
      e.whiteRear2[f] = e.whiteRear[f];
      e.whiteRear[f] = r;
    } else if (r < e.whiteRear2[f]) {
      e.whiteRear2[f] = r;
    }
  }
  for (int i = 1; i <= kMaxPawnSlots; i++) {
    int s = Board.pawns[kBlack][i];
    if (s == 0) continue;
    int f = fileOf[s], r = rankOf[s];
    if (r > e.blackRear[f]) {
      e.blackRear2[f] = e.blackRear[f];
      e.blackRear[f] = r;
    } else if (r > e.blackRear2[f]) {
      e.blackRear2[f] = r;
    }
  }
}

// One pawn of `side` on square s (a template so that each colour's mirror folds at compile time).
template <int side>
static void ScorePawn(EvalContext& e, int s) {
  const int enemy = 1 - side;
  const int ownPawn = Own(side, kPawn), enemyPawn = Enemy(side, kPawn);
  const int f = fileOf[s], r = RelativeRank(side, rankOf[s]);
  const int front = RelativeSquare(side, f, r + 1);
  PawnValues& pv = e.pawnValues[side];
  SquareArray<int8_t>& ownWeights = WeightsOf(e, side);
  SquareArray<int8_t>& enemyWeights = WeightsOf(e, enemy);
  auto at = [](int file, int rank) { return Board.squares[RelativeSquare(side, file, rank)]; };

  // 1. Counts.
  pv.count++;
  if (f < pv.lowFile) pv.lowFile = f;
  if (f > pv.highFile) pv.highFile = f;
  if ((f + rankOf[s]) % 2 == 0)
    pv.darkCount++;
  else
    pv.lightCount++;

  // 2. Placement.
  pv.squareSum += kPawnSquareTable[8 - r][f - 1];

  // 3. A step forward would fork two pieces.
  if (Board.side == side && f > 1 && f < 8 && r < 7 && Board.squares[front] == kEmpty &&
      IsPieceOrKing(at(f - 1, r + 2), enemy) && IsPieceOrKing(at(f + 1, r + 2), enemy))
    pv.squareSum += 15;

  // 4. The two capture squares.
  for (int df = -1; df <= 1; df += 2) {
    int cf = f + df;
    if (cf < 1 || cf > 8) continue;
    int t = RelativeSquare(side, cf, r + 1);
    int code = Board.squares[t];
    pv.squareSum += kPawnThreatTable[side][code];
    if (AttackOf(e, side) == 0) AttackOf(e, side) = 2 * KingZoneOf(e, enemy)[t];
    if (IsPieceOrKing(code, enemy)) ThreatsOf(e, side)++;
    enemyWeights[t] = 1;  // enemy pieces gain little from squares a pawn covers
  }

  // 5. Doubled.
  const int doubled = OwnRear2(e, side, f) != 9 ? -4 : 0;

  // 6. Support from neighbouring pawns.
  int u = 0;
  u += Support(OwnRear(e, side, f - 1) - r);
  u += Support(OwnRear(e, side, f + 1) - r);
  u += Support(OwnRear2(e, side, f - 1) - r);
  u += Support(OwnRear2(e, side, f + 1) - r);
  if (u > 10) u = (u - 10) / 4 + 10;

  // 7. Weakness: isolated, or backward with an enemy pawn controlling or blocking its advance.
  const int left = OwnRear(e, side, f - 1), right = OwnRear(e, side, f + 1);
  bool weak = left == 9 && right == 9;
  if (!weak && r < left && r < right &&
      (at(f - 1, r + 2) == enemyPawn || at(f + 1, r + 2) == enemyPawn || at(f, r + 1) == enemyPawn))
    weak = true;
  if (!weak && r + 1 < left && r + 1 < right &&
      (at(f - 1, r + 3) == enemyPawn || at(f + 1, r + 3) == enemyPawn || at(f, r + 2) == enemyPawn))
    weak = true;
  if (weak) {
    enemyWeights[s] += 10;
    if (Board.pieceMaterial[enemy] >= 500) {
      if (EnemyRear(e, side, f) == 0) {
        u = -12;
      } else {
        int c = Board.squares[front];
        if (c != ownPawn && c != enemyPawn) u = -7;
      }
    }
  }

  // 8. Structure, halved on the rook files.
  pv.structureSum += (f == 1 || f == 8) ? u / 2 : u;

  const int enemyKing = Board.king[enemy], ownKing = Board.king[side];
  const int enemyKingFile = fileOf[enemyKing];

  // 9. Passed pawn.
  if (EnemyRear(e, side, f) < r && EnemyRear(e, side, f - 1) <= r && EnemyRear(e, side, f + 1) <= r) {
    int ownKp = KingPasser(side, ownKing, f, r), enemyKp = KingPasser(side, enemyKing, f, r);
    int p = std::abs(enemyKingFile - f) + kPassedPawnBonus[r] + u / 4 + 2 * doubled + ownKp - enemyKp;

    if (Board.pieceMaterial[enemy] == 0) {
      p += ownKp - enemyKp + 6;
      int enemyKingRank = RelativeRank(side, rankOf[enemyKing]);
      int fileGap = std::abs(f - enemyKingFile);
      if ((enemyKingRank < r || 8 - r < fileGap) &&
          (Board.side == side || enemyKingRank + 1 < r || 9 - r < fileGap))
        p = 2 * kPassedPawnBonus[r] + 40;  // the king cannot catch it
    }

    if (r > 4) {  // connected passers
      for (int df = -1; df <= 1; df += 2) {
        int nf = f + df;
        if (nf < 1 || nf > 8) continue;
        int mate = OwnRear(e, side, nf);
        if (std::abs(mate - r) < 2 && EnemyRear(e, side, nf) < mate && EnemyRear(e, side, nf + df) <= mate)
          p += 15 * r - 65;
      }
    }

    if (Board.squares[front] != kEmpty) p -= kPassedPawnBlock[r];

    if (at(f - 1, r) != ownPawn && at(f + 1, r) != ownPawn) enemyWeights[front] += kPassedPawnBlock[r];
    ownWeights[front] += kPassedPawnBlock[r];
    if (weak) ownWeights[s] += 10;

    const int noEnemyPawnOnFile = EnemyRear(e, side, f) == 0;
    for (int i = 1; i <= Board.rookCount[side]; i++) {
      int rs = Board.rooks[side][i];
      if (rs == 0) continue;
      int rf = fileOf[rs], rr = RelativeRank(side, rankOf[rs]);
      if (rf == f - 1 || rf == f + 1) {
        if (r == 7 && rr == 8)
          p += 13;
        else if (OwnRear(e, side, rf) == 9 && EnemyRear(e, side, rf) == 0)
          p += 3;
      } else if (rf == f) {
        p += (doubled == 0 && rr < r && noEnemyPawnOnFile) ? 7 : 3;
      }
    }
    for (int i = 1; i <= Board.rookCount[enemy]; i++) {
      int rs = Board.rooks[enemy][i];
      if (rs == 0 || fileOf[rs] != f) continue;
      int rr = RelativeRank(side, rankOf[rs]);
      p -= (doubled == 0 && rr < r && noEnemyPawnOnFile) ? 6 : 2;
    }

    if (p > pv.bestPassed) pv.bestPassed = p;
    pv.structureSum += p;
  } else {
    // 10. Not passed: advance, and the candidate passer.
    pv.structureSum += kPawnAdvanceBonus[r] + doubled;
    if (Board.squares[front] != kEmpty) pv.structureSum -= 3;
    if (u > 4 && EnemyRear(e, side, f) == 0 &&
        ((EnemyRear(e, side, f - 1) == 0 && EnemyRear2(e, side, f + 1) == 0) ||
         (EnemyRear(e, side, f + 1) == 0 && EnemyRear2(e, side, f - 1) == 0)))
      pv.structureSum += std::abs(enemyKingFile - f) + kPawnAdvanceBonus[r] - 14;
  }
}

void ScorePawns(EvalContext& e) {
  FillPawnFiles(e);
  for (int side = kWhite; side <= kBlack; side++) {
    e.pawnValues[side] = PawnValues{0, 0, 0, 0, 0, 0, 9, 0};
  }
  for (int i = 1; i <= kMaxPawnSlots; i++) {
    if (Board.pawns[kWhite][i] != 0) ScorePawn<kWhite>(e, Board.pawns[kWhite][i]);
    if (Board.pawns[kBlack][i] != 0) ScorePawn<kBlack>(e, Board.pawns[kBlack][i]);
  }
  // In pawn endings pawns spread over the board are hard to stop.
  for (int side = kWhite; side <= kBlack; side++) {
    PawnValues& pv = e.pawnValues[side];
    if (Board.pieceMaterial[1 - side] == 0 && pv.lowFile < pv.highFile)
      pv.structureSum += 10 * (pv.highFile - pv.lowFile);
  }
  const PawnValues& w = e.pawnValues[kWhite];
  const PawnValues& b = e.pawnValues[kBlack];
  e.lowPawnFile = w.lowFile < b.lowFile ? w.lowFile : b.lowFile;
  e.highPawnFile = w.highFile > b.highFile ? w.highFile : b.highFile;
}

void BlendPawnScores(EvalContext& e) {
  for (int side = kWhite; side <= kBlack; side++) {
    const PawnValues& pv = e.pawnValues[side];
    const int b = Board.pieceMaterial[1 - side];
    ScoreOf(e, side) =
        51 * pv.count + (pv.squareSum * b) / 3100 + ((6200 - b) * (pv.structureSum + pv.bestPassed)) / 3100;
  }
}

}  // namespace kelb
