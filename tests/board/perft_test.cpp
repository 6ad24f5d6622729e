// Leaf counts of the standard perft positions (perft_positions.txt) against their published values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/board_test_util.h"
#include "support/engine_process.h"
#include "support/files.h"

namespace kelb::test {
namespace {

struct PerftCase {
  std::string name;
  std::string fen;
  std::vector<int64_t> counts;  // from depth 1 on
  int quickDepth = 0;           // deepest depth run in the unit suite
};

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The positions of perft_positions.txt beside this file: "name | FEN | quick depth | counts", '#' comments.
std::vector<PerftCase> Cases() {
  std::istringstream file(ReadFile(KELB_SOURCE_DIR "/tests/board/perft_positions.txt"));
  std::vector<PerftCase> cases;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, fen, quick, counts;
    std::getline(fields, name, '|');
    std::getline(fields, fen, '|');
    std::getline(fields, quick, '|');
    std::getline(fields, counts);
    PerftCase c{Trimmed(name), Trimmed(fen), {}, std::atoi(quick.c_str())};
    std::istringstream numbers(counts);
    for (int64_t n; numbers >> n;) c.counts.push_back(n);
    cases.push_back(c);
  }
  return cases;
}

void CheckCounts(int maxDepthOf(const PerftCase&)) {
  const std::vector<PerftCase> cases = Cases();
  ASSERT_EQ(cases.size(), 11u) << "perft_positions.txt lost or gained a position";
  for (const PerftCase& c : cases) {
    ASSERT_LE(c.quickDepth, static_cast<int>(c.counts.size())) << c.name;
    ASSERT_TRUE(SetUpPosition(c.fen)) << c.name;
    for (int depth = 1; depth <= maxDepthOf(c); ++depth) {
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
    for (int d = 1; d <= static_cast<int>(c.counts.size()); ++d) {
      if (c.counts[d - 1] <= 250000000) deepest = d;
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
