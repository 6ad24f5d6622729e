// The learning file: which lines load into the table, the four writing rules with their thresholds and
// marks, the conditions that switch learning off, and a learned position surviving a restart.
#include "book/learn.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "driver/config.h"
#include "records/records.h"
#include "search/hash.h"
#include "search/think.h"
#include "search/timectl.h"
#include "support/files.h"
#include "support/position.h"

namespace kelb {
namespace {

class LearnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings = Settings{};
    settings.learnEnabled = true;
    settings.hashSizeMb = 1;
    AllocateHashTable(settings.hashSizeMb);
    engineState = EngineState{};
    NewGame();
    ClearLearnMarks();
    timeControl.deadlineTick = 100000;
    timeControl.lastPollTick = 90000;
  }
  void TearDown() override { FreeHashTable(); }

  static std::string Read(const std::string& name) { return test::ReadFile(name); }
  static int LineCount() {
    std::string text = Read(kLearnFileName);
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
  }
  static void Play(const std::string& moves) { test::PlayMoves(moves); }
  // The result of a search: iterations 1..depth with the given scores, the last one also rootScore.
  static void Searched(int depth, int32_t earlier, int32_t last) {
    for (int d = 0; d < depth; ++d) iterationScore[d] = earlier;
    iterationScore[depth] = last;
    lastIteration = depth;
    rootScore = last;
  }
  // A search with these scores and the learning step after it; returns the lines of the file then.
  static int LinesAfter(int depth, int32_t earlier, int32_t last) {
    Searched(depth, earlier, last);
    UpdateLearning();
    return LineCount();
  }
  static const HashEntry* LearnedEntry() {
    const HashEntry* e = HashBucket(Board.key);
    return e->key == Board.key && EntryAge(*e) == kLearnedAge ? e : nullptr;
  }

  // The learning file is written to the working folder.
  test::InTempDir dir{"kelblearn"};
};

TEST_F(LearnTest, PositionLineForms) {
  Play("e2e4");
  AppendPositionLine("a.epd", -61, 3);
  AppendPositionLine("a.epd", 25, 0);
  AppendPositionLine("a.epd", kPositionLineScore, 0);
  EXPECT_EQ(Read("a.epd"),
            "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 ce -61; De 3;\r\n"
            "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 ce 25;\r\n"
            "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1\r\n");
  // The longest placements leave no room for the end of the line: it is cut at 100 characters.
  bool illegal = false;
  ReadFen("rnbqkbnr/pppppppp/p1p1p1p1/1p1p1p1p/P1P1P1P1/1P1P1P1P/PPPPPPPP/RNBQKBNR w KQkq -", illegal);
  ASSERT_FALSE(illegal);
  AppendPositionLine("b.epd", -1234567, 999);
  std::string line = Read("b.epd");
  ASSERT_EQ(line.size(), 102u);
  EXPECT_EQ(line.substr(80), " ce -1234567; De 999\r\n");
}

TEST_F(LearnTest, LoadingSkipsLinesWithoutDepthAndRefusedPositions) {
  std::ofstream("kelb701.epd", std::ios::binary)
      << "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 ce -70; De 9;\r\n"
      << "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq d3 ce -70;\r\n"   // no depth
      << "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNX w KQkq - ce 5; De 4;\r\n"  // refused
      << "garbage\n"
      << "rnbqkbnr/pppppppp/8/8/2P5/8/PP1PPPPP/RNBQKBNR b KQkq c3 ce 99999; De 99999;\n";
  LoadLearning();
  NewGame();
  Play("e2e4");
  const HashEntry* e = LearnedEntry();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->score, -70);
  EXPECT_EQ(e->depth, 9);
  EXPECT_EQ(e->bound, kExactBound);
  NewGame();
  Play("d2d4");
  EXPECT_EQ(LearnedEntry(), nullptr);
  // Values beyond the table's 16-bit fields are clamped, not wrapped.
  NewGame();
  Play("c2c4");
  e = LearnedEntry();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->score, 32766);
  EXPECT_EQ(e->depth, 32767);
}

TEST_F(LearnTest, NothingLoadsWithLearningOffOrWithoutTable) {
  std::ofstream("kelb701.epd") << "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 ce -70; De 9;\n";
  settings.learnEnabled = false;
  LoadLearning();
  NewGame();
  Play("e2e4");
  EXPECT_EQ(LearnedEntry(), nullptr);
  settings.learnEnabled = true;
  settings.hashSizeMb = 0;
  LoadLearning();
  EXPECT_EQ(LearnedEntry(), nullptr);
  settings.hashSizeMb = 1;
  EXPECT_EQ(LoadLearningFile("missing.epd"), 0);
}

