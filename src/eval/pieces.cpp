// Knights, bishops, rooks and queens: material, mobility on the square-weight maps, pins and x-rays,
// outposts, open files, and the attack counts against the enemy king.
#include <cstdlib>
#include <cstring>
#if defined(__AVX512BW__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <type_traits>
#include <utility>

#include "board/attack.h"
#include "eval/eval.h"

namespace kelb {

// Piece codes seen from a side: 0 empty, 1..6 own P N B R Q K, 7..12 enemy P N B R Q K.
static constexpr int8_t kRelativeCode[2][13] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
    {0, 7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6},
};

// Tables by relative code: empty, own P N B R Q K, enemy P N B R Q K.
static constexpr int8_t kKnightSquareTable[13] = {0, -2, 3, 2, 0, 0, 0, 0, 0, 10, 11, 19, 0};
static constexpr int8_t kBishopDirect[13] = {0, -2, 3, 0, 0, 0, 0, 3, 6, 0, 13, 20, 0};
static constexpr int8_t kBishopBeyond[13] = {0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 8, 11, 12};
static constexpr int8_t kBishopRayClass[13] = {0, 2, 1, 0, 1, 0, 2, 2, 1, 2, 1, 1, 0};
static constexpr int8_t kRookDirect[13] = {0, -2, 3, 3, 4, 0, -2, 0, 7, 10, 0, 12, 0};
static constexpr int8_t kRookBeyond[13] = {0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 0, 10, 28};
static constexpr int8_t kRookRayClass[13] = {0, 2, 1, 1, 0, 0, 2, 2, 1, 1, 2, 1, 0};
static constexpr int8_t kQueenDirect[13] = {0, -2, 3, 3, 0, 0, 0, 0, 7, 0, 0, 0, 0};
static constexpr int8_t kQueenBeyond[13] = {0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 18};

// kKnightSquareTable by absolute piece code, for each side.
struct CodeTable {
  int8_t cell[13];
};
static constexpr CodeTable MakeCodeTable(int side, const int8_t (&relative)[13]) {
  CodeTable t{};
  for (int code = 0; code < 13; code++) t.cell[code] = relative[kRelativeCode[side][code]];
  return t;
}
static constexpr CodeTable kKnightSquares[2] = {MakeCodeTable(kWhite, kKnightSquareTable),
                                                MakeCodeTable(kBlack, kKnightSquareTable)};

// Ray classes: the ray passes on, the square is a blocker (walk on in x-ray mode), the ray stops.
enum : int { kRayPass = 0, kRayBlock = 1, kRayStop = 2 };

// [file distance][rank distance] between a knight and a target.
static constexpr int8_t kKnightForkTable[5][5] = {
    {0, 0, 3, 0, 4}, {0, 4, 0, 4, 0}, {3, 0, 0, 0, 3}, {0, 4, 0, 4, 0}, {4, 0, 3, 0, 0},
};
static constexpr int8_t kKnightAttackTable[6][6] = {
    {0, 4, 10, 8, 6, 2}, {4, 5, 0, 8, 3, 2}, {10, 0, 9, 10, 1, 0},
    {8, 8, 10, 2, 1, 0}, {6, 3, 1, 1, 0, 0}, {2, 2, 0, 0, 0, 0},
};

// By flags: 1 enemy pawn on the file (knight: ahead), 2 no enemy pawn can ever attack the square,
// 4 no own pawn on the file, 8 defended by an own pawn.
static constexpr int8_t kOutpostTable[16] = {0, 0, 0, 3, 0, 0, 0, 3, 8, 8, 26, 26, 8, 8, 26, 26};
static constexpr int8_t kBishopOutpostTable[16] = {0, 0, 0, 0, 0, 0, 0, 0, 5, 5, 17, 17, 5, 5, 17, 17};

// The two tables above by the knight's square and the target's, read with one lookup: [knight][target], 0
// for an empty list slot (target 0) and for targets out of reach of the table.
struct KnightTargetTable {
  int8_t fork[89][89];
  int8_t attack[89][89];
};
static constexpr KnightTargetTable MakeKnightTargetTable() {
  KnightTargetTable t{};
  for (int a = 11; a <= 88; a++) {
    if (!onBoard[a]) continue;
    for (int b = 11; b <= 88; b++) {
      if (!onBoard[b]) continue;
      const int df = fileOf[a] > fileOf[b] ? fileOf[a] - fileOf[b] : fileOf[b] - fileOf[a];
      const int dr = rankOf[a] > rankOf[b] ? rankOf[a] - rankOf[b] : rankOf[b] - rankOf[a];
      t.fork[a][b] = df < 5 && dr < 5 ? kKnightForkTable[df][dr] : 0;
      t.attack[a][b] = df < 6 && dr < 6 ? kKnightAttackTable[df][dr] : 0;
    }
  }
  return t;
}
static constexpr KnightTargetTable kKnightTargets = MakeKnightTargetTable();

