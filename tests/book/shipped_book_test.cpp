// The book shipped in data/ and the tool that builds it: every stored move is legal where the book offers it,
// the tree has eight first moves, fits in 1024 records and leaves no side clearly worse, and makebook shares
// transposed positions, takes the scores of its lines and refuses lines the book cannot hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "book/book.h"
#include "driver/config.h"
#include "support/engine_process.h"
#include "support/position.h"

namespace kelb {
namespace {

class ShippedBookTest : public test::BookGameTest {
 protected:
  // Plays every candidate of the records node..node+count-1 and walks on below it (again below a position
  // that several move orders reach); notes the records seen and the leaf scores.
  void Walk(int32_t node, int32_t count, std::string line) {
    ASSERT_GE(node, 1);
    ASSERT_LE(node + count - 1, BookCount) << line;
    // Where the book has candidates, BookMove offers one of them.
    Move offered;
    BookMove(false, offered);
    ASSERT_NE(offered.from, 0) << line;
    std::set<int32_t> codes;
    for (int32_t record = node; record < node + count; ++record) {
      int32_t value = BookEntries[record];
      ASSERT_GT(value, 0);
      int32_t code = BookMoveCode(value);
      EXPECT_TRUE(codes.insert(code).second) << "repeated candidate " << code << " after" << line;
      Move move{};
      for (int k = 1; k <= legalMoveCount && move.from == 0; ++k)
        if (MoveCode(legalMoves[k]) == code) move = legalMoves[k];
      ASSERT_NE(move.from, 0) << "illegal book move " << code << " after" << line;
      seen.insert(record);
      std::string text = MoveToText(move);
      PlayMove(move);
      int32_t link = BookLink(value);
      if (link > kMaxBookEntries) {
        int32_t score = link - kBookLeafBase;
        EXPECT_GT(score, -2000) << line << " " << text;
        EXPECT_LT(score, 2000) << line << " " << text;
        if (score < lowestLeaf) lowestLeaf = score;
        if (score > highestLeaf) highestLeaf = score;
      } else {
        ASSERT_GT(BookChildCount(value), 0) << line << " " << text;
        Walk(link, BookChildCount(value), line + " " + text);
      }
      TakeBack();
      if (HasFatalFailure()) return;
    }
  }

  std::set<int32_t> seen;
  int32_t lowestLeaf = 32767, highestLeaf = -32767;
};

TEST_F(ShippedBookTest, EveryBookMoveIsLegalAndTheTreeFits) {
  ASSERT_TRUE(ReadBookFile(KELB_SOURCE_DIR "/data/kelb701.bok"));
  engineState.bookOpen = true;
  EXPECT_GE(BookCount, kBookRootMoves);
  EXPECT_LE(BookCount, kMaxBookEntries);
  Walk(1, kBookRootMoves, "");
  // Every record hangs in the tree.
  EXPECT_EQ(static_cast<int32_t>(seen.size()), BookCount);
  // The leaves were judged to within 60 centipawns for either side and stored at one point per 10
  // centipawns: a leaf beyond 6 points comes from a line that was not judged, or from another scale.
  EXPECT_GE(lowestLeaf, -6);
  EXPECT_LE(highestLeaf, 6);
}

class MakeBookTest : public ::testing::Test {
 protected:
  int MakeBook(const std::string& lines, std::string& out, const char* depth = "0") {
    dir.Write("lines.txt", lines);
    return test::RunTool({"makebook", dir.PathOf("lines.txt"), dir.PathOf("out.bok"), depth}, out);
  }
  bool ReadMadeBook() const { return ReadBookFile(dir.PathOf("out.bok").c_str()); }

