// Playing and analysing under the WinBoard protocol, through the engine binary.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "game_mirror.h"
#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineAnswers;
using test::EngineMoves;
using test::EngineProcess;
using test::GameMirror;
using test::MoveWord;
using test::Pause;

// A new game in which we play 1.e4 and the engine, Black, thinks for up to a minute; returns once its search
// runs (a command sent before would reach the idle loop instead).
void StartMinuteSearch(EngineProcess& engine, GameMirror& game) {
  engine.WriteLines({"new", "st 60", "e2e4"});
  ASSERT_TRUE(game.Play("e2e4"));
  ASSERT_TRUE(engine.WaitUntilSearching());
}

TEST(WinBoardE2E, RepliesAsBlackAfterNewAndAMove) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  GameMirror game;
  engine.WriteLines({"new", "sd 3"});
  ASSERT_TRUE(EngineAnswers(engine, game, "e2e4"));
  // The engine keeps playing Black.
  EXPECT_TRUE(EngineAnswers(engine, game, "d2d4"));
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, GoPlaysWhite) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  GameMirror game;
  engine.WriteLines({"new", "sd 2", "go"});
  EXPECT_TRUE(EngineMoves(engine, game));
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, AutoPlaysBothSidesUntilACommand) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  GameMirror game;
  engine.WriteLines({"new", "sd 1", "auto"});
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(EngineMoves(engine, game)) << i;
  engine.WriteLine("force");
  std::vector<std::string> seen;
  ASSERT_TRUE(engine.Ping(1, &seen));
  for (const std::string& l : seen)
    if (l.rfind("move ", 0) == 0) {
      EXPECT_TRUE(game.Play(MoveWord(l))) << l;
    }
  EXPECT_TRUE(engine.Drain(300).empty());  // forced: no more moves
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, ConsoleStyleNumbersMovesAndPrompts) {
  EngineProcess engine;
  engine.Start();
  std::string line;
  ASSERT_TRUE(engine.Ask({"sd 2", "e2e4"}, "move ", &line));
  EXPECT_EQ(line.rfind("move 1. ... ", 0), 0u) << line;
  ASSERT_TRUE(engine.ReadLine(line));
  EXPECT_EQ(line, "Your next?");
  ASSERT_TRUE(engine.Ask({"new", "sd 2", "go"}, "move ", &line));
  EXPECT_EQ(line.rfind("move 1. ", 0), 0u) << line;
  EXPECT_EQ(line.find("..."), std::string::npos) << line;
  GameMirror game;
  EXPECT_TRUE(game.Play(MoveWord(line)));
  ASSERT_TRUE(engine.ReadLine(line));
  EXPECT_EQ(line, "Your next?");
  EXPECT_EQ(engine.Quit(), 0);
}

// "time" is the engine's own clock and "otim" the opponent's, whatever colour a later "go", "white" or
// "black" gives the engine: tournament managers send both before the "go" that tells it its colour. One
// clock reads 1 s, the other 1,000 s. With 1 s the engine's search is stopped after 125 ms; with 1,000 s it
// starts iterations for 12.5 s, so a move within the first seconds can only come from the short clock.
TEST(WinBoardE2E, TimeIsTheEnginesClockWhateverColourItGetsLater) {
  struct Case {
    std::vector<std::string> commands;
    bool engineHasOneSecond;
  };
  const std::vector<Case> cases = {
      {{"new", "level 0 5 0", "force", "time 100", "otim 100000", "go"}, true},
      {{"new", "level 0 5 0", "force", "time 100", "otim 100000", "white", "go"}, true},
      {{"new", "level 0 5 0", "force", "e2e4", "time 100", "otim 100000", "black", "go"}, true},
      {{"new", "level 0 5 0", "force", "time 100000", "otim 100", "go"}, false},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& command : c.commands) trace += command + " | ";
    SCOPED_TRACE(trace);
    EngineProcess engine;
    ASSERT_TRUE(engine.StartXboard());
    engine.WriteLines(c.commands);
    std::string line;
    if (c.engineHasOneSecond) {
      EXPECT_TRUE(engine.WaitFor("move ", &line, test::Scaled(8000)));
    } else {
      std::vector<std::string> seen;
      ASSERT_TRUE(engine.WaitUntilSearching(&seen));
      for (const std::string& l : seen) EXPECT_NE(l.rfind("move ", 0), 0u) << l;
      EXPECT_FALSE(engine.WaitFor("move ", &line, 2500)) << line;
      engine.WriteLine("?");
      EXPECT_TRUE(engine.WaitFor("move ", &line, 20000));
    }
    EXPECT_EQ(engine.Quit(), 0);
  }
}

