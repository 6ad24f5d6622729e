// bench [depth]: a fixed set of positions searched to a fixed depth from a fresh state. The total node count
// is the search's signature: it must not move unless the search's behaviour was meant to change.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "bench_positions.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "eval/eval.h"
#include "eval/lkpk.h"
#include "records/records.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "search/search.h"
#include "search/think.h"
#include "search/timectl.h"
#include "tool.h"

namespace kelb {

const char* const kBenchPositions[] = {
    // Openings
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkbnr/pp2pppp/3p4/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 3",
    "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3",
    "rnbqkb1r/ppp2ppp/4pn2/3p4/2PP4/2N5/PP2PPPP/R1BQKBNR w KQkq - 2 4",
    // Middlegames
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7 19",
    "rq3rk1/ppp2ppp/1bnpb3/3N2B1/3NP3/7P/PPPQ1PP1/2KR3R w - - 7 14",
    "r1bq1r1k/1pp1n1pp/1p1p4/4p2Q/4Pp2/1BNP4/PPP2PPP/3R1RK1 w - - 2 14",
    "r3r1k1/2p2ppp/p1p1bn2/8/1q2P3/2NPQN2/PPP3PP/R4RK1 b - - 2 15",
    "r1bbk1nr/pp3p1p/2n5/1N4p1/2Np1B2/8/PPP2PPP/2KR1B1R w kq - 0 13",
    "r1bq1rk1/ppp1nppp/4n3/3p3Q/3P4/1BP1B3/PP1N2PP/R4RK1 w - - 1 16",
    "4r1k1/r1q2ppp/ppp2n2/4P3/5Rb1/1N1BQ3/PPP3PP/R5K1 w - - 1 17",
    "2rqkb1r/ppp2p2/2npb1p1/1N1Nn2p/2P1PP2/8/PP2B1PP/R1BQK2R b KQ - 0 11",
    "r1bq1rk1/pp2ppbp/2np2p1/2n5/P3PP2/N1P2N2/1P4PP/R1BQKB1R w KQ - 1 10",
    // Mates and tactics
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1",
    "2r3k1/p4p2/3Rp2p/1p2P1pK/8/1P4P1/P3Q2P/1q6 b - - 0 1",
    // Promotions
    "8/P7/8/8/8/8/6k1/4K3 w - - 0 1",
    "8/1P6/8/8/8/8/1p4k1/4K3 w - - 0 1",
    "3r4/2P3k1/8/8/8/8/5K2/8 w - - 0 1",
    // Endgames
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1",
    "8/5pk1/6p1/8/5P2/6PK/8/8 w - - 0 1",
    "8/8/1p4k1/2r5/5R2/1P4K1/8/8 w - - 0 1",
    "1K1k4/1P6/8/8/8/8/r7/2R5 w - - 0 1",
    "8/8/8/8/3k4/8/8/5Q1K w - - 0 1",
    "8/8/8/4k3/8/8/8/KBN5 w - - 0 1",
    "8/8/4kpp1/3p1b2/p6P/2B5/6P1/6K1 b - - 0 47",
    "6k1/6p1/6Pp/ppp5/3pn2P/1P3K2/1PP2P2/3N4 b - - 0 1",
    "3b4/5kp1/1p1p1p1p/pP1PpP1P/P1P1P3/3KN3/8/8 w - - 0 1",
    "8/8/p1p5/1p5p/1P5p/8/PPP2K1p/4R1rk w - - 0 1",
    "1r3k2/4q3/2Pp3b/3Bp3/2Q2p2/1p1P2P1/1P2KP2/3N4 w - - 0 1",
};

const int kBenchPositionCount = sizeof kBenchPositions / sizeof kBenchPositions[0];

static constexpr int kDefaultBenchDepth = 7;
static constexpr int kMaxRepeat = 100;

// One pass over the bench positions from a fresh state; the per-position lines are printed when asked.
// Returns false when a position is refused.
static bool RunBench(int depth, bool print, int64_t& nodes, int64_t& ms, double& cpuSeconds) {
  nodes = 0;
  ms = 0;
  std::clock_t cpu = 0;
  for (int p = 0; p < kBenchPositionCount; p++) {
    const char* fen = kBenchPositions[p];
    AllocateHashTable(settings.hashSizeMb);  // every position starts from an empty table
    ClearPawnCache();
    std::memset(killer1, 0, sizeof killer1);
    std::memset(killer2, 0, sizeof killer2);
    std::memset(killer3, 0, sizeof killer3);
    engineState.mode = EngineMode::Force;
    SetUpPosition(fen);
    if (engineState.mode == EngineMode::Halted) {
      std::printf("Position %d refused: %s\n", p + 1, fen);
      return false;
    }
    InitTimeControl();
    timeControl.timeMode = kFixedTimePerMove;
    timeControl.baseTime = 2000000000;
    timeControl.depthLimit[kWhite] = timeControl.depthLimit[kBlack] = depth;
    const int64_t start = TickCount();
    const std::clock_t cpuStart = std::clock();
    AllocateTimeAt(start, Board.side, false);
    Think();
    cpu += std::clock() - cpuStart;
    ms += TickCount() - start;
    nodes += timeControl.nodeCount;
    if (print)
      std::printf("Position %2d: %10d nodes  score %6d  %s\n", p + 1, timeControl.nodeCount, rootScore, fen);
  }
  // Processor time of the searches as well: on a loaded machine it tells what the clock on the wall does not.
  cpuSeconds = static_cast<double>(cpu) / CLOCKS_PER_SEC;
  return true;
}

static int64_t PerSecond(int64_t nodes, double seconds) {
  return seconds > 0 ? static_cast<int64_t>(static_cast<double>(nodes) / seconds) : 0;
}

static int64_t Median(std::vector<int64_t> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace kelb

KELB_TOOL(
    bench,
    "bench [depth] [--repeat N]   fixed-depth search of the bench positions; prints the node signature, "
    "with N runs also the best and median speed") {
  using namespace kelb;
  int depth = kDefaultBenchDepth;
  int repeat = 1;
  for (int i = 0; i < argc; i++) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::atoi(argv[++i]);
      if (repeat < 1 || repeat > kMaxRepeat) {
        std::fprintf(stderr, "bench: --repeat takes 1..%d\n", kMaxRepeat);
        return 2;
      }
    } else {
      depth = std::atoi(argv[i]);
      if (depth < 1 || depth > kMaxDepthLimit) {
        std::fprintf(stderr, "bench: depth must be 1..%d\n", kMaxDepthLimit);
        return 2;
      }
    }
  }

