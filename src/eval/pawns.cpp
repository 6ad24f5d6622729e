// Pawn structure: placement, threats, doubling, support, weaknesses, passed pawns with the kings and
// rooks around them, candidates and the spread of pawns in pawn endings.
#include <cstdint>
#include <cstdlib>
#include <cstring>

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
      e.whiteRear[f] = static_cast<int8_t>(r);
    } else if (r < e.whiteRear2[f]) {
      e.whiteRear2[f] = static_cast<int8_t>(r);
    }
  }
  for (int i = 1; i <= kMaxPawnSlots; i++) {
    int s = Board.pawns[kBlack][i];
    if (s == 0) continue;
    int f = fileOf[s], r = rankOf[s];
    if (r > e.blackRear[f]) {
      e.blackRear2[f] = e.blackRear[f];
      e.blackRear[f] = static_cast<int8_t>(r);
    } else if (r > e.blackRear2[f]) {
      e.blackRear2[f] = static_cast<int8_t>(r);
    }
  }
}

// ---------------------------------------------------------------------------------------------------------
// The pawn-structure cache. Most pawn terms read nothing but where the pawns stand; they are worked out
// once per structure and kept, with what the rest of the terms need per evaluation: the squares the pawns
// attack, the squares in front of them, and the passed pawns. The square-weight maps after the pawn terms
// are a function of the pawns alone as well (a square a pawn covers never receives another pawn term), and
// none of the terms depends on the order of the pawns in their lists, so the entry is keyed by the sets of
// squares and verified against them in full: a collision costs a recomputation, never a wrong value.

// A passed pawn: what its score needs besides the kings, the rooks and the squares in front.
struct PawnCachePasser {
  uint8_t square, file, rank;  // rank seen from its side
  uint8_t undoubled;           // no second pawn of its side on the file
  uint8_t noEnemyPawnOnFile;
  int16_t base[2];    // rank bonus, support and doubling, by whether the enemy has 500 in pieces
  int16_t connected;  // bonus for passed neighbours
};

struct PawnCacheSide {
  int16_t count, squareSum, darkCount, lightCount, lowFile, highFile;
  int16_t structure[2];  // structure terms of every pawn but the passers' own score and the blocked fronts,
                         // by whether the enemy has 500 in pieces
  uint64_t attacked, attackedTwice;  // squares its pawns attack (bit as in the entry's pawn sets)
  uint64_t frontSet;                 // squares in front of the pawns that are not passed
  uint64_t forkSet;                  // pawns whose step forward could fork (files b-g, below rank 7)
  uint8_t passerCount;
  uint8_t candidateCount[2];
  uint8_t candidateFiles[2][kMaxPawnSlots];
  PawnCachePasser passers[kMaxPawnSlots];
};

// The weight maps are kept for squares 10..89, which hold every real square; the rest is 0 in any map.
constexpr int kCachedWeightFirst = 10;
constexpr int kCachedWeightCount = 80;

constexpr bool WeightsZeroOutsideCache() {
  for (int s = kFirstSquareIndex; s <= kLastSquareIndex; s++)
    if ((s < kCachedWeightFirst || s >= kCachedWeightFirst + kCachedWeightCount) && BaseSquareWeights[s] != 0)
      return false;
  return true;
}
static_assert(WeightsZeroOutsideCache(),
              "the pawn terms weigh real squares only, all inside the cached span");

// A whole map from the cached squares, the border numbers around them 0 as in every map.
static inline void CopyCachedWeights(SquareArray<int8_t>& map, const int8_t* cached) {
  constexpr int before = kCachedWeightFirst - kFirstSquareIndex;
  constexpr int after = kSquareArraySize - before - kCachedWeightCount;
  std::memset(&map[kFirstSquareIndex], 0, before);
  std::memcpy(&map[kCachedWeightFirst], cached, kCachedWeightCount);
  std::memset(&map[kCachedWeightFirst + kCachedWeightCount], 0, after);
}

