// UCI option, position and go handling in-process.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "book/learn.h"
#include "driver/WBinout.h"
#include "driver/config.h"
#include "driver/uci.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "search/think.h"
#include "search/timectl.h"
#include "stdio_redirect.h"

namespace kelb {
namespace {

using test::StdioRedirect;

class UciTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitChannel();
    settings.hashSizeMb = 0;
    AllocateHashTable(settings.hashSizeMb);
    InitEngineState();
    engineState.uciMode = true;
    settings.weakLevel = 0;
    uciElo = 700;
    lastPositionLine.clear();
    NewGame();
    io.Output();
  }
  void TearDown() override {
    engineState.uciMode = false;
    settings.weakLevel = 0;
  }
  StdioRedirect io;
};

TEST_F(UciTest, NextWordSplitsOnBlanksAndEquals) {
  size_t pos = 0;
  const std::string line = "  setoption name=Hash  value = 64";
  EXPECT_EQ(NextWord(line, pos), "setoption");
  EXPECT_EQ(NextWord(line, pos), "name");
  EXPECT_EQ(NextWord(line, pos), "Hash");
  EXPECT_EQ(NextWord(line, pos), "value");
  EXPECT_EQ(NextWord(line, pos), "64");
  EXPECT_EQ(NextWord(line, pos), "");
}

TEST_F(UciTest, HashReallocatesOnlyInRange) {
  UciSetOption("setoption name Hash value 64");
  EXPECT_EQ(settings.hashSizeMb, 64);
  EXPECT_TRUE(HashTable.enabled);
  const uint32_t entries = HashTable.entryCount;
  EXPECT_GT(entries, 64u * 1048576 / 50 * 9 / 10);
  for (const char* bad : {"1", "1024", "abc", "", "12x"}) {
    UciSetOption(std::string("setoption name Hash value ") + bad);
    EXPECT_EQ(settings.hashSizeMb, 64) << bad;
    EXPECT_EQ(HashTable.entryCount, entries) << bad;
  }
  UciSetOption("setoption name Hash value 2");
  EXPECT_EQ(settings.hashSizeMb, 2);
}

// The option line announces the size in effect, and GUIs send the shown values back: the same size keeps
// the table with its learned entries; another size is a new, empty table.
TEST_F(UciTest, HashOfTheSizeInEffectKeepsTheTable) {
  UciSetOption("setoption name Hash value 2");
  ASSERT_EQ(settings.hashSizeMb, 2);
  Board.ply = 1;
  StoreLearned(-95, 6);
  int32_t score = 0;
  UciSetOption("setoption name Hash value 2");
  Board.ply = 1;
  ASSERT_TRUE(ProbeHash(-1000, 1000, 6, 0, score));
  EXPECT_EQ(score, -95);
  UciSetOption("setoption name Hash value 3");
  EXPECT_EQ(settings.hashSizeMb, 3);
  Board.ply = 1;
  EXPECT_FALSE(ProbeHash(-1000, 1000, 6, 0, score));
}

// "ucinewgame" forgets what belongs to the old game and keeps the position the last "position" set.
TEST_F(UciTest, NewGameForgetsTheOldGameButNotThePosition) {
  UciSetOption("setoption name Hash value 2");
  UciPosition("position startpos moves e2e4 e7e5");
  const std::string fen = WriteFen();
  killer1[3] = {52, 54};
  killer3[5] = {71, 63};
  learnMarks[2] = true;
  const int32_t generation = HashTable.generation;
  UciNewGame();
  EXPECT_EQ(WriteFen(), fen);
  EXPECT_EQ(gamePly, 2);
  EXPECT_EQ(killer1[3].from, 0);
  EXPECT_EQ(killer3[5].to, 0);
  EXPECT_FALSE(learnMarks[2]);
  EXPECT_EQ(HashTable.generation, generation + 10);
  EXPECT_TRUE(lastPositionLine.empty());
}

TEST_F(UciTest, ClearHashStartsAFreshGeneration) {
  UciSetOption("setoption name Hash value 2");
  const int32_t before = HashTable.generation;
  UciSetOption("setoption name Clear Hash");
  EXPECT_EQ(HashTable.generation, before + 10);
}

