// Pawn structure: placement, threats, doubling, support, weaknesses, passed pawns with the kings and
// rooks around them, candidates and the spread of pawns in pawn endings.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "eval/eval.h"
#include "eval/pawn_cache.h"

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

// Value of `side`'s king on `kingSquare` near a passer of `side` on file f, relative rank r.
static inline int KingPasser(int side, int kingSquare, int f, int r) {
  int ahead = RelativeRank(side, rankOf[kingSquare]) - r;
  return kKingPasserTable[6 - ahead][fileOf[kingSquare] - f + 7];
}

// ---------------------------------------------------------------------------------------------------------
// The pawn-structure cache. Most pawn terms read nothing but where the pawns stand; they are worked out
// once per structure and kept, with what the rest of the terms need per evaluation: the squares the pawns
// attack, the squares in front of them, and the passed pawns. The square-weight maps after the pawn terms
// are a function of the pawns alone as well (a square a pawn covers never receives another pawn term), and
// none of the terms depends on the order of the pawns in their lists, so the entry is keyed by the sets of
// squares and verified against them in full: a collision costs a recomputation, never a wrong value.

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

// Ranks of the two lowest and the two highest pawns in one file of a pawn set (the file's byte, bit
// rank - 1), as the file arrays keep them: 9 where there is no such white pawn, 0 where no such black one.
struct FileRearTable {
  int8_t low[256], low2[256], high[256], high2[256];
};
static constexpr FileRearTable MakeFileRearTable() {
  FileRearTable t{};
  for (int b = 0; b < 256; b++) {
    t.low[b] = t.low2[b] = 9;
    t.high[b] = t.high2[b] = 0;
    for (int r = 1; r <= 8; r++) {
      if ((b >> (r - 1) & 1) == 0) continue;
      if (t.low[b] == 9)
        t.low[b] = static_cast<int8_t>(r);
      else if (t.low2[b] == 9)
        t.low2[b] = static_cast<int8_t>(r);
    }
    for (int r = 8; r >= 1; r--) {
      if ((b >> (r - 1) & 1) == 0) continue;
      if (t.high[b] == 0)
        t.high[b] = static_cast<int8_t>(r);
      else if (t.high2[b] == 0)
        t.high2[b] = static_cast<int8_t>(r);
    }
  }
  return t;
}
static constexpr FileRearTable kFileRears = MakeFileRearTable();

// Sets of the pawn layout: a file is a byte, a rank up one bit up.
constexpr uint64_t kRank1Set = 0x0101010101010101ull;
constexpr uint64_t kRank8Set = kRank1Set << 7;
constexpr uint64_t kDarkSet = 0xaa55aa55aa55aa55ull;  // file + rank even
// Files b-g below the seventh rank, by side.
constexpr uint64_t kForkSet[2] = {0x00ffffffffffff00ull & kRank1Set * 0x3f,
                                  0x00ffffffffffff00ull & kRank1Set * 0xfc};
static_assert(kForkSet[kWhite] == 0x003f3f3f3f3f3f00ull && kForkSet[kBlack] == 0x00fcfcfcfcfcfc00ull);

// The cached span of the maps before any pawn term.
struct CachedWeights {
  int8_t w[kCachedWeightCount];
};
static constexpr CachedWeights MakeCachedBaseWeights() {
  CachedWeights t{};
  for (int i = 0; i < kCachedWeightCount; i++) t.w[i] = BaseSquareWeights[kCachedWeightFirst + i];
  return t;
}
static constexpr CachedWeights kCachedBaseWeights = MakeCachedBaseWeights();

// The squares `side`'s pawns capture on towards the a-file and towards the h-file. A pawn on its last rank
// captures off the board, which no set holds.
template <int side>
static inline void PawnCaptures(uint64_t pawns, uint64_t& towardA, uint64_t& towardH) {
  if (side == kWhite) {
    const uint64_t p = pawns & ~kRank8Set;
    towardA = p >> 7;
    towardH = p << 9;
  } else {
    const uint64_t p = pawns & ~kRank1Set;
    towardA = p >> 9;
    towardH = p << 7;
  }
}

