// Kings: attack conversion, shelter values and the order of the king terms, with hand-computed values.
#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "eval/eval.h"
#include "eval_support.h"

namespace kelb::test {
namespace {

TEST(KingAttack, CountGrowsWithItsSquareAndIsCapped) {
  EvalContext e = AfterKings("8/8/8/3k4/8/8/8/Q3K3 w - - 0 1");
  e.whiteScore = e.blackScore = 0;
  e.whiteAttack = 30;
  e.blackAttack = 30;
  e.blackShelter = 0;
  ScoreKingAttack(e);
  EXPECT_EQ(e.whiteScore, 65);  // count 30 on the d5 king, no shelter: 30 * 30 / 18 + 15
  EXPECT_EQ(e.blackScore, 0);   // Black has no 800 of pieces: nothing converted
  e.whiteScore = 0;
  e.whiteAttack = 100;  // 605, cut to 600, then scaled by the shelter
  e.blackShelter = 100;
  ScoreKingAttack(e);
  EXPECT_EQ(e.whiteScore, 480);  // 600 against a shelter of 100: 400 / 500 of it
}

TEST(KingAttack, DefendersOfABackRankKing) {
  // Count 30 against a g8 king: no defender adds (30 - 6) / 5, a knight on f6 only (30 - 6) / 14.
  EvalContext e = AfterKings("6k1/8/8/8/8/8/8/Q3K3 w - - 0 1");
  e.whiteScore = 0;
  e.whiteAttack = 30;
  e.blackShelter = 0;
  ScoreKingAttack(e);
  EXPECT_EQ(e.whiteScore, 81);  // the undefended g8 king: count 34
  e = AfterKings("6k1/8/5n2/8/8/8/8/Q3K3 w - - 0 1");
  e.whiteScore = 0;
  e.whiteAttack = 30;
  e.blackShelter = 0;
  ScoreKingAttack(e);
  EXPECT_EQ(e.whiteScore, 68);  // the f6 knight defends: count 31
}

TEST(KingAttack, DefendersCountedOnlyWhereTheirKindCounts) {
  // Count 30 against a back-rank king, no shelter: 81 undefended (count 34), 68 with one defender (31),
  // 65 with two or more (30 stays).
  auto scoreFor = [](const std::string& fen, int side) {
    EvalContext e = AfterKings(fen);
    e.whiteScore = e.blackScore = 0;
    e.whiteAttack = e.blackAttack = 30;
    e.whiteShelter = e.blackShelter = 0;
    ScoreKingAttack(e);
    return side == kWhite ? e.whiteScore : e.blackScore;
  };
  EXPECT_EQ(scoreFor("6k1/8/5nr1/8/8/8/8/Q3K3 w - - 0 1", kWhite), 65);   // knight f6 and rook g6
  EXPECT_EQ(scoreFor("6kr/8/8/8/8/8/8/Q3K3 w - - 0 1", kWhite), 81);      // a rook beside the king does not
  EXPECT_EQ(scoreFor("6kb/8/8/8/8/8/8/Q3K3 w - - 0 1", kWhite), 68);      // a bishop beside it does
  EXPECT_EQ(scoreFor("7k/8/6n1/8/8/8/8/1Q2K3 w - - 0 1", kWhite), 68);    // the h8 king, knight g6
  EXPECT_EQ(scoreFor("7k/6r1/8/8/8/8/8/Q3K3 w - - 0 1", kWhite), 81);     // nor one ahead beside it
  EXPECT_EQ(scoreFor("k7/8/8/8/8/8/7r/2Q1K3 w - - 0 1", kWhite), 81);     // nothing near the a8 king
  EXPECT_EQ(scoreFor("1q2k3/8/8/8/8/5N2/8/6K1 b - - 0 1", kBlack), 68);   // White's g1 king, knight f3
  EXPECT_EQ(scoreFor("1q2k3/8/8/8/8/5NB1/8/6K1 b - - 0 1", kBlack), 65);  // knight f3 and bishop g3
  EXPECT_EQ(scoreFor("1q2k3/8/8/8/8/8/6K1/8 b - - 0 1", kBlack), 81);     // the g2 king undefended
  EXPECT_EQ(scoreFor("1q2k3/8/8/8/8/8/5NK1/8 b - - 0 1", kBlack), 68);    // the g2 king, knight f2 beside it
}

TEST(KingAttack, ScoreByCountUpToTheCap) {
  auto scoreFor = [](int count) {
    EvalContext e = AfterKings("8/8/8/3k4/8/8/8/Q3K3 w - - 0 1");
    e.whiteScore = 0;
    e.whiteAttack = count;
    e.blackShelter = 0;
    ScoreKingAttack(e);
    return e.whiteScore;
  };
  EXPECT_EQ(scoreFor(0), 0);
  EXPECT_EQ(scoreFor(1), 0);
  EXPECT_EQ(scoreFor(7), 5);     // 49 / 18 + 3
  EXPECT_EQ(scoreFor(99), 593);  // 9801 / 18 + 49
  EXPECT_EQ(scoreFor(100), 600);
  EXPECT_EQ(scoreFor(103), 600);
  EXPECT_EQ(scoreFor(104), 600);
  EXPECT_EQ(scoreFor(250), 600);
}

TEST(KingAttack, KingsThreeSquaresApartOrAcrossTheBoardDoNotCount) {
  for (const char* fen : {"8/8/4k3/8/8/4K3/8/Q7 w - - 0 1", "8/8/1k6/8/4K3/8/8/Q7 w - - 0 1",
                          "8/8/8/k7/7K/8/8/2Q5 w - - 0 1", "7k/8/8/8/8/8/8/2Q4K w - - 0 1"}) {
    EvalContext e = AfterKings(fen);
    e.whiteAttack = e.blackAttack = 0;
    ScoreKingAttack(e);
    EXPECT_EQ(e.blackAttack, 0) << fen;
  }
  EvalContext e = AfterKings("8/8/8/2k5/8/4K3/8/Q7 w - - 0 1");  // two files and two ranks apart
  e.whiteAttack = e.blackAttack = 0;
  ScoreKingAttack(e);
  EXPECT_EQ(e.blackAttack, 5);
}

TEST(KingAttack, KingsCloseTogetherAttackEachOther) {
  EvalContext e = AfterKings("8/8/4k3/8/4K3/8/8/Q7 w - - 0 1");
  e.whiteScore = 0;
  e.blackShelter = 0;
  ScoreKingAttack(e);
  EXPECT_EQ(e.whiteScore, 3);  // kings two squares apart: count 5
  EXPECT_EQ(e.blackAttack, 5);
}

TEST(Shelter, FewEnemyPiecesLeaveOnlyTheEdgePenalties) {
  EXPECT_EQ(AfterKings("4k2r/8/8/8/8/8/8/4K3 w - - 0 1").whiteShelter, 80);
  EXPECT_EQ(AfterKings("4k2r/8/8/8/8/8/8/K7 w - - 0 1").whiteShelter, 60);
  EXPECT_EQ(AfterKings("4k2r/8/8/8/K7/8/8/8 w - - 0 1").whiteShelter, 80);
  EXPECT_EQ(AfterKings("4k2r/8/8/8/4K3/8/8/8 w - - 0 1").whiteShelter, 100);
  EXPECT_EQ(AfterKings("R3K3/8/8/8/8/8/8/7k w - - 0 1").blackShelter, 60);
}

TEST(Shelter, StartPositionWeighsBothCastlings) {
  // Both wings 191, the king on e1 136; likelihoods 40 (queen side) and 46 (king side):
  // (54*40*191 + 60*46*191 + 40*46*191 + 60*54*136) / 10000 = 173.
  EvalContext e = AfterKings("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(QueensideShelter(e, kWhite), 191);
  EXPECT_EQ(KingsideShelter(e, kWhite), 191);
  EXPECT_EQ(KingShelter(e, kWhite, kE1), 136);
  EXPECT_EQ(e.whiteShelter, 173);
  EXPECT_EQ(e.blackShelter, 173);
  // The castling squares become worth more to the enemy pieces: 191 / 16 on d1, 191 / 8 on f1.
  EXPECT_EQ(e.BlackSquareWeights[kD1], 3 + 11);
  EXPECT_EQ(e.BlackSquareWeights[SquareAt(6, 1)], 3 + 23);
  EXPECT_EQ(e.WhiteSquareWeights[kD8], 3 + 11);
  EXPECT_EQ(e.WhiteSquareWeights[SquareAt(6, 8)], 3 + 23);
}

TEST(Shelter, CastlingShareOnTheWeightsRoundsDown) {
  // King side 19 - 36 = -17 and the e1 square -12: K = -12, and f1 gains -12 / 8 rounded down, -2.
  EvalContext e = AfterKings("r2qk3/8/8/8/8/8/P7/4K2R w K - 0 1");
  EXPECT_EQ(KingShelter(e, kWhite, kE1), -12);
  EXPECT_EQ(KingsideShelter(e, kWhite), -17);
  EXPECT_EQ(e.BlackSquareWeights[SquareAt(6, 1)], 3 - 2);
  EXPECT_EQ(e.BlackSquareWeights[kD1], 3);  // queen side lost: Q = max(0, -12) = 0
  EXPECT_EQ(e.whiteShelter, 0);             // -4, negative
}

TEST(Shelter, CentralKingWithoutCastlingUsesItsSquare) {
  EvalContext e = AfterKings("rq2k3/8/8/4K3/8/8/8/8 w - - 0 1");
  EXPECT_EQ(e.whiteShelter, 0);  // rank 5
  e = AfterKings("rq2k3/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1");
  EXPECT_EQ(e.whiteShelter, KingShelter(e, kWhite, kE1));
}

TEST(Shelter, KingThatCannotCastleReadsItsWing) {
  // c1: queen side 120 + 40 - 3 * 12 (no black pawns on a..c) = 124, less 15.
  EXPECT_EQ(AfterKings("r2qk3/8/8/8/8/8/PPP5/2K5 w - - 0 1").whiteShelter, 124 - 15);
  // g2: pattern h2 + f2 = 40, + 40, + 20 (no rooks, g2 empty), - 5 (no g-pawn), - 36, less 20.
  EXPECT_EQ(AfterKings("r2qk3/8/8/8/8/8/5PKP/8 w - - 0 1").whiteShelter, 80 + 20 - 5 - 36 - 20);
}

TEST(KingActivity, KingFarFromThePawns) {
  // Pawn ending, pawns on g and h: the a1 king is 5 files short of f: -30; its squares a2, b1, b2
  // weigh 3 + 3 + 4.
  EvalTrace t;
  ASSERT_TRUE(SetUpFen("7k/7p/8/8/8/8/6PP/K7 w - - 0 1"));
  EvaluateTraced(&t);
  EXPECT_EQ(t.white[kStageKings] - t.white[kStagePawns], -20);  // the a1 king in the h-pawn ending
}

TEST(KingActivity, NeighboursOfBothColoursByTheirValue) {
  // The e4 king against 600 in pieces: 2 * 17 for the centre, 8 * 4 for its squares, knight d4 8, rook f4 5,
  // knight e5 5, bishop d5 8: 92, of which 2500 / 3100 count.
  EvalTrace t;
  ASSERT_TRUE(SetUpFen("7k/7p/8/3bn3/3NKR2/8/P7/8 w - - 0 1"));
  EvaluateTraced(&t);
  EXPECT_EQ(t.white[kStageKings] - t.white[kStagePawns], 74);
}

TEST(KingActivity, FullEnemyPiecesLeaveNoActivity) {
  EvalTrace t;
  ASSERT_TRUE(SetUpFen("rnbqkbnr/pppppppp/8/8/4K3/8/PPPPPPPP/RNBQ1BNR w kq - 0 1"));
  EvaluateTraced(&t);
  EXPECT_EQ(t.white[kStageKings] - t.white[kStagePawns], 0);
  // A promoted queen on top of the full set weighs the activity below 0.
  ASSERT_TRUE(SetUpFen("rnbqkbnr/ppppppp1/8/8/4K3/8/PPPPPPPP/RNBQ1BNq w kq - 0 1"));
  EvaluateTraced(&t);
  EXPECT_LT(t.white[kStageKings] - t.white[kStagePawns], 0);
}

TEST(Shelter, EmptyBishopSlotIsNoFianchetto) {
  // The only bishop sits in slot 2 after slot 1 was emptied: it must count as it did in slot 1.
  EvalContext e = AfterKings("4k3/8/8/8/8/7B/8/R3K3 w Q - 0 1");
  const int before = QueensideShelter(e, kWhite);
  Board.bishops[kWhite][2] = Board.bishops[kWhite][1];
  Board.bishops[kWhite][1] = 0;
  Board.bishopCount[kWhite] = 2;
  EXPECT_EQ(QueensideShelter(e, kWhite), before);
}

TEST(KingActivity, BothActivitiesReadTheMapsBeforeTheShelters) {
  // White's castling shelter adds 148 / 8 = 18 to Black's weight on f1, next to the g1 king;
  // Black's activity still reads the old 3: A = 2*4 + (3+3+4+4+2) + 8 (rook h1) = 32.
  EvalTrace t;
  ASSERT_TRUE(SetUpFen("rq6/p7/8/8/8/8/5PPP/4K1kR b K - 0 1"));
  EvaluateTraced(&t);
  EXPECT_EQ(t.black[kStageKings] - t.black[kStagePawns], 26);  // the g1 king's activity 32, a rook off
  EvalContext e = AfterKings("rq6/p7/8/8/8/8/5PPP/4K1kR b K - 0 1");
  EXPECT_EQ(e.BlackSquareWeights[SquareAt(6, 1)], 3 + 18);
}

}  // namespace
}  // namespace kelb::test
