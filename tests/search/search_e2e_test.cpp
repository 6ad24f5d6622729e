// The search through the real engine: UCI and WinBoard searches answered with moves and thinking lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;

TEST(SearchEndToEndTest, UciMateInOneAnswersWithMateText) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  std::vector<std::string> seen;
  std::string best;
  ASSERT_TRUE(engine.Ask({"position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "go depth 6"}, "bestmove",
                         &best, 10000, &seen));
  EXPECT_EQ(best, "bestmove d1d8");
  bool mateLine = false;
  for (const std::string& line : seen)
    if (line.rfind("info depth 1 score mate 1 ", 0) == 0 && line.find(" pv d1d8") != std::string::npos)
      mateLine = true;
  EXPECT_TRUE(mateLine);
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(SearchEndToEndTest, UciSearchMovesAtDepthOne) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  EXPECT_EQ(engine.AskBestMove({"position startpos", "go searchmoves a2a3 depth 1"}), "bestmove a2a3");
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(SearchEndToEndTest, WeakInfiniteSearchWaitsForStop) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUciWith(
      {"setoption name UCI_LimitStrength value true", "setoption name UCI_Elo value 700"}));
  engine.WriteLines({"position startpos moves e2e4", "go infinite"});
  for (const std::string& line : engine.Drain(700)) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
  ASSERT_TRUE(engine.Ask({"isready"}, "readyok"));
  EXPECT_GT(engine.AskBestMove({"stop"}).size(), std::string("bestmove ").size());
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(SearchEndToEndTest, WinBoardRepliesWithAMoveAndThinkingLines) {
  EngineProcess engine;
  engine.Start();
  engine.WriteLine("xboard");
  engine.WriteLine("protover 2");
  engine.WriteLine("new");
  engine.WriteLine("level 0 60 0");  // an hour on the clock: depth 4 is reached however slow the machine
  engine.WriteLine("sd 4");
  engine.WriteLine("post");
  engine.WriteLine("e2e4");
  std::vector<std::string> seen;
  std::string move;
  ASSERT_TRUE(engine.WaitFor("move ", &move, 20000, &seen));
  bool thinking = false;
  for (const std::string& line : seen)
    if (line.rfind("4 ", 0) == 0) thinking = true;  // a final line of the last iteration
  EXPECT_TRUE(thinking);
  EXPECT_EQ(move.size(), 9u) << move;
  EXPECT_EQ(engine.Quit(), 0);
}

// The bench signature must not depend on anything but the code: two runs give the same node total.
TEST(SearchEndToEndTest, BenchIsDeterministic) {
  std::string first, second;
  ASSERT_EQ(test::RunTool({"bench", "3"}, first), 0) << first;
  ASSERT_EQ(test::RunTool({"bench", "3"}, second), 0) << second;
  const auto total = [](const std::string& out) {
    const size_t at = out.find("Total nodes: ");
    return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
  };
  EXPECT_FALSE(total(first).empty()) << first;
  EXPECT_EQ(total(first), total(second));
  EXPECT_NE(first.find("Nodes/second: "), std::string::npos);

  // Repeated runs keep the signature and add the best and median speed.
  std::string repeated;
  ASSERT_EQ(test::RunTool({"bench", "3", "--repeat", "3"}, repeated), 0) << repeated;
  EXPECT_EQ(total(repeated), total(first));
  EXPECT_NE(repeated.find("Run  3: "), std::string::npos) << repeated;
  EXPECT_EQ(repeated.find("Run  4: "), std::string::npos) << repeated;
  EXPECT_NE(repeated.find("Best nodes/second: "), std::string::npos) << repeated;
  EXPECT_NE(repeated.find("Median nodes/second: "), std::string::npos) << repeated;
  EXPECT_EQ(test::RunTool({"bench", "--repeat", "0"}, repeated), 2);
  EXPECT_EQ(test::RunTool({"bench", "0"}, repeated), 2);
}

}  // namespace
}  // namespace kelb