// Support by d + 8, d = neighbour's rank - own rank (relative) in -8..+8: the pawn table, 0 outside -4..+2.
struct SupportByDifference {
  int8_t value[17];
};
static constexpr SupportByDifference MakeSupportByDifference() {
  SupportByDifference t{};
  for (int d = -4; d <= 2; d++) t.value[d + 8] = kPawnSupportTable[d + 4];
  return t;
}
static constexpr SupportByDifference kSupportBy = MakeSupportByDifference();

// The cached weight index (square - kCachedWeightFirst) of each bit of a set.
struct CachedIndexOfBit {
  uint8_t index[64];
};
static constexpr CachedIndexOfBit MakeCachedIndexOfBit() {
  CachedIndexOfBit t{};
  for (int i = 0; i < 64; i++) t.index[i] = static_cast<uint8_t>(SquareOfBit(i) - kCachedWeightFirst);
  return t;
}
static constexpr CachedIndexOfBit kCachedIndexOfBit = MakeCachedIndexOfBit();

// Placement by the bit of the pawn's square, by side.
struct PawnSquareByBit {
  int8_t value[2][64];
};
static constexpr PawnSquareByBit MakePawnSquareByBit() {
  PawnSquareByBit t{};
  for (int i = 0; i < 64; i++) {
    const int f = i / 8 + 1, rank = i % 8 + 1;
    t.value[kWhite][i] = kPawnSquareTable[8 - rank][f - 1];
    t.value[kBlack][i] = kPawnSquareTable[rank - 1][f - 1];
  }
  return t;
}
static constexpr PawnSquareByBit kPawnSquareByBit = MakePawnSquareByBit();

// Each square of a set with the squares ahead of it on its file, towards `side`'s eighth rank.
template <int side>
static inline uint64_t FillAhead(uint64_t x) {
  if (side == kWhite) {
    x |= (x << 1) & ~kRank1Set;
    x |= (x << 2) & ~(kRank1Set * 0x03);
    x |= (x << 4) & ~(kRank1Set * 0x0f);
  } else {
    x |= (x >> 1) & ~kRank8Set;
    x |= (x >> 2) & ~(kRank1Set * 0xc0);
    x |= (x >> 4) & ~(kRank1Set * 0xf0);
  }
  return x;
}

// The squares one and two steps behind those of a set, as `side` moves: the squares whose front square,
// or the square two ahead, is in the set.
template <int side>
static inline uint64_t OneBehind(uint64_t x) {
  return side == kWhite ? (x >> 1) & ~kRank8Set : (x << 1) & ~kRank1Set;
}
template <int side>
static inline uint64_t TwoBehind(uint64_t x) {
  return side == kWhite ? (x >> 2) & ~(kRank1Set * 0xc0) : (x << 2) & ~(kRank1Set * 0x03);
}

static inline uint64_t BesideFiles(uint64_t x) { return (x << 8) | (x >> 8); }