static inline int ForkValue(int a, int b) { return kKnightTargets.fork[a][b]; }

// What a bishop gets for its line to the enemy king, by the file and rank differences between them (each
// + 7): on a diagonal of the king 4, and 2 to its attack count; beside one (the distances one apart) 2.
struct KingLine {
  int8_t score, zone;
};
struct KingLineTable {
  KingLine cell[15][15];
};
static constexpr KingLineTable MakeKingLineTable() {
  KingLineTable t{};
  for (int fd = -7; fd <= 7; fd++)
    for (int rd = -7; rd <= 7; rd++) {
      const int df = fd < 0 ? -fd : fd, dr = rd < 0 ? -rd : rd;
      const bool diagonal = df == dr, beside = df - dr == 1 || dr - df == 1;
      const int score = diagonal ? 4 : beside ? 2 : 0;
      t.cell[fd + 7][rd + 7] = KingLine{static_cast<int8_t>(score), static_cast<int8_t>(diagonal ? 2 : 0)};
    }
  return t;
}
static constexpr KingLineTable kKingLines = MakeKingLineTable();

// 1 on the squares where a knight or bishop of the side can stand on an outpost: files b to g, the side's
// own third to seventh ranks.
struct OutpostSquares {
  SquareArray<int8_t> side[2];
};
static constexpr OutpostSquares MakeOutpostSquares() {
  OutpostSquares t{};
  for (int side = kWhite; side <= kBlack; side++)
    for (int f = 2; f <= 7; f++)
      for (int r = 3; r <= 7; r++) t.side[side][SquareAt(f, side == kWhite ? r : 9 - r)] = 1;
  return t;
}
static constexpr OutpostSquares kOutpostSquares = MakeOutpostSquares();

// Outpost flags 2, 4 and 8, shared by knights and bishops on file f, relative rank r.
static int OutpostFlags(const EvalContext& e, int side, int f, int r) {
  int flags = 0;
  if (EnemyRear(e, side, f - 1) <= r && EnemyRear(e, side, f + 1) <= r) flags |= 2;
  if (OwnRear(e, side, f) == 9) flags |= 4;
  const int ownPawn = Own(side, kPawn);
  if (Board.squares[RelativeSquare(side, f - 1, r - 1)] == ownPawn ||
      Board.squares[RelativeSquare(side, f + 1, r - 1)] == ownPawn)
    flags |= 8;
  return flags;
}

// What the piece that halts a ray (direct) or ends its x-ray (beyond) is worth to a slider of one side, by
// absolute piece code: the value tables above with the relative codes folded in.
struct RayCell {
  int8_t direct, beyond;
};
struct RayTable {
  RayCell cell[13];
};
static constexpr RayTable MakeRayTable(int side, const int8_t (&direct)[13], const int8_t (&beyond)[13]) {
  RayTable t{};
  for (int code = 0; code < 13; code++) {
    const int c = kRelativeCode[side][code];
    t.cell[code] = RayCell{direct[c], beyond[c]};
  }
  return t;
}
// [side]
static constexpr RayTable kBishopRays[2] = {MakeRayTable(kWhite, kBishopDirect, kBishopBeyond),
                                            MakeRayTable(kBlack, kBishopDirect, kBishopBeyond)};
static constexpr RayTable kRookRays[2] = {MakeRayTable(kWhite, kRookDirect, kRookBeyond),
                                          MakeRayTable(kBlack, kRookDirect, kRookBeyond)};
static constexpr RayTable kQueenRays[2] = {MakeRayTable(kWhite, kQueenDirect, kQueenBeyond),
                                           MakeRayTable(kBlack, kQueenDirect, kQueenBeyond)};

