// Input while thinking: PollInput in-process on the engine's globals.
#include "driver/poll.h"

#include <gtest/gtest.h>

#include <cstring>

#include "board/board.h"
#include "board/fen.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "driver/parser.h"
#include "driver/winboard.h"
#include "search/hash.h"
#include "search/think.h"
#include "search/timectl.h"
#include "stdio_redirect.h"

namespace kelb {
namespace {

using test::StdioRedirect;

class PollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitChannel();
    settings.hashSizeMb = 0;
    settings.weakLevel = 0;
    AllocateHashTable(settings.hashSizeMb);
    InitEngineState();
    NewGame();
    io.Output();
    engineState.mode = EngineMode::Play;
    engineState.searchInterruptible = true;
    engineState.stopRequested = false;
    timeControl.deadlineTick = TickCount() + 100000;
  }
  void TearDown() override { ThawTicks(); }
  // One poll that surely sees a new tick, after the bytes have been read into the channel.
  void Poll() {
    timeControl.lastPollTick = -1;
    PollInput();
  }
  void Feed(const std::string& line) {
    io.Feed(line + "\n");
    PollLine();  // the read; the poll then takes the line
  }
  StdioRedirect io;
};

TEST_F(PollTest, SameTickOnlyRaisesTheInterval) {
  // A stopped clock: every poll below sees the tick of the last one, however slowly the test runs.
  FreezeTicks(5'000'000);
  timeControl.deadlineTick = TickCount() + 100000;
  io.Feed("stop\n");
  timeControl.pollInterval = 250;
  timeControl.lastPollTick = TickCount();
  PollInput();
  PollInput();
  EXPECT_EQ(timeControl.pollInterval, 350);
  EXPECT_EQ(InputLine, "");  // nothing was read
  EXPECT_FALSE(engineState.stopRequested);
  // The next tick reads again (the read, then the split that finds the line).
  AdvanceFrozenTicks(1);
  PollInput();
  AdvanceFrozenTicks(1);
  PollInput();
  ThawTicks();
  EXPECT_EQ(timeControl.pollInterval, 350);
  EXPECT_TRUE(engineState.stopRequested);
  EXPECT_EQ(InputLine, "stop");
}

TEST_F(PollTest, AnsweredLinesDoNotStopTheSearch) {
  Feed("isready");
  Poll();
  EXPECT_EQ(io.Output(), "readyok\n");
  Feed("draw");  // move 1: no answer
  Poll();
  Feed(".");  // not analysing: consumed silently
  Poll();
  EXPECT_EQ(io.Output(), "");
  EXPECT_EQ(InputLine, "");
  EXPECT_FALSE(engineState.stopRequested);
  gamePly = 901;
  Feed("draw");
  Poll();
  gamePly = 0;
  EXPECT_EQ(io.Output(), "offer draw\n");
}

TEST_F(PollTest, StatusLineInAnalysis) {
  engineState.mode = EngineMode::Analyze;
  FreezeTicks(5'000'000);  // the elapsed time is exact on a stopped clock
  timeControl.thinkStartTick = TickCount() - 1234;
  timeControl.nodeCount = 5678;
  std::strcpy(statusText, " 4 17 20 g1f3");
  Feed(".");
  Poll();
  ThawTicks();
  std::string out = io.Output();
  int centis = 0;
  ASSERT_EQ(std::sscanf(out.c_str(), "stat01: %d", &centis), 1) << out;
  EXPECT_EQ(centis, 123);
  EXPECT_NE(out.find(" 5678 4 17 20 g1f3\n"), std::string::npos) << out;
  EXPECT_FALSE(engineState.stopRequested);
}

TEST_F(PollTest, OtherLinesStopOnlyAnInterruptibleSearch) {
  engineState.searchInterruptible = false;
  Feed("force");
  Poll();
  EXPECT_FALSE(engineState.stopRequested);
  EXPECT_EQ(InputLine, "force");
  engineState.searchInterruptible = true;
  Poll();
  EXPECT_TRUE(engineState.stopRequested);
  EXPECT_EQ(InputLine, "force");  // left for the main loop
  InputLine.clear();
  engineState.stopRequested = false;
  Feed("?");
  Poll();
  EXPECT_TRUE(engineState.stopRequested);
  EXPECT_EQ(InputLine, "");  // "move now" is consumed
}

TEST_F(PollTest, DeadlineStopsOnlyTimedSearches) {
  timeControl.deadlineTick = TickCount() - 1;
  engineState.searchInterruptible = false;
  Poll();
  EXPECT_FALSE(engineState.stopRequested);
  engineState.searchInterruptible = true;
  for (int c = 0; c < 4; ++c) {
    engineState.mode = c == 0 ? EngineMode::Analyze : EngineMode::Play;
    engineState.pondering = c == 1;
    engineState.uciPonder = c == 2;
    settings.weakLevel = c == 3 ? 5 : 0;
    Poll();
    EXPECT_FALSE(engineState.stopRequested) << c;
  }
  engineState.mode = EngineMode::Play;
  engineState.pondering = engineState.uciPonder = false;
  settings.weakLevel = 0;
  Poll();
  EXPECT_TRUE(engineState.stopRequested);
}

TEST_F(PollTest, PonderHitStartsTheClock) {
  engineState.uciMode = true;
  engineState.uciPonder = true;
  engineState.engineSide = kWhite;
  timeControl.timeMode = 2;
  timeControl.baseTime = 5000;
  Feed("ponderhit");
  const int64_t before = TickCount();
  Poll();
  engineState.uciMode = false;
  EXPECT_FALSE(engineState.uciPonder);
  EXPECT_EQ(InputLine, "");
  EXPECT_FALSE(engineState.stopRequested);
  EXPECT_GE(timeControl.deadlineTick, before + 4880);
  EXPECT_LE(timeControl.deadlineTick, TickCount() + 4880);
}

TEST_F(PollTest, NoPonderingAtAWeakLevel) {
  engineState.xboardMode = true;
  engineState.ponder = true;
  engineState.engineSide = kBlack;  // White, the opponent, is to move
  settings.weakLevel = 5;
  timeControl.nodeCount = -1;
  io.Feed("ping 1\n");
  IdleStep();  // waits for the line instead of thinking
  EXPECT_EQ(timeControl.nodeCount, -1);
  PollLine();
  EXPECT_EQ(InputLine, "ping 1");
  settings.weakLevel = 0;
  InputLine.clear();
  io.Feed("ping 2\n");
  IdleStep();  // ponders until the line arrives
  EXPECT_GT(timeControl.nodeCount, 0);
  EXPECT_EQ(InputLine, "ping 2");
  EXPECT_FALSE(engineState.pondering);
  EXPECT_EQ(io.Output(), "");  // a ponder search prints nothing
}

TEST_F(PollTest, HintKeepsTheDepthLimit) {
  engineState.mode = EngineMode::Force;
  timeControl.depthLimit[kWhite] = 9;
  io.Feed("ping 3\n");
  HandleCommand(ParseCommand("hint"));
  EXPECT_EQ(timeControl.depthLimit[kWhite], 9);
  EXPECT_EQ(InputLine, "ping 3");
  EXPECT_EQ(io.Output().rfind("Hint: ", 0), 0u);
}

}  // namespace
}  // namespace kelb
