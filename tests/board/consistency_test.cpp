// The consistency check catches lists that disagree with the squares and leaves a board dump in the log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "board/attack.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movegen.h"
#include "driver/WBinout.h"
#include "driver/config.h"
#include "support/board_test_util.h"
#include "support/files.h"

namespace kelb::test {
namespace {

TEST(CheckConsistency, EachBrokenRuleHalts) {
  struct Breakage {
    const char* what;
    void (*breakIt)();
  };
  const Breakage cases[] = {
      {"pawn missing from its list", [] { Board.pawns[kWhite][5] = 0; }},
      {"knight slot on an empty square", [] { Board.knights[kBlack][1] = SquareAt(3, 5); }},
      {"king square wrong", [] { Board.king[kWhite] = SquareAt(4, 4); }},
      {"start-rank pawn in a foreign slot",
       [] { std::swap(Board.pawns[kWhite][1], Board.pawns[kWhite][2]); }},
      {"castling right without its rook slot",
       [] { std::swap(Board.rooks[kWhite][1], Board.rooks[kWhite][2]); }},
      {"side out of range", [] { Board.side = 2; }},
      {"piece off the board", [] { Board.squares[SquareAt(0, 5)] = kWhiteQueen; }},
      {"pawn on the last rank", [] { Board.squares[SquareAt(1, 8)] = kWhitePawn; }},
  };
  for (const Breakage& c : cases) {
    ASSERT_TRUE(SetUpPosition(kStartFen));
    CheckConsistency();
    ASSERT_NE(engineState.mode, EngineMode::Halted);
    const BoardRecord saved = Board;
    testing::internal::CaptureStdout();
    c.breakIt();
    CheckConsistency();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(engineState.mode, EngineMode::Halted) << c.what;
    Board = saved;
  }
  ResetEngineMode();
}

TEST(CheckConsistency, DumpsTheBoardToTheLog) {
  std::string dump;
  {
    const test::InTempDir folder("kelbboard");  // the log is written to the working folder
    ASSERT_TRUE(SetUpPosition(kStartFen));
    settings.logEnabled = true;
    OpenLog();
    Board.knights[kWhite][2] = 0;  // g1 knight lost from its list
    CheckConsistency();
    CloseLog();
    settings.logEnabled = false;
    dump = test::ReadFile("kelb701.log");
  }
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
  EXPECT_NE(dump.find("         !!"), std::string::npos) << dump;
  EXPECT_NE(dump.find("  4  1  0  0  0  0  7 10"), std::string::npos) << dump;  // the a-file
  EXPECT_NE(dump.find("t=0 coh=0 acoh=1 errcode=31 n=1"), std::string::npos) << dump;
  ResetEngineMode();
}

TEST(PerPlyArrays, CoverTheDeepestSearchPly) {
  // The search indexes ply 0..41 (one beyond its deepest node for the child's slots).
  ASSERT_TRUE(SetUpPosition("4k3/8/8/8/8/8/8/r3K3 w - - 0 1"));
  Board.ply = 41;
  Board.makeDepth = 40;
  moveStart[39] = 0;
  moveCount[39] = 0;
  inCheck[41] = IsAttacked(Board.king[kWhite], kBlack);
  EXPECT_EQ(attackerSquare[41], kA1);
  GenerateMoves(false);
  EXPECT_EQ(moveStart[40], 0);
  EXPECT_EQ(moveCount[40], 5);  // d2 and f2 verified, then d1, e2, f1 unverified
  Board.ply = 1;
  Board.makeDepth = 0;
  inCheck[41] = 0;
}

}  // namespace
}  // namespace kelb::test