// The pieces a ray passes are worth nothing, but for the one relative code `valued` (-1: none), which the
// terms count over the squares the rays see.
static constexpr bool PassedPiecesWorthNothing(const int8_t (&direct)[13], const int8_t (&rayClass)[13],
                                               int valued) {
  for (int c = 1; c < 13; c++)
    if (rayClass[c] == kRayPass && direct[c] != 0 && c != valued) return false;
  return true;
}
constexpr int kOwnBishopCode = 3, kOwnRookCode = 4;  // relative codes
static_assert(PassedPiecesWorthNothing(kBishopDirect, kBishopRayClass, -1) &&
                  PassedPiecesWorthNothing(kRookDirect, kRookRayClass, kOwnRookCode) &&
                  PassedPiecesWorthNothing(kQueenDirect, kBishopRayClass, kOwnBishopCode) &&
                  PassedPiecesWorthNothing(kQueenDirect, kRookRayClass, -1),
              "the rays count only own rooks (rook) and own bishops (queen, diagonals) among passed pieces");

// rays[direction][bit], direction as in kingSteps: the squares from the bit's square to the edge, as a set.
// Directions 0, 1, 4 and 5 lead to lower bits, so the nearest square of a set on such a ray is its highest
// bit; on the others it is the lowest. count[direction][bit] is the number of squares of the ray.
struct BitRays {
  uint64_t ray[8][64];
  int8_t count[8][64];
};
static constexpr BitRays MakeBitRays() {
  BitRays t{};
  for (int d = 0; d < 8; d++)
    for (int i = 0; i < 64; i++) {
      t.ray[d][i] = kAttackSets.ray[d][SquareOfBit(i)];
      for (uint64_t rest = t.ray[d][i]; rest != 0; rest &= rest - 1) t.count[d][i]++;
    }
  return t;
}
static constexpr BitRays kBitRays = MakeBitRays();

template <int dir>
static inline int NearestBit(uint64_t set) {
  if constexpr (kingSteps[dir] < 0)
    return 63 - __builtin_clzll(set);
  else
    return __builtin_ctzll(set);
}

// The sum of a side's square weights over a set. The weights are laid out by bit, each biased by 128 to
// make it unsigned, and the chosen ones added by sums of absolute differences against zero: 64 at a time with
// 512-bit vectors under a bit mask; else 16 at a time, the set's bits spread to byte masks by a table.
#if defined(__AVX512BW__)
struct SetWeights {
  __m512i biased;  // byte i: the weight of the square of bit i, plus 128
};
#elif defined(__SSE2__)
struct SetWeights {
  __m128i biased[4];
};
// The bits of a byte spread to the bytes of a word: 0xff where the bit is set.
struct ByteMasks {
  uint64_t mask[256];
};
static constexpr ByteMasks MakeByteMasks() {
  ByteMasks t{};
  for (int b = 0; b < 256; b++)
    for (int i = 0; i < 8; i++)
      if (b >> i & 1) t.mask[b] |= uint64_t{0xff} << (8 * i);
  return t;
}
static constexpr ByteMasks kByteMasks = MakeByteMasks();
#else
struct SetWeights {
  const SquareArray<int8_t>* weights;
};
#endif
static inline SetWeights MakeSetWeights(const SquareArray<int8_t>& weights) {
#if defined(__AVX512BW__) || defined(__SSE2__)
  // File f's eight squares lie side by side in the map, from square 10 * f + 1 on.
  uint64_t files[8];
  for (int f = 1; f <= 8; f++) std::memcpy(&files[f - 1], &weights[10 * f + 1], 8);
#endif
#if defined(__AVX512BW__)
  const __m512i bytes = _mm512_loadu_si512(files);
  return SetWeights{_mm512_xor_si512(bytes, _mm512_set1_epi8(static_cast<char>(0x80)))};
#elif defined(__SSE2__)
  SetWeights w;
  const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
  for (int i = 0; i < 4; i++)
    w.biased[i] = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&files[2 * i])), bias);
  return w;
#else
  return SetWeights{&weights};
#endif
}
static inline int WeightSum(const SetWeights& w, uint64_t set) {
#if defined(__AVX512BW__)
  const __m512i picked = _mm512_maskz_mov_epi8(set, w.biased);
  const __m512i sums = _mm512_sad_epu8(picked, _mm512_setzero_si512());
  return static_cast<int>(_mm512_reduce_add_epi64(sums)) - 128 * CountSquares(set);
#elif defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
  __m128i sums = zero, counts = zero;
  for (int i = 0; i < 4; i++) {
    const __m128i chosen = _mm_set_epi64x(static_cast<int64_t>(kByteMasks.mask[(set >> (16 * i + 8)) & 0xff]),
                                          static_cast<int64_t>(kByteMasks.mask[(set >> (16 * i)) & 0xff]));
    sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_and_si128(chosen, w.biased[i]), zero));
    counts = _mm_add_epi64(counts, _mm_sad_epu8(_mm_and_si128(chosen, one), zero));
  }
  sums = _mm_sub_epi64(sums, _mm_slli_epi64(counts, 7));
  return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