  test::TempDir dir{"kelbmakebook"};
};

constexpr const char* kEightFirstMoves =
    "e2e4 e7e5 g1f3   # a comment\n"
    "e2e4 c7c5\n"
    "d2d4\n"
    "g1f3\n"
    "c2c4\n"
    "g2g3\n"
    "b2b3\n"
    "f2f4\n"
    "b1c3\n";

TEST_F(MakeBookTest, LaysOutFirstMovesThenRepliesBreadthFirst) {
  std::string out;
  ASSERT_EQ(MakeBook(kEightFirstMoves, out), 0) << out;
  ASSERT_TRUE(ReadMadeBook());
  ASSERT_EQ(BookCount, 11);
  EXPECT_EQ(BookEntries[1], 9 * 100000 + 2 * 10000 + 5254);   // e2e4, replies in 9 and 10
  EXPECT_EQ(BookEntries[2], kBookLeafBase * 100000 + 4244);   // d2d4, a leaf scored 0
  EXPECT_EQ(BookEntries[9], 11 * 100000 + 1 * 10000 + 5755);  // e7e5, reply in 11
  EXPECT_EQ(BookEntries[10], kBookLeafBase * 100000 + 3735);  // c7c5
  EXPECT_EQ(BookEntries[11], kBookLeafBase * 100000 + 7163);  // g1f3
}

TEST_F(MakeBookTest, LeavesAreScoredForTheSideThatMadeTheLastMove) {
  std::string out;
  ASSERT_EQ(MakeBook(std::string(kEightFirstMoves) + "e2e4 e7e5 d1h5 d8g5 h5g5\n", out, "2"), 0) << out;
  ASSERT_TRUE(ReadMadeBook());
  int32_t queenTaken = 0;
  for (int32_t record = 1; record <= BookCount; ++record)
    if (BookMoveCode(BookEntries[record]) == 8575) queenTaken = BookEntries[record];
  ASSERT_NE(queenTaken, 0);
  EXPECT_GT(BookLink(queenTaken) - kBookLeafBase, 500);  // White has won the queen
}

// 1.d4 Nf6 2.c4 e6 and 1.c4 e6 2.d4 Nf6 reach one position: its reply is stored once and both move orders
// lead to it; the written scores are the leaves' scores.
TEST_F(MakeBookTest, SharesTransposedPositionsAndTakesTheLinesScores) {
  std::string out;
  ASSERT_EQ(MakeBook("e2e4 e7e5 g1f3 +2\n"
                     "e2e4 c7c5 -1   # Black's score\n"
                     "d2d4 g8f6 c2c4 e7e6 b1c3 3\n"
                     "c2c4 e7e6 d2d4 g8f6 b1c3\n"
                     "g1f3\ng2g3\nb2b3\nf2f4\nb1c3\n",
                     out),
            0)
      << out;
  ASSERT_TRUE(ReadMadeBook());
  EXPECT_EQ(BookCount, 18);
  EXPECT_EQ(BookEntries[10], (kBookLeafBase - 1) * 100000 + 3735);  // c7c5, after e7e5
  EXPECT_EQ(BookEntries[13], (kBookLeafBase + 2) * 100000 + 7163);  // 1.e4 e5 2.Nf3
  // 1.d4 Nf6 2.c4 e6 and 1.c4 e6 2.d4 Nf6 both lead to record 18, the one reply 3.Nc3.
  EXPECT_EQ(BookEntries[16], 18 * 100000 + 1 * 10000 + 5756);
  EXPECT_EQ(BookEntries[17], 18 * 100000 + 1 * 10000 + 7866);
  EXPECT_EQ(BookEntries[18], (kBookLeafBase + 3) * 100000 + 2133);
}

TEST_F(MakeBookTest, RefusesWhatTheBookCannotHold) {
  std::string out;
  // An illegal move.
  EXPECT_NE(MakeBook(std::string(kEightFirstMoves) + "e2e4 e7e5 e1e2 e8e7 e2e4\n", out), 0);
  // A ninth first move.
  EXPECT_NE(MakeBook(std::string(kEightFirstMoves) + "a2a3\n", out), 0);
  // Only seven.
  EXPECT_NE(MakeBook("e2e4\nd2d4\ng1f3\nc2c4\ng2g3\nb2b3\nf2f4\n", out), 0);
  // Ten replies to one move.
  std::string wide = kEightFirstMoves;
  for (const char* reply : {"a7a6", "b7b6", "d7d6", "f7f6", "g7g6", "h7h6", "a7a5", "b7b5"})
    wide += std::string("e2e4 ") + reply + "\n";
  EXPECT_NE(MakeBook(wide, out), 0);
  // Two scores for one position, reached by two move orders.
  EXPECT_NE(MakeBook(std::string(kEightFirstMoves) + "g2g3 g7g6 b2b3 2\nb2b3 g7g6 g2g3 1\n", out), 0);
  // A score on a line that another line continues, and moves after a score.
  EXPECT_NE(MakeBook(std::string(kEightFirstMoves) + "d2d4 d7d5 3\nd2d4 d7d5 c2c4\n", out), 0);
  EXPECT_NE(MakeBook(std::string(kEightFirstMoves) + "d2d4 3 d7d5\n", out), 0);
  // Knights out and back: the lines return to the initial position.
  EXPECT_NE(MakeBook(std::string(kEightFirstMoves) + "g1f3 g8f6 f3g1 f6g8 e2e4\n", out), 0);
}

}  // namespace
}  // namespace kelb
