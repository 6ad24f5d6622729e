// The book shipped in data/ and the tool that builds it: every stored move is legal where the book offers it,
// the tree has eight first moves and fits in 1024 records, and makebook refuses lines the book cannot hold.
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

namespace kelb {
namespace {

class ShippedBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitKeys();
    engineState = EngineState{};
    engineState.mode = EngineMode::Force;
    settings = Settings{};
    settings.bookEnabled = true;
    NewGame();
  }

  // Plays every candidate of the records node..node+count-1 and walks on below it; counts the records seen.
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
      ++seen;
      std::string text = MoveToText(move);
      PlayMove(move);
      int32_t link = BookLink(value);
      if (link > kMaxBookEntries) {
        int32_t score = link - kBookLeafBase;
        EXPECT_GT(score, -2000) << line << " " << text;
        EXPECT_LT(score, 2000) << line << " " << text;
      } else {
        ASSERT_GT(BookChildCount(value), 0) << line << " " << text;
        Walk(link, BookChildCount(value), line + " " + text);
      }
      TakeBack();
      if (HasFatalFailure()) return;
    }
  }

  int seen = 0;
};

TEST_F(ShippedBookTest, EveryBookMoveIsLegalAndTheTreeFits) {
  ASSERT_TRUE(ReadBookFile(KELB_SOURCE_DIR "/data/kelb701.bok"));
  engineState.bookOpen = true;
  EXPECT_GE(BookCount, kBookRootMoves);
  EXPECT_LE(BookCount, kMaxBookEntries);
  Walk(1, kBookRootMoves, "");
  // Every record hangs in the tree exactly once.
  EXPECT_EQ(seen, BookCount);
}

class MakeBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (std::filesystem::temp_directory_path() / "kelbmakebook.XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir = templ;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  int MakeBook(const std::string& lines, std::string& out) {
    std::ofstream(dir + "/lines.txt") << lines;
    return test::RunTool({"makebook", dir + "/lines.txt", dir + "/out.bok", "0"}, out);
  }

  std::string dir;
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
  ASSERT_TRUE(ReadBookFile((dir + "/out.bok").c_str()));
  ASSERT_EQ(BookCount, 11);
  EXPECT_EQ(BookEntries[1], 9 * 100000 + 2 * 10000 + 5254);   // e2e4, replies in 9 and 10
  EXPECT_EQ(BookEntries[2], kBookLeafBase * 100000 + 4244);   // d2d4, a leaf scored 0
  EXPECT_EQ(BookEntries[9], 11 * 100000 + 1 * 10000 + 5755);  // e7e5, reply in 11
  EXPECT_EQ(BookEntries[10], kBookLeafBase * 100000 + 3735);  // c7c5
  EXPECT_EQ(BookEntries[11], kBookLeafBase * 100000 + 7163);  // g1f3
}

TEST_F(MakeBookTest, LeavesAreScoredForTheSideThatMadeTheLastMove) {
  std::ofstream(dir + "/lines.txt") << kEightFirstMoves << "e2e4 e7e5 d1h5 d8g5 h5g5\n";
  std::string out;
  ASSERT_EQ(test::RunTool({"makebook", dir + "/lines.txt", dir + "/out.bok", "2"}, out), 0) << out;
  ASSERT_TRUE(ReadBookFile((dir + "/out.bok").c_str()));
  int32_t queenTaken = 0;
  for (int32_t record = 1; record <= BookCount; ++record)
    if (BookMoveCode(BookEntries[record]) == 8575) queenTaken = BookEntries[record];
  ASSERT_NE(queenTaken, 0);
  EXPECT_GT(BookLink(queenTaken) - kBookLeafBase, 500);  // White has won the queen
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
}

}  // namespace
}  // namespace kelb