#else
  int sum = 0;
  for (; set != 0; set &= set - 1) sum += (*w.weights)[SquareOfBit(__builtin_ctzll(set))];
  return sum;
#endif
}

// The pieces each class of a side's rays meets, as sets: those the rays pass (empty squares aside), those
// that block (the walk goes on in x-ray mode behind them) and every occupied square.
struct RaySets {
  uint64_t occupied;
  uint64_t diagonalHalt, diagonalBlock;  // bishop classes: halt = block or stop
  uint64_t straightHalt, straightBlock;  // rook classes
  uint64_t ownBishops, ownRooks;
  uint64_t zone;       // the enemy king's neighbours when its zone is filled
  SetWeights weights;  // the side's square weights
};
// The absolute piece codes (as bits of a mask) of one ray class, for a side.
static constexpr uint32_t CodesOfClass(int side, const int8_t (&rayClass)[13], int cls) {
  uint32_t mask = 0;
  for (int code = 1; code <= 12; code++)
    if (rayClass[kRelativeCode[side][code]] == cls) mask |= 1u << code;
  return mask;
}
// The union of the piece sets of the codes in mask, unrolled at compile time.
template <uint32_t mask, int... codes>
static inline uint64_t PiecesOf(std::integer_sequence<int, codes...>) {
  uint64_t set = 0;
  ((set |= (mask >> codes & 1) != 0 ? Board.pieceSet[codes] : 0), ...);
  return set;
}
template <uint32_t mask>
static inline uint64_t PiecesOf() {
  return PiecesOf<mask>(std::integer_sequence<int, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12>{});
}

template <int side>
static inline RaySets MakeRaySets(const EvalContext& e, uint64_t occupied) {
  RaySets v;
  v.occupied = occupied;
  v.diagonalHalt = occupied & ~PiecesOf<CodesOfClass(side, kBishopRayClass, kRayPass)>();
  v.diagonalBlock = PiecesOf<CodesOfClass(side, kBishopRayClass, kRayBlock)>();
  v.straightHalt = occupied & ~PiecesOf<CodesOfClass(side, kRookRayClass, kRayPass)>();
  v.straightBlock = PiecesOf<CodesOfClass(side, kRookRayClass, kRayBlock)>();
  v.ownBishops = Board.pieceSet[Own(side, kBishop)];
  v.ownRooks = Board.pieceSet[Own(side, kRook)];
  const int enemyKing = Board.king[1 - side];
  const KingZoneView zone = KingZoneOf(e, 1 - side);
  v.zone = zone[enemyKing + kingSteps[0]] != 0 ? kAttackSets.king[enemyKing] : 0;
  v.weights = MakeSetWeights(WeightsOf(e, side));
  return v;
}

// The walk from bit `from` along kingSteps[dir]: direct mode up to the first square that stops the ray or
// blocks it, whose value goes to direct and whose squares join seen (their weights and king-zone values are
// summed once for all rays of the piece); then x-ray mode behind a blocker up to the next piece, 2 per
// square plus the x-ray value of that piece, added to beyond. Returns the first occupied square behind the
// blocker (0 if none) and sets blocker with it. Pieces the ray passes add nothing here: the only ones worth a
// value (own rooks to a rook, own bishops to a queen) are counted on seen by the caller.
template <int dir>
static inline __attribute__((always_inline)) int WalkRay(const RaySets& v, int from, const RayTable& table,
                                                         uint64_t halt, uint64_t block, int& direct,
                                                         int& beyond, uint64_t& seen, int& blocker) {
  const uint64_t ray = kBitRays.ray[dir][from];
  const uint64_t halting = ray & halt;
  if (halting == 0) {
    seen |= ray;
    return 0;
  }
  const int first = NearestBit<dir>(halting);
  const uint64_t behind = kBitRays.ray[dir][first];
  seen |= ray ^ behind;
  const int firstSquare = SquareOfBit(first);
  direct += table.cell[Board.squares[firstSquare]].direct;
  if ((block & (uint64_t{1} << first)) == 0) return 0;
  blocker = firstSquare;
  const uint64_t next = behind & v.occupied;
  if (next == 0) {
    beyond += 2 * kBitRays.count[dir][first];
    return 0;
  }
  const int target = NearestBit<dir>(next);
  const int targetSquare = SquareOfBit(target);
  beyond += 2 * (kBitRays.count[dir][first] - kBitRays.count[dir][target]) +
            table.cell[Board.squares[targetSquare]].beyond;
  return targetSquare;
}

