// fingerprint [depth]: a digest of what the search reads at every node of the legal-move tree below each
// bench and perft position: the static evaluation, the check test, every move list the generator can make
// there (all moves, captures only, checks in the quiescence, captures with a futility threshold) with each
// record in its order, and the exchange test of every capture. Work on the hot paths must leave it as it is.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_positions.h"
#include "board/attack.h"
#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "driver/config.h"
#include "eval/eval.h"
#include "eval/lkpk.h"
#include "records/records.h"
#include "search/exchange.h"
#include "search/ordering.h"
#include "tool.h"

namespace kelb {

// Positions with rare move kinds (en passant pins and evasions, promotions, discovered checks, castling
// rights lost on the corners) next to the bench positions.
static const char* const kFingerprintExtras[] = {
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "8/8/8/KPp4r/8/8/8/7k w - c6 0 1",
    "8/8/3k4/8/2pP4/8/8/3K4 b - d3 0 1",
    "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
    "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
};

static uint64_t digest = 0;
static int64_t nodes = 0;

static void Mix(int64_t v) {
  digest ^= static_cast<uint64_t>(v) + 0x9e3779b97f4a7c15ull + (digest << 6) + (digest >> 2);
  digest *= 0x100000001b3ull;
}

static void MixLevel() {
  const int level = Board.makeDepth;
  Mix(moveCount[level]);
  for (int i = moveStart[level] + 1; i <= moveStart[level] + moveCount[level]; i++) {
    const Move& m = moveBuffer[i];
    Mix(m.from | m.to << 8 | m.promotion << 16 | m.piece << 24);
    Mix(m.captured | m.flags << 8 | m.epBefore << 16 | m.pieceSlot << 24);
    Mix(m.capturedSlot | m.replyFrom << 8 | m.replyTo << 16);
    Mix(m.score);
  }
}

// The ordering inputs of a node: the hash move and killers taken from its own list, so that every bonus
// of the generator is met somewhere.
static void SetOrderingInputs(int ply) {
  const int level = Board.makeDepth;
  const Move* list = moveBuffer + moveStart[level];
  const int n = moveCount[level];
  auto pair = [&](int k) { return k <= n ? SquarePair{list[k].from, list[k].to} : SquarePair{0, 0}; };
  hashMoveFrom[ply] = pair(n).from;
  hashMoveTo[ply] = pair(n).to;
  killer1[ply] = pair(2);
  killer2[ply] = pair(3);
  killer3[ply] = pair(4);
}

static void Walk(int depth) {
  const int ply = Board.ply;
  nodes++;
  Mix(Board.key);
  Mix(Evaluate());
  const bool check = IsAttacked(Board.king[Board.side], Board.xside);
  inCheck[ply] = check ? 1 : 0;
  Mix(check ? 1 + attackerSquare[ply] * 256 + attackDirection[ply] * 65536 : 0);
  // The generator's own legality tests overwrite the checker of this ply: each list starts from the same one.
  const int checker = attackerSquare[ply], checkDirection = attackDirection[ply];
  auto generate = [&](bool capturesOnly) {
    attackerSquare[ply] = checker;
    attackDirection[ply] = checkDirection;
    GenerateMoves(capturesOnly);
  };

  hashMoveFrom[ply] = hashMoveTo[ply] = 0;
  killer1[ply] = killer2[ply] = killer3[ply] = SquarePair{0, 0};
  futilityThreshold = 0;
  checksOnly[ply] = 0;
  generate(false);
  SetOrderingInputs(ply);

  checksOnly[ply] = 0;
  futilityThreshold = 0;
  generate(true);
  MixLevel();
  {
    const int level = Board.makeDepth;
    for (int i = moveStart[level] + 1; i <= moveStart[level] + moveCount[level]; i++) {
      const Move& m = moveBuffer[i];
      if (MoveKind(m) == kNormalMove && m.promotion == 0) Mix(BadCapture(m.from, m.to) ? 3 : 5);
    }
  }
  futilityThreshold = 150;
  generate(true);
  MixLevel();
  futilityThreshold = 0;
  checksOnly[ply] = 1;
  generate(false);
  MixLevel();
  checksOnly[ply] = 0;
  generate(false);
  MixLevel();

  if (depth <= 0) return;
  const int level = Board.makeDepth;
  const int first = moveStart[level] + 1, last = moveStart[level] + moveCount[level];
  for (int i = first; i <= last; i++) {
    Move& move = moveBuffer[i];
    MakeMove(move);
    if (!IsAttacked(Board.king[Board.xside], Board.side)) {
      ++Board.ply;
      Walk(depth - 1);
      --Board.ply;
    }
    UnmakeMove(move);
    Mix(Board.key);
  }
}

}  // namespace kelb

KELB_TOOL(fingerprint,
          "fingerprint [depth]   digest of evaluations and move lists below the test positions") {
  using namespace kelb;
  const int depth = argc > 0 ? std::atoi(argv[0]) : 3;
  if (depth < 0 || depth > 6) {
    std::fprintf(stderr, "fingerprint: depth must be 0..6\n");
    return 2;
  }
  BuildKpkBitbase();
  // A fixed history table with a shift, so that the history share of the scores takes part.
  for (int code = 0; code < 13; code++)
    for (int square = 0; square < 89; square++) history[code][square] = (code * 7 + square) % 23;
  historyShift = 1;

  const int extras = sizeof kFingerprintExtras / sizeof kFingerprintExtras[0];
  uint64_t total = 0;
  int64_t totalNodes = 0;
  for (int p = 0; p < kBenchPositionCount + extras; p++) {
    const char* fen =
        p < kBenchPositionCount ? kBenchPositions[p] : kFingerprintExtras[p - kBenchPositionCount];
    engineState.mode = EngineMode::Force;
    SetUpPosition(fen);
    if (engineState.mode == EngineMode::Halted) {
      std::printf("Position %d refused: %s\n", p + 1, fen);
      return 1;
    }
    Board.ply = 1;
    std::memset(currentMove, 0, sizeof currentMove);
    digest = 0;
    nodes = 0;
    Walk(depth);
    std::printf("Position %2d: %8lld nodes  %016llx\n", p + 1, static_cast<long long>(nodes),
                static_cast<unsigned long long>(digest));
    total = total * 31 + digest;
    totalNodes += nodes;
  }
  std::printf("Fingerprint: %lld nodes %016llx\n", static_cast<long long>(totalNodes),
              static_cast<unsigned long long>(total));
  return 0;
}
