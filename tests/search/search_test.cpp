// The node search on small positions: mate and stalemate scores, draws, the bitbase bands, null-move guards.
#include "search/search.h"

#include "eval/lkpk.h"
#include "search_fixture.h"

namespace kelb {
namespace {

using test::EnterLine;
using test::PlayGame;
using test::SetPosition;

class SearchNodeTest : public ::testing::Test {
 protected:
  void TearDown() override { mateSearchMode = false; }
};

TEST_F(SearchNodeTest, MatedAtPlyThree) {
  SetPosition("6k1/5ppp/8/8/8/8/5PPP/3R2K1 b - - 0 1");
  EnterLine({"g8h8", "d1d8"});
  EXPECT_EQ(Search(-kInfinity, kInfinity, 1), 3 - kMateBase);  // -32765
  EXPECT_EQ(Board.ply, 2);
}

TEST_F(SearchNodeTest, StalematedNodeIsZero) {
  SetPosition("7k/8/8/6Q1/8/8/8/K7 w - - 0 1");
  EnterLine({"g5g6"});
  EXPECT_EQ(Search(-kInfinity, kInfinity, 3), 0);
}

TEST_F(SearchNodeTest, KingAndBishopAgainstKingIsDrawnAtOnce) {
  SetPosition("8/8/8/4k3/8/8/8/KB6 w - - 0 1");
  EnterLine({"a1a2"});
  certainFailLow[2] = 0;
  EXPECT_EQ(Search(-50, 50, 5), 0);
  EXPECT_EQ(timeControl.nodeCount, 1);
  EXPECT_EQ(certainFailLow[2], 0);  // alpha below 0: not certain
  EXPECT_EQ(Search(0, 50, 5), 0);
  EXPECT_EQ(certainFailLow[2], 1);
}

TEST_F(SearchNodeTest, BareKingCannotWin) {
  // Black to move with a bare king: a draw at best, known for certain once alpha is 0 or more.
  SetPosition("8/8/8/4k3/8/8/3P4/K7 w - - 0 1");
  EnterLine({"a1b1"});
  certainFailLow[2] = 0;
  EXPECT_EQ(Search(0, 50, 3), 0);
  EXPECT_EQ(timeControl.nodeCount, 1);
  EXPECT_EQ(certainFailLow[2], 1);
}

TEST_F(SearchNodeTest, OneRepetitionIsADrawDeepInTheTree) {
  SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EnterLine({"g1f3", "g8f6", "f3g1", "f6g8"});
  certainFailLow[5] = 0;
  EXPECT_EQ(Search(-100, 100, 4), 0);  // ply 5: the start position stood there once before
  EXPECT_EQ(timeControl.nodeCount, 1);
  EXPECT_EQ(certainFailLow[5], 0);
  EXPECT_EQ(Search(0, 100, 4), 0);
  EXPECT_EQ(certainFailLow[5], 1);
}

TEST_F(SearchNodeTest, NearTheRootTwoRepetitionsAreNeeded) {
  SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  PlayGame({"g1f3", "g8f6", "f3g1", "f6g8"});
  EnterLine({"g1f3", "g8f6"});  // ply 3: this position stood there once, in the game
  Search(-100, 100, 2);
  EXPECT_GT(timeControl.nodeCount, 1);

  SetPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  PlayGame({"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"});
  EnterLine({"g1f3", "g8f6"});  // now twice
  EXPECT_EQ(Search(-100, 100, 2), 0);
  EXPECT_EQ(timeControl.nodeCount, 1);
}

TEST_F(SearchNodeTest, BitbaseWinReturnsAtOnceBelowItsBand) {
  BuildKpkBitbase();
  SetPosition("3k4/8/4K3/4P3/8/8/8/8 b - - 0 1");
  EnterLine({"d8e8"});
  const int32_t v = Search(-kInfinity, 600, 4);
  EXPECT_GE(v, 601);
  EXPECT_LE(v, 617);
  EXPECT_EQ(timeControl.nodeCount, 1);
  // With beta above 600 the node is searched.
  timeControl.nodeCount = 0;
  Search(-kInfinity, 700, 2);
  EXPECT_GT(timeControl.nodeCount, 1);
}

TEST_F(SearchNodeTest, BitbaseDrawIsCertainAboveSeventeen) {
  BuildKpkBitbase();
  SetPosition("4k3/8/8/8/8/8/4P3/3K4 b - - 0 1");  // the defending king stands in front: a draw
  EnterLine({"e8e7", "d1e1"});
  certainFailLow[3] = 0;
  const int32_t v = Search(20, 100, 4);  // Black to move, drawn: at most 17
  EXPECT_GE(v, -17);
  EXPECT_LE(v, 17);
  EXPECT_EQ(timeControl.nodeCount, 1);
  EXPECT_EQ(certainFailLow[3], 1);
}

TEST_F(SearchNodeTest, ChecksOnlyQuiescenceFindsAQuietMatingCheck) {
  SetPosition("7k/5ppp/8/8/8/8/5PPP/3R2K1 b - - 0 1");
  EnterLine({"h8g8"});
  checksOnly[2] = 1;                         // as below a null move that dropped the depth to 0
  EXPECT_EQ(Search(-100, 32000, 0), 32765);  // Rd8 mates at ply 3
  checksOnly[2] = 0;
  InvalidateHash();                         // forget the mate stored by the first search
  EXPECT_LT(Search(-100, 32000, 0), 2000);  // captures only: no mate seen
}

// White is a queen and two rooks up; its node at depth 1 may pass only with an estimate 601 above beta.
class NullMoveTest : public SearchNodeTest {
 protected:
  void SetUp() override {
    SetPosition("4k3/pppp4/8/8/8/8/PPPP4/RR1QK3 b - - 0 1");
    EnterLine({"e8f7", "e1f2", "f7e8"});  // the node at ply 4 is White's
  }
  // The node's estimate: the parent's evaluation seen from White, the last move captured nothing.
  int32_t Estimate() const { return -estEval[3]; }
};

TEST_F(NullMoveTest, DepthOneNullMoveNeedsEstimate601AboveBeta) {
  const int32_t beta = Estimate() - 601;
  EXPECT_EQ(Search(beta - 1, beta, 1), beta);  // the null move failed high: beta itself comes back
  const int32_t higher = Estimate() - 600;
  EXPECT_NE(Search(higher - 1, higher, 1), higher);  // searched for real: the fail-soft score comes back
}

TEST_F(NullMoveTest, MateSearchNeverCutsOnTheNullMove) {
  mateSearchMode = true;
  const int32_t beta = Estimate() - 601;
  EXPECT_NE(Search(beta - 1, beta, 1), beta);
}

TEST_F(NullMoveTest, NoNullMoveOnTheLeftmostLine) {
  onLeftmostLine[3] = 1;
  const int32_t beta = Estimate() - 601;
  EXPECT_NE(Search(beta - 1, beta, 1), beta);
}

}  // namespace
}  // namespace kelb