// Runs visit once per listed direction (indices into kingSteps), in order. Each call gets the direction as
// a compile-time constant, so every ray walk is compiled with its own step and no loop remains.
template <int... dirs, typename Visit>
static inline __attribute__((always_inline)) void ForEachDirection(Visit&& visit) {
  (visit(std::integral_constant<int, dirs>{}), ...);
}

// The bit of a square of the board.
static inline int BitOfSquare(int square) { return __builtin_ctzll(SquareBit(square)); }

// Pin or x-ray on a piece behind an enemy minor: worth most when a pawn of ours attacks the
// blocker, less when no enemy pawn defends it.
static inline int MinorPinBonus(const EvalContext& e, int side, int blocker) {
  if (WeightsOf(e, 1 - side)[blocker] == 1) return 90;
  if (WeightsOf(e, side)[blocker] != 1) return 24;
  return 0;
}

// base: the knight's material with its share of the own pawns, the same for every knight of the side.
template <int side>
static void ScoreKnight(EvalContext& e, int s, int base) {
  const int enemy = 1 - side;
  const int f = fileOf[s], r = RelativeRank(side, rankOf[s]);
  const int enemyKing = Board.king[enemy];
  int& score = ScoreOf(e, side);
  score += base;
  PieceWeightOf(e, side) += 4;
  if (r == 1) score -= 9;

  if (Board.pieceMaterial[side] == 300) {  // a lone knight wants the pawns close together and near
    const PawnValues& ep = e.pawnValues[enemy];
    if (ep.lowFile < ep.highFile) score -= 4 * (ep.highFile - ep.lowFile);
    if (e.lowPawnFile < e.highPawnFile) {
      if (f < e.lowPawnFile - 1) score -= 4 * (e.lowPawnFile - 1 - f);
      if (f - 1 > e.highPawnFile) score -= 4 * (f - 1 - e.highPawnFile);
    }
  }

  const SquareArray<int8_t>& weights = WeightsOf(e, side);
  int m = 0;
  // A jump off the board lands on a border number: empty, weight 0, so it adds nothing.
  for (int i = 0; i < 8; i++) {
    int t = s + knightSteps[i];
    m += weights[t] + kKnightSquares[side].cell[Board.squares[t]];
  }
  // Each enemy rook and queen the knight attacks is a threat.
  const uint64_t heavy =
      kAttackSets.knight[s] & (Board.pieceSet[Enemy(side, kRook)] | Board.pieceSet[Enemy(side, kQueen)]);
  if (heavy) ThreatsOf(e, side) += CountSquares(heavy);
  m = m * 3 / 2;

  AttackOf(e, side) += kKnightTargets.attack[s][enemyKing];

  score += m + ForkValue(s, enemyKing) + ForkValue(s, Board.queens[enemy][1]) +
           ForkValue(s, Board.rooks[enemy][1]) + ForkValue(s, Board.rooks[enemy][2]);

  if (kOutpostSquares.side[side][s]) {
    int flags = OutpostFlags(e, side, f, r);
    if (r < EnemyRear(e, side, f)) flags |= 1;
    score += kOutpostTable[flags];
  }
}

