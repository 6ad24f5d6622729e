// The piece terms, development, piece patterns and the evaluation driver against a frozen copy of them, the
// plain version they were tuned from: in positions of random play, every sum the piece stage leaves in the
// context (scores, attack counts, threats, piece weights, bishop colours) and the final evaluation must be
// the same. The copy below is kept as it was when the fast versions were written; it is the reference, so
// it is not to be tuned.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "board/attack.h"
#include "board/board.h"
#include "eval/eval.h"
#include "eval/lkpk.h"
#include "eval_support.h"

namespace kelb::test {
namespace oracle {
namespace {

// ---- The piece terms (pieces.cpp)
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

// One square of a ray as a piece of one side sees it, by absolute piece code: the value tables above with
// the relative codes folded in, so that a step of the walk costs a single lookup.
struct RayCell {
  int8_t direct, beyond, cls, unused;
};
struct RayTable {
  RayCell cell[13];
};
static constexpr RayTable MakeRayTable(int side, const int8_t (&direct)[13], const int8_t (&beyond)[13],
                                       const int8_t (&rayClass)[13]) {
  RayTable t{};
  for (int code = 0; code < 13; code++) {
    const int c = kRelativeCode[side][code];
    t.cell[code] = RayCell{direct[c], beyond[c], rayClass[c], 0};
  }
  return t;
}
// [side]
static constexpr RayTable kBishopRays[2] = {
    MakeRayTable(kWhite, kBishopDirect, kBishopBeyond, kBishopRayClass),
    MakeRayTable(kBlack, kBishopDirect, kBishopBeyond, kBishopRayClass)};
static constexpr RayTable kRookRays[2] = {MakeRayTable(kWhite, kRookDirect, kRookBeyond, kRookRayClass),
                                          MakeRayTable(kBlack, kRookDirect, kRookBeyond, kRookRayClass)};
static constexpr RayTable kQueenDiagonalRays[2] = {
    MakeRayTable(kWhite, kQueenDirect, kQueenBeyond, kBishopRayClass),
    MakeRayTable(kBlack, kQueenDirect, kQueenBeyond, kBishopRayClass)};
static_assert(kBishopDirect[0] == 0 && kRookDirect[0] == 0 && kQueenDirect[0] == 0 &&
                  kBishopRayClass[0] == kRayPass && kRookRayClass[0] == kRayPass,
              "the ray walk skips empty squares without a lookup");
static constexpr RayTable kQueenStraightRays[2] = {
    MakeRayTable(kWhite, kQueenDirect, kQueenBeyond, kRookRayClass),
    MakeRayTable(kBlack, kQueenDirect, kQueenBeyond, kRookRayClass)};

// length[direction][square], direction as in kingSteps: the real squares from the square to the edge.
struct RayLengths {
  SquareArray<int8_t> length[8];
};
static constexpr RayLengths MakeRayLengths() {
  RayLengths t{};
  for (int d = 0; d < 8; d++)
    for (int s = 11; s <= 88; s++) {
      if (!onBoard[s]) continue;
      int n = 0;
      for (int x = s + kingSteps[d]; onBoard[x]; x += kingSteps[d]) n++;
      t.length[d][s] = static_cast<int8_t>(n);
    }
  return t;
}
static constexpr RayLengths kRayLengths = MakeRayLengths();

// The walk from `from` along kingSteps[dir]: direct mode up to the first square that stops the ray or
// blocks it, adding values and square weights to direct and the enemy king-zone values to zone; then
// x-ray mode behind a blocker up to the next piece, 2 per square plus the x-ray values, added to beyond.
// Returns the first occupied square behind the blocker (0 if none) and sets blocker with it.
template <int side, int dir>
static inline __attribute__((always_inline)) int WalkRay(const EvalContext& e, int from,
                                                         const RayTable& table, int& direct, int& beyond,
                                                         int& zone, int& blocker) {
  const SquareArray<int8_t>& weights = WeightsOf(e, side);
  const KingZoneView kingZone = KingZoneOf(e, 1 - side);
  constexpr int step = kingSteps[dir];
  int n = kRayLengths.length[dir][from];
  int s = from;
  while (n > 0) {
    n--;
    s += step;
    const int code = Board.squares[s];
    direct += weights[s];
    zone += kingZone[s];
    if (code == kEmpty) continue;  // every table passes empty squares at value 0
    const RayCell c = table.cell[code];
    direct += c.direct;
    if (c.cls == kRayPass) continue;
    if (c.cls == kRayStop) return 0;
    blocker = s;
    while (n > 0) {
      n--;
      s += step;
      const int beyondCode = Board.squares[s];
      beyond += table.cell[beyondCode].beyond + 2;
      if (beyondCode != kEmpty) return s;
    }
    return 0;
  }
  return 0;
}

// Runs visit once per listed direction (indices into kingSteps), in order. Each call gets the direction as
// a compile-time constant, so every ray walk is compiled with its own step and no loop remains.
template <int... dirs, typename Visit>
static inline __attribute__((always_inline)) void ForEachDirection(Visit&& visit) {
  (visit(std::integral_constant<int, dirs>{}), ...);
}

// The listed rays walked one after the other into the same sums, direct and beyond alike: the queen's
// walks, which look for no pins.
template <int side, int... dirs>
static inline __attribute__((always_inline)) void WalkRays(const EvalContext& e, int from,
                                                           const RayTable& table, int& sum, int& zone,
                                                           int& blocker) {
  (WalkRay<side, dirs>(e, from, table, sum, sum, zone, blocker), ...);
}

// Pin or x-ray on a piece behind an enemy minor: worth most when a pawn of ours attacks the
// blocker, less when no enemy pawn defends it.
static inline int MinorPinBonus(const EvalContext& e, int side, int blocker) {
  if (WeightsOf(e, 1 - side)[blocker] == 1) return 90;
  if (WeightsOf(e, side)[blocker] != 1) return 24;
  return 0;
}

template <int side>
static void ScoreKnight(EvalContext& e, int s) {
  const int enemy = 1 - side;
  const int f = fileOf[s], r = RelativeRank(side, rankOf[s]);
  const int enemyKing = Board.king[enemy];
  int& score = ScoreOf(e, side);
  score += 272 + Board.pawnMaterial[side] / 50;
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

  if (f > 1 && f < 8 && r > 2 && r < 8) {
    int flags = OutpostFlags(e, side, f, r);
    if (r < EnemyRear(e, side, f)) flags |= 1;
    score += kOutpostTable[flags];
  }
}

template <int side>
static void ScoreBishop(EvalContext& e, int s) {
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

  int m = 0, z = 0, beyond = 0;
  ForEachDirection<0, 1, 2, 3>([&](auto dir) {
    int blocker = 0;
    const int target = WalkRay<side, dir>(e, s, kBishopRays[side], m, beyond, z, blocker);
    if (target == 0) return;
    int t = Board.squares[target], b = Board.squares[blocker];
    if (t != Enemy(side, kRook) && t != Enemy(side, kQueen) && t != Enemy(side, kKing)) return;
    if (b == Enemy(side, kKnight))
      score += MinorPinBonus(e, side, blocker);
    else if (b == Enemy(side, kRook) || b == Enemy(side, kQueen))
      score += 60;
  });
  score += beyond;

  score += m;
  if (m < 9) {
    const int enemyPawn = Enemy(side, kPawn);
    if (Board.squares[RelativeSquare(side, f - 1, r + 1)] == enemyPawn ||
        Board.squares[RelativeSquare(side, f + 1, r + 1)] == enemyPawn)
      score -= 50;
    else
      score -= 3;
  }

  if (f > 1 && f < 8 && r > 2 && r < 8) {
    int flags = OutpostFlags(e, side, f, r);
    if (EnemyRear(e, side, f) != 0) flags |= 1;
    score += kBishopOutpostTable[flags];
  }

  if (z > 0) z += 3;
  const int df = std::abs(f - fileOf[enemyKing]), dr = std::abs(rankOf[s] - rankOf[enemyKing]);
  if (df == dr) {
    z += 2;
    score += 4;
  } else if (std::abs(df - dr) == 1) {
    score += 2;
  }
  AttackOf(e, side) += z;
}

template <int side>
static void ScoreRook(EvalContext& e, int s) {
  const int enemy = 1 - side;
  const int f = fileOf[s], r = RelativeRank(side, rankOf[s]);
  const int enemyKing = Board.king[enemy];
  const int ekf = fileOf[enemyKing], ekr = RelativeRank(side, rankOf[enemyKing]);
  int& score = ScoreOf(e, side);
  score += 494 - (Board.pawnMaterial[kWhite] + Board.pawnMaterial[kBlack]) / 30;
  PieceWeightOf(e, side) += 12;

  int z = 0, rays = 0;
  ForEachDirection<4, 5, 6, 7>([&](auto dir) {
    int blocker = 0;
    const int target = WalkRay<side, dir>(e, s, kRookRays[side], rays, rays, z, blocker);
    if (target == 0) return;
    int t = Board.squares[target], b = Board.squares[blocker];
    if (t != Enemy(side, kQueen) && t != Enemy(side, kKing)) return;
    if (b == Enemy(side, kKnight) || b == Enemy(side, kBishop))
      score += MinorPinBonus(e, side, blocker);
    else if (b == Enemy(side, kQueen))
      score += 60;
  });
  score += rays;
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
  if (Board.pieceMaterial[side] >= 1700 && std::abs(r - ekr) > 1 && OwnRear(e, side, ekf) < r &&
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
static void ScoreQueen(EvalContext& e, int s, int attackAfterRooks) {
  const int enemy = 1 - side;
  const int f = fileOf[s], r = RelativeRank(side, rankOf[s]);
  const int enemyKing = Board.king[enemy];
  const int ekf = fileOf[enemyKing];
  int& score = ScoreOf(e, side);
  score += 940;
  PieceWeightOf(e, side) += 56;

  int m = 0, z = 0, blocker = 0;
  WalkRays<side, 0, 1, 2, 3>(e, s, kQueenDiagonalRays[side], m, z, blocker);
  WalkRays<side, 4, 5, 6, 7>(e, s, kQueenStraightRays[side], m, z, blocker);

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

// Every piece of one kind and side, slot by slot, empty slots skipped.
template <typename Score>
static inline void ForEachPiece(const int32_t* list, int count, Score score) {
  for (int i = 1; i <= count; i++)
    if (list[i] != 0) score(list[i]);
}

static void ScorePieces(EvalContext& e) {
  ForEachPiece(Board.knights[kWhite], Board.knightCount[kWhite], [&](int s) { ScoreKnight<kWhite>(e, s); });
  ForEachPiece(Board.knights[kBlack], Board.knightCount[kBlack], [&](int s) { ScoreKnight<kBlack>(e, s); });
  ForEachPiece(Board.bishops[kWhite], Board.bishopCount[kWhite], [&](int s) { ScoreBishop<kWhite>(e, s); });
  ForEachPiece(Board.bishops[kBlack], Board.bishopCount[kBlack], [&](int s) { ScoreBishop<kBlack>(e, s); });
  ForEachPiece(Board.rooks[kWhite], Board.rookCount[kWhite], [&](int s) { ScoreRook<kWhite>(e, s); });
  ForEachPiece(Board.rooks[kBlack], Board.rookCount[kBlack], [&](int s) { ScoreRook<kBlack>(e, s); });
  // The queens read the attack counts as they stood after the rooks.
  const int whiteAfterRooks = e.whiteAttack, blackAfterRooks = e.blackAttack;
  ForEachPiece(Board.queens[kWhite], Board.queenCount[kWhite],
               [&](int s) { ScoreQueen<kWhite>(e, s, whiteAfterRooks); });
  ForEachPiece(Board.queens[kBlack], Board.queenCount[kBlack],
               [&](int s) { ScoreQueen<kBlack>(e, s, blackAfterRooks); });
}

// ---- Development and piece patterns (patterns.cpp)
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

static void ScoreDevelopment(EvalContext& e) {
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
  const int kf = fileOf[king], kr = RelativeRank(side, rankOf[king]);
  int v = 0;

  const int r1 = Board.rooks[side][1], r2 = Board.rooks[side][2];
  if (r1 != 0 && r2 != 0) {
    const int rank1 = RelativeRank(side, rankOf[r1]), rank2 = RelativeRank(side, rankOf[r2]);
    if (rank1 == 7 && rank2 == 7 && RelativeRank(side, rankOf[Board.king[enemy]]) == 8) v += 8;
    if (rank1 == 1 && rank2 == 1) v += std::abs(fileOf[r1] - fileOf[r2]);
  }
  if (Board.bishops[side][1] != 0 && Board.bishops[side][2] != 0) v += 30;

  // Rooks shut in by their own king behind unmoved pawns (the king's square decides first: no other term
  // has a side effect, so the order of the tests changes nothing).
  if (kr == 1 && (kf == 2 || kf == 3) &&
      ((at(1, 1) == rook && OwnRear(e, side, 1) < 5) || (at(2, 1) == rook && OwnRear(e, side, 2) < 5)))
    v -= 65;
  if (kr == 1 && (kf == 7 || kf == 6) &&
      ((at(8, 1) == rook && OwnRear(e, side, 8) < 5) || (at(7, 1) == rook && OwnRear(e, side, 7) < 5)))
    v -= 65;

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

static void ScorePiecePatterns(EvalContext& e) {
  e.whiteScore += PiecePatterns<kWhite>(e);
  e.blackScore += PiecePatterns<kBlack>(e);
}

// ---- The driver's context, material corrections and stages (eval.cpp)
static void InitEvalContext(EvalContext& e) {
  e.whiteScore = e.blackScore = 0;
  const bool zones = Board.pieceMaterial[kWhite] >= 800 || Board.pieceMaterial[kBlack] >= 800;
  e.whiteKingZone = MakeKingZoneView(Board.king[kWhite], zones);
  e.blackKingZone = MakeKingZoneView(Board.king[kBlack], zones);
  e.whiteAttack = e.blackAttack = 0;
  e.whiteThreats = e.blackThreats = 0;
  e.whiteShelter = e.blackShelter = 100;
  e.whitePieceWeight = e.blackPieceWeight = 0;
  e.bishopColours = 0;
  e.lowPawnFile = 9;
  e.highPawnFile = 0;
}

// The single pawn of a side with exactly one pawn.
static int OnlyPawn(int side) {
  for (int i = 1; i <= kMaxPawnSlots; i++)
    if (Board.pawns[side][i] != 0) return Board.pawns[side][i];
  return 0;
}

// A rook pawn whose promotion square the defending king holds, without a bishop that controls it.
static bool WrongRookPawn(const EvalContext& e, int side) {
  const int enemy = 1 - side;
  const int pawn = OnlyPawn(side);
  const int pf = fileOf[pawn];
  if (pf != 1 && pf != 8) return false;
  const int k = Board.king[enemy];
  const int kf = fileOf[k], kr = RelativeRank(side, rankOf[k]);
  const int nearFile = pf == 1 ? 2 : 7;
  if (!((kf == pf || kf == nearFile) && kr >= 7)) return false;
  if (Board.pieceMaterial[side] == 0) return true;
  if (e.bishopColours == 0 && pawn == RelativeSquare(side, pf, 7) && Board.pawnMaterial[enemy] == 0 &&
      Board.pieceMaterial[enemy] == 0)
    return true;
  // The promotion square is light for White's a-pawn and Black's h-pawn, dark otherwise.
  const int ownFlags = e.bishopColours & (side == kWhite ? kWhiteDarkBishop | kWhiteLightBishop
                                                         : kBlackDarkBishop | kBlackLightBishop);
  const bool cornerLight = (pf + (side == kWhite ? 8 : 1)) % 2 != 0;
  int wrong;
  if (side == kWhite)
    wrong = cornerLight ? kWhiteDarkBishop : kWhiteLightBishop;
  else
    wrong = cornerLight ? kBlackDarkBishop : kBlackLightBishop;
  return ownFlags == wrong;
}

static int AdjustForMaterial(const EvalContext& e, int t) {
  const int wp = Board.pawnMaterial[kWhite], bp = Board.pawnMaterial[kBlack];
  const int wn = Board.pieceMaterial[kWhite], bn = Board.pieceMaterial[kBlack];

  // 1. Material balance, counted more as pieces come off.
  int d = (wp + wn) - (bp + bn);
  if (d > 300) d = 300;
  if (d < -300) d = -300;
  t += ((6200 - (wn + bn)) * d) / 10000;

  // 2. A lone minor without pawns cannot win.
  if (wp == 0 && wn == 300 && t > -30) t = t / 10 - 27;
  if (bp == 0 && bn == 300 && t < 30) t = t / 10 + 27;

  // 3. Pieces without pawns win less easily.
  if (wp == 0 && wn > 300) {
    if (t >= 1 && t <= 160) {
      t = t / 2;
    } else if (t >= 161 && t <= 32766) {
      if (wn == 600 && (e.bishopColours & (kWhiteDarkBishop | kWhiteLightBishop)) == 0)
        t = t / 2;
      else
        t -= 80;
    }
  }
  if (bp == 0 && bn > 300) {
    if (t >= -32766 && t <= -161) {
      if (bn == 600 && (e.bishopColours & (kBlackDarkBishop | kBlackLightBishop)) == 0)
        t = t / 2;
      else
        t += 80;
    } else if (t >= -160 && t <= -1) {
      t = t / 2;
    }
  }

  // 4. Rook pawn with the wrong bishop, or none.
  if (wp == 100 && wn <= 300 && t > 0 && WrongRookPawn(e, kWhite)) t = t / 50;
  if (bp == 100 && bn <= 300 && t < 0 && WrongRookPawn(e, kBlack)) t = t / 50;

  // 5. Bishops of opposite colours and nothing else.
  if ((e.bishopColours == (kWhiteDarkBishop | kBlackLightBishop) ||
       e.bishopColours == (kWhiteLightBishop | kBlackDarkBishop)) &&
      wn + bn == 600) {
    if (t >= -9000 && t <= -200)
      t += 100;
    else if (t >= 200 && t <= 9000)
      t -= 100;
    else
      t = t / 2;
  }
  return t;
}

// Evaluate() by the reference stages; the pawn and king terms are the engine's own.
static int Evaluate() {
  if (Board.pawnMaterial[kWhite] == 0 && Board.pawnMaterial[kBlack] == 0) return EvaluatePawnless();
  if (kpkReady && Board.pawnMaterial[kWhite] + Board.pawnMaterial[kBlack] + Board.pieceMaterial[kWhite] +
                          Board.pieceMaterial[kBlack] ==
                      100)
    return -ProbeKpk();
  EvalContext e;
  oracle::InitEvalContext(e);
  ScorePawns(e);
  BlendPawnScores(e);
  ScoreKings(e);
  if (Board.pieceMaterial[kWhite] + Board.pieceMaterial[kBlack] > 0) {
    e.bishopColours = 0;
    e.whitePieceWeight = e.blackPieceWeight = 0;
    oracle::ScorePieces(e);
    e.whiteScore -= (e.whitePieceWeight * e.blackShelter) / 100;
    e.blackScore -= (e.blackPieceWeight * e.whiteShelter) / 100;
    ScoreKingAttack(e);
    oracle::ScoreDevelopment(e);
    oracle::ScorePiecePatterns(e);
  }
  const int us = Board.side, them = 1 - us;
  int s = ScoreOf(e, us) + 13 - ScoreOf(e, them);
  const int ownThreats = ThreatsOf(e, us), otherThreats = ThreatsOf(e, them);
  if (ownThreats == 1)
    s += 8;
  else if (ownThreats >= 2)
    s += 80;
  if (otherThreats == 1)
    s -= 8;
  else if (otherThreats >= 2)
    s -= 150;
  const int t = us == kWhite ? s : -s;
  const int adjusted = oracle::AdjustForMaterial(e, t);
  return us == kWhite ? -adjusted : adjusted;
}

}  // namespace
}  // namespace oracle

namespace {

// The engine's piece terms and the reference ones from the same context after the king terms (slow gets a
// copy of fast); every sum they write must agree.
void ExpectSamePieceTerms(EvalContext& fast, EvalContext& slow, const std::string& where) {
  slow = fast;
  fast.bishopColours = slow.bishopColours = 0;
  fast.whitePieceWeight = fast.blackPieceWeight = slow.whitePieceWeight = slow.blackPieceWeight = 0;
  ScorePieces(fast);
  oracle::ScorePieces(slow);
  ASSERT_EQ(fast.whiteScore, slow.whiteScore) << where;
  ASSERT_EQ(fast.blackScore, slow.blackScore) << where;
  ASSERT_EQ(fast.whiteAttack, slow.whiteAttack) << where;
  ASSERT_EQ(fast.blackAttack, slow.blackAttack) << where;
  ASSERT_EQ(fast.whiteThreats, slow.whiteThreats) << where;
  ASSERT_EQ(fast.blackThreats, slow.blackThreats) << where;
  ASSERT_EQ(fast.whitePieceWeight, slow.whitePieceWeight) << where;
  ASSERT_EQ(fast.blackPieceWeight, slow.blackPieceWeight) << where;
  ASSERT_EQ(fast.bishopColours, slow.bishopColours) << where;
}

// The engine's stages against the reference ones on the Board's position, from the same context after the
// king terms; the first difference fails with the position.
void ExpectSameAsReference(const std::string& where) {
  EvalContext fast, slow;
  InitEvalContext(fast);
  oracle::InitEvalContext(slow);
  ASSERT_EQ(fast.whiteKingZone.origin, slow.whiteKingZone.origin) << where;
  ASSERT_EQ(fast.blackKingZone.origin, slow.blackKingZone.origin) << where;
  ScorePawns(fast);
  BlendPawnScores(fast);
  ScoreKings(fast);
  ExpectSamePieceTerms(fast, slow, where);
  if (::testing::Test::HasFatalFailure()) return;

  ScoreKingAttack(fast);
  ScoreKingAttack(slow);
  ScoreDevelopment(fast);
  oracle::ScoreDevelopment(slow);
  ASSERT_EQ(fast.whiteScore, slow.whiteScore) << where << " (development)";
  ASSERT_EQ(fast.blackScore, slow.blackScore) << where << " (development)";
  ScorePiecePatterns(fast);
  oracle::ScorePiecePatterns(slow);
  ASSERT_EQ(fast.whiteScore, slow.whiteScore) << where << " (patterns)";
  ASSERT_EQ(fast.blackScore, slow.blackScore) << where << " (patterns)";

  // The material corrections over the scores they switch on: each bound of their ranges, and beyond.
  for (int t : {-32767, -9001, -9000, -300, -200, -199, -161, -160, -30,  -29,  -1,   0,
                1,      29,    30,    160,  161,  199,  200,  300,  9000, 9001, 32767})
    ASSERT_EQ(AdjustForMaterial(fast, t), oracle::AdjustForMaterial(slow, t)) << where << " t " << t;

  ASSERT_EQ(Evaluate(), oracle::Evaluate()) << where;
}

// A bishop, rook or queen of White dropped on every empty square of crowded boards: rays that run to the
// edge, stop on the first square, pass own pieces and the enemy king, and x-ray through blockers to the next
// piece or to the edge, from the corners and the middle alike; each board also colour-flipped.
TEST(PieceTermsOracle, SlidersOnEverySquareGiveTheReferenceSums) {
  const char* boards[] = {
      "r3k2r/1p1n1p1q/8/2P1b3/3N4/8/1B4R1/R3K3 w - - 0 1",
      "1q2k3/8/3r4/1n5b/8/2Q2B2/8/R3K1R1 w - - 0 1",
      "4k3/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1",
  };
  int positions = 0;
  for (const char* board : boards) {
    const std::string fen = board;
    const std::string placement = fen.substr(0, fen.find(' ')), rest = fen.substr(fen.find(' '));
    // The placement as 64 characters, rank 8 first.
    std::string grid;
    for (char c : placement) {
      if (c == '/') continue;
      if (c >= '1' && c <= '8')
        grid.append(static_cast<size_t>(c - '0'), '.');
      else
        grid.push_back(c);
    }
    ASSERT_EQ(grid.size(), 64u) << fen;
    for (int i = 0; i < 64; ++i) {
      if (grid[i] != '.') continue;
      for (char slider : {'B', 'R', 'Q'}) {
        std::string g = grid;
        g[i] = slider;
        std::string built;
        for (int rank = 0; rank < 8; ++rank) {
          int empty = 0;
          for (int file = 0; file < 8; ++file) {
            const char c = g[8 * rank + file];
            if (c == '.') {
              ++empty;
              continue;
            }
            if (empty > 0) built.push_back(static_cast<char>('0' + empty));
            empty = 0;
            built.push_back(c);
          }
          if (empty > 0) built.push_back(static_cast<char>('0' + empty));
          if (rank < 7) built.push_back('/');
        }
        for (const std::string& twin : {built + rest, FlipFen(built + rest)}) {
          if (!SetUpFen(twin)) continue;  // a slider giving check with the wrong side to move
          ExpectSameAsReference(twin);
          if (HasFatalFailure()) return;
          ++positions;
        }
      }
    }
  }
  EXPECT_GT(positions, 600);
}

// The piece terms sum the weight maps over whole sets of squares at once: any weights the maps can hold,
// from -128 to 127 on every square of the board, must give the reference sums.
TEST(PieceTermsOracle, AnyWeightsOnTheMapsGiveTheReferenceSums) {
  std::mt19937 random(20261210);
  std::uniform_int_distribution<int> weight(-128, 127);
  const char* starts[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "1k1q1q2/pp3ppp/8/8/8/8/PPQ2PPP/1K1Q1B1B w - - 0 1",
      "kr5r/pp6/8/8/8/8/6PP/RB4RK w - - 0 1",
  };
  int positions = 0;
  for (int game = 0; game < 12; ++game) {
    std::string fen = starts[game % 3];
    for (int moveNumber = 0; moveNumber < 60 && !fen.empty(); ++moveNumber) {
      ASSERT_TRUE(SetUpFen(fen)) << fen;
      EvalContext fast;
      InitEvalContext(fast);
      ScorePawns(fast);
      BlendPawnScores(fast);
      ScoreKings(fast);
      for (int square = 11; square <= 88; ++square) {
        if (!onBoard[square]) continue;
        fast.WhiteSquareWeights[square] = static_cast<int8_t>(weight(random));
        fast.BlackSquareWeights[square] = static_cast<int8_t>(weight(random));
      }
      // The extremes on a few squares of every board.
      fast.WhiteSquareWeights[SquareAt(1 + moveNumber % 8, 1 + game % 8)] = -128;
      fast.BlackSquareWeights[SquareAt(8 - moveNumber % 8, 1 + game % 8)] = 127;
      EvalContext slow;
      ExpectSamePieceTerms(fast, slow, fen);
      if (HasFatalFailure()) return;
      ++positions;
      fen = RandomMoveFen(random);
    }
  }
  EXPECT_GT(positions, 500);
}

TEST(PieceTermsOracle, RandomGamesGiveTheReferenceSumsAndEvaluation) {
  std::mt19937 random(20261209);
  const char* starts[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
      // Extra queens, rooks and bishops in the lists, and a lone knight against pawns.
      "1k1q1q2/pp3ppp/8/8/8/8/PPQ2PPP/1K1Q1B1B w - - 0 1",
      "r1r1r1k1/5ppp/8/8/8/8/5PPP/R1R1R1K1 w - - 0 1",
      "6k1/1p3ppp/8/8/8/8/3N1PPP/6K1 w - - 0 1",
      "rn2k1nr/1pp2ppp/8/3q4/8/8/PPP2PPP/RNBQKBNR b KQkq - 0 1",
      // Few pawns for the material corrections: single pawns, a rook pawn, opposite bishops.
      "8/5k2/8/3b4/8/2N5/P4K2/8 w - - 0 1",
      "8/8/4k3/8/8/2B5/P3p3/4K3 w - - 0 1",
      "8/5pk1/5bp1/8/8/1B4P1/5PK1/8 w - - 0 1",
      "4k3/7p/8/8/8/8/r7/R3K3 b - - 0 1",
      // Lone rooks, too little material for the king zones; rooks and a bishop along the edges at kings in
      // the corners, their rays ending on zone squares; more knights and bishops than at the start.
      "r5k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1",
      "kr5r/pp6/8/8/8/8/6PP/RB4RK w - - 0 1",
      "1kbbb3/pp6/8/2N1N3/8/2N1N3/6PP/6K1 w - - 0 1",
      "7k/6pp/8/8/8/8/PP6/K6Q b - - 0 1",
  };
  constexpr int kStarts = sizeof starts / sizeof starts[0];
  int positions = 0;
  for (int game = 0; game < 6 * kStarts; ++game) {
    std::string fen = starts[game % kStarts];
    for (int moveNumber = 0; moveNumber < 90 && !fen.empty(); ++moveNumber) {
      // The position and its colour-flipped twin, so that both sides' rules are walked on the same squares.
      for (const std::string& twin : {fen, FlipFen(fen)}) {
        ASSERT_TRUE(SetUpFen(twin)) << twin;
        ExpectSameAsReference(twin);
        if (HasFatalFailure()) return;
        ++positions;
      }
      ASSERT_TRUE(SetUpFen(fen)) << fen;
      fen = RandomMoveFen(random);
    }
  }
  EXPECT_GT(positions, 6000);
}

}  // namespace
}  // namespace kelb::test