TEST_F(UciTest, MultiPvTakesOnlyValuesInItsRange) {
  UciPosition("position startpos");
  for (const auto& [value, lines] :
       {std::pair<const char*, int>{"3", 3}, {"0", 3}, {"219", 3}, {"x", 3}, {"218", 218}, {"1", 1}}) {
    UciSetOption(std::string("setoption name MultiPV value ") + value);
    UciGo("go depth 1");
    EXPECT_EQ(searchLimits.lineCount, lines) << value;
  }
  analysisLines = 1;
  io.Output();
}

TEST_F(UciTest, SwitchOptionsTakeOnlyLowerCaseTrue) {
  UciSetOption("setoption name OwnBook value false");
  EXPECT_FALSE(settings.bookEnabled);
  UciSetOption("setoption name OwnBook value true");
  EXPECT_TRUE(settings.bookEnabled);
  UciSetOption("setoption name Learning value True");
  EXPECT_FALSE(settings.learnEnabled);
  UciSetOption("setoption name DelayOnWeakLevels value false");
  EXPECT_FALSE(settings.weakDelay);
  UciSetOption("setoption name Ponder value true");  // accepted and ignored
}

TEST_F(UciTest, StrengthOptionsInEitherOrder) {
  UciSetOption("setoption name UCI_LimitStrength value true");
  EXPECT_EQ(settings.weakLevel, 50);  // 700 Elo when none was given
  UciSetOption("setoption name UCI_Elo value 2000");
  EXPECT_EQ(settings.weakLevel, 3);
  UciSetOption("setoption name UCI_LimitStrength value false");
  EXPECT_EQ(settings.weakLevel, 0);
  UciSetOption("setoption name UCI_Elo value 1500");
  EXPECT_EQ(settings.weakLevel, 0);  // the Elo waits for the switch
  UciSetOption("setoption name UCI_LimitStrength value true");
  EXPECT_EQ(settings.weakLevel, 21);
  UciSetOption("setoption name UCI_Elo value 2500");  // out of range: 700
  EXPECT_EQ(uciElo, 700);
  EXPECT_EQ(settings.weakLevel, 50);
}

TEST_F(UciTest, ContinuedPositionKeepsLearningMarks) {
  UciPosition("position startpos moves e2e4 e7e5");
  learnMarks[1] = true;
  UciPosition("position startpos moves e2e4 e7e5 g1f3 b8c6");
  EXPECT_TRUE(learnMarks[1]);
  EXPECT_EQ(gamePly, 4);
  UciPosition("position startpos moves d2d4");
  EXPECT_FALSE(learnMarks[1]);
  EXPECT_EQ(gamePly, 1);
}

TEST_F(UciTest, MoveListEndsAtTheFirstIllegalWord) {
  UciPosition("position startpos moves e2e4 e2e4 d7d5");
  EXPECT_EQ(gamePly, 1);
  EXPECT_EQ(Board.side, kBlack);
  UciPosition("position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1 moves e1g1 e8d7");
  EXPECT_EQ(gamePly, 2);
  EXPECT_EQ(WriteFen(), "8/3k4/8/8/8/8/8/5RK1 w - -");
  // A refused position plays no moves onto the start position it falls back to.
  UciPosition("position fen 8/8/8/8/8/8/8/8 w - - moves e2e4");
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
  EXPECT_EQ(gamePly, 0);
  EXPECT_EQ(io.Output(), "tellusererror illegal position\n");
  // Each "position" starts a fresh game: the refusal does not carry over to the next legal one.
  UciPosition("position fen 8/8/8/4k3/8/8/4P3/4K3 w - - 0 1 moves e2e4");
  EXPECT_NE(engineState.mode, EngineMode::Halted);
  EXPECT_EQ(gamePly, 1);
  EXPECT_EQ(WriteFen(), "8/8/8/4k3/4P3/8/8/4K3 b - e3");
  EXPECT_EQ(io.Output(), "");
}