template <int side>
static inline __attribute__((always_inline)) void ScoreBishop(EvalContext& e, const RaySets& v, int s) {
  const int enemy = 1 - side;
  const int f = fileOf[s], r = RelativeRank(side, rankOf[s]);
  const int enemyKing = Board.king[enemy];
  int& score = ScoreOf(e, side);
  PieceWeightOf(e, side) += 6;
  const bool dark = (f + rankOf[s]) % 2 == 0;
  if (side == kWhite)
    e.bishopColours |= dark ? kWhiteDarkBishop : kWhiteLightBishop;
  else
    e.bishopColours |= dark ? kBlackDarkBishop : kBlackLightBishop;

  const PawnValues& own = e.pawnValues[side];
  const PawnValues& opp = e.pawnValues[enemy];
  score += 336 - (8 * (dark ? own.darkCount : own.lightCount) + 2 * (dark ? opp.darkCount : opp.lightCount));
  if (r == 1) score -= 4;

  int m = 0, beyond = 0;
  uint64_t seen = 0;
  const int from = BitOfSquare(s);
  ForEachDirection<0, 1, 2, 3>([&](auto dir) {
    int blocker = 0;
    const int target =
        WalkRay<dir>(v, from, kBishopRays[side], v.diagonalHalt, v.diagonalBlock, m, beyond, seen, blocker);
    if (target == 0) return;
    int t = Board.squares[target], b = Board.squares[blocker];
    if (t != Enemy(side, kRook) && t != Enemy(side, kQueen) && t != Enemy(side, kKing)) return;
    if (b == Enemy(side, kKnight))
      score += MinorPinBonus(e, side, blocker);
    else if (b == Enemy(side, kRook) || b == Enemy(side, kQueen))
      score += 60;
  });
  score += beyond;
  m += WeightSum(v.weights, seen);
  int z = 3 * CountSquares(seen & v.zone);

  score += m;
  if (m < 9) {
    const int enemyPawn = Enemy(side, kPawn);
    if (Board.squares[RelativeSquare(side, f - 1, r + 1)] == enemyPawn ||
        Board.squares[RelativeSquare(side, f + 1, r + 1)] == enemyPawn)
      score -= 50;
    else
      score -= 3;
  }

  if (kOutpostSquares.side[side][s]) {
    int flags = OutpostFlags(e, side, f, r);
    if (EnemyRear(e, side, f) != 0) flags |= 1;
    score += kBishopOutpostTable[flags];
  }

  if (z > 0) z += 3;
  const KingLine line = kKingLines.cell[f - fileOf[enemyKing] + 7][rankOf[s] - rankOf[enemyKing] + 7];
  score += line.score;
  AttackOf(e, side) += z + line.zone;
}

// base: the rook's material less its share of all pawns, the same for every rook.
template <int side>
static inline __attribute__((always_inline)) void ScoreRook(EvalContext& e, const RaySets& v, int s,
                                                            int base) {
  const int enemy = 1 - side;
  const int f = fileOf[s], r = RelativeRank(side, rankOf[s]);
  const int enemyKing = Board.king[enemy];
  const int ekf = fileOf[enemyKing], ekr = RelativeRank(side, rankOf[enemyKing]);
  int& score = ScoreOf(e, side);
  score += base;
  PieceWeightOf(e, side) += 12;

  int rays = 0;
  uint64_t seen = 0;
  const int from = BitOfSquare(s);
  ForEachDirection<4, 5, 6, 7>([&](auto dir) {
    int blocker = 0;
    const int target =
        WalkRay<dir>(v, from, kRookRays[side], v.straightHalt, v.straightBlock, rays, rays, seen, blocker);
    if (target == 0) return;
    int t = Board.squares[target], b = Board.squares[blocker];
    if (t != Enemy(side, kQueen) && t != Enemy(side, kKing)) return;
    if (b == Enemy(side, kKnight) || b == Enemy(side, kBishop))
      score += MinorPinBonus(e, side, blocker);
    else if (b == Enemy(side, kQueen))
      score += 60;
  });
  // Own rooks on the lines are the only pieces the rays pass that are worth something.
  rays += WeightSum(v.weights, seen) + kRookDirect[kOwnRookCode] * CountSquares(seen & v.ownRooks);
  score += rays;
  int z = 3 * CountSquares(seen & v.zone);
  if (z > 0) z += z < 4 ? 5 : 3;

  // Doubling with the queen against the castled king.
  if (z > 8 && ShelterOf(e, enemy) > 14 && ekr >= 7) {
    const int queen = Board.queens[side][1];
    auto doubling = [&](int edgeFile, int kingSquare, int pawnSquare) {
      if (queen == 0) return;
      if (fileOf[queen] != edgeFile)
        z += 8;
      else if (enemyKing == kingSquare && Board.squares[pawnSquare] == kEmpty)
        z += 25;
      else
        z += 6;
    };
    if (f == 8 && ekf >= 6) doubling(8, RelativeSquare(side, 7, 8), RelativeSquare(side, 8, 7));
    if (f == 1 && ekf <= 3) doubling(1, RelativeSquare(side, 2, 8), RelativeSquare(side, 1, 7));
  }
  AttackOf(e, side) += z;

  // Swing along its rank toward the king's file.
  // (The own pawns on the king's file decide first: most rooks stand behind them.)
  if (OwnRear(e, side, ekf) < r && Board.pieceMaterial[side] >= 1700 && std::abs(r - ekr) > 1 &&
      WeightsOf(e, side)[RelativeSquare(side, ekf, r)] > 1) {
    if (f == ekf) {
      AttackOf(e, side) += 6;
    } else {
      int n = 2;
      const int step = f > ekf ? 10 : -10;
      for (int t = RelativeSquare(side, ekf, r); t != s; t += step)
        n -= kRookRayClass[kRelativeCode[side][Board.squares[t]]];
      if (n > 0) AttackOf(e, side) += 3 * n;
    }
  }

  // Open and half-open files.
  const int distance = std::abs(f - ekf);
  if (OwnRear(e, side, f) != 9) {
    if (EnemyRear(e, side, f) == 0) score += 8;
  } else if (EnemyRear(e, side, f) == 0) {
    score += distance == 0 ? 28 : distance == 1 ? 22 : 13;
  } else {
    score += distance == 0 ? 12 : distance == 1 ? 10 : 5;
  }

  if (ekr == 8) {
    if (r == 7) {
      score += 22;
      AttackOf(e, side) += 5;
    } else if (r == 8) {
      score += 5;
    }
  }
}

