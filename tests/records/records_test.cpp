// Position files and PGN records: loadpos numbering and failures, savepos appending, savepgn layout for games
// from the start position and from set-up positions with either side to move.
#include "records/records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "driver/config.h"
#include "support/files.h"
#include "support/position.h"

namespace kelb {
namespace {

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { test::NewForceGame(); }
  std::string PathOf(const std::string& name) const { return dir.PathOf(name); }
  void Write(const std::string& name, const std::string& content) const { dir.Write(name, content); }
  std::string Read(const std::string& name) const { return dir.Read(name); }
  static void Play(const std::string& moves) { test::PlayMoves(moves); }
  // Runs LoadPosition and returns what it sent.
  std::string Load(const std::string& name, const std::string& number) {
    testing::internal::CaptureStdout();
    LoadPosition(PathOf(name), number);
    return testing::internal::GetCapturedStdout();
  }

  test::TempDir dir{"kelbrecords"};
};

constexpr const char* kLine1 = "4k3/8/8/8/8/8/8/4K2R w K - 0 1";
constexpr const char* kLine2 = "r3k3/8/8/8/8/8/8/4K3 b q - 3 40";

TEST_F(RecordsTest, LoadposPicksTheNumberedLineAndFallsBackToTheFirst) {
  Write("pos.fen", std::string(kLine1) + "\r\n" + kLine2 + "\r\n");
  EXPECT_EQ(Load("pos.fen", "2"), "");
  EXPECT_EQ(WriteFen(), "r3k3/8/8/8/8/8/8/4K3 b q -");
  EXPECT_EQ(engineState.mode, EngineMode::Force);
  EXPECT_FALSE(gameFromStartPosition);
  EXPECT_EQ(gamePly, 0);
  // 0, negative numbers, words and a missing word all mean the first line.
  for (const char* number : {"0", "-2", "abc", "", "10001"}) {
    NewGame();
    EXPECT_EQ(Load("pos.fen", number), "") << number;
    EXPECT_EQ(WriteFen(), "4k3/8/8/8/8/8/8/4K2R w K -") << number;
  }
}

TEST_F(RecordsTest, LoadposOnAShortOrMissingFileLeavesThePosition) {
  Write("two.fen", std::string(kLine1) + "\n" + kLine2 + "\n");
  Write("unterminated.fen", std::string(kLine1) + "\n" + kLine2);
  Write("empty.fen", "");
  Play("e2e4");
  const std::string before = WriteFen();
  EXPECT_EQ(Load("two.fen", "3"), PathOf("two.fen") + " is too short!\n");
  EXPECT_EQ(Load("unterminated.fen", "3"), PathOf("unterminated.fen") + " is too short!\n");
  EXPECT_EQ(Load("empty.fen", "1"), PathOf("empty.fen") + " is too short!\n");
  EXPECT_EQ(Load("missing.fen", "1"), "File " + PathOf("missing.fen") + " not found\n");
  EXPECT_EQ(WriteFen(), before);
  EXPECT_EQ(gamePly, 1);
  // The last line counts even without its line end.
  EXPECT_EQ(Load("unterminated.fen", "2"), "");
  EXPECT_EQ(WriteFen(), "r3k3/8/8/8/8/8/8/4K3 b q -");
}

TEST_F(RecordsTest, IllegalPositionHaltsOnANewGame) {
  Write("bad.fen", "8/8/8/8/8/8/8/8 w - -\n");
  EXPECT_EQ(Load("bad.fen", "1"), "tellusererror illegal position\n");
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
  EXPECT_TRUE(gameFromStartPosition);
  EXPECT_EQ(WriteFen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  // While halted every set-up fails the same way, even a good one.
  testing::internal::CaptureStdout();
  SetUpPosition(kLine1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "tellusererror illegal position\n");
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
}

TEST_F(RecordsTest, SetUpKeepsAnalysisMode) {
  engineState.mode = EngineMode::Analyze;
  SetUpPosition(kLine2);
  EXPECT_EQ(engineState.mode, EngineMode::Analyze);
  EXPECT_EQ(startFen, "r3k3/8/8/8/8/8/8/4K3 b q -");
  engineState.mode = EngineMode::Play;
  SetUpPosition(kLine1);
  EXPECT_EQ(engineState.mode, EngineMode::Force);
}

TEST_F(RecordsTest, SaveposAppendsAndNeverTruncates) {
  SavePosition(PathOf("out.fen"));
  Play("e2e4 e7e5 g1f3");
  SavePosition(PathOf("out.fen"));
  EXPECT_EQ(Read("out.fen"),
            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\r\n"
            "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2\r\n");
  // What savepos writes, loadpos reads back.
  NewGame();
  EXPECT_EQ(Load("out.fen", "2"), "");
  EXPECT_EQ(WriteFen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -");
}

TEST_F(RecordsTest, SavepgnFromTheStartPosition) {
  Play("e2e4 e7e5 g1f3");
  SaveGame(PathOf("game.pgn"));
  const std::string first = "\r\n1. e2e4 e7e5\r\n2. g1f3 *\r\n\r\n";
  EXPECT_EQ(Read("game.pgn"), first);
  Play("b8c6");
  SaveGame(PathOf("game.pgn"));
  EXPECT_EQ(Read("game.pgn"), first + "\r\n1. e2e4 e7e5\r\n2. g1f3 b8c6\r\n *\r\n\r\n");
  NewGame();
  EXPECT_EQ(GameRecordText(), "\r\n *\r\n\r\n");
}

TEST_F(RecordsTest, SavepgnAfterSetboardWithBlackToMove) {
  SetUpPosition("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  const std::string tags =
      "\r\n[FEN \"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\"]\r\n[SetUp \"1\"]\r\n";
  EXPECT_EQ(GameRecordText(), tags + "1. ...  *\r\n\r\n");
  Play("e7e5 g1f3 b8c6");
  EXPECT_EQ(GameRecordText(), tags + "1. ...  e7e5\r\n2. g1f3 b8c6\r\n *\r\n\r\n");
  // With White to move the numbering starts at 1 as well.
  SetUpPosition(kLine1);
  Play("h1h8");
  EXPECT_EQ(GameRecordText(),
            "\r\n[FEN \"4k3/8/8/8/8/8/8/4K2R w K -\"]\r\n[SetUp \"1\"]\r\n1. h1h8 *\r\n\r\n");
}

}  // namespace
}  // namespace kelb
