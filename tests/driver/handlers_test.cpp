// WinBoard command handlers run in-process on the engine's globals.
#include <gtest/gtest.h>

#include <climits>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "driver/parser.h"
#include "driver/winboard.h"
#include "search/hash.h"
#include "search/timectl.h"
#include "stdio_redirect.h"

namespace kelb {
namespace {

using test::StdioRedirect;

class HandlersTest : public ::testing::Test {
 protected:
  // A stopped clock: every charged millisecond below is exact, however slowly the machine runs the test.
  void SetUp() override {
    FreezeTicks(10'000'000);
    InitChannel();
    int32_t mb = 0;
    AllocateHashTable(mb);
    InitEngineState();
    NewGame();
    io.Output();
  }
  void TearDown() override { ThawTicks(); }
  // Parses and handles one line as the main loop does.
  void Command(const std::string& line) { HandleCommand(ParseCommand(line)); }
  StdioRedirect io;
  TimeControl& tc = timeControl;
};

TEST_F(HandlersTest, LevelConventionalAndIncremental) {
  Command("level 40 5 0");
  EXPECT_EQ(tc.timeMode, 0);
  EXPECT_EQ(tc.movesPerControl, 40);
  EXPECT_EQ(tc.baseTime, 300000);
  EXPECT_EQ(tc.increment, 0);
  EXPECT_EQ(tc.clock[0], 300000);
  EXPECT_EQ(tc.clock[1], 300000);
  EXPECT_EQ(tc.movesToGo[0], 40);
  EXPECT_EQ(tc.movesToGo[1], 40);
  Command("level 0 2:30 12");
  EXPECT_EQ(tc.timeMode, 1);
  EXPECT_EQ(tc.movesPerControl, 0);
  EXPECT_EQ(tc.baseTime, 150000);
  EXPECT_EQ(tc.increment, 12000);
  Command("level 0 0.5 0");  // a fractional minute counts as 0 minutes
  EXPECT_EQ(tc.baseTime, 0);
  Command("level 0 1:2:45 0");  // with further colons the last part is the seconds
  EXPECT_EQ(tc.baseTime, 105000);
  Command("level x 99999999 y");  // non-numbers are 0; a huge base time stays representable
  EXPECT_EQ(tc.movesPerControl, 0);
  EXPECT_GT(tc.baseTime, 0);
}

TEST_F(HandlersTest, ClockDepthAndMoveTimeWords) {
  engineState.engineSide = kBlack;
  Command("time 6000");
  Command("otim 4500");
  EXPECT_EQ(tc.clock[kBlack], 60000);
  EXPECT_EQ(tc.clock[kWhite], 45000);
  Command("time abc");
  EXPECT_EQ(tc.clock[kBlack], 0);
  Command("sd 50");
  EXPECT_EQ(tc.depthLimit[0], 35);
  EXPECT_EQ(tc.depthLimit[1], 35);
  Command("sd 4");
  EXPECT_EQ(tc.depthLimit[kWhite], 4);
  Command("st 0");
  EXPECT_EQ(tc.timeMode, 2);
  EXPECT_EQ(tc.baseTime, 32000000);
  Command("st 7");
  EXPECT_EQ(tc.baseTime, 7000);
  EXPECT_EQ(tc.increment, 0);
  Command("st 32001");
  EXPECT_EQ(tc.baseTime, 32000000);
  EXPECT_EQ(io.Output(), "");
}

TEST_F(HandlersTest, NewResetsClocksAndDepth) {
  Command("level 40 5 0");
  Command("sd 3");
  Command("hard");
  Command("new");
  EXPECT_EQ(engineState.mode, EngineMode::NewGame);
  EXPECT_EQ(engineState.engineSide, kBlack);
  EXPECT_EQ(tc.depthLimit[0], 35);
  EXPECT_EQ(tc.clock[0], 300000);
  EXPECT_EQ(tc.movesToGo[1], 40);
  EXPECT_TRUE(engineState.ponder);  // the GUI's "hard" stands until it sends "easy"
}

TEST_F(HandlersTest, PonderChoiceSurvivesSetUpsAndNewGames) {
  // Every set-up ends a ponder search running on the old position, but not the choice to ponder.
  io.WriteFile("start.fen", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1\r\n");
  for (bool hard : {true, false}) {
    Command(hard ? "hard" : "easy");
    for (const char* setUp : {"setboard 4k3/8/8/8/8/8/4P3/4K3 w - -", "loadpos start.fen", "edit", "new",
                              "setboard 8/8/8/8/8/8/8/8 w - -", "new"}) {
      if (std::string(setUp) == "edit") io.Feed("#\nKe1\nPe2\nc\nKe8\nPe7\n.\n");
      engineState.pondering = true;
      Command(setUp);
      EXPECT_EQ(engineState.ponder, hard) << setUp;
      EXPECT_FALSE(engineState.pondering) << setUp;
    }
  }
  EXPECT_EQ(io.Output(), "tellusererror illegal position\ntellusererror illegal position\n");
}

TEST_F(HandlersTest, ClockBookkeepingByTimeMode) {
  Command("level 2 1 5");  // conventional: 2 moves in 1 minute
  engineState.mode = EngineMode::Play;
  engineState.engineSide = kWhite;
  tc.lastMoveTick = TickCount() - 1000;
  Command("e2e4");
  EXPECT_EQ(tc.clock[kWhite], 59000);
  EXPECT_EQ(tc.movesToGo[kWhite], 1);
  EXPECT_EQ(tc.engineTimeUsed[kWhite], 1000);
  tc.lastMoveTick = TickCount() - 2000;
  Command("e7e5");
  EXPECT_EQ(tc.clock[kBlack], 58000);
  EXPECT_EQ(tc.engineTimeUsed[kBlack], 0);  // not the engine's move
  tc.lastMoveTick = TickCount() - 1000;
  Command("g1f3");  // the control is reached: a new minute and two new moves
  EXPECT_EQ(tc.clock[kWhite], 58000 + 60000);
  EXPECT_EQ(tc.movesToGo[kWhite], 2);

  Command("level 0 1 2");
  engineState.mode = EngineMode::Auto;
  tc.lastMoveTick = TickCount() - 500;
  Command("b8c6");
  EXPECT_EQ(tc.clock[kBlack], 60000 - 500 + 2000);

  Command("st 5");
  engineState.mode = EngineMode::Play;
  Command("f1c4");
  EXPECT_EQ(tc.clock[kWhite], 5000);
}

TEST_F(HandlersTest, ForceModeCountsMovesOnlyInConventionalMode) {
  Command("level 40 5 0");
  Command("force");
  tc.lastMoveTick = TickCount() - 3000;
  Command("e2e4");
  EXPECT_EQ(tc.movesToGo[kWhite], 39);
  EXPECT_EQ(tc.clock[kWhite], 300000);  // no time charged outside play
}

TEST_F(HandlersTest, ControlsPassedInForceModeStartAgainAndSumsSaturate) {
  Command("level 2 5 0");
  Command("force");
  for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8", "b1c3"}) Command(m);
  EXPECT_EQ(tc.movesToGo[kWhite], 1);  // 2, 1, then a new control of 2, 1
  EXPECT_EQ(tc.movesToGo[kBlack], 2);
  // Extreme GUI numbers neither wrap round nor go below zero moves.
  Command("level -2147483648 -99999999 0");
  engineState.mode = EngineMode::Play;
  Command("b8c6");
  EXPECT_EQ(tc.movesToGo[kBlack], INT32_MIN);
  EXPECT_EQ(tc.clock[kBlack], INT32_MIN);
  Command("level 0 5 2147483");
  Command("c3b1");
  EXPECT_EQ(tc.clock[kWhite], INT32_MAX);
}

TEST_F(HandlersTest, UserMovesAndTheirRefusals) {
  Command("e2e4");
  EXPECT_EQ(engineState.mode, EngineMode::Play);  // the first move after "new" lets the engine play Black
  EXPECT_EQ(gamePly, 1);
  Command("force");
  Command("e7e5");
  Command("usermove");
  Command("e2e4");
  Command("E7E5");
  EXPECT_EQ(io.Output(), "Illegal move\nIllegal move\nError (unknown command): E7E5\n");
  EXPECT_EQ(gamePly, 2);
  Command("remove");
  EXPECT_EQ(gamePly, 0);
  Command("remove");
  Command("undo");
  EXPECT_EQ(gamePly, 0);
  // Fool's mate ends the game; no move is taken afterwards. Each move takes 7 ms. Black's e7e5 counts as
  // the engine's time (the engine still holds Black while moves are only entered); the mating move is
  // charged only after the result line has gone out.
  for (const char* m : {"f2f3", "e7e5", "g2g4", "d8h4"}) {
    AdvanceFrozenTicks(7);
    Command(m);
  }
  // Without "xboard" the engine times used come first.
  EXPECT_EQ(io.Output(), "time1=0 time2=7 sum=7\n0-1 {Black mates}\n");
  EXPECT_EQ(engineState.mode, EngineMode::GameOver);
  Command("a2a3");
  EXPECT_EQ(io.Output(), "Illegal move\n");
  Command("undo");
  EXPECT_EQ(result, 0);
  Command("d8h4");
  EXPECT_EQ(gamePly, 4);
}

TEST_F(HandlersTest, WhiteAndBlackRebuildTheLegalMoves) {
  Command("force");
  Command("black");
  EXPECT_EQ(Board.side, kBlack);
  EXPECT_EQ(engineState.engineSide, kWhite);
  Command("e2e4");  // a white move with Black to move must be refused
  EXPECT_EQ(io.Output(), "Illegal move\n");
  Command("e7e5");
  EXPECT_EQ(io.Output(), "");
  Command("black");
  Command("d7d5");
  Command("white");
  EXPECT_EQ(engineState.engineSide, kBlack);
  Command("d2d4");
  EXPECT_EQ(io.Output(), "");
  EXPECT_EQ(gamePly, 3);
  EXPECT_EQ(Board.squares[SquareAt(4, 4)], kWhitePawn);
}

TEST_F(HandlersTest, HaltedOnlyLeftByNewOrEdit) {
  Command("setboard 8/8/8/8/8/8/8/8 w - -");
  EXPECT_EQ(io.Output(), "tellusererror illegal position\n");
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
  for (const char* c : {"go", "auto", "force", "exit", "analyze", "multianalyze"}) {
    Command(c);
    EXPECT_EQ(engineState.mode, EngineMode::Halted) << c;
  }
  Command("hint");  // returns at once: no search from a refused position
  Command("e2e4");
  Command("setboard 4k3/8/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(io.Output(), "Illegal move\ntellusererror illegal position\n");
  Command("new");
  EXPECT_EQ(engineState.mode, EngineMode::NewGame);
  Command("setboard 4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(engineState.mode, EngineMode::Force);
  EXPECT_EQ(WriteFen(), "4k3/8/8/8/8/8/8/4K3 w - -");
}

TEST_F(HandlersTest, SetboardInAnalysisKeepsAnalyzing) {
  Command("analyze");
  EXPECT_TRUE(engineState.post);
  EXPECT_FALSE(engineState.multiAnalyze);
  Command("setboard rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  EXPECT_EQ(engineState.mode, EngineMode::Analyze);
  Command("multianalyze");
  EXPECT_TRUE(engineState.multiAnalyze);
  Command("exit");
  EXPECT_EQ(engineState.mode, EngineMode::Force);
  EXPECT_FALSE(engineState.multiAnalyze);
}

TEST_F(HandlersTest, DrawOfferOnlyInDrawishEndings) {
  Command("draw");
  EXPECT_EQ(io.Output(), "");
  Command("setboard 4k2r/8/8/8/8/8/8/R3K3 w - - 0 1");
  Command("draw");
  EXPECT_EQ(io.Output(), "offer draw\n");
}

TEST_F(HandlersTest, FeatureListInOrder) {
  settings.weakLevel = 0;
  settings.hashSizeMb = 0;
  Command("protover 2");
  EXPECT_EQ(io.Output(),
            "feature done=0\nfeature ping=1\nfeature setboard=1\nfeature playother=0\nfeature san=0\n"
            "feature usermove=0\nfeature time=1\nfeature draw=1\nfeature reuse=1\nfeature analyze=1\n"
            "feature myname=\"Kelb 7.01 hashsize=0\"\nfeature variants=\"normal\"\nfeature colors=1\n"
            "feature ics=0\nfeature name=0\nfeature pause=0\nfeature done=1\n");
  settings.hashSizeMb = 16;
  Command("protover 2");
  EXPECT_NE(io.Output().find("feature myname=\"Kelb 7.01\"\n"), std::string::npos);
  settings.weakLevel = 7;
  Command("protover 2");
  EXPECT_NE(io.Output().find("feature myname=\"Kelb 7.01 weak=7\"\n"), std::string::npos);
  settings.weakLevel = 0;
}

}  // namespace
}  // namespace kelb