// The pawn-only terms of `side`'s pawns (a template so that each colour's mirror folds at compile time),
// from the entry's file arrays; they add to both weight maps of the entry. enemyCaptures: the squares the
// enemy's pawns attack.
template <int side>
static void FillPawnSide(PawnCacheEntry& entry, uint64_t own, uint64_t enemy, uint64_t enemyCaptures) {
  const int up = side == kWhite ? 1 : -1;
  // The file arrays as ranks seen from `side`, in local copies that the byte stores into the entry below
  // cannot touch.
  int8_t ownRear[10], ownRear2[10], enemyRear[10], enemyRear2[10];
  for (int f = 0; f < 10; f++) {
    ownRear[f] =
        static_cast<int8_t>(side == kWhite ? entry.rear[kWhiteRear][f] : 9 - entry.rear[kBlackRear][f]);
    ownRear2[f] =
        static_cast<int8_t>(side == kWhite ? entry.rear[kWhiteRear2][f] : 9 - entry.rear[kBlackRear2][f]);
    enemyRear[f] =
        static_cast<int8_t>(side == kWhite ? entry.rear[kBlackRear][f] : 9 - entry.rear[kWhiteRear][f]);
    enemyRear2[f] =
        static_cast<int8_t>(side == kWhite ? entry.rear[kBlackRear2][f] : 9 - entry.rear[kWhiteRear2][f]);
  }
  // Indexed by square - kCachedWeightFirst.
  int8_t* const ownWeights = entry.weights[side];
  int8_t* const enemyWeights = entry.weights[1 - side];
  PawnCacheSide& ps = entry.side[side];
  ps = PawnCacheSide{};

  // 1. Counts; 3. the pawns that might fork; 4. the capture squares (what stands there is looked at per
  // evaluation).
  PawnValues& start = ps.start;
  start.count = CountSquares(own);
  start.darkCount = CountSquares(own & kDarkSet);
  start.lightCount = start.count - start.darkCount;
  start.lowFile = own != 0 ? (__builtin_ctzll(own) >> 3) + 1 : 9;
  start.highFile = own != 0 ? ((63 - __builtin_clzll(own)) >> 3) + 1 : 0;
  ps.forkSet = own & kForkSet[side];
  uint64_t towardA, towardH;
  PawnCaptures<side>(own, towardA, towardH);
  const uint64_t attacked = towardA | towardH;
  ps.attacked = attacked;
  ps.attackedTwice = towardA & towardH;
  // The squares an enemy pawn stands on or attacks: a step onto them is stopped or met.
  const uint64_t stops = enemy | enemyCaptures;
  const uint64_t pawns = own | enemy;

  // 7. Weak pawns: isolated, or backward with an enemy pawn controlling or blocking its advance. Backward:
  // no own pawn on a neighbouring file level with it or behind (for the second test, level with its front
  // square or behind), the squares ahead of the neighbours' pawns.
  // A byte's top bit set where the file holds a pawn, spread over the file.
  const uint64_t occupiedFiles = ((((own & ~kRank8Set) + ~kRank8Set) | own) & kRank8Set) >> 7;
  const uint64_t isolated = own & ~BesideFiles(occupiedFiles * 0xff);
  const uint64_t besideAhead = FillAhead<side>(BesideFiles(own));
  const uint64_t weakSet = isolated | (own & ~besideAhead & OneBehind<side>(stops)) |
                           (own & ~OneBehind<side>(besideAhead) & TwoBehind<side>(stops));
  // 9. Passed pawns: no enemy pawn ahead on the file or the neighbouring files.
  const uint64_t passedSet = own & ~OneBehind<side>(FillAhead<1 - side>(enemy | BesideFiles(enemy)));

  int squareSum = 0, structure0 = 0, structure1 = 0;  // structure by whether the enemy has 500 in pieces
  uint64_t frontSet = 0;
  int passerCount = 0, candidates0 = 0, candidates1 = 0;
  for (uint64_t rest = own; rest != 0; rest &= rest - 1) {
    const int i = __builtin_ctzll(rest);
    const uint64_t bit = uint64_t{1} << i;
    const int f = (i >> 3) + 1, rank = (i & 7) + 1;
    const int r = RelativeRank(side, rank);
    const int s = SquareAt(f, rank), front = s + up;
    // The square ahead (none off the board).
    const uint64_t frontBit = side == kWhite ? (bit << 1) & ~kRank1Set : (bit >> 1) & ~kRank8Set;

    // 2. Placement.
    squareSum += kPawnSquareByBit.value[side][i];

    // 5. Doubled.
    const int doubled = ownRear2[f] != 9 ? -4 : 0;

    // 6. Support from neighbouring pawns.
    const int left = ownRear[f - 1], right = ownRear[f + 1];
    const int8_t* support = &kSupportBy.value[8 - r];
    int u = support[left] + support[right] + support[ownRear2[f - 1]] + support[ownRear2[f + 1]];
    if (u > 10) u = (u - 10) / 4 + 10;

    // 7. Against 500 in pieces a weak pawn loses its support value: u1.
    const bool weak = (weakSet & bit) != 0;
    int u1 = u;
    if (weak) {
      enemyWeights[s - kCachedWeightFirst] += 10;
      if (enemyRear[f] == 0)
        u1 = -12;
      else if ((pawns & frontBit) == 0)
        u1 = -7;
    }

    // 8. Structure, halved on the rook files (u is never negative).
    if (f == 1 || f == 8) {
      structure0 += u >> 1;
      structure1 += u1 / 2;
    } else {
      structure0 += u;
      structure1 += u1;
    }

    // 9. Passed pawn.
    if ((passedSet & bit) != 0) {
      PawnCachePasser& pp = ps.passers[passerCount++];
      pp.square = static_cast<uint8_t>(s);
      pp.file = static_cast<uint8_t>(f);
      pp.rank = static_cast<uint8_t>(r);
      pp.undoubled = doubled == 0;
      pp.noEnemyPawnOnFile = enemyRear[f] == 0;
      pp.base[0] = static_cast<int16_t>(kPassedPawnBonus[r] + u / 4 + 2 * doubled);
      pp.base[1] = static_cast<int16_t>(kPassedPawnBonus[r] + u1 / 4 + 2 * doubled);
      int connected = 0;
      if (r > 4) {
        for (int df = -1; df <= 1; df += 2) {
          int nf = f + df;
          if (nf < 1 || nf > 8) continue;
          int mate = ownRear[nf];
          if (std::abs(mate - r) < 2 && enemyRear[nf] < mate && enemyRear[nf + df] <= mate)
            connected += 15 * r - 65;
        }
      }
      pp.connected = static_cast<int16_t>(connected);
      // Own pawns beside it cover the square in front.
      if ((own & ((bit >> 8) | (bit << 8))) == 0)
        enemyWeights[front - kCachedWeightFirst] += kPassedPawnBlock[r];
      ownWeights[front - kCachedWeightFirst] += kPassedPawnBlock[r];
      if (weak) ownWeights[s - kCachedWeightFirst] += 10;
    } else {
      // 10. Not passed: advance, and the candidate passer.
      frontSet |= frontBit;
      const int advance = kPawnAdvanceBonus[r] + doubled;
      structure0 += advance;
      structure1 += advance;
      if (enemyRear[f] == 0 && ((enemyRear[f - 1] == 0 && enemyRear2[f + 1] == 0) ||
                                (enemyRear[f + 1] == 0 && enemyRear2[f - 1] == 0))) {
        if (u > 4) {
          structure0 += kPawnAdvanceBonus[r] - 14;
          ps.candidateFiles[0][candidates0++] = static_cast<uint8_t>(f);
        }
        if (u1 > 4) {
          structure1 += kPawnAdvanceBonus[r] - 14;
          ps.candidateFiles[1][candidates1++] = static_cast<uint8_t>(f);
        }
      }
    }
  }
  start.squareSum = static_cast<int16_t>(squareSum);
  ps.structure[0] = static_cast<int16_t>(structure0);
  ps.structure[1] = static_cast<int16_t>(structure1);
  ps.frontSet = frontSet;
  ps.passerCount = static_cast<uint8_t>(passerCount);
  ps.candidateCount[0] = static_cast<uint8_t>(candidates0);
  ps.candidateCount[1] = static_cast<uint8_t>(candidates1);

  // Enemy pieces gain little from squares a pawn covers. No other pawn term lands on such a square (a pawn
  // covering it would make the passer not passed, the weak pawn defended, the blocking square covered), so
  // the order does not matter. A pawn on its last rank covers border numbers inside the kept span.
  for (uint64_t rest = attacked; rest != 0; rest &= rest - 1)
    enemyWeights[kCachedIndexOfBit.index[__builtin_ctzll(rest)]] = 1;
  if ((own & (side == kWhite ? kRank8Set : kRank1Set)) != 0) [[unlikely]] {
    for (uint64_t rest = own & (side == kWhite ? kRank8Set : kRank1Set); rest != 0; rest &= rest - 1) {
      const int f = (__builtin_ctzll(rest) >> 3) + 1;
      const int beyond = side == kWhite ? 9 : 0;
      if (f > 1) enemyWeights[SquareAt(f - 1, beyond) - kCachedWeightFirst] = 1;
      if (f < 8) enemyWeights[SquareAt(f + 1, beyond) - kCachedWeightFirst] = 1;
    }
  }
}