TEST_F(LearnTest, RuleOneWritesOnceADeepEnoughSearchEndsBelowMinusSixty) {
  EXPECT_EQ(LinesAfter(2, 0, -100), 0);  // too shallow to write, but stored
  ASSERT_NE(LearnedEntry(), nullptr);
  EXPECT_EQ(LearnedEntry()->score, -100);
  EXPECT_EQ(LearnedEntry()->depth, 2);
  EXPECT_EQ(LinesAfter(3, 0, -60), 0);
  Searched(3, 0, -61);
  UpdateLearning();
  EXPECT_EQ(Read(kLearnFileName), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ce -61; De 3;\r\n");
  EXPECT_TRUE(learnMarks[0]);
  EXPECT_EQ(LinesAfter(5, 0, -300), 1);
}

TEST_F(LearnTest, RulesTwoToFourNeedADropAgainstSixIterationsEarlier) {
  learnMarks[0] = true;
  // Rule 2: from above -100, a drop of more than 100, ending below -150.
  EXPECT_EQ(LinesAfter(8, -100, -201), 0);
  EXPECT_EQ(LinesAfter(8, -99, -200), 1);
  EXPECT_TRUE(learnMarks[1]);
  // Rule 3: from above 100, a drop of more than 100, ending below 20.
  Searched(9, 100, -1);
  UpdateLearning();
  EXPECT_EQ(LinesAfter(9, 130, 20), 1);
  EXPECT_EQ(LinesAfter(9, 101, 0), 2);
  EXPECT_TRUE(learnMarks[2]);
  // Rule 4: from above -120, a drop of more than 200, ending below -250.
  EXPECT_EQ(LinesAfter(10, -110, -310), 2);
  EXPECT_EQ(LinesAfter(10, -110, -311), 3);
  EXPECT_TRUE(learnMarks[3]);
  // Below depth 8 only the first rule can write.
  ClearLearnMarks();
  learnMarks[0] = true;
  EXPECT_EQ(LinesAfter(7, 0, -500), 3);
}

TEST_F(LearnTest, AtMostFourLinesPerGame) {
  for (int i = 0; i < 3; ++i) {
    Searched(8, 150, -320);
    UpdateLearning();
  }
  EXPECT_EQ(LineCount(), 3);                // rules 1, 2 and 3 in turn
  EXPECT_EQ(LinesAfter(8, -100, -320), 4);  // rule 4
  UpdateLearning();
  EXPECT_EQ(LineCount(), 4);
  NewGame();  // a new game clears the marks
  UpdateLearning();
  EXPECT_EQ(LineCount(), 5);
}

TEST_F(LearnTest, NothingIsLearnedOffTheStartOrWeakOrSwitchedOffOrLate) {
  Searched(5, 0, -100);
  SetUpPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  UpdateLearning();
  EXPECT_EQ(LearnedEntry(), nullptr);
  NewGame();
  settings.weakLevel = 5;
  UpdateLearning();
  settings.weakLevel = 0;
  settings.learnEnabled = false;
  UpdateLearning();
  settings.learnEnabled = true;
  // The last poll of the search came within two seconds of its deadline: the result may be cut short.
  timeControl.lastPollTick = timeControl.deadlineTick - 2000;
  UpdateLearning();
  EXPECT_EQ(LearnedEntry(), nullptr);
  EXPECT_EQ(LineCount(), 0);
  timeControl.lastPollTick = timeControl.deadlineTick - 2001;
  UpdateLearning();
  EXPECT_NE(LearnedEntry(), nullptr);
  EXPECT_EQ(LineCount(), 1);
}

// As in the search's positions: the file of a double step counts only when a pawn stands beside to take.
TEST_F(LearnTest, TheEnPassantFileIsKeptOnlyWhereACaptureIsPossible) {
  Play("e2e4 a7a6 e4e5 d7d5");  // e5xd6 is possible
  Searched(3, 0, -70);
  UpdateLearning();
  EXPECT_NE(Read(kLearnFileName).find(" w KQkq d6 ce -70; De 3;\r\n"), std::string::npos)
      << Read(kLearnFileName);
  ASSERT_NE(LearnedEntry(), nullptr);
  EXPECT_EQ(LearnedEntry()->epFile, 4);

  std::ofstream("kelb701.epd", std::ios::binary)
      << "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 ce -70; De 9;\r\n"    // nothing takes on e3
      << "rnbqkbnr/ppp1pppp/8/8/2PpP3/8/PP1P1PPP/RNBQKBNR b KQkq e3 ce 40; De 5;\r\n";  // d4xe3 is possible
  LoadLearning();
  const struct {
    const char* fen;
    uint8_t epFile;
  } expected[] = {{"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3", 0},
                  {"rnbqkbnr/ppp1pppp/8/8/2PpP3/8/PP1P1PPP/RNBQKBNR b KQkq e3", 5}};
  for (const auto& position : expected) {
    SetUpPosition(position.fen);
    const HashEntry* e = LearnedEntry();
    ASSERT_NE(e, nullptr) << position.fen;
    EXPECT_EQ(e->epFile, position.epFile) << position.fen;
  }
}

TEST_F(LearnTest, ALearnedPositionIsFoundAfterARestart) {
  Play("e2e4 e7e5 g1f3");
  Searched(6, -20, -90);
  rootScore = -95;  // the file keeps the score of the move played
  UpdateLearning();
  ASSERT_EQ(LineCount(), 1);

  // A new run: a fresh table, the file loaded at start-up, then the game reaches the position again.
  FreeHashTable();
  AllocateHashTable(settings.hashSizeMb);
  NewGame();
  EXPECT_EQ(LearnedEntry(), nullptr);
  LoadLearning();
  NewGame();
  InvalidateHash();  // learned entries outlive every generation step
  Play("e2e4 e7e5 g1f3");
  int32_t score = 0;
  Board.ply = 1;
  ASSERT_TRUE(ProbeHash(-1000, 1000, 6, 0, score));
  EXPECT_EQ(score, -95);
}

}  // namespace
}  // namespace kelb
