// Leaf counts of the standard perft positions against their published values.
#include <gtest/gtest.h>

#include <string>

#include "support/board_test_util.h"
#include "support/engine_process.h"

namespace kelb::test {
namespace {

struct PerftCase {
  const char* name;
  const char* fen;
  int64_t counts[7];  // depth 1..7, 0 where not checked
  int quickDepth;     // deepest depth run in the unit suite
};

const PerftCase kCases[] = {
    {"initial",
     "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
     {20, 400, 8902, 197281, 4865609, 119060324, 0},
     4},
    {"kiwipete",
     "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
     {48, 2039, 97862, 4085603, 193690690, 0, 0},
     3},
    {"rook ending",
     "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
     {14, 191, 2812, 43238, 674624, 11030083, 178633661},
     4},
    {"promotions",
     "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
     {6, 264, 9467, 422333, 15833292, 706045033, 0},
     3},
    {"promotions mirrored",
     "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
     {6, 264, 9467, 422333, 15833292, 706045033, 0},
     3},
    {"discovered checks",
     "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
     {44, 1486, 62379, 2103487, 89941194, 0, 0},
     3},
    {"symmetric middlegame",
     "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
     {46, 2079, 89890, 3894594, 164075551, 6923051137, 0},
     3},
    // En passant exposing the own king along the rank, en passant as a check evasion, castling rights lost
    // by captures on the corners.
    {"en passant pin", "8/8/8/KPp4r/8/8/8/7k w - c6 0 1", {4, 56, 259, 4225, 23591, 0, 0}, 5},
    {"en passant beside a double step",
     "8/8/3k4/8/2pP4/8/8/3K4 b - d3 0 1",
     {8, 43, 344, 2208, 16797, 0, 0},
     5},
    {"en passant removes the checker",
     "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
     {9, 50, 379, 2369, 17879, 0, 0},
     5},
    {"castling rook captured",
     "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
     {26, 568, 13744, 314346, 7594526, 179862938, 0},
     3},
};

void CheckCounts(int maxDepthOf(const PerftCase&)) {
  for (const PerftCase& c : kCases) {
    ASSERT_TRUE(SetUpPosition(c.fen)) << c.name;
    for (int depth = 1; depth <= maxDepthOf(c); ++depth) {
      if (c.counts[depth - 1] == 0) continue;
      EXPECT_EQ(Perft(depth), c.counts[depth - 1]) << c.name << " depth " << depth;
    }
  }
}

TEST(Perft, StandardPositionsAtShortDepths) {
  CheckCounts([](const PerftCase& c) { return c.quickDepth; });
}

// Full depths (minutes): run with --gtest_also_run_disabled_tests --gtest_filter=*FullDepth*.
TEST(Perft, DISABLED_StandardPositionsFullDepth) {
  CheckCounts([](const PerftCase& c) {
    int deepest = 0;
    for (int d = 1; d <= 7; ++d) {
      if (c.counts[d - 1] != 0 && c.counts[d - 1] <= 250000000) deepest = d;
    }
    return deepest;
  });
}

TEST(PerftTool, PrintsCountAsLastLineAndDivideSumsRootMoves) {
  std::string out;
  ASSERT_EQ(RunTool({"perft", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "3"}, out), 0);
  EXPECT_NE(out.find("nodes/s"), std::string::npos);
  EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), "8902\n");

  ASSERT_EQ(
      RunTool({"divide", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", "2"}, out),
      0);
  EXPECT_NE(out.find("e1g1 43\n"), std::string::npos);
  EXPECT_NE(out.find("e1c1 43\n"), std::string::npos);
  EXPECT_NE(out.find("moves 48\n"), std::string::npos);
  EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), "2039\n");

  EXPECT_NE(RunTool({"perft", "8/8/8/8/8/8/8/8 w - -", "2"}, out), 0);
}

}  // namespace
}  // namespace kelb::test