// Kept out of ScorePawns: most evaluations find their entry, and the fill inlined there made every hit pay
// for its registers.
__attribute__((noinline)) void FillPawnEntry(PawnCacheEntry& entry, uint64_t white, uint64_t black) {
  entry.pawns[kWhite] = white;
  entry.pawns[kBlack] = black;
  entry.rear[kWhiteRear][0] = entry.rear[kWhiteRear][9] = entry.rear[kWhiteRear2][0] =
      entry.rear[kWhiteRear2][9] = 9;
  entry.rear[kBlackRear][0] = entry.rear[kBlackRear][9] = entry.rear[kBlackRear2][0] =
      entry.rear[kBlackRear2][9] = 0;
  for (int f = 1; f <= 8; f++) {
    const unsigned w = (white >> (8 * (f - 1))) & 0xff, b = (black >> (8 * (f - 1))) & 0xff;
    entry.rear[kWhiteRear][f] = kFileRears.low[w];
    entry.rear[kWhiteRear2][f] = kFileRears.low2[w];
    entry.rear[kBlackRear][f] = kFileRears.high[b];
    entry.rear[kBlackRear2][f] = kFileRears.high2[b];
  }
  std::memcpy(entry.weights[kWhite], kCachedBaseWeights.w, kCachedWeightCount);
  std::memcpy(entry.weights[kBlack], kCachedBaseWeights.w, kCachedWeightCount);
  uint64_t towardA, towardH;
  PawnCaptures<kBlack>(black, towardA, towardH);
  FillPawnSide<kWhite>(entry, white, black, towardA | towardH);
  PawnCaptures<kWhite>(white, towardA, towardH);
  FillPawnSide<kBlack>(entry, black, white, towardA | towardH);
  for (int side = kWhite; side <= kBlack; side++) {
    for (int wing = 0; wing < 2; wing++)
      entry.wingShelter[side][wing] = WingPawnShelter{0, kWingShelterUnknown, 0};
    entry.homeShelter[side] = HomePawnShelter{0, kHomeShelterUnknown};
    entry.kingRing[side] = KingRingWeights{0, 0};
  }
}