// Queen next to a g8 (b8) king with the f7 (c7) pawn in place: the classic mates on g7/h7.
template <int side>
static int MatingPatterns() {
  auto at = [](int file, int rank) { return Board.squares[RelativeSquare(side, file, rank)]; };
  const int ownQueen = Own(side, kQueen), ownPawn = Own(side, kPawn), ownBishop = Own(side, kBishop);
  int v = 0;
  // King file, pawn file, far (h/a) file, near (f/c) file.
  static constexpr int wings[2][3] = {{7, 6, 8}, {2, 3, 1}};
  for (const auto& w : wings) {
    const int kf = w[0], pf = w[1], edge = w[2];
    if (at(kf, 8) != Enemy(side, kKing) || at(pf, 7) != Enemy(side, kPawn)) continue;
    int guard = at(pf, 8);
    if (guard == Enemy(side, kBishop) || guard == Enemy(side, kQueen)) continue;
    if (at(edge, 6) == ownQueen && (at(pf, 6) == ownPawn || at(pf, 6) == ownBishop)) v += 200;
    if (at(pf, 6) == ownQueen) {
      if (at(edge, 6) == ownPawn)
        v += guard == kEmpty ? 50 : 200;
      else if (at(edge, 6) == ownBishop)
        v += 200;
    }
  }
  return v;
}

