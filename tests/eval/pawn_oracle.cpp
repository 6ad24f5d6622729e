// The pawn-structure fill and the pawn parts of the king shelters as they were first written, square by
// square over the pawn lists and the board: the reference the set-based versions must match.
#include "pawn_oracle.h"

#include <cstdlib>
#include <cstring>

namespace kelb::test {
namespace {

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

static inline int Support(int d) { return d >= -4 && d <= 2 ? kPawnSupportTable[d + 4] : 0; }

// The entry's side as it was first kept: the pawn values in 16 bits.
struct OracleSide {
  int16_t count, squareSum, darkCount, lightCount, lowFile, highFile;
  int16_t structure[2];
  uint64_t attacked, attackedTwice;
  uint64_t frontSet;
  uint64_t forkSet;
  uint8_t passerCount;
  uint8_t candidateCount[2];
  uint8_t candidateFiles[2][kMaxPawnSlots];
  PawnCachePasser passers[kMaxPawnSlots];
};

// The file arrays, from one pass over both pawn lists.
static void FillPawnFiles(EvalContext& e) {
  for (int f = 0; f < 10; f++) {
    e.rear[kWhiteRear][f] = e.rear[kWhiteRear2][f] = 9;
    e.rear[kBlackRear][f] = e.rear[kBlackRear2][f] = 0;
  }
  for (int i = 1; i <= kMaxPawnSlots; i++) {
    int s = Board.pawns[kWhite][i];
    if (s == 0) continue;
    int f = fileOf[s], r = rankOf[s];
    if (r < e.rear[kWhiteRear][f]) {
      e.rear[kWhiteRear2][f] = e.rear[kWhiteRear][f];
      e.rear[kWhiteRear][f] = static_cast<int8_t>(r);
    } else if (r < e.rear[kWhiteRear2][f]) {
      e.rear[kWhiteRear2][f] = static_cast<int8_t>(r);
    }
  }
  for (int i = 1; i <= kMaxPawnSlots; i++) {
    int s = Board.pawns[kBlack][i];
    if (s == 0) continue;
    int f = fileOf[s], r = rankOf[s];
    if (r > e.rear[kBlackRear][f]) {
      e.rear[kBlackRear2][f] = e.rear[kBlackRear][f];
      e.rear[kBlackRear][f] = static_cast<int8_t>(r);
    } else if (r > e.rear[kBlackRear2][f]) {
      e.rear[kBlackRear2][f] = static_cast<int8_t>(r);
    }
  }
}

}  // namespace

// The pawn-only terms of one pawn of `side` on square s (a template so that each colour's mirror folds at
// compile time). e holds the file arrays and the weight maps being built.
namespace {

template <int side>
void AnalysePawn(EvalContext& e, int s, OracleSide& ps) {
  const int enemy = 1 - side;
  const int ownPawn = Own(side, kPawn), enemyPawn = Enemy(side, kPawn);
  const int f = fileOf[s], r = RelativeRank(side, rankOf[s]);
  const int front = RelativeSquare(side, f, r + 1);
  SquareArray<int8_t>& ownWeights = WeightsOf(e, side);
  SquareArray<int8_t>& enemyWeights = WeightsOf(e, enemy);
  auto at = [](int file, int rank) { return Board.squares[RelativeSquare(side, file, rank)]; };

  // 1. Counts.
  ps.count++;
  if (f < ps.lowFile) ps.lowFile = static_cast<int16_t>(f);
  if (f > ps.highFile) ps.highFile = static_cast<int16_t>(f);
  if ((f + rankOf[s]) % 2 == 0)
    ps.darkCount++;
  else
    ps.lightCount++;

  // 2. Placement.
  ps.squareSum = static_cast<int16_t>(ps.squareSum + kPawnSquareTable[8 - r][f - 1]);

  // 3. A step forward might fork two pieces (decided per evaluation).
  if (f > 1 && f < 8 && r < 7) ps.forkSet |= SquareBit(s);

  // 4. The two capture squares (what stands there is looked at per evaluation).
  for (int df = -1; df <= 1; df += 2) {
    int cf = f + df;
    if (cf < 1 || cf > 8) continue;
    int t = RelativeSquare(side, cf, r + 1);
    const uint64_t bit = SquareBit(t);
    ps.attackedTwice |= ps.attacked & bit;
    ps.attacked |= bit;
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

  // 7. Weakness: isolated, or backward with an enemy pawn controlling or blocking its advance. Against
  // 500 in pieces a weak pawn loses its support value: [1] below.
  const int left = OwnRear(e, side, f - 1), right = OwnRear(e, side, f + 1);
  bool weak = left == 9 && right == 9;
  if (!weak && r < left && r < right &&
      (at(f - 1, r + 2) == enemyPawn || at(f + 1, r + 2) == enemyPawn || at(f, r + 1) == enemyPawn))
    weak = true;
  if (!weak && r + 1 < left && r + 1 < right &&
      (at(f - 1, r + 3) == enemyPawn || at(f + 1, r + 3) == enemyPawn || at(f, r + 2) == enemyPawn))
    weak = true;
  int uBy[2] = {u, u};
  if (weak) {
    enemyWeights[s] += 10;
    if (EnemyRear(e, side, f) == 0) {
      uBy[1] = -12;
    } else {
      int c = Board.squares[front];
      if (c != ownPawn && c != enemyPawn) uBy[1] = -7;
    }
  }

  // 8. Structure, halved on the rook files.
  for (int m = 0; m < 2; m++)
    ps.structure[m] = static_cast<int16_t>(ps.structure[m] + ((f == 1 || f == 8) ? uBy[m] / 2 : uBy[m]));

  // 9. Passed pawn.
  if (EnemyRear(e, side, f) < r && EnemyRear(e, side, f - 1) <= r && EnemyRear(e, side, f + 1) <= r) {
    PawnCachePasser& pp = ps.passers[ps.passerCount++];
    pp.square = static_cast<uint8_t>(s);
    pp.file = static_cast<uint8_t>(f);
    pp.rank = static_cast<uint8_t>(r);
    pp.undoubled = doubled == 0;
    pp.noEnemyPawnOnFile = EnemyRear(e, side, f) == 0;
    for (int m = 0; m < 2; m++)
      pp.base[m] = static_cast<int16_t>(kPassedPawnBonus[r] + uBy[m] / 4 + 2 * doubled);
    int connected = 0;
    if (r > 4) {
      for (int df = -1; df <= 1; df += 2) {
        int nf = f + df;
        if (nf < 1 || nf > 8) continue;
        int mate = OwnRear(e, side, nf);
        if (std::abs(mate - r) < 2 && EnemyRear(e, side, nf) < mate && EnemyRear(e, side, nf + df) <= mate)
          connected += 15 * r - 65;
      }
    }
    pp.connected = static_cast<int16_t>(connected);
    if (at(f - 1, r) != ownPawn && at(f + 1, r) != ownPawn) enemyWeights[front] += kPassedPawnBlock[r];
    ownWeights[front] += kPassedPawnBlock[r];
    if (weak) ownWeights[s] += 10;
  } else {
    // 10. Not passed: advance, and the candidate passer.
    ps.frontSet |= SquareBit(front);
    for (int m = 0; m < 2; m++) {
      int v = ps.structure[m] + kPawnAdvanceBonus[r] + doubled;
      if (uBy[m] > 4 && EnemyRear(e, side, f) == 0 &&
          ((EnemyRear(e, side, f - 1) == 0 && EnemyRear2(e, side, f + 1) == 0) ||
           (EnemyRear(e, side, f + 1) == 0 && EnemyRear2(e, side, f - 1) == 0))) {
        v += kPawnAdvanceBonus[r] - 14;
        ps.candidateFiles[m][ps.candidateCount[m]++] = static_cast<uint8_t>(f);
      }
      ps.structure[m] = static_cast<int16_t>(v);
    }
  }
}

}  // namespace

void OracleFillPawnEntry(PawnCacheEntry& entry, uint64_t white, uint64_t black) {
  EvalContext e;
  e.WhiteSquareWeights = BaseSquareWeights;
  e.BlackSquareWeights = BaseSquareWeights;
  FillPawnFiles(e);
  entry.pawns[kWhite] = white;
  entry.pawns[kBlack] = black;
  OracleSide sides[2];
  for (int side = kWhite; side <= kBlack; side++) {
    sides[side] = OracleSide{};
    sides[side].lowFile = 9;
    sides[side].highFile = 0;
  }
  for (int i = 1; i <= kMaxPawnSlots; i++) {
    if (Board.pawns[kWhite][i] != 0) AnalysePawn<kWhite>(e, Board.pawns[kWhite][i], sides[kWhite]);
    if (Board.pawns[kBlack][i] != 0) AnalysePawn<kBlack>(e, Board.pawns[kBlack][i], sides[kBlack]);
  }
  for (int side = kWhite; side <= kBlack; side++) {
    const OracleSide& o = sides[side];
    PawnCacheSide& ps = entry.side[side];
    ps = PawnCacheSide{};
    ps.start = PawnValues{o.count, o.squareSum, 0, 0, o.darkCount, o.lightCount, o.lowFile, o.highFile};
    ps.structure[0] = o.structure[0];
    ps.structure[1] = o.structure[1];
    ps.attacked = o.attacked;
    ps.attackedTwice = o.attackedTwice;
    ps.frontSet = o.frontSet;
    ps.forkSet = o.forkSet;
    ps.passerCount = o.passerCount;
    std::memcpy(ps.candidateCount, o.candidateCount, sizeof ps.candidateCount);
    std::memcpy(ps.candidateFiles, o.candidateFiles, sizeof ps.candidateFiles);
    std::memcpy(ps.passers, o.passers, sizeof ps.passers);
  }
  for (int side = kWhite; side <= kBlack; side++) {
    for (int wing = 0; wing < 2; wing++)
      entry.wingShelter[side][wing] = WingPawnShelter{0, kWingShelterUnknown, 0};
    entry.homeShelter[side] = HomePawnShelter{0, kHomeShelterUnknown};
  }
  std::memcpy(entry.rear[0], e.rear[kWhiteRear], 10);
  std::memcpy(entry.rear[1], e.rear[kWhiteRear2], 10);
  std::memcpy(entry.rear[2], e.rear[kBlackRear], 10);
  std::memcpy(entry.rear[3], e.rear[kBlackRear2], 10);
  std::memcpy(entry.weights[kWhite], &e.WhiteSquareWeights[kCachedWeightFirst], kCachedWeightCount);
  std::memcpy(entry.weights[kBlack], &e.BlackSquareWeights[kCachedWeightFirst], kCachedWeightCount);
}

namespace {

// By the 5-bit pattern of shelter pawns.
static constexpr int8_t kShelterPatternTable[32] = {
    -10, 20, 10, 50, 50, 100, 80,  100, 0,  45, 20, 70,  40, 100, 100, 110,
    15,  40, 30, 70, 70, 120, 120, 120, 70, 95, 85, 105, 70, 120, 120, 120,
};

// By the relative rank 0..8 of the enemy's rearmost pawn on a file, 0 = no such pawn.
static constexpr int8_t kStormPenaltyTable[9] = {12, 0, 0, 18, 11, 6, 0, 0, 0};

// [own rooks on the back rank among the first two slots][0 = both cover pawns in place, else 1].
static constexpr int8_t kBackRankRookTable[3][2] = {{0, 20}, {24, 34}, {31, 36}};

// By the king's file 1..8.
static constexpr int8_t kShelterFileTable[9] = {0, 20, 20, 12, 0, 0, 12, 20, 20};

static inline bool HasPawn(int side, int file, int relativeRank) {
  return Board.squares[RelativeSquare(side, file, relativeRank)] == Own(side, kPawn);
}

// Own rooks of the first two slots standing on the back rank.
template <int side>
static inline int BackRankRooks() {
  int k = 0;
  for (int i = 1; i <= 2; i++) {
    int s = Board.rooks[side][i];
    if (s != 0 && RelativeRank(side, rankOf[s]) == 1) k++;
  }
  return k;
}

}  // namespace

// The files of the wings from the edge inwards: a, b, c, d, e on the queen side; h, g, f, e, d on the king
// side.
namespace {
constexpr int kWingFiles[2][5] = {{1, 2, 3, 4, 5}, {8, 7, 6, 5, 4}};
}  // namespace

// The pawn part of a castled shelter on one wing (kept in the pawn-structure cache).
WingPawnShelter OracleWingShelterFromPawns(const EvalContext& e, int side, int wing) {
  const int(&files)[5] = kWingFiles[wing];
  const int edge = files[0], knight = files[1], bishop = files[2], centre = files[3];
  WingPawnShelter w{};
  // 1. The cover pawns.
  int pattern = 0;
  if (HasPawn(side, edge, 2)) pattern |= 1;
  if (HasPawn(side, edge, 3)) pattern |= 2;
  if (HasPawn(side, knight, 2)) pattern |= 4;
  if (HasPawn(side, knight, 3)) pattern |= 8;
  if (HasPawn(side, bishop, 2)) pattern |= 16;
  int v = kShelterPatternTable[pattern] + 40;
  w.knightPawnHome = HasPawn(side, knight, 2);
  w.coverPawnsHome = HasPawn(side, edge, 2) && HasPawn(side, knight, 2);
  // 3. The centre pawn has advanced in front of the missing bishop-file pawn.
  if (!HasPawn(side, bishop, 2) && (HasPawn(side, centre, 3) || HasPawn(side, centre, 4))) v += 8;
  // 5. The rearmost own pawns.
  int rear = OwnRear(e, side, edge);
  if (rear == 4)
    v += 20;
  else if (rear == 9)
    v -= 5;
  rear = OwnRear(e, side, knight);
  if (rear == 4)
    v += 10;
  else if (rear == 9)
    v -= 5;
  rear = OwnRear(e, side, bishop);
  if (rear == 3 || rear == 4)
    v += 5;
  else if (rear == 9)
    v -= 5;
  if (OwnRear(e, side, edge) == 9 && EnemyRear(e, side, edge) == 0) v -= 30;
  // 6. Enemy pawns storming the wing.
  for (int i = 0; i < 3; i++) v -= kStormPenaltyTable[EnemyRear(e, side, files[i])];
  w.value = static_cast<int16_t>(v);
  return w;
}

// Storm on a file: the enemy's rearmost pawn 2, 3 or 4 ranks above the king.
static inline int Storm(int enemyRank, int kingRank) {
  switch (enemyRank - kingRank) {
    case 2:
      return -12;
    case 3:
      return -11;
    case 4:
      return -6;
    default:
      return 0;
  }
}

// Everything of KingShelter but the bishop in front and the back-rank rooks; covered tells the rook term
// whether the three pawns in front of a back-rank king stand at home.
static int KingShelterPawns(const EvalContext& e, int side, int square, bool& covered) {
  const int f = fileOf[square], r = RelativeRank(side, rankOf[square]);
  int v = kShelterFileTable[f];
  if (HasPawn(side, f, r + 1))
    v += 35;
  else if (HasPawn(side, f, r + 2))
    v += 21;
  if (f == 1 || HasPawn(side, f - 1, r + 1)) v += 25;
  if (f == 8 || HasPawn(side, f + 1, r + 1)) v += 25;
  covered = false;
  if (r == 1) {
    covered =
        HasPawn(side, f, 2) && (f == 1 || HasPawn(side, f - 1, 2)) && (f == 8 || HasPawn(side, f + 1, 2));
    if (f <= 2 || f >= 7) v += 20;
  } else {
    if (f < 3 || HasPawn(side, f - 1, r)) v += 20;
    if (f > 6 || HasPawn(side, f + 1, r)) v += 20;
  }
  const bool own = OwnRear(e, side, f) != 9, enemy = EnemyRear(e, side, f) != 0;
  if (own && enemy)
    v += 20;
  else if (own)
    v += 8;
  else if (enemy)
    v += 15;
  else
    v -= 12;
  v += Storm(EnemyRear(e, side, f), r);
  for (int nf = f - 1; nf <= f + 1; nf += 2) {
    if (nf < 1 || nf > 8) continue;
    if (OwnRear(e, side, nf) == 9) v -= 5;
    if (EnemyRear(e, side, nf) == 0) v -= 12;
    v += Storm(EnemyRear(e, side, nf), r);
  }
  return v;
}

// The pieces' part: a bishop in front, and the rooks of a king on the back rank.
template <int side>
static inline int KingShelterPieces(int square, bool covered) {
  const int f = fileOf[square], r = RelativeRank(side, rankOf[square]);
  int v = 0;
  if (Board.squares[RelativeSquare(side, f, r + 1)] == Own(side, kBishop)) v += 22;
  if (r == 1) v += kBackRankRookTable[BackRankRooks<side>()][covered ? 0 : 1];
  return v;
}

int OracleKingShelter(const EvalContext& e, int side, int square) {
  const int r = RelativeRank(side, rankOf[square]);
  if (r >= 5) return 0;
  bool covered;
  const int v = KingShelterPawns(e, side, square, covered);
  return v + (side == kWhite ? KingShelterPieces<kWhite>(square, covered)
                             : KingShelterPieces<kBlack>(square, covered));
}

HomePawnShelter OracleHomeShelterFromPawns(const EvalContext& e, int side) {
  bool covered;
  const int v = KingShelterPawns(e, side, RelativeSquare(side, 5, 1), covered);
  return HomePawnShelter{static_cast<int16_t>(v), static_cast<uint8_t>(covered)};
}

}  // namespace kelb::test
