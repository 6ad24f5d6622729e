// Kings: activity as pieces come off, pawn shelter (with the likely castling wing while castling is
// still possible) and the conversion of the attack counts into a score.
#include <cstdlib>

#include "board/attack.h"
#include "eval/eval.h"

namespace kelb {

// [rank - 1][file - 1]; symmetric in both directions.
const int8_t kKingCentreTable[8][8] = {
    {0, 4, 6, 7, 7, 6, 4, 0},        // 1
    {4, 8, 10, 11, 11, 10, 8, 4},    // 2
    {6, 10, 14, 16, 16, 14, 10, 6},  // 3
    {7, 11, 16, 17, 17, 16, 11, 7},  // 4
    {7, 11, 16, 17, 17, 16, 11, 7},  // 5
    {6, 10, 14, 16, 16, 14, 10, 6},  // 6
    {4, 8, 10, 11, 11, 10, 8, 4},    // 7
    {0, 4, 6, 7, 7, 6, 4, 0},        // 8
};

// [side of the king][piece code next to it].
static constexpr int8_t kKingNeighbourTable[2][13] = {
    // -  P  N  B  R  Q  K  p  n  b  r  q  k
    {0, 0, 8, 0, 5, 0, 0, 0, 5, 8, 8, 0, 0},
    {0, 0, 5, 8, 8, 0, 0, 0, 8, 0, 5, 0, 0},
};

constexpr bool NeighbourValuesAre8Or5() {
  for (const auto& row : kKingNeighbourTable)
    for (int v : row)
      if (v != 0 && v != 8 && v != 5) return false;
  return true;
}
static_assert(NeighbourValuesAre8Or5(), "the king activity counts the neighbours worth 8 and 5");

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

// Rounds down, also for negative values.
static inline int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Whether `side` has a pawn on a square of the board given by file and relative rank, read from its pawn set
// (bit 8 * (file - 1) + rank - 1).
template <int side>
static inline bool HasPawn(uint64_t pawns, int file, int relativeRank) {
  return (pawns >> (8 * (file - 1) + (side == kWhite ? relativeRank : 9 - relativeRank) - 1)) & 1;
}
template <int side>
static inline uint64_t OwnPawns() {
  return Board.pieceSet[Own(side, kPawn)];
}

// 1 on the real squares of each side's back rank, 0 elsewhere and on the empty slot's square 0.
struct BackRankFlags {
  uint8_t flag[2][89];
};
constexpr BackRankFlags MakeBackRankFlags() {
  BackRankFlags t{};
  for (int f = 1; f <= 8; f++) {
    t.flag[kWhite][SquareAt(f, 1)] = 1;
    t.flag[kBlack][SquareAt(f, 8)] = 1;
  }
  return t;
}
static constexpr BackRankFlags kBackRank = MakeBackRankFlags();

// Own rooks of the first two slots standing on the back rank.
template <int side>
static inline int BackRankRooks() {
  return kBackRank.flag[side][Board.rooks[side][1]] + kBackRank.flag[side][Board.rooks[side][2]];
}

// The files of the wings from the edge inwards: a, b, c, d, e on the queen side; h, g, f, e, d on the king
// side.
static constexpr int kWingFiles[2][5] = {{1, 2, 3, 4, 5}, {8, 7, 6, 5, 4}};

// The pawn part of a castled shelter on one wing (kept in the pawn-structure cache), every square a constant.
template <int side, int wing>
static WingPawnShelter WingShelterOf(const EvalContext& e) {
  constexpr const int(&files)[5] = kWingFiles[wing];
  constexpr int edge = files[0], knight = files[1], bishop = files[2], centre = files[3];
  const uint64_t pawns = OwnPawns<side>();
  auto has = [pawns](int file, int relativeRank) { return HasPawn<side>(pawns, file, relativeRank); };
  WingPawnShelter w{};
  // 1. The cover pawns.
  int pattern = 0;
  if (has(edge, 2)) pattern |= 1;
  if (has(edge, 3)) pattern |= 2;
  if (has(knight, 2)) pattern |= 4;
  if (has(knight, 3)) pattern |= 8;
  if (has(bishop, 2)) pattern |= 16;
  int v = kShelterPatternTable[pattern] + 40;
  w.knightPawnHome = has(knight, 2);
  w.coverPawnsHome = has(edge, 2) && has(knight, 2);
  // 3. The centre pawn has advanced in front of the missing bishop-file pawn.
  if (!has(bishop, 2) && (has(centre, 3) || has(centre, 4))) v += 8;
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

WingPawnShelter WingShelterFromPawns(const EvalContext& e, int side, int wing) {
  if (side == kWhite) return wing == 0 ? WingShelterOf<kWhite, 0>(e) : WingShelterOf<kWhite, 1>(e);
  return wing == 0 ? WingShelterOf<kBlack, 0>(e) : WingShelterOf<kBlack, 1>(e);
}

// Castled shelter on one wing: the pawn part from the evaluation's pawn entry, with the pieces (rooks:
// BackRankRooks, counted once for all the shelters of an evaluation). The terms below are templates on the
// side so that every mirrored square is a constant.
template <int side>
static int WingShelter(const EvalContext& e, int wing, int rooks) {
  WingPawnShelter& w = e.wingShelter[side][wing];
  if (w.knightPawnHome == kWingShelterUnknown)
    w = wing == 0 ? WingShelterOf<side, 0>(e) : WingShelterOf<side, 1>(e);
  const int knight = kWingFiles[wing][1];
  int v = w.value;
  // 2. A fianchetto bishop stands in for the knight-file pawn.
  if (!w.knightPawnHome) {
    for (int i = 1; i <= 2; i++) {
      int s = Board.bishops[side][i];
      if (s == 0) continue;
      int bf = fileOf[s], br = RelativeRank(side, rankOf[s]);
      if (bf == knight && br == 2)
        v += 39;
      else if (std::abs(bf - knight) == std::abs(br - 2))
        v += 18;
    }
  }
  // 4. Rooks on the back rank.
  v += kBackRankRookTable[rooks][w.coverPawnsHome ? 0 : 1];
  return v;
}

int QueensideShelter(const EvalContext& e, int side) {
  return side == kWhite ? WingShelter<kWhite>(e, 0, BackRankRooks<kWhite>())
                        : WingShelter<kBlack>(e, 0, BackRankRooks<kBlack>());
}

int KingsideShelter(const EvalContext& e, int side) {
  return side == kWhite ? WingShelter<kWhite>(e, 1, BackRankRooks<kWhite>())
                        : WingShelter<kBlack>(e, 1, BackRankRooks<kBlack>());
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
template <int side>
static int KingShelterPawns(const EvalContext& e, int square, bool& covered) {
  const int f = fileOf[square], r = RelativeRank(side, rankOf[square]);
  const uint64_t pawns = OwnPawns<side>();
  auto has = [pawns](int file, int relativeRank) { return HasPawn<side>(pawns, file, relativeRank); };
  int v = kShelterFileTable[f];
  if (has(f, r + 1))
    v += 35;
  else if (has(f, r + 2))
    v += 21;
  if (f == 1 || has(f - 1, r + 1)) v += 25;
  if (f == 8 || has(f + 1, r + 1)) v += 25;
  covered = false;
  if (r == 1) {
    covered = has(f, 2) && (f == 1 || has(f - 1, 2)) && (f == 8 || has(f + 1, 2));
    if (f <= 2 || f >= 7) v += 20;
  } else {
    if (f < 3 || has(f - 1, r)) v += 20;
    if (f > 6 || has(f + 1, r)) v += 20;
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

// The pieces' part: a bishop in front, and the rooks of a king on the back rank (rooks: BackRankRooks, read
// only there).
template <int side>
static inline int KingShelterPieces(int square, bool covered, int rooks) {
  const int f = fileOf[square], r = RelativeRank(side, rankOf[square]);
  int v = 0;
  if (Board.squares[RelativeSquare(side, f, r + 1)] == Own(side, kBishop)) v += 22;
  if (r == 1) v += kBackRankRookTable[rooks][covered ? 0 : 1];
  return v;
}

template <int side>
static int KingShelterOf(const EvalContext& e, int square) {
  const int r = RelativeRank(side, rankOf[square]);
  if (r >= 5) return 0;
  bool covered;
  const int v = KingShelterPawns<side>(e, square, covered);
  return v + KingShelterPieces<side>(square, covered, r == 1 ? BackRankRooks<side>() : 0);
}

int KingShelter(const EvalContext& e, int side, int square) {
  return side == kWhite ? KingShelterOf<kWhite>(e, square) : KingShelterOf<kBlack>(e, square);
}

template <int side>
static HomePawnShelter HomeShelterOf(const EvalContext& e) {
  bool covered;
  const int v = KingShelterPawns<side>(e, RelativeSquare(side, 5, 1), covered);
  return HomePawnShelter{static_cast<int16_t>(v), static_cast<uint8_t>(covered)};
}

HomePawnShelter HomeShelterFromPawns(const EvalContext& e, int side) {
  return side == kWhite ? HomeShelterOf<kWhite>(e) : HomeShelterOf<kBlack>(e);
}

// King activity: centralisation and closeness to the pawns, wanted as the enemy's pieces go.
template <int side>
static void ScoreKingActivity(EvalContext& e) {
  const int enemyMaterial = Board.pieceMaterial[1 - side];
  // Against the full set of enemy pieces activity is weighed by 0 (more is only reached by promotions).
  if (enemyMaterial == 3100) return;
  const int k = Board.king[side], kf = fileOf[k];
  int a = (enemyMaterial <= 300 ? 4 : 2) * KingCentre(k);
  if (e.lowPawnFile < e.highPawnFile) {
    if (kf < e.lowPawnFile - 1) a -= 6 * (e.lowPawnFile - 1 - kf);
    if (kf - 1 > e.highPawnFile) a -= 6 * (kf - 1 - e.highPawnFile);
  }
  // The maps are still those of the pawn entry here. A step off the board lands on a border number of
  // weight 0, so it adds nothing.
  KingRingWeights& ring = e.kingRing[side];
  if (ring.square != k) {
    const SquareArray<int8_t>& weights = WeightsOf(e, side);
    int sum = 0;
    for (int i = 0; i < 8; i++) sum += weights[k + kingSteps[i]];
    ring = KingRingWeights{static_cast<int16_t>(sum), static_cast<uint8_t>(k)};
  }
  a += ring.sum;
  // The pieces next to the king by their value in the neighbour table (8 or 5); usually there are none.
  uint64_t worth8 = 0, worth5 = 0;
  for (int code = 1; code <= 12; code++) {
    if (kKingNeighbourTable[side][code] == 8) worth8 |= Board.pieceSet[code];
    if (kKingNeighbourTable[side][code] == 5) worth5 |= Board.pieceSet[code];
  }
  const uint64_t around = kAttackSets.king[k];
  if ((around & (worth8 | worth5)) != 0)
    a += 8 * CountSquares(around & worth8) + 5 * CountSquares(around & worth5);
  ScoreOf(e, side) += ((3100 - enemyMaterial) * a) / 3100;
}

// Shelter with the castling wings weighed by how likely each castling is.
template <int side>
static int CastlingShelter(EvalContext& e) {
  auto sq = [](int file, int rank) { return RelativeSquare(side, file, rank); };
  const int rooks = BackRankRooks<side>();
  int q = Board.queenSideLost[side] ? 0 : WingShelter<side>(e, 0, rooks);
  int k = Board.kingSideLost[side] ? 0 : WingShelter<side>(e, 1, rooks);
  HomePawnShelter& home = e.homeShelter[side];
  if (home.covered == kHomeShelterUnknown) home = HomeShelterOf<side>(e);
  const int c =
      home.value + KingShelterPieces<side>(sq(5, 1), home.covered != 0, rooks);  // KingShelter on e1
  if (q < c) q = c;
  if (k < c) k = c;
  const int best = q > k ? q : k;
  const uint64_t pawns = OwnPawns<side>();
  int pq = HasPawn<side>(pawns, 3, 2) ? 62 : 59;
  if (Board.squares[sq(2, 1)] != kEmpty) pq -= 6;
  if (Board.squares[sq(3, 1)] != kEmpty) pq -= 10;
  if (Board.squares[sq(4, 1)] != kEmpty) pq -= 6;
  int pk = HasPawn<side>(pawns, 6, 2) ? 62 : 53;
  if (Board.squares[sq(6, 1)] != kEmpty) pk -= 10;
  if (Board.squares[sq(7, 1)] != kEmpty) pk -= 6;
  SquareArray<int8_t>& enemyWeights = WeightsOf(e, 1 - side);
  enemyWeights[sq(4, 1)] = static_cast<int8_t>(enemyWeights[sq(4, 1)] + FloorDiv(q, 16));
  enemyWeights[sq(6, 1)] = static_cast<int8_t>(enemyWeights[sq(6, 1)] + FloorDiv(k, 8));
  int v = ((100 - pk) * pq * q + (100 - pq) * pk * k + pq * pk * best + (100 - pq) * (100 - pk) * c) / 10000;
  return v < c ? c : v;
}

// Shelter of a king that can no longer castle, by its square.
template <int side>
static int SettledShelter(const EvalContext& e) {
  const int k = Board.king[side];
  const int f = fileOf[k], r = RelativeRank(side, rankOf[k]);
  int v = -1;
  if (r == 1 || r == 2) {
    const int drop = r == 2 ? 1 : 0;
    if (f <= 2)
      v = WingShelter<side>(e, 0, BackRankRooks<side>()) - (drop ? 20 : 0);
    else if (f == 3)
      v = WingShelter<side>(e, 0, BackRankRooks<side>()) - (drop ? 35 : 15);
    else if (f == 6)
      v = WingShelter<side>(e, 1, BackRankRooks<side>()) - (drop ? 35 : 15);
    else if (f >= 7)
      v = WingShelter<side>(e, 1, BackRankRooks<side>()) - (drop ? 20 : 0);
  }
  if (v < 0) v = KingShelterOf<side>(e, k);
  return v;
}

template <int side>
static int Shelter(EvalContext& e) {
  const int k = Board.king[side];
  int v = 100;
  if (Board.pieceMaterial[1 - side] <= 800) {
    if (fileOf[k] == 1 || fileOf[k] == 8) v = 80;
    if (rankOf[k] == 1 || rankOf[k] == 8) v -= 20;
  } else if (!Board.queenSideLost[side] || !Board.kingSideLost[side]) {
    v = CastlingShelter<side>(e);
  } else {
    v = SettledShelter<side>(e);
  }
  return v < 0 ? 0 : v;
}

void ScoreKings(EvalContext& e) {
  // Both activities read the maps before either shelter adds its castling shares to them.
  ScoreKingActivity<kWhite>(e);
  ScoreKingActivity<kBlack>(e);
  e.whiteShelter = Shelter<kWhite>(e);
  e.blackShelter = Shelter<kBlack>(e);
}

// Enemy minor pieces and rooks guarding the squares in front of a king on its back two ranks: by the
// defender and the king's square, the squares where a minor or a rook counts (in front of the king and two
// ahead beside it) and those where only a minor counts (beside it and one ahead beside it), real squares
// only.
struct DefenderSquares {
  uint64_t minorOrRook[2][89], minor[2][89];
};
constexpr DefenderSquares MakeDefenderSquares() {
  DefenderSquares t{};
  for (int side = kWhite; side <= kBlack; side++)
    for (int s = 11; s <= 88; s++) {
      if (!onBoard[s]) continue;
      const int f = s / 10, r = side == kWhite ? s % 10 : 9 - s % 10;
      if (r > 2) continue;
      auto at = [side](int file, int rank) { return SquareAt(file, side == kWhite ? rank : 9 - rank); };
      const int rookOrMinor[4][2] = {{f - 1, r + 2}, {f, r + 2}, {f, r + 1}, {f + 1, r + 2}};
      const int minorOnly[4][2] = {{f - 1, r + 1}, {f - 1, r}, {f + 1, r + 1}, {f + 1, r}};
      for (const auto& q : rookOrMinor)
        if (q[0] >= 1 && q[0] <= 8) t.minorOrRook[side][s] |= SquareBit(at(q[0], q[1]));
      for (const auto& q : minorOnly)
        if (q[0] >= 1 && q[0] <= 8) t.minor[side][s] |= SquareBit(at(q[0], q[1]));
    }
  return t;
}
static constexpr DefenderSquares kDefenderSquares = MakeDefenderSquares();

// The defenders of a king on its first or second rank, where the attack term asks only whether there are
// none, one or more. The two kinds of squares never meet, so a minor counts once.
static uint64_t Defenders(int defender, int kingSquare) {
  const uint64_t* sets = Board.pieceSet;
  const uint64_t minors = sets[Own(defender, kKnight)] | sets[Own(defender, kBishop)];
  return (kDefenderSquares.minorOrRook[defender][kingSquare] & (minors | sets[Own(defender, kRook)])) |
         (kDefenderSquares.minor[defender][kingSquare] & minors);
}
constexpr bool DefenderSquaresApart() {
  for (int side = kWhite; side <= kBlack; side++)
    for (int s = 0; s < 89; s++)
      if (kDefenderSquares.minorOrRook[side][s] & kDefenderSquares.minor[side][s]) return false;
  return true;
}
static_assert(DefenderSquaresApart());

// The attack count as a score before the shelter: count * count / 18 + count / 2, at most 600 (reached from
// a count of 104 on), by the count below that.
constexpr int kAttackScoreCounts = 104;
struct AttackScoreTable {
  int16_t score[kAttackScoreCounts];
};
constexpr AttackScoreTable MakeAttackScoreTable() {
  AttackScoreTable t{};
  for (int a = 0; a < kAttackScoreCounts; a++) {
    const int v = a * a / 18 + a / 2;
    t.score[a] = static_cast<int16_t>(v > 600 ? 600 : v);
  }
  return t;
}
static constexpr AttackScoreTable kAttackScores = MakeAttackScoreTable();
constexpr bool AttackScoresCapFromTableEnd() {
  for (int a = kAttackScoreCounts; a < 4 * kAttackScoreCounts; a++)
    if (a * a / 18 + a / 2 < 600) return false;
  return kAttackScoreCounts * kAttackScoreCounts / 18 + kAttackScoreCounts / 2 >= 600;
}
static_assert(AttackScoresCapFromTableEnd());
static inline int AttackScore(int attack) {
  if (static_cast<unsigned>(attack) < kAttackScoreCounts) return kAttackScores.score[attack];
  const int v = attack * attack / 18 + attack / 2;  // negative counts keep the formula
  return v > 600 ? 600 : v;
}

// Whether two real squares lie at most two files and two ranks apart, by their difference + 77: the ranks
// differ by 7 at most, so a difference 10 * files + ranks of such a pair has no other reading.
struct KingsNearTable {
  bool near[155];
};
constexpr KingsNearTable MakeKingsNearTable() {
  KingsNearTable t{};
  for (int df = -2; df <= 2; df++)
    for (int dr = -2; dr <= 2; dr++) t.near[77 + 10 * df + dr] = true;
  return t;
}
static constexpr KingsNearTable kKingsNear = MakeKingsNearTable();
constexpr bool KingsNearMatchesDistances() {
  for (int a = 11; a <= 88; a++)
    for (int b = 11; b <= 88; b++) {
      if (!onBoard[a] || !onBoard[b]) continue;
      const int df = a / 10 - b / 10, dr = a % 10 - b % 10;
      const bool near = df >= -2 && df <= 2 && dr >= -2 && dr <= 2;
      if (kKingsNear.near[77 + a - b] != near) return false;
    }
  return true;
}
static_assert(KingsNearMatchesDistances());

void ScoreKingAttack(EvalContext& e) {
  const int wk = Board.king[kWhite], bk = Board.king[kBlack];
  if (kKingsNear.near[77 + wk - bk]) {
    e.whiteAttack += 5;
    e.blackAttack += 5;
  }
  for (int side = kWhite; side <= kBlack; side++) {
    if (Board.pieceMaterial[side] < 800) continue;
    const int enemy = 1 - side;
    const int enemyKing = Board.king[enemy];
    int& attack = AttackOf(e, side);
    if (RelativeRank(side, rankOf[enemyKing]) >= 7 && attack > 10) {
      const uint64_t defenders = Defenders(enemy, enemyKing);
      if (defenders == 0)
        attack += (attack - 6) / 5;
      else if ((defenders & (defenders - 1)) == 0)  // a single one
        attack += (attack - 6) / 14;
    }
    attack = AttackScore(attack);
    attack = ((500 - ShelterOf(e, enemy)) * attack) / 500;
    ScoreOf(e, side) += attack;
  }
}

}  // namespace kelb