struct PawnCacheEntry {
  uint64_t pawns[2];   // squares of the pawns by side, bit 8 * (file - 1) + rank - 1; ~0 in an empty entry
  int8_t rear[4][10];  // whiteRear, whiteRear2, blackRear, blackRear2
  int8_t weights[2][kCachedWeightCount];  // White's and Black's square weights after the pawn terms
  WingPawnShelter wingShelter[2][2];
  HomePawnShelter homeShelter[2];
  PawnCacheSide side[2];
};

// Two entries per slot, the one used last kept when a third structure comes: the search goes back and forth
// between a few structures that a single entry per slot would keep evicting from each other.
constexpr int kPawnCacheEntries = 8192;
constexpr int kPawnCacheSlots = kPawnCacheEntries / 2;  // a power of two
static PawnCacheEntry pawnCache[kPawnCacheSlots][2];
static uint8_t pawnCacheRecent[kPawnCacheSlots];  // the entry of each slot used last

void ClearPawnCache() {
  for (auto& slot : pawnCache)
    for (PawnCacheEntry& entry : slot) entry.pawns[kWhite] = entry.pawns[kBlack] = ~uint64_t{0};
  std::memset(pawnCacheRecent, 0, sizeof pawnCacheRecent);
}

[[maybe_unused]] static const bool pawnCacheClearedAtLoad = (ClearPawnCache(), true);

// The pawn sets are the board's: bit 8 * (file - 1) + rank - 1 (see SquareBit).
static inline uint64_t PawnSet(int side) { return Board.pieceSet[PieceCode(side, kPawn)]; }

// The real squares around each square, as sets.
struct NeighbourSets {
  uint64_t set[89];
};
static constexpr NeighbourSets MakeNeighbourSets() {
  NeighbourSets t{};
  for (int s = 11; s <= 88; s++) {
    if (!onBoard[s]) continue;
    for (int step : kingSteps) {
      const int n = s + step;
      t.set[s] |= SquareBit(n);
    }
  }
  return t;
}
static constexpr NeighbourSets kNeighbours = MakeNeighbourSets();

// Enemy pieces of one code on squares the pawns attack: the threat value and the count of threats, once per
// attacking pawn.
template <int side>
static inline void ScoreAttackedCode(int code, const PawnCacheSide& ps, PawnValues& pv, int32_t& threats) {
  const uint64_t pieces = Board.pieceSet[code];
  const uint64_t once = ps.attacked & pieces;
  if (once == 0) return;
  const int n = CountSquares(once) + CountSquares(ps.attackedTwice & pieces);
  pv.squareSum += n * kPawnThreatTable[side][code];
  threats += n;
}

static inline uint32_t PawnCacheIndex(uint64_t white, uint64_t black) {
  const uint64_t h = white * 0x9e3779b97f4a7c15ull ^ (black + 0x632be59bd9b4e019ull) * 0xc2b2ae3d27d4eb4full;
  return static_cast<uint32_t>(h >> 40) & (kPawnCacheSlots - 1);
}

uint32_t PawnCacheSlot() { return PawnCacheIndex(PawnSet(kWhite), PawnSet(kBlack)); }

