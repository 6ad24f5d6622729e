// FEN reading and writing, piece-list building with its slot rules, and the consistency check.
#include "board/fen.h"

#include <gtest/gtest.h>

#include <string>

#include "board/game.h"
#include "driver/config.h"
#include "records/records.h"
#include "support/board_test_util.h"

namespace kelb::test {
namespace {

bool Reads(const std::string& fen) {
  ResetEngineMode();
  bool illegal = true;
  ReadFen(fen, illegal);
  return !illegal;
}

bool Accepted(const std::string& fen) { return SetUpPosition(fen); }

TEST(ReadFen, SyntaxRules) {
  EXPECT_TRUE(Reads("4k3/8/8/8/8/8/8/4K3 w - -"));
  EXPECT_FALSE(Reads("4k3/8/8/8/8/8/8/4K3 w -"));   // no en-passant field
  EXPECT_FALSE(Reads("4k3/8/8/8/8/8/8/4K3w - -"));  // no blank before the side
  EXPECT_FALSE(Reads("4k3/8/8/8/8/8/8/4K3 x - -"));
  EXPECT_FALSE(Reads("4k3/8/8/4P4/8/8/8/4K3 w - -"));  // nine squares in a rank
  EXPECT_FALSE(Reads("4k3/8/8/8/8/8/8/4K3/ w - -"));   // slash after the last rank
  EXPECT_FALSE(Reads("4k3/8/8/8/8/8/8/4K2 w - -"));    // board ends early
  EXPECT_FALSE(Reads("4k3/8/8/8/8/8/8/4K3 w KX -"));
  EXPECT_FALSE(Reads("4k3/8/8/8/8/8/8/4K3 w - e3"));  // e3 needs black to move
  EXPECT_FALSE(Reads("4k3/8/8/8/8/8/8/4K3 w - i6"));
  EXPECT_FALSE(Reads("4k3/8/8/4x3/8/8/8/4K3 w - -"));
  EXPECT_FALSE(Reads("4k3/8/8/2/2/8/8/8/4K3 w - -"));  // slash inside a rank
  EXPECT_FALSE(Reads(""));
  EXPECT_TRUE(Reads("rnbqkbnrpppppppp8888PPPPPPPPRNBQKBNR w KQkq -"));
  EXPECT_TRUE(Reads("//4k3//8/8/8/8/8/8/4K3 w - -"));    // repeated and leading slashes
  EXPECT_TRUE(Reads("4k3/8/8/8/8/8/8/4K3 w KkQqK- -"));  // free order and repetition of rights
  EXPECT_TRUE(Reads("4k3/8/8/8/8/8/8/4K3 b - e3 whatever follows"));
  std::string longText(300, '/');
  EXPECT_FALSE(Reads(longText));
}

TEST(ReadFen, FieldsAreStored) {
  ASSERT_TRUE(Reads("r3k3/8/8/8/8/8/8/4K2R b Kq - 3 9"));
  EXPECT_EQ(Board.side, kBlack);
  EXPECT_EQ(Board.xside, kWhite);
  EXPECT_EQ(Board.kingSideLost[kWhite], 0);
  EXPECT_EQ(Board.queenSideLost[kWhite], 1);
  EXPECT_EQ(Board.kingSideLost[kBlack], 1);
  EXPECT_EQ(Board.queenSideLost[kBlack], 0);
  EXPECT_EQ(Board.squares[kA8], kBlackRook);
  EXPECT_EQ(Board.squares[kH1], kWhiteRook);
  EXPECT_EQ(Board.epFile, 0);
}

TEST(BuildPieceLists, RefusesImpossiblePositions) {
  EXPECT_FALSE(Accepted("8/8/8/8/8/8/8/8 w - -"));            // no kings
  EXPECT_FALSE(Accepted("4k3/8/8/8/8/8/8/4K2R w KQ - 0 1"));  // queen side without a1 rook
  EXPECT_TRUE(Accepted("4k2r/8/8/8/8/8/8/R3K3 w k - 0 1"));
  EXPECT_FALSE(Accepted("4k3/8/8/8/8/8/8/4K2R w k - 0 1"));            // black right without h8 rook
  EXPECT_FALSE(Accepted("3k3r/8/8/8/8/8/8/4K3 w k - 0 1"));            // black king not on e8
  EXPECT_FALSE(Accepted("4k3/8/8/8/8/8/8/R4K2 w Q - 0 1"));            // king not on e1
  EXPECT_FALSE(Accepted("4k3/4R3/8/8/8/8/8/4K3 w - - 0 1"));           // side not to move in check
  EXPECT_TRUE(Accepted("4k3/4R3/8/8/8/8/8/4K3 b - - 0 1"));            // side to move in check is fine
  EXPECT_FALSE(Accepted("4k3/8/8/8/8/8/8/3KK3 w - - 0 1"));            // two white kings
  EXPECT_FALSE(Accepted("4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1"));     // nine pawns
  EXPECT_FALSE(Accepted("4k3/8/8/8/8/QQQ5/QQQ5/QQQQK3 w - - 0 1"));    // ten queens
  EXPECT_TRUE(Accepted("4k3/8/8/8/8/QQQ5/QQQ5/QQQ1K3 w - - 0 1"));     // nine queens
  EXPECT_FALSE(Accepted("4k3/8/8/8/NNNNN3/NNNNN3/N7/4K3 w - - 0 1"));  // eleven knights
  EXPECT_TRUE(Accepted("4k3/8/8/8/NNNNN3/NNNNN3/8/4K3 w - - 0 1"));    // ten knights
}

TEST(BuildPieceLists, PawnOnFirstOrLastRankIsRefused) {
  EXPECT_FALSE(Accepted("4k2P/8/8/8/8/8/8/4K3 w - - 0 1"));
  EXPECT_FALSE(Accepted("4k3/8/8/8/8/8/8/p3K3 w - - 0 1"));
  EXPECT_TRUE(Accepted("4k3/P7/8/8/8/8/p7/4K3 w - - 0 1"));
}

TEST(BuildPieceLists, RefusedPositionHaltsAndHaltRefusesLaterSetUps) {
  ResetEngineMode();
  bool illegal = false;
  ReadFen("4k3/4R3/8/8/8/8/8/4K3 w - - 0 1", illegal);
  ASSERT_FALSE(illegal);
  BuildPieceLists(illegal);
  EXPECT_TRUE(illegal);
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
  ReadFen(kStartFen, illegal);
  ASSERT_FALSE(illegal);
  BuildPieceLists(illegal);
  EXPECT_TRUE(illegal);  // the halt stays until a new game or an edit
}

TEST(BuildPieceLists, SlotRules) {
  // Rooks: the a1 rook in slot 1, the h1 rook in slot 2, whatever the scan order.
  ASSERT_TRUE(Accepted("r3k3/8/8/8/8/8/8/R2RK2R w KQq - 0 1"));
  EXPECT_EQ(Board.rooks[kWhite][1], kA1);
  EXPECT_EQ(Board.rooks[kWhite][2], kH1);
  EXPECT_EQ(Board.rooks[kWhite][3], kD1);
  EXPECT_EQ(Board.rookCount[kWhite], 3);
  EXPECT_EQ(Board.rooks[kBlack][1], kA8);
  EXPECT_EQ(Board.rooks[kBlack][2], 0);  // a count of 1 is raised to 2
  EXPECT_EQ(Board.rookCount[kBlack], 2);
  // A lone h-file rook moves from slot 1 to slot 2.
  ASSERT_TRUE(Accepted("4k3/8/8/8/8/8/8/4K2R w K - 0 1"));
  EXPECT_EQ(Board.rooks[kWhite][1], 0);
  EXPECT_EQ(Board.rooks[kWhite][2], kH1);

  // Start-rank pawns sit in the slot of their file, also with a doubled pawn in front.
  ASSERT_TRUE(Accepted("4k3/8/8/8/8/2P5/1PP5/4K3 w - - 0 1"));
  EXPECT_EQ(Board.pawns[kWhite][2], SquareAt(2, 2));
  EXPECT_EQ(Board.pawns[kWhite][3], SquareAt(3, 2));
  EXPECT_EQ(Board.pawns[kWhite][1], SquareAt(3, 3));
  ASSERT_TRUE(Accepted("4k3/6pp/6p1/8/8/8/8/4K3 b - - 0 1"));
  EXPECT_EQ(Board.pawns[kBlack][7], SquareAt(7, 7));
  EXPECT_EQ(Board.pawns[kBlack][8], SquareAt(8, 7));
  EXPECT_EQ(Board.pawns[kBlack][1], SquareAt(7, 6));

  // The pawn that may be taken en passant sits in the slot of its file.
  ASSERT_TRUE(Accepted("4k3/8/8/8/1Pp5/8/8/4K3 b - b3 0 1"));
  EXPECT_EQ(Board.epFile, 2);
  EXPECT_EQ(Board.pawns[kWhite][2], SquareAt(2, 4));
}

TEST(BuildPieceLists, ImpossibleEnPassantSquareIsCleared) {
  // No white pawn on d4.
  ASSERT_TRUE(Accepted("4k3/8/8/8/2p5/8/8/4K3 b - d3 0 1"));
  EXPECT_EQ(Board.epFile, 0);
  // The pawn is there but the square it passed is occupied.
  ASSERT_TRUE(Accepted("4k3/8/8/8/2pP4/3N4/8/4K3 b - d3 0 1"));
  EXPECT_EQ(Board.epFile, 0);
  // A black pawn, not a white one, on d4.
  ASSERT_TRUE(Accepted("4k3/8/8/8/2pp4/8/8/4K3 b - d3 0 1"));
  EXPECT_EQ(Board.epFile, 0);
  // A possible double step stays, even with no pawn to take it.
  ASSERT_TRUE(Accepted("4k3/8/8/8/3P4/8/8/4K3 b - d3 0 1"));
  EXPECT_EQ(Board.epFile, 4);
  EXPECT_EQ(WriteFen(), "4k3/8/8/8/3P4/8/8/4K3 b - d3");
}

TEST(WriteFen, FourFieldsInCanonicalOrder) {
  ASSERT_TRUE(Accepted(kStartFen));
  EXPECT_EQ(WriteFen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  ASSERT_TRUE(Accepted("r3k2r/8/8/8/8/8/8/R3K2R w qQkK - 0 1"));
  EXPECT_EQ(WriteFen(), "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  ASSERT_TRUE(Accepted("r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1"));
  EXPECT_EQ(WriteFen(), "r3k3/8/8/8/8/8/8/4K2R w Kq -");
  ASSERT_TRUE(Accepted("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"));
  EXPECT_EQ(WriteFen(), "4k3/8/8/3pP3/8/8/8/4K3 w - d6");
}

TEST(NewGameAndSetBoard, SequencesAndModes) {
  ResetEngineMode();
  testing::internal::CaptureStdout();
  NewGame();
  EXPECT_EQ(engineState.mode, EngineMode::NewGame);
  EXPECT_EQ(engineState.engineSide, kBlack);
  EXPECT_TRUE(gameFromStartPosition);
  EXPECT_EQ(startFen, "");
  EXPECT_EQ(WriteFen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  EXPECT_EQ(legalMoveCount, 20);

  ::kelb::SetUpPosition("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
  EXPECT_EQ(engineState.mode, EngineMode::Force);
  EXPECT_FALSE(gameFromStartPosition);
  EXPECT_EQ(startFen, "4k3/8/8/8/8/8/8/4K2R w K -");
  EXPECT_EQ(gamePly, 0);

  engineState.mode = EngineMode::Analyze;
  ::kelb::SetUpPosition("4k3/8/8/8/8/8/8/4K3 b - - 0 1");
  EXPECT_EQ(engineState.mode, EngineMode::Analyze);

  ::kelb::SetUpPosition("8/8/8/8/8/8/8/8 w - -");
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
  EXPECT_EQ(WriteFen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  EXPECT_TRUE(gameFromStartPosition);

  // While halted even a good position is refused.
  ::kelb::SetUpPosition("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
  const std::string out = testing::internal::GetCapturedStdout();
  size_t refusals = 0;
  for (size_t p = out.find("tellusererror illegal position"); p != std::string::npos;
       p = out.find("tellusererror illegal position", p + 1))
    ++refusals;
  EXPECT_EQ(refusals, 2u);
  ResetEngineMode();
}

}  // namespace
}  // namespace kelb::test