TEST_F(UciTest, LongPositionLineReadWhole) {
  std::string line = "position startpos moves";
  const char* cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (int i = 0; i < 2; ++i)
    for (const char* m : cycle) line += std::string(" ") + m;
  line += " e2e4 e7e5";
  for (int i = 0; i < 30; ++i) line += " b1c3 b8c6 c3b1 c6b8";  // repetitions do not end a UCI game
  ASSERT_GT(line.size(), 255u);
  UciPosition(line);
  EXPECT_EQ(gamePly, 130);
  EXPECT_EQ(lastPositionLine.size(), 255u);
}

TEST_F(UciTest, GoParametersFillTheTimeControl) {
  UciPosition("position startpos");
  UciGo("go wtime 61000 btime 62000 winc 500 binc 700 movestogo 25 depth 1");
  const TimeControl& tc = timeControl;
  EXPECT_EQ(tc.clock[kWhite], 61000);
  EXPECT_EQ(tc.clock[kBlack], 62000);
  EXPECT_EQ(tc.increment, 700);  // one increment: the later word wins
  EXPECT_EQ(tc.timeMode, 0);
  EXPECT_EQ(tc.movesPerControl, 25);
  EXPECT_EQ(tc.movesToGo[kWhite], 25);
  EXPECT_EQ(tc.movesToGo[kBlack], 25);
  EXPECT_EQ(tc.depthLimit[kWhite], 1);
  EXPECT_EQ(engineState.mode, EngineMode::Play);
  EXPECT_NE(io.Output().find("bestmove "), std::string::npos);

  UciGo("go movetime 300 depth 50 mate 3 nodes 123456");
  EXPECT_EQ(tc.timeMode, 2);
  EXPECT_EQ(tc.baseTime, 300);
  EXPECT_EQ(tc.increment, 0);
  EXPECT_EQ(tc.depthLimit[kBlack], 35);
  EXPECT_EQ(searchLimits.nodeLimit, 123456);
  EXPECT_EQ(tc.clock[kWhite], 100000000);  // defaults for what the line leaves out
}

TEST_F(UciTest, TimeBudgetOnlyFromTheOwnClockOrAMoveTime) {
  // White to move: only White's clock or "movetime" gives the search time to spend (a weak level waits
  // for it); depth, nodes, mate or Black's clock alone do not.
  UciPosition("position startpos");
  const struct {
    const char* line;
    bool budget;
  } cases[] = {{"go depth 1", false},
               {"go nodes 50 depth 1", false},
               {"go btime 5000 depth 1", false},
               {"go wtime 5000 depth 1", true},
               {"go movetime 900 depth 1", true}};
  for (const auto& c : cases) {
    timeControl.timeBudget = !c.budget;
    UciGo(c.line);
    EXPECT_EQ(timeControl.timeBudget, c.budget) << c.line;
  }
  UciPosition("position startpos moves e2e4");
  UciGo("go btime 5000 depth 1");
  EXPECT_TRUE(timeControl.timeBudget);
  UciGo("go wtime 5000 depth 1");
  EXPECT_FALSE(timeControl.timeBudget);
  io.Output();
}

TEST_F(UciTest, SearchMovesListHasRoomFor99) {
  UciPosition("position startpos");
  std::string line = "go searchmoves";
  const char* moves[] = {"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3", "d2d4", "e2e3", "e2e4",
                         "f2f3", "f2f4", "g2g3", "g2g4", "h2h3", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};
  for (int i = 0; i < 6; ++i)
    for (const char* m : moves) line += std::string(" ") + m;
  line += " depth 1";
  UciGo(line);
  EXPECT_EQ(searchLimits.rootMoveCount, kMaxSearchMoves);
  EXPECT_EQ(timeControl.depthLimit[kWhite], 1);  // the word after the list is still read
  EXPECT_TRUE(RootMoveAllowed(ParseMoveText("g1h3")));
  UciGo("go searchmoves e2e5 depth 1");
  EXPECT_EQ(searchLimits.rootMoveCount, 0);
}

}  // namespace
}  // namespace kelb
