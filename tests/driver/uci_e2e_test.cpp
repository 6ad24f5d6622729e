// The UCI front end through the engine binary.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "game_mirror.h"
#include "support/engine_process.h"

namespace kelb {
namespace {

using test::BestMoveOf;
using test::EngineProcess;
using test::GameMirror;
using test::LegalAfter;

// Sends the commands; the "bestmove" that answers them must come within the deadline and be legal after the
// game moves (blanks between them).
::testing::AssertionResult AnswersLegally(EngineProcess& engine, const std::vector<std::string>& commands,
                                          const std::string& moves, int timeoutMs) {
  std::string line;
  if (!engine.Ask(commands, "bestmove ", &line, timeoutMs))
    return ::testing::AssertionFailure() << "no bestmove";
  if (!LegalAfter(moves, BestMoveOf(line))) return ::testing::AssertionFailure() << "not legal: " << line;
  return ::testing::AssertionSuccess();
}

TEST(UciE2E, IdentityAndOptionsInOrder) {
  EngineProcess engine;
  engine.Start();
  std::vector<std::string> seen;
  ASSERT_TRUE(engine.Ask({"uci"}, "uciok", nullptr, 5000, &seen));
  ASSERT_GE(seen.size(), 12u);
  std::vector<std::string> tail(seen.end() - 12, seen.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{
                "id name Kelb 7.01", "id author P.Dervotin", "option name Ponder type check default false",
                "option name Hash type spin default 2 min 2 max 1023",
                "option name UCI_Elo type spin default 700 min 700 max 2000",
                "option name UCI_LimitStrength type check default false",
                "option name DelayOnWeakLevels type check default true",
                "option name OwnBook type check default true", "option name Clear Hash type button",
                "option name Learning type check default true",
                "option name MultiPV type spin default 1 min 1 max 218", "uciok"}));
  // No book in the working directory: the notice follows "uciok".
  std::string line;
  ASSERT_TRUE(engine.ReadLine(line));
  EXPECT_EQ(line, "info string Opening book (kelb701.bok) not found!");
  EXPECT_EQ(engine.Quit(), 0);
}

// The Hash option's default is the table in effect: the ini's "hashsize", or the smallest the option allows
// when the ini asks for less (no table, or 1 MB). A GUI that sends the shown value back changes nothing.
TEST(UciE2E, HashOptionAnnouncesTheTableInEffect) {
  for (const auto& [ini, announced] : std::vector<std::pair<std::string, std::string>>{
           {"hashsize=64\n", "64"}, {"hashsize=1\n", "2"}, {"hashsize=0\n", "2"}}) {
    SCOPED_TRACE(ini);
    EngineProcess engine;
    engine.WriteFile("kelb701.ini", ini);
    engine.Start();
    std::string line;
    ASSERT_TRUE(engine.Ask({"uci"}, "option name Hash ", &line));
    EXPECT_EQ(line, "option name Hash type spin default " + announced + " min 2 max 1023");
    EXPECT_TRUE(AnswersLegally(
        engine, {"setoption name Hash value " + announced, "position startpos moves e2e4", "go depth 3"},
        "e2e4", 20000));
    EXPECT_EQ(engine.Quit(), 0);
  }
}

TEST(UciE2E, GoWithDepthAnswersALegalBestMove) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  GameMirror game;
  ASSERT_TRUE(game.PlayLine("e2e4 e7e5 g1f3"));
  std::string line;
  ASSERT_TRUE(engine.Ask({"position startpos moves e2e4 e7e5 g1f3",
                          "go wtime 10000 btime 10000 winc 100 binc 100 movestogo 20 depth 4"},
                         "bestmove ", &line));
  EXPECT_TRUE(game.Play(BestMoveOf(line))) << line;
  size_t ponder = line.find(" ponder ");
  if (ponder != std::string::npos) {
    EXPECT_TRUE(game.Play(line.substr(ponder + 8))) << line;
  }
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciE2E, SearchMovesRestrictTheRoot) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  std::string line;
  ASSERT_TRUE(engine.Ask({"position startpos", "go searchmoves a2a3 h2h4 depth 5"}, "bestmove ", &line));
  std::string best = BestMoveOf(line);
  EXPECT_TRUE(best == "a2a3" || best == "h2h4") << line;
  ASSERT_TRUE(engine.Ask({"go searchmoves a2a3 depth 1"}, "bestmove ", &line));
  EXPECT_EQ(BestMoveOf(line), "a2a3") << line;
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciE2E, InfiniteAnswersOnlyAfterStopAndReadyOkMeanwhile) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  std::vector<std::string> seen;
  EXPECT_FALSE(engine.Ask({"position startpos moves d2d4", "go infinite"}, "bestmove", nullptr, 600, &seen));
  ASSERT_TRUE(engine.Ask({"isready"}, "readyok", nullptr, 10000, &seen));
  EXPECT_FALSE(engine.WaitFor("bestmove", nullptr, 300, &seen));  // the search goes on
  EXPECT_TRUE(AnswersLegally(engine, {"stop"}, "d2d4", 10000));
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciE2E, PonderThenPonderHitContinuesUnderTheClock) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  // No deadline while pondering.
  EXPECT_FALSE(engine.Ask({"position startpos moves e2e4", "go ponder wtime 3000 btime 3000"}, "bestmove",
                          nullptr, 700));
  // Now a timed search: it ends by itself (a ponder search never would), whenever a loaded machine lets it.
  EXPECT_TRUE(AnswersLegally(engine, {"ponderhit"}, "e2e4", 30000));
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciE2E, NoLegalMoveAnswersNullMove) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  EXPECT_EQ(engine.AskBestMove({"position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go depth 3"}),
            "bestmove 0000");
  // Mated: nothing to analyse, but the answer still waits for "stop".
  std::string line;
  EXPECT_FALSE(
      engine.Ask({"position startpos moves f2f3 e7e5 g2g4 d8h4", "go infinite"}, "bestmove", &line, 300));
  EXPECT_TRUE(engine.LinesBeforeReady().empty());
  EXPECT_EQ(engine.AskBestMove({"stop"}), "bestmove 0000");
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciE2E, QuitDuringASearchEndsTheEngine) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  ASSERT_TRUE(engine.Ask({"position startpos", "go infinite"}, "info depth", nullptr, 10000));  // searching
  engine.WriteLine("quit");
  std::string line;
  ASSERT_TRUE(engine.WaitFor("bestmove", &line, 10000));
  EXPECT_EQ(engine.WaitExit(10000), 0);
}

TEST(UciE2E, ClosedInputDuringASearchEndsTheEnginePromptly) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  ASSERT_TRUE(engine.Ask({"position startpos", "go infinite"}, "info depth", nullptr, 10000));  // searching
  // Without the end of input the search would go on for ever; any bound tells the two apart.
  engine.CloseInput();
  EXPECT_EQ(engine.WaitExit(10000), 0);
}

TEST(UciE2E, WeakLevelInfiniteStillWaitsForStop) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  EXPECT_FALSE(engine.Ask({"setoption name UCI_LimitStrength value true", "position startpos", "go infinite"},
                          "bestmove", nullptr, 600));
  EXPECT_TRUE(engine.Ask({"stop"}, "bestmove", nullptr, 10000));
  EXPECT_EQ(engine.Quit(), 0);
}

}  // namespace
}  // namespace kelb
