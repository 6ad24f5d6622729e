// The opening book with hand-built book files: the negamax value, the weighted choice, the "bk" listing, the
// walk with the game's moves, promotions, the resignation for an illegal book move and damaged files.
#include "book/book.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "board/random.h"
#include "driver/WBinout.h"
#include "driver/config.h"
#include "records/records.h"
#include "search/think.h"
#include "support/files.h"
#include "support/position.h"

namespace kelb {
namespace {

// The book code of a coordinate move text such as e2e4.
int32_t Code(const char* text) {
  int from = 10 * (text[0] - 'a' + 1) + (text[1] - '0');
  int to = 10 * (text[2] - 'a' + 1) + (text[3] - '0');
  return 100 * from + to;
}
int32_t Leaf(const char* move, int32_t moverScore) {
  return (kBookLeafBase + moverScore) * 100000 + Code(move);
}
int32_t Node(const char* move, int32_t children, int32_t firstChild) {
  return firstChild * 100000 + children * 10000 + Code(move);
}

// Seven more first moves that are never chosen next to a best score of 0 or more.
std::vector<int32_t> Roots(int32_t first, int32_t second) {
  return {first,
          second,
          Leaf("g1f3", -20),
          Leaf("c2c4", -30),
          Leaf("b1c3", -40),
          Leaf("g2g3", -50),
          Leaf("b2b3", -60),
          Leaf("f2f4", -70)};
}

// 1.e4 with the replies 1...e5 (then 2.Nf3 +12) and 1...c5 (-3 for Black), 1.d4 +5.
std::vector<int32_t> SmallBook() {
  std::vector<int32_t> book = Roots(Node("e2e4", 2, 9), Leaf("d2d4", 5));
  book.push_back(Node("e7e5", 1, 11));  // 9
  book.push_back(Leaf("c7c5", -3));     // 10
  book.push_back(Leaf("g1f3", 12));     // 11
  return book;
}

class BookTest : public test::BookGameTest {
 protected:
  std::string PathOf(const std::string& name) const { return dir.PathOf(name); }
  std::string Read(const std::string& name) const { return dir.Read(name); }
  // Writes the records little-endian, as the engine reads them, and loads them.
  void Load(const std::vector<int32_t>& records, bool terminate = false) {
    WriteBook(PathOf("kelb701.bok"), records, terminate);
    engineState.bookOpen = ReadBookFile(PathOf("kelb701.bok").c_str());
    ASSERT_TRUE(engineState.bookOpen);
  }
  static void WriteBook(const std::string& path, const std::vector<int32_t>& records, bool terminate) {
    std::vector<int32_t> all = records;
    if (terminate) all.push_back(0);
    test::WriteFile(path, test::BookBytes(all));
  }
  static void Play(const std::string& moves) { test::PlayMoves(moves); }
  // OpenBook as the engine's start-up runs it, in the test's folder; returns what it sent.
  std::string OpenBookHere() const {
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    testing::internal::CaptureStdout();
    OpenBook();
    std::string sent = testing::internal::GetCapturedStdout();
    std::filesystem::current_path(old);
    return sent;
  }
  static std::string BookText() {
    Move m;
    BookMove(false, m);
    return m.from == 0 ? "" : MoveToText(m);
  }
  static std::string Listing() {
    testing::internal::CaptureStdout();
    Move m;
    BookMove(true, m);
    EXPECT_EQ(m.from, 0);
    return testing::internal::GetCapturedStdout();
  }

