// Killers, history, the sort of a node's list, and the new-move test that protects moves from the
// late-move reduction.
#include "search/ordering.h"

#include "search_fixture.h"

namespace kelb {
namespace {

using test::EnterLine;
using test::SetPosition;

Move QuietMove(int piece, int from, int to) {
  Move m{};
  m.piece = static_cast<uint8_t>(piece);
  m.from = static_cast<uint8_t>(from);
  m.to = static_cast<uint8_t>(to);
  return m;
}

class KillerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QuietEngine();
    ClearHistory();
    Board.ply = 5;
    previous = QuietMove(kBlackKnight, 78, 66);  // the opponent's last move went to f6
    currentMove[4] = &previous;
    killer1[5] = SquarePair{12, 13};
    killer2[5] = SquarePair{0, 0};
  }
  void TearDown() override { Board.ply = 1; }
  Move previous;
};

TEST_F(KillerTest, RepeatedCutoffsKeepTheOlderKillerSecond) {
  const Move m = QuietMove(kWhiteKnight, 72, 53);
  for (int i = 0; i < 3; i++) RecordGoodMove(m, true);
  EXPECT_EQ(killer1[5].from, 72);
  EXPECT_EQ(killer1[5].to, 53);
  EXPECT_EQ(killer2[5].from, 12);
  EXPECT_EQ(killer2[5].to, 13);
  EXPECT_EQ(history[kWhiteKnight][53], 3);
  EXPECT_EQ(historyMax, 3);
  EXPECT_EQ(historyShift, 0);
}

TEST_F(KillerTest, ImprovementBelowBetaIsTheThirdKiller) {
  RecordGoodMove(QuietMove(kWhiteBishop, 61, 25), false);
  EXPECT_EQ(killer3[5].from, 61);
  EXPECT_EQ(killer3[5].to, 25);
  EXPECT_EQ(killer1[5].from, 12);
  EXPECT_EQ(history[kWhiteBishop][25], 0);
}

TEST_F(KillerTest, RecaptureOnTheLastSquareChangesNothing) {
  Move recapture = QuietMove(kWhitePawn, 55, 66);
  recapture.captured = kBlackKnight;
  RecordGoodMove(recapture, true);
  RecordGoodMove(recapture, false);
  EXPECT_EQ(killer1[5].from, 12);
  EXPECT_EQ(killer3[5].to, 0);
  EXPECT_EQ(historyMax, 0);
}

TEST_F(KillerTest, CaptureCutoffIsAKillerWithoutHistory) {
  Move capture = QuietMove(kWhiteQueen, 41, 47);
  capture.captured = kBlackPawn;
  RecordGoodMove(capture, true);
  EXPECT_EQ(killer1[5].to, 47);
  EXPECT_EQ(history[kWhiteQueen][47], 0);
}

TEST(HistoryTest, ShiftKeepsTheBonusWithinFive) {
  ClearHistory();
  for (int i = 0; i < 5; i++) UpdateHistory(kWhiteRook, 45);
  EXPECT_EQ(historyShift, 0);
  for (int i = 0; i < 7; i++) UpdateHistory(kWhiteRook, 45);
  EXPECT_EQ(historyMax, 12);
  EXPECT_EQ(historyShift, 2);     // 12 >> 2 = 3
  UpdateHistory(kBlackRook, 45);  // a smaller counter leaves the maximum alone
  EXPECT_EQ(historyMax, 12);
  ClearHistory();
  EXPECT_EQ(historyMax, 0);
  EXPECT_EQ(historyShift, 0);
  EXPECT_EQ(history[kWhiteRook][45], 0);
}

class NewMoveTest : public ::testing::Test {
 protected:
  // The generated move of the node at the next ply with this text.
  static Move NodeMove(const char* text) {
    const int ply = Board.ply + 1;
    Board.ply = ply;
    inCheck[ply] = IsAttacked(Board.king[Board.side], Board.xside);
    checksOnly[ply] = 0;
    GenerateMoves(false);
    const int level = Board.makeDepth;
    Move found{};
    for (int k = 1; k <= moveCount[level]; k++)
      if (MoveToText(moveBuffer[moveStart[level] + k]) == text) found = moveBuffer[moveStart[level] + k];
    EXPECT_NE(found.from, 0) << text;
    return found;
  }
  void TearDown() override { Board.ply = 1; }
};