TEST(WinBoardE2E, PingAnsweredInForceMode) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  engine.WriteLine("force");
  EXPECT_TRUE(engine.LinesBeforePong(7).empty());
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, HintComesWhenTheNextCommandArrives) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  GameMirror game;
  engine.WriteLines({"force", "hint"});
  std::string line;
  EXPECT_FALSE(engine.ReadLine(line, 300));  // the hint search waits for the next line
  engine.WriteLine("ping 4");
  ASSERT_TRUE(engine.ReadLine(line));
  ASSERT_EQ(line.rfind("Hint: ", 0), 0u) << line;
  EXPECT_TRUE(game.Play(MoveWord(line))) << line;
  ASSERT_TRUE(engine.ReadLine(line));
  EXPECT_EQ(line, "pong 4");
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, QuestionMarkMovesAtOnceWithoutError) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  GameMirror game;
  ASSERT_NO_FATAL_FAILURE(StartMinuteSearch(engine, game));  // idle, "?" would be an unknown command
  std::vector<std::string> seen;
  std::string line;
  // The search has 60 s; its move within 20 s can only be the answer to "?".
  ASSERT_TRUE(engine.Ask({"?"}, "move ", &line, 20000, &seen));
  EXPECT_TRUE(game.Play(MoveWord(line))) << line;
  engine.WriteLine("force");
  ASSERT_TRUE(engine.Ping(2, &seen, 5000));
  for (const std::string& l : seen) EXPECT_EQ(l.find("Error"), std::string::npos) << l;
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, ForceDuringASearchStillPlaysTheMove) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  GameMirror game;
  // A "force" that came before the search would leave the engine without a move to play.
  ASSERT_NO_FATAL_FAILURE(StartMinuteSearch(engine, game));
  engine.WriteLine("force");
  ASSERT_TRUE(EngineMoves(engine, game, 20000));
  // The move was played into the engine's game, and the engine now waits in force mode.
  engine.WriteLine("g1f3");
  ASSERT_TRUE(game.Play("g1f3"));
  EXPECT_TRUE(engine.LinesBeforePong(3).empty());
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, AnalysisAnswersDotAndEndsOnExit) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  engine.WriteLines({"new", "force"});
  const auto sent = std::chrono::steady_clock::now();
  engine.WriteLine("analyze");
  // Once the analysis answers, it has been running; 400 ms later it has run at least that long.
  ASSERT_TRUE(engine.WaitUntilSearching());
  Pause(400);
  engine.WriteLine(".");
  std::string line;
  ASSERT_TRUE(engine.WaitFor("stat01: ", &line));
  const auto elapsedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count();
  // stat01: time nodes depth movesLeft moves move
  int centis = -1, nodes = -1, depth = -1, left = -1, total = -1;
  char move[8] = "";
  ASSERT_GE(
      std::sscanf(line.c_str(), "stat01: %d %d %d %d %d %7s", &centis, &nodes, &depth, &left, &total, move),
      5)
      << line;
  EXPECT_GE(centis, 40);
  EXPECT_LE(centis * 10, elapsedMs + 10);  // measured inside the span this test saw, to the tick
  EXPECT_GT(nodes, 0);
  EXPECT_EQ(total, 20);
  engine.WriteLine("exit");
  ASSERT_TRUE(engine.Ping(6));
  EXPECT_TRUE(engine.Drain(300).empty());  // the analysis has ended
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, DotOutsideAnalysisIsSilent) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  engine.WriteLines({"new", "st 60", "e2e4"});
  ASSERT_TRUE(engine.WaitUntilSearching());  // idle, "." would be an unknown command
  engine.WriteLines({".", "draw"});          // "draw" at move 1: no answer, the search goes on
  std::string line;
  EXPECT_FALSE(engine.ReadLine(line, 400)) << line;
  engine.WriteLine("?");
  ASSERT_TRUE(engine.ReadLine(line, 20000));
  EXPECT_EQ(line.rfind("move ", 0), 0u) << line;
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, PondersAndAnswersTheNextMove) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  GameMirror game;
  engine.WriteLines({"new", "hard", "sd 3"});
  ASSERT_TRUE(EngineAnswers(engine, game, "e2e4"));
  Pause(300);  // the engine ponders on our time; our move ends that search
  EXPECT_TRUE(EngineAnswers(engine, game, "d2d4", 20000));
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(WinBoardE2E, ClosedInputDuringAnalysisEndsTheEngine) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  engine.WriteLine("analyze");
  ASSERT_TRUE(engine.WaitUntilSearching());
  engine.CloseInput();  // the analysis would never end by itself
  EXPECT_EQ(engine.WaitExit(10000), 0);
}

}  // namespace
}  // namespace kelb