  test::TempDir dir{"kelbbook"};
};

TEST_F(BookTest, OpenBookReadsLittleEndianRecordsUpToTheFirstZero) {
  std::vector<int32_t> book = SmallBook();
  book.push_back(0);
  book.push_back(Leaf("a2a3", 1));  // behind the end mark: not part of the book
  WriteBook(PathOf("kelb701.bok"), book, false);
  EXPECT_EQ(OpenBookHere(), "");
  EXPECT_TRUE(engineState.bookOpen);
  EXPECT_EQ(BookCount, 11);
  EXPECT_EQ(BookEntries[9], Node("e7e5", 1, 11));
  EXPECT_EQ(BookEntries[12], 0);
}

TEST_F(BookTest, MissingBookIsReportedAndLeavesTheBookClosed) {
  EXPECT_EQ(OpenBookHere(), "tellusererror kelb701.bok not found\n");
  EXPECT_FALSE(engineState.bookOpen);
  EXPECT_EQ(BookText(), "");
}

TEST_F(BookTest, ReadingStopsAfter1024RecordsAndIgnoresATruncatedTail) {
  std::vector<int32_t> book(1030, Leaf("a2a3", 0));
  WriteBook(PathOf("big.bok"), book, false);
  ASSERT_TRUE(ReadBookFile(PathOf("big.bok").c_str()));
  EXPECT_EQ(BookCount, 1024);
  std::ofstream(PathOf("tail.bok"), std::ios::binary).write("\x01\x02\x03\x04\x05\x06", 6);
  ASSERT_TRUE(ReadBookFile(PathOf("tail.bok").c_str()));
  EXPECT_EQ(BookCount, 1);
  EXPECT_EQ(BookEntries[1], 0x04030201);
}

TEST_F(BookTest, BookValueIsTheNegamaxOfTheLeaves) {
  Load(SmallBook());
  EXPECT_EQ(BookValue(11), -12);  // after 2.Nf3, Black to move: -12
  EXPECT_EQ(BookValue(10), 3);    // after 1...c5, White to move: +3
  EXPECT_EQ(BookValue(9), 12);    // after 1...e5 White plays 2.Nf3
  EXPECT_EQ(BookValue(1), -3);    // after 1.e4 Black prefers 1...c5
  EXPECT_EQ(BookValue(2), -5);
  // A record promising replies that are not there is worth the lowest value.
  Load({Node("e2e4", 0, 2), Leaf("d2d4", 1)});
  EXPECT_EQ(BookValue(1), -32767);
}

TEST_F(BookTest, BkListsTheCandidatesWithScoresAndShares) {
  Load(SmallBook());
  EXPECT_EQ(Listing(),
            " e2e4   3 33%  \n"
            " d2d4   5 66%  \n"
            " g1f3 -20  0%  \n"
            " c2c4 -30  0%  \n"
            " b1c3 -40  0%  \n"
            " g2g3 -50  0%  \n"
            " b2b3 -60  0%  \n"
            " f2f4 -70  0%  \n"
            "\n");
  Play("e2e4");
  EXPECT_EQ(Listing(), " e7e5 -12  0%  \n c7c5  -3 100%  \n\n");
  Play("c7c5");
  EXPECT_EQ(Listing(), "");  // a leaf was reached
}

TEST_F(BookTest, WalkFollowsTheGameAndLeavesTheTree) {
  Load(SmallBook());
  Play("e2e4");
  EXPECT_EQ(BookText(), "c7c5");  // e5 lies 9 points below and weighs nothing
  EXPECT_EQ(rootScore, -3);
  Play("e7e5");
  EXPECT_EQ(BookText(), "g1f3");
  EXPECT_EQ(rootScore, 12);
  Play("g1f3");
  EXPECT_EQ(BookText(), "");  // leaf
  NewGame();
  Play("a2a3");
  EXPECT_EQ(BookText(), "");  // not among the first moves
  EXPECT_EQ(Listing(), "");
  NewGame();
  Play("e2e4 c7c5");
  EXPECT_EQ(BookText(), "");
}

TEST_F(BookTest, NoBookAfterSetboardOrWhenSwitchedOff) {
  Load(SmallBook());
  EXPECT_NE(BookText(), "");
  SetUpPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(BookText(), "");
  EXPECT_EQ(Listing(), "");
  NewGame();
  settings.bookEnabled = false;
  EXPECT_EQ(BookText(), "");
}

TEST_F(BookTest, NeighbouringScoresAreChosenOneHundredToSeventyTwo) {
  Load(Roots(Leaf("e2e4", 10), Leaf("d2d4", 9)));
  randomSeed = 12345;
  int e4 = 0, d4 = 0, other = 0;
  for (int i = 0; i < 1720; ++i) {
    std::string move = BookText();
    if (move == "e2e4")
      ++e4;
    else if (move == "d2d4")
      ++d4;
    else
      ++other;
  }
  EXPECT_EQ(other, 0);
  EXPECT_NEAR(e4, 1000, 80);
  EXPECT_NEAR(d4, 720, 80);
  // Eight points below the best weigh nothing: the best is always chosen.
  Load(Roots(Leaf("e2e4", 20), Leaf("d2d4", 12)));
  for (int i = 0; i < 200; ++i) ASSERT_EQ(BookText(), "e2e4");
}

TEST_F(BookTest, APromotionIsPlayedAsTheFirstLegalPromotionOfItsSquares) {
  const char* line[] = {"e2e4", "d7d5", "e4d5", "c7c6", "d5c6", "g8f6", "c6b7", "e7e6", "b7a8"};
  std::vector<int32_t> book = Roots(Node(line[0], 1, 9), Leaf("d2d4", -100));
  for (int i = 1; i < 8; ++i) book.push_back(Node(line[i], 1, 9 + i));
  book.push_back(Leaf(line[8], 500));
  Load(book);
  for (int i = 0; i < 8; ++i) Play(line[i]);
  Move first{};
  for (int k = 1; k <= legalMoveCount && first.from == 0; ++k)
    if (legalMoves[k].from == 27 && legalMoves[k].to == 18) first = legalMoves[k];
  ASSERT_NE(first.promotion, 0);
  Move m;
  BookMove(false, m);
  EXPECT_EQ(m.from, 27);
  EXPECT_EQ(m.to, 18);
  EXPECT_EQ(m.promotion, first.promotion);
  EXPECT_EQ(rootScore, 500);
}

TEST_F(BookTest, DamagedBooksAreOutOfBook) {
  // Fewer than eight first moves.
  Load({Leaf("e2e4", 10), Leaf("d2d4", 5), Leaf("c2c4", 1)});
  EXPECT_EQ(BookText(), "");
  EXPECT_EQ(Listing(), "");
  // Replies promised but none stored.
  Load(Roots(Node("e2e4", 0, 9), Leaf("d2d4", -100)));
  Play("e2e4");
  EXPECT_EQ(BookText(), "");
  // Replies promised beyond the end of the book.
  NewGame();
  Load(Roots(Node("e2e4", 3, 9), Leaf("d2d4", -100)));
  Play("e2e4");
  EXPECT_EQ(BookText(), "");
  // A move code of 0 and a negative record.
  NewGame();
  Load(Roots(10000 * 100000, Leaf("d2d4", 5)));
  EXPECT_EQ(BookText(), "");
  Load(Roots(-5254, Leaf("d2d4", 5)));
  EXPECT_EQ(BookText(), "");
}

TEST_F(BookTest, ALinkBackIntoTheLineDoesNotRecurseForever) {
  // 1.e4 e5 leads back to the first moves.
  std::vector<int32_t> book = Roots(Node("e2e4", 1, 9), Leaf("d2d4", 5));
  book.push_back(Node("e7e5", 2, 1));
  Load(book);
  int32_t value = BookValue(1);
  EXPECT_GT(value, -32768);
  EXPECT_LT(value, 32768);
}

// The book names a move the position does not have: the engine resigns with the move's code and stops.
void ResignInDirectory(const std::string& dir, const std::string& moves) {
  if (std::freopen((dir + "/out.txt").c_str(), "w", stdout) == nullptr) std::_Exit(3);
  if (chdir(dir.c_str()) != 0) std::_Exit(4);
  settings.logEnabled = true;
  OpenLog();
  std::istringstream words(moves);
  std::string word;
  while (words >> word) PlayMove(ParseMoveText(word));
  Move m;
  BookMove(false, m);
  std::_Exit(5);  // not reached when the engine resigns
}

TEST_F(BookTest, AnIllegalBookMoveResignsAndEndsTheProcess) {
  Load(Roots(Leaf("e2e5", 50), Leaf("d2d4", -100)));
  EXPECT_EXIT(ResignInDirectory(dir.Path(), ""), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Read("out.txt"), "0-1 {White resigns due to BadBookMove: 5255}\n");
  EXPECT_NE(Read("kelb701.log")
                .find("0-1 {White resigns due to BadBookMove: 5255} resigns due to bad book move: 5255"),
            std::string::npos);

  std::vector<int32_t> book = Roots(Node("e2e4", 1, 9), Leaf("d2d4", -100));
  book.push_back(Leaf("e2e4", 0));
  Load(book);
  EXPECT_EXIT(ResignInDirectory(dir.Path(), "e2e4"), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Read("out.txt"), "1-0 {Black resigns due to BadBookMove: 5254}\n");
}

}  // namespace
}  // namespace kelb