template <int side>
static inline __attribute__((always_inline)) void ScoreQueen(EvalContext& e, const RaySets& v, int s,
                                                             int attackAfterRooks) {
  const int enemy = 1 - side;
  const int f = fileOf[s], r = RelativeRank(side, rankOf[s]);
  const int enemyKing = Board.king[enemy];
  const int ekf = fileOf[enemyKing];
  int& score = ScoreOf(e, side);
  score += 940;
  PieceWeightOf(e, side) += 56;

  int m = 0, blocker = 0;
  uint64_t diagonals = 0, lines = 0;
  const int from = BitOfSquare(s);
  ForEachDirection<0, 1, 2, 3>([&](auto dir) {
    WalkRay<dir>(v, from, kQueenRays[side], v.diagonalHalt, v.diagonalBlock, m, m, diagonals, blocker);
  });
  ForEachDirection<4, 5, 6, 7>([&](auto dir) {
    WalkRay<dir>(v, from, kQueenRays[side], v.straightHalt, v.straightBlock, m, m, lines, blocker);
  });
  // Own bishops on the diagonals are the only pieces the rays pass that are worth something.
  const uint64_t seen = diagonals | lines;
  m += WeightSum(v.weights, seen) + kQueenDirect[kOwnBishopCode] * CountSquares(diagonals & v.ownBishops);
  int z = 3 * CountSquares(seen & v.zone);

  const int df = std::abs(f - ekf), dr = std::abs(rankOf[s] - rankOf[enemyKing]);
  score += m / 2 - (df + dr);
  if (z > 0) z += 3;

  // Heading for the mating square beside a king that has lost its edge pawn.
  if (z > 8 && AttackOf(e, side) > 5) {
    if (f == 8 && enemyKing == RelativeSquare(side, 7, 8) && EnemyRear(e, side, 8) == 0 &&
        Board.squares[RelativeSquare(side, 6, 7)] == Enemy(side, kPawn))
      z += 6;
    if (f == 1 && enemyKing == RelativeSquare(side, 2, 8) && EnemyRear(e, side, 1) == 0 &&
        Board.squares[RelativeSquare(side, 3, 7)] == Enemy(side, kPawn))
      z += 6;
  }

  if (df == dr) {
    z += 2;
    score += 4;
  }
  const int fileGap = f - ekf;
  if (fileGap == 0) {
    score += 8;
    z += 2;
  } else if (fileGap == 1 || fileGap == -1) {
    score += 6;
    z += 2;
  } else if ((fileGap == 2 && ekf == 1) || (fileGap == -2 && ekf == 8)) {
    score += 5;
    z += 2;
  }

  // Enemy queens near their own king defend it.
  for (int i = 1; i <= 2; i++) {
    int q = Board.queens[enemy][i];
    if (z > 3 && q != 0 && std::abs(fileOf[q] - ekf) <= 2 && std::abs(rankOf[q] - rankOf[enemyKing]) <= 2)
      z -= 3;
  }
  AttackOf(e, side) += attackAfterRooks < 6 ? z : 2 * z;

  // A queen lost in the far corner while the kings are on opposite wings.
  const int firstQueen = Board.queens[side][1];
  if (Board.pieceMaterial[enemy] >= 2300 && firstQueen != 0) {
    const int qf = fileOf[firstQueen];
    const bool farLeft = f <= 2 && r >= 7, farRight = f >= 7 && r >= 7;
    if ((ekf >= 5 && qf <= 4 && farLeft) || (ekf <= 4 && qf >= 5 && farRight))
      score -= Board.pieceMaterial[enemy] / 50 - m / 4;
  }

  score += MatingPatterns<side>();
}

// The bishop, rook and queen terms are forced inline into the piece loops below, their only callers: a call
// per piece saved and restored most registers, for terms of some hundred instructions.
// Every piece of one kind and side, slot by slot, empty slots skipped.
template <typename Score>
static inline void ForEachPiece(const int32_t* list, int count, Score score) {
  for (int i = 1; i <= count; i++)
    if (list[i] != 0) score(list[i]);
}

void ScorePieces(EvalContext& e) {
  const uint64_t occupied = OccupiedSquares();
  const RaySets white = MakeRaySets<kWhite>(e, occupied), black = MakeRaySets<kBlack>(e, occupied);
  const int whiteKnight = 272 + Board.pawnMaterial[kWhite] / 50;
  const int blackKnight = 272 + Board.pawnMaterial[kBlack] / 50;
  ForEachPiece(Board.knights[kWhite], Board.knightCount[kWhite],
               [&](int s) { ScoreKnight<kWhite>(e, s, whiteKnight); });
  ForEachPiece(Board.knights[kBlack], Board.knightCount[kBlack],
               [&](int s) { ScoreKnight<kBlack>(e, s, blackKnight); });
  ForEachPiece(Board.bishops[kWhite], Board.bishopCount[kWhite],
               [&](int s) { ScoreBishop<kWhite>(e, white, s); });
  ForEachPiece(Board.bishops[kBlack], Board.bishopCount[kBlack],
               [&](int s) { ScoreBishop<kBlack>(e, black, s); });
  const int rook = 494 - (Board.pawnMaterial[kWhite] + Board.pawnMaterial[kBlack]) / 30;
  ForEachPiece(Board.rooks[kWhite], Board.rookCount[kWhite],
               [&](int s) { ScoreRook<kWhite>(e, white, s, rook); });
  ForEachPiece(Board.rooks[kBlack], Board.rookCount[kBlack],
               [&](int s) { ScoreRook<kBlack>(e, black, s, rook); });
  // The queens read the attack counts as they stood after the rooks.
  const int whiteAfterRooks = e.whiteAttack, blackAfterRooks = e.blackAttack;
  ForEachPiece(Board.queens[kWhite], Board.queenCount[kWhite],
               [&](int s) { ScoreQueen<kWhite>(e, white, s, whiteAfterRooks); });
  ForEachPiece(Board.queens[kBlack], Board.queenCount[kBlack],
               [&](int s) { ScoreQueen<kBlack>(e, black, s, blackAfterRooks); });
}

}  // namespace kelb
