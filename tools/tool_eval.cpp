// "eval": the static evaluation of a FEN position, optionally with the sums after each stage.
// "evalbench": evaluations per second over fixed middlegame positions, and the bitbase build time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "board/board.h"
#include "board/fen.h"
#include "driver/config.h"
#include "eval/eval.h"
#include "eval/lkpk.h"
#include "tool.h"

namespace {

using namespace kelb;

bool SetUpFen(const char* fen) {
  engineState.mode = EngineMode::Force;
  return PlaceFenAtRoot(fen);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const char* const kStageNames[kStageCount] = {"pawns",       "kings",       "pieces",
                                              "king attack", "development", "patterns"};

// Middlegame positions from common openings and typical middlegame structures.
const char* const kBenchPositions[] = {
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8",
    "r2q1rk1/pp1bbppp/2nppn2/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R w KQ - 3 10",
    "r1b2rk1/2q1bppp/p2p1n2/npp1p3/3PP3/2P2N1P/PPBN1PP1/R1BQR1K1 w - - 0 12",
    "2rq1rk1/pp1bppbp/3p1np1/4n3/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 8 12",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbq1rk1/ppp1bppp/4pn2/3p4/2PP4/5NP1/PP2PPBP/RNBQ1RK1 b - - 3 6",
    "r1bqr1k1/pp3pbp/2pp1np1/4n3/2PNP3/2N1BP2/PP1QB1PP/R3K2R w KQ - 2 11",
    "r3k2r/pp1nbppp/2p1pn2/q2p4/2PP1B2/2N1PN2/PPQ2PPP/R3KB1R w KQkq - 2 9",
    "2kr3r/ppp2ppp/2n1bn2/2b1p3/4P3/2NP1N2/PPP1BPPP/R1B2RK1 w - - 3 10",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 1 7",
    "r2qr1k1/1b1nbppp/pp1ppn2/8/2PNP3/1PN1B3/P3BPPP/R2Q1RK1 w - - 2 12",
    "3r1rk1/pp2qppp/2n1b3/2bpP3/8/2P2N2/P1B2PPP/R1BQR1K1 b - - 4 15",
    "r4rk1/pp3ppp/2nqbn2/3p4/3P4/2PB1N2/P1Q2PPP/R1B2RK1 w - - 4 14",
    "1r3rk1/5ppp/p1pb1q2/3p4/3P1B2/2P2Q1P/P4PP1/R3R1K1 w - - 0 20",
    "r2q1rk1/3nbppp/p2pbn2/1p2p3/4P3/1NN1BP2/PPPQ2PP/2KR1B1R w - - 0 11",
};
constexpr int kBenchCount = sizeof kBenchPositions / sizeof kBenchPositions[0];

}  // namespace

KELB_TOOL(eval, "eval \"<FEN>\" [--terms]") {
  if (argc < 1) {
    std::fprintf(stderr, "usage: eval \"<FEN>\" [--terms]\n");
    return 2;
  }
  const bool terms = argc >= 2 && std::strcmp(argv[1], "--terms") == 0;
  BuildKpkBitbase();
  if (!SetUpFen(argv[0])) {
    std::fprintf(stderr, "illegal position\n");
    return 1;
  }
  EvalTrace trace;
  const int v = EvaluateTraced(&trace);
  if (terms) {
    if (trace.pawnless) std::printf("pawnless ending\n");
    if (trace.kpk) std::printf("king and pawn against king: bitbase\n");
    for (int i = 0; i < kStageCount; i++)
      if (trace.reached[i])
        std::printf("%-12s white %6d  black %6d\n", kStageNames[i], static_cast<int>(trace.white[i]),
                    static_cast<int>(trace.black[i]));
    if (!trace.pawnless && !trace.kpk) {
      std::printf("side to move with tempo and threats %d\n", static_cast<int>(trace.sideToMoveScore));
      std::printf("white's view %d, after material corrections %d\n", static_cast<int>(trace.whiteView),
                  static_cast<int>(trace.adjusted));
    }
  }
  std::printf("%d\n", v);
  return 0;
}

KELB_TOOL(evalbench, "evalbench [seconds]") {
  double seconds = argc >= 1 ? std::atof(argv[0]) : 2.0;
  if (seconds <= 0) seconds = 2.0;

  auto start = std::chrono::steady_clock::now();
  FreeKpkBitbase();
  BuildKpkBitbase();
  const double buildSeconds = SecondsSince(start);

  // Each position is set up once; the timed loop evaluates them round-robin.
  static BoardRecord boards[kBenchCount];
  int loaded = 0;
  for (int i = 0; i < kBenchCount; i++) {
    if (!SetUpFen(kBenchPositions[i])) {
      std::fprintf(stderr, "bench position %d refused\n", i + 1);
      continue;
    }
    boards[loaded++] = Board;
  }
  if (loaded == 0) return 1;

  long long evaluations = 0;
  long long checksum = 0;
  const std::clock_t cpuStart = std::clock();
  start = std::chrono::steady_clock::now();
  double elapsed = 0;
  while (elapsed < seconds) {
    for (int i = 0; i < loaded; i++) {
      Board = boards[i];
      for (int k = 0; k < 1000; k++) checksum += Evaluate();
      evaluations += 1000;
    }
    elapsed = SecondsSince(start);
  }
  // Processor time as well: the machine may be shared, and wall time then overstates the cost.
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf("bitbase build: %.1f ms\n", buildSeconds * 1000.0);
  std::printf("processor time: %.1f ns per evaluation\n", cpuSeconds * 1e9 / evaluations);
  std::printf("evaluations: %lld in %.2f s, %.0f per second, %.1f ns each (checksum %lld)\n", evaluations,
              elapsed, evaluations / elapsed, elapsed * 1e9 / evaluations, checksum);
  return 0;
}