TEST_F(NewMoveTest, KnightMoveAvailableLastTurnIsNotNew) {
  SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EnterLine({"b1c3", "a7a6"});
  EXPECT_FALSE(IsNewMove(NodeMove("g1f3")));  // Ng1-f3 was already possible
  Board.ply = 2;
  EXPECT_FALSE(IsNewMove(NodeMove("c3b1")));  // takes the last move straight back
  Board.ply = 2;
  EXPECT_TRUE(IsNewMove(NodeMove("c3d5")));  // the knight could not reach d5 before
}

TEST_F(NewMoveTest, MoveMadePossibleByTheOpponentIsNew) {
  SetPosition("4k3/8/8/8/n7/8/7P/R3K3 w - - 0 1");
  EnterLine({"h2h3", "a4b6"});  // the knight leaves the a-file
  EXPECT_TRUE(IsNewMove(NodeMove("a1a5")));
  Board.ply = 2;
  EXPECT_FALSE(IsNewMove(NodeMove("a1a3")));
}

TEST_F(NewMoveTest, NeverNewNearTheRoot) {
  SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EnterLine({"e2e4"});
  EXPECT_FALSE(IsNewMove(NodeMove("e7e5")));  // ply 2
}

TEST(SortUtilities, OrderAsTheSearchExpects) {
  SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  Board.ply = 1;
  inCheck[1] = 0;
  GenerateMoves(false);
  moveCount[0] = 6;
  const int scores[7] = {0, 5, -3, 9, 9, 0, 7};
  for (int i = 1; i <= 6; ++i) moveBuffer[i].score = scores[i];
  auto order = [](const int32_t* list) {
    std::string s;
    for (int i = 1; i <= 6; ++i) s += std::to_string(list[i]);
    return s;
  };
  int32_t list[7] = {0, 1, 2, 3, 4, 5, 6};
  SortFirst(list, 2);
  EXPECT_EQ(order(list), "341256");  // rotations keep the rest in order
  int32_t list2[7] = {0, 1, 2, 3, 4, 5, 6};
  SortByScore(list2);
  EXPECT_EQ(order(list2), "346152");  // swaps; stops after placing a score of 0 or less
  int32_t list3[7] = {0, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(BestToFront(list3), 9);
  EXPECT_EQ(order(list3), "312456");  // the first of equal best scores
  int32_t list4[7] = {0, 1, 2, 3, 4, 5, 6};
  MoveToFront(list4, 5);
  EXPECT_EQ(order(list4), "512346");
  int32_t list5[7] = {0, 1, 2, 3, 4, 5, 6};
  SortFirst(list5, 1000);
  EXPECT_EQ(order(list5), "346152");
}

// The search takes the sort's steps only as far as it reads the list, and finishes them before it reorders
// the list for the next pass: every prefix it reads and the finished list must be those of the whole sort,
// with ties, scores of 0 and below, and lists of one or two moves.
TEST(SortUtilities, StepwiseSortMatchesTheWholeSort) {
  SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  Board.ply = 1;
  uint32_t seed = 12345;
  auto next = [&seed](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<uint32_t>(range));
  };
  for (int round = 0; round < 400; ++round) {
    const int n = 1 + next(20);
    moveCount[0] = n;
    for (int i = 1; i <= n; ++i) moveBuffer[i].score = next(8) - 3;  // many ties, some at 0 and below
    int32_t whole[21], stepped[21];
    for (int i = 0; i <= n; ++i) whole[i] = stepped[i] = i;
    SortByScore(whole);
    const int stopAt = 1 + next(n);  // where a cut-off would end the loop
    int sorted = 0;
    while (sorted < stopAt) {
      if (!SortStep(stepped, ++sorted, n)) sorted = n;
    }
    for (int i = 1; i <= stopAt; ++i)
      ASSERT_EQ(stepped[i], whole[i]) << "round " << round << " position " << i;
    while (sorted < n) {
      if (!SortStep(stepped, ++sorted, n)) sorted = n;
    }
    for (int i = 1; i <= n; ++i) ASSERT_EQ(stepped[i], whole[i]) << "round " << round << " finished, " << i;
  }
}

}  // namespace
}  // namespace kelb