  // A quiet engine at full strength that never looks at its input.
  settings.hashSizeMb = 16;
  settings.weakLevel = 0;
  settings.resignEnabled = false;
  settings.logEnabled = false;
  engineState.uciMode = false;
  engineState.xboardMode = true;
  engineState.post = false;
  engineState.pondering = engineState.uciPonder = engineState.multiAnalyze = false;
  pollDuringSearch = false;
  BuildKpkBitbase();

  std::vector<int64_t> wallRates, cpuRates;
  int64_t signature = 0, firstMs = 0;
  for (int run = 1; run <= repeat; run++) {
    int64_t nodes = 0, ms = 0;
    double cpu = 0;
    if (!RunBench(depth, run == 1, nodes, ms, cpu)) return 1;
    if (run == 1) {
      signature = nodes;
      firstMs = ms;
    } else if (nodes != signature) {
      std::printf("Run %d searched %lld nodes, the first %lld: the search is not deterministic\n", run,
                  static_cast<long long>(nodes), static_cast<long long>(signature));
      return 1;
    }
    wallRates.push_back(PerSecond(nodes, ms / 1000.0));
    cpuRates.push_back(PerSecond(nodes, cpu));
    if (repeat > 1)
      std::printf("Run %2d: %lld ms, %lld nodes/s, processor %.2f s, %lld nodes/s\n", run,
                  static_cast<long long>(ms), static_cast<long long>(wallRates.back()), cpu,
                  static_cast<long long>(cpuRates.back()));
  }
  std::printf("Total time (ms): %lld\n", static_cast<long long>(firstMs));
  std::printf("Total nodes: %lld\n", static_cast<long long>(signature));
  std::printf("Nodes/second: %lld\n", static_cast<long long>(wallRates.front()));
  if (repeat > 1) {
    std::printf("Best nodes/second: %lld (processor time: %lld)\n",
                static_cast<long long>(*std::max_element(wallRates.begin(), wallRates.end())),
                static_cast<long long>(*std::max_element(cpuRates.begin(), cpuRates.end())));
    std::printf("Median nodes/second: %lld (processor time: %lld)\n",
                static_cast<long long>(Median(wallRates)), static_cast<long long>(Median(cpuRates)));
  }
  FreeHashTable();
  return 0;
}