// The terms of `side`'s pawns that read more than the pawns, from its part of the entry; occupied: every
// occupied square.
template <int side>
static inline __attribute__((always_inline)) void ScorePawnsOfSide(EvalContext& e, const PawnCacheSide& ps,
                                                                   uint64_t occupied) {
  const int enemy = 1 - side;
  const int up = side == kWhite ? 1 : -1;
  const bool enemyHasPieces = Board.pieceMaterial[enemy] >= 500;
  const int enemyKing = Board.king[enemy], ownKing = Board.king[side];
  const int enemyKingFile = fileOf[enemyKing];
  const auto& sq = Board.squares;
  PawnValues& pv = e.pawnValues[side];
  pv = ps.start;
  pv.structureSum = ps.structure[enemyHasPieces];

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

  std::memcpy(e.rear, entry.rear, sizeof e.rear);
  CopyCachedWeights(e.WhiteSquareWeights, entry.weights[kWhite]);
  CopyCachedWeights(e.BlackSquareWeights, entry.weights[kBlack]);
  e.wingShelter = entry.wingShelter;
  e.homeShelter = entry.homeShelter;
  e.kingRing = entry.kingRing;

  const uint64_t occupied = OccupiedSquares();
  ScorePawnsOfSide<kWhite>(e, entry.side[kWhite], occupied);
  ScorePawnsOfSide<kBlack>(e, entry.side[kBlack], occupied);

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
