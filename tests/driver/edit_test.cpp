// The edit dialogue, fed through a pipe on standard input as the GUI would send it.
#include "driver/edit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "board/fen.h"
#include "board/game.h"
#include "driver/WBinout.h"
#include "driver/config.h"
#include "support/board_test_util.h"

namespace kelb::test {
namespace {

// Runs EditPosition with the given lines on standard input; returns what was sent to standard output.
std::string RunEdit(const std::string& lines) {
  int in[2];
  if (pipe(in) != 0) std::abort();
  const int savedIn = dup(0);
  dup2(in[0], 0);
  close(in[0]);
  EXPECT_EQ(write(in[1], lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  close(in[1]);
  InitChannel();
  testing::internal::CaptureStdout();
  EditPosition();
  const std::string out = testing::internal::GetCapturedStdout();
  dup2(savedIn, 0);
  close(savedIn);
  InitChannel();
  return out;
}

TEST(EditPosition, BuildsThePositionAndGrantsCastlingByPlacement) {
  ResetEngineMode();
  NewGame();
  ResetEngineMode();
  const std::string out =
      RunEdit("#\nKe1\nRa1\nRH1\nPe9\nPi4\nPe44\nzz\n\nPd2\nPe4\nxe4\nc\nke8\nrh8\nnb8\nqd5\n.\n");
  EXPECT_EQ(out, "");
  EXPECT_EQ(WriteFen(), "1n2k2r/8/8/3q4/8/8/3P4/R3K2R w KQk -");
  EXPECT_EQ(engineState.mode, EngineMode::Force);
  EXPECT_FALSE(gameFromStartPosition);
  EXPECT_EQ(startFen, "1n2k2r/8/8/3q4/8/8/3P4/R3K2R w KQk -");
  EXPECT_EQ(gamePly, 0);
  EXPECT_GT(legalMoveCount, 0);
  EXPECT_EQ(Board.rooks[kWhite][1], kA1);
  EXPECT_EQ(Board.rooks[kWhite][2], kH1);
  EXPECT_EQ(Board.pawns[kWhite][4], SquareAt(4, 2));
}

TEST(EditPosition, KeepsTheSideToMoveAndAnalysis) {
  ResetEngineMode();
  ASSERT_TRUE(SetUpGame("4k3/8/8/8/8/8/8/4K3 b - - 0 1"));
  engineState.mode = EngineMode::Analyze;
  RunEdit("#\nKa1\nc\nKh8\nPa7\n.\n");
  EXPECT_EQ(WriteFen(), "7k/p7/8/8/8/8/8/K7 b - -");
  EXPECT_EQ(engineState.mode, EngineMode::Analyze);
}

TEST(EditPosition, RefusedPositionHaltsAndHaltedEngineCanEditAgain) {
  ResetEngineMode();
  NewGame();
  const std::string out = RunEdit("#\nKe1\n.\n");
  EXPECT_EQ(out, "tellusererror illegal position\n");
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
  RunEdit("#\nKe1\nc\nKe8\n.\n");
  EXPECT_EQ(engineState.mode, EngineMode::Force);
  EXPECT_EQ(WriteFen(), "4k3/8/8/8/8/8/8/4K3 w - -");
  ResetEngineMode();
}

}  // namespace
}  // namespace kelb::test