// The pawn-only terms of one pawn of `side` on square s (a template so that each colour's mirror folds at
// compile time). e holds the file arrays and the weight maps being built.
template <int side>
static void AnalysePawn(EvalContext& e, int s, PawnCacheSide& ps) {
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

static void FillPawnEntry(PawnCacheEntry& entry, uint64_t white, uint64_t black) {
  EvalContext e;
  e.WhiteSquareWeights = BaseSquareWeights;
  e.BlackSquareWeights = BaseSquareWeights;
  FillPawnFiles(e);
  entry.pawns[kWhite] = white;
  entry.pawns[kBlack] = black;
  for (int side = kWhite; side <= kBlack; side++) {
    entry.side[side] = PawnCacheSide{};
    entry.side[side].lowFile = 9;
    entry.side[side].highFile = 0;
  }
  for (int i = 1; i <= kMaxPawnSlots; i++) {
    if (Board.pawns[kWhite][i] != 0) AnalysePawn<kWhite>(e, Board.pawns[kWhite][i], entry.side[kWhite]);
    if (Board.pawns[kBlack][i] != 0) AnalysePawn<kBlack>(e, Board.pawns[kBlack][i], entry.side[kBlack]);
  }
  for (int side = kWhite; side <= kBlack; side++) {
    for (int wing = 0; wing < 2; wing++)
      entry.wingShelter[side][wing] = WingPawnShelter{0, kWingShelterUnknown, 0};
    entry.homeShelter[side] = HomePawnShelter{0, kHomeShelterUnknown};
  }
  std::memcpy(entry.rear[0], e.whiteRear, 10);
  std::memcpy(entry.rear[1], e.whiteRear2, 10);
  std::memcpy(entry.rear[2], e.blackRear, 10);
  std::memcpy(entry.rear[3], e.blackRear2, 10);
  std::memcpy(entry.weights[kWhite], &e.WhiteSquareWeights[kCachedWeightFirst], kCachedWeightCount);
  std::memcpy(entry.weights[kBlack], &e.BlackSquareWeights[kCachedWeightFirst], kCachedWeightCount);
}

// The terms of `side`'s pawns that read more than the pawns, from its part of the entry.
template <int side>
static void ScorePawnsOfSide(EvalContext& e, const PawnCacheSide& ps) {
  const int enemy = 1 - side;
  const int up = side == kWhite ? 1 : -1;
  const bool enemyHasPieces = Board.pieceMaterial[enemy] >= 500;
  const int enemyKing = Board.king[enemy], ownKing = Board.king[side];
  const int enemyKingFile = fileOf[enemyKing];
  const auto& sq = Board.squares;
  const uint64_t occupied = OccupiedSquares();
  PawnValues& pv = e.pawnValues[side];
  pv = PawnValues{ps.count,   ps.squareSum, ps.structure[enemyHasPieces], 0, ps.darkCount, ps.lightCount,
                  ps.lowFile, ps.highFile};

  // A step forward would fork two pieces: the square ahead empty, an enemy knight..king on both squares
  // the pawn would then attack. On the sets a rank up is one bit up and a file eight bits; the fork pawns
  // stand on files b-g below the seventh rank, so no shift leaves the board.
  if (Board.side == side && ps.forkSet != 0) {
    const uint64_t* sets = Board.pieceSet;
    const uint64_t pieces = sets[Enemy(side, kKnight)] | sets[Enemy(side, kBishop)] |
                            sets[Enemy(side, kRook)] | sets[Enemy(side, kQueen)] | sets[Enemy(side, kKing)];
    const uint64_t forks = side == kWhite ? ps.forkSet & ~(occupied >> 1) & (pieces << 6) & (pieces >> 10)
                                          : ps.forkSet & ~(occupied << 1) & (pieces << 10) & (pieces >> 6);
    if (forks != 0) pv.squareSum += 15 * CountSquares(forks);
  }

  // A capture square in the enemy king's zone starts the attack count (the zone is 3 on every square around
  // the king, or empty).
  const KingZoneView enemyZone = KingZoneOf(e, enemy);
  if (AttackOf(e, side) == 0 && (ps.attacked & kNeighbours.set[enemyKing]))
    AttackOf(e, side) = 2 * enemyZone[enemyKing + kingSteps[0]];
  // Enemy pieces on the capture squares (pawns score nothing there).
  int32_t& threats = ThreatsOf(e, side);
  if (ps.attacked & (Board.pieceSet[Enemy(side, kKnight)] | Board.pieceSet[Enemy(side, kBishop)] |
                     Board.pieceSet[Enemy(side, kRook)] | Board.pieceSet[Enemy(side, kQueen)])) {
    ScoreAttackedCode<side>(Enemy(side, kKnight), ps, pv, threats);
    ScoreAttackedCode<side>(Enemy(side, kBishop), ps, pv, threats);
    ScoreAttackedCode<side>(Enemy(side, kRook), ps, pv, threats);
    ScoreAttackedCode<side>(Enemy(side, kQueen), ps, pv, threats);
  }
  const uint64_t kingBit = SquareBit(enemyKing);
  if (ps.attacked & kingBit) threats += (ps.attackedTwice & kingBit) ? 2 : 1;

  // Blocked pawns, and candidates by their distance from the enemy king.
  pv.structureSum -= 3 * CountSquares(ps.frontSet & occupied);
  for (int i = 0; i < ps.candidateCount[enemyHasPieces]; i++)
    pv.structureSum += std::abs(enemyKingFile - ps.candidateFiles[enemyHasPieces][i]);

  // Passed pawns with the kings and rooks around them.
  for (int i = 0; i < ps.passerCount; i++) {
    const PawnCachePasser& pp = ps.passers[i];
    const int f = pp.file, r = pp.rank;
    const int front = pp.square + up;
    int ownKp = KingPasser(side, ownKing, f, r), enemyKp = KingPasser(side, enemyKing, f, r);
    int p = std::abs(enemyKingFile - f) + pp.base[enemyHasPieces] + ownKp - enemyKp;

    if (Board.pieceMaterial[enemy] == 0) {
      p += ownKp - enemyKp + 6;
      int enemyKingRank = RelativeRank(side, rankOf[enemyKing]);
      int fileGap = std::abs(f - enemyKingFile);
      if ((enemyKingRank < r || 8 - r < fileGap) &&
          (Board.side == side || enemyKingRank + 1 < r || 9 - r < fileGap))
        p = 2 * kPassedPawnBonus[r] + 40;  // the king cannot catch it
    }
    p += pp.connected;

    if (sq[front] != kEmpty) p -= kPassedPawnBlock[r];

    const bool undoubled = pp.undoubled, noEnemyPawnOnFile = pp.noEnemyPawnOnFile;
    for (int k = 1; k <= Board.rookCount[side]; k++) {
      int rs = Board.rooks[side][k];
      if (rs == 0) continue;
      int rf = fileOf[rs], rr = RelativeRank(side, rankOf[rs]);
      if (rf == f - 1 || rf == f + 1) {
        if (r == 7 && rr == 8)
          p += 13;
        else if (OwnRear(e, side, rf) == 9 && EnemyRear(e, side, rf) == 0)
          p += 3;
      } else if (rf == f) {
        p += (undoubled && rr < r && noEnemyPawnOnFile) ? 7 : 3;
      }
    }
    for (int k = 1; k <= Board.rookCount[enemy]; k++) {
      int rs = Board.rooks[enemy][k];
      if (rs == 0 || fileOf[rs] != f) continue;
      int rr = RelativeRank(side, rankOf[rs]);
      p -= (undoubled && rr < r && noEnemyPawnOnFile) ? 6 : 2;
    }

    if (p > pv.bestPassed) pv.bestPassed = p;
    pv.structureSum += p;
  }
}

void ScorePawns(EvalContext& e) {
  const uint64_t white = PawnSet(kWhite), black = PawnSet(kBlack);
  const uint32_t slot = PawnCacheIndex(white, black);
  PawnCacheEntry* pair = pawnCache[slot];
  int way = 0;
  if (pair[0].pawns[kWhite] != white || pair[0].pawns[kBlack] != black) {
    way = 1;
    if (pair[1].pawns[kWhite] != white || pair[1].pawns[kBlack] != black) {
      way = 1 - pawnCacheRecent[slot];
      FillPawnEntry(pair[way], white, black);
    }
  }
  pawnCacheRecent[slot] = static_cast<uint8_t>(way);
  PawnCacheEntry& entry = pair[way];

  std::memcpy(e.whiteRear, entry.rear[0], 10);
  std::memcpy(e.whiteRear2, entry.rear[1], 10);
  std::memcpy(e.blackRear, entry.rear[2], 10);
  std::memcpy(e.blackRear2, entry.rear[3], 10);
  CopyCachedWeights(e.WhiteSquareWeights, entry.weights[kWhite]);
  CopyCachedWeights(e.BlackSquareWeights, entry.weights[kBlack]);
  e.wingShelter = entry.wingShelter;
  e.homeShelter = entry.homeShelter;

  ScorePawnsOfSide<kWhite>(e, entry.side[kWhite]);
  ScorePawnsOfSide<kBlack>(e, entry.side[kBlack]);

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
