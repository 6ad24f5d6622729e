// Development, piece patterns and piece terms, with hand-computed values.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "board/board.h"
#include "eval/eval.h"
#include "eval_support.h"

namespace kelb::test {
namespace {

// The context after the pawn terms with the scores cleared, so that only the terms under test count.
EvalContext PatternContext(const std::string& fen) {
  EvalContext e = AfterPawns(fen);
  e.whiteScore = e.blackScore = 0;
  return e;
}

// The development terms alone of a position, and the piece patterns alone.
EvalContext DevelopmentOf(const std::string& fen) {
  EvalContext e = PatternContext(fen);
  ScoreDevelopment(e);
  return e;
}
EvalContext PatternsOf(const std::string& fen) {
  EvalContext e = PatternContext(fen);
  ScorePiecePatterns(e);
  return e;
}

TEST(Development, StartPositionAndLostCastling) {
  // Queen d1 behind c2 and e2 (-6, -3), both bishops behind their pawns (-10, -10).
  EvalContext e = DevelopmentOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(e.whiteScore, -29);
  EXPECT_EQ(e.blackScore, -29);
  e = DevelopmentOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1");
  EXPECT_EQ(e.whiteScore, 0);
  EXPECT_EQ(e.blackScore, 0);
}

TEST(Development, GambitPawnOnC4) {
  // Queen's gambit accepted: +65 for the c4 pawn, -3 (e2 in front of the queen), -10 (f1 bishop).
  EvalContext e = DevelopmentOf("rnbqkbnr/ppp1pppp/8/8/2pP4/8/PP2PPPP/RNBQKBNR w KQkq - 0 3");
  EXPECT_EQ(e.whiteScore, 65 - 3 - 10);
  // With ...b5 held by a4: +77 instead.
  e = DevelopmentOf("rnbqkbnr/p1p1pppp/8/1p6/P1pP4/8/1P2PPPP/RNBQKBNR w KQkq - 0 4");
  EXPECT_EQ(e.whiteScore, 77 - 3 - 10);
}

TEST(Development, FirstQueenSlotFollowsTheListOrder) {
  // Two white queens on the d-file: slot 1 is d3 (rank 3): -9 with Black above 2500.
  EvalContext e = DevelopmentOf("rnbqkb1r/8/8/8/3Q4/3Q4/8/R3K3 w Q - 0 1");
  EXPECT_EQ(e.whiteScore, -9);
  // The colour twin lists d5 before d6, so its first queen stands on its fourth rank, facing the
  // knight on b1 from d5: -37. The lists fill by file and rank, not by the side's own direction.
  e = DevelopmentOf(FlipFen("rnbqkb1r/8/8/8/3Q4/3Q4/8/R3K3 w Q - 0 1"));
  EXPECT_EQ(e.blackScore, -37);
}

TEST(PiecePatterns, TrappedPieces) {
  EvalContext e = PatternsOf("4k3/B7/1p6/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(e.whiteScore, -150);
  e = PatternsOf("4k3/8/8/8/8/6P1/7b/4K3 w - - 0 1");
  EXPECT_EQ(e.blackScore, -150);
  e = PatternsOf("N3k3/p7/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(e.whiteScore, -80);
}

TEST(PiecePatterns, RookShutInByItsKing) {
  EvalContext e = PatternsOf("4k3/8/8/8/8/8/7P/6KR w - - 0 1");
  EXPECT_EQ(e.whiteScore, -65);
  e = PatternsOf("4k3/8/8/8/7P/8/8/6KR w - - 0 1");  // the h-pawn on rank 4 still shuts it in
  EXPECT_EQ(e.whiteScore, -65);
  e = PatternsOf("4k3/8/8/7P/8/8/8/6KR w - - 0 1");  // on rank 5 it does not
  EXPECT_EQ(e.whiteScore, 0);
  e = PatternsOf("6kr/7p/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(e.blackScore, -65);
}

TEST(PiecePatterns, RookShutInOnEachKingSquareOfBothColours) {
  const std::pair<const char*, int> kCases[] = {
      {"4k3/8/8/8/8/8/P7/RK6 w - - 0 1", -65},   {"4k3/8/8/8/8/8/1P6/1RK5 w - - 0 1", -65},
      {"4k3/8/8/8/8/8/6P1/5KR1 w - - 0 1", -65}, {"4k3/8/8/8/8/8/P7/R2K4 w - - 0 1", 0},
      {"4k3/8/8/8/8/8/6PP/6RK w - - 0 1", 0},    {"4k3/8/8/8/8/8/P7/R3K3 w - - 0 1", 0},
  };
  for (const auto& [fen, value] : kCases) {
    EXPECT_EQ(PatternsOf(fen).whiteScore, value) << fen;
    EXPECT_EQ(PatternsOf(FlipFen(fen)).blackScore, value) << FlipFen(fen);
  }
}

TEST(PiecePatterns, BishopPairNeedsTheFirstTwoSlots) {
  EvalContext e = PatternsOf("4k3/8/8/8/8/8/4P3/2B1KB2 w - - 0 1");
  EXPECT_EQ(e.whiteScore, 30);
  // First bishop captured, a promoted one behind it: slots 0, f1, c1.
  Board.bishops[kWhite][3] = Board.bishops[kWhite][1];
  Board.bishops[kWhite][1] = 0;
  Board.bishopCount[kWhite] = 3;
  e.whiteScore = 0;
  ScorePiecePatterns(e);
  EXPECT_EQ(e.whiteScore, 0);
}

TEST(PiecePatterns, RooksTogether) {
  // Both rooks on the back rank: + their file distance (a1 and h1: 7).
  EvalContext e = PatternsOf("4k3/8/8/8/8/8/4P3/R3K2R w - - 0 1");
  EXPECT_EQ(e.whiteScore, 7);
  // Both on the seventh with the king on the eighth: +8.
  e = PatternsOf("4k3/1R4R1/8/8/8/8/4P3/4K3 b - - 0 1");
  EXPECT_EQ(e.whiteScore, 8);
}

// Piece stage of a position minus the king stage: material, mobility and files of the pieces, less
// the piece-weight charge.
int PieceStage(const std::string& fen) {
  EvalTrace t;
  EXPECT_TRUE(SetUpFen(fen)) << fen;
  EvaluateTraced(&t);
  return t.white[kStagePieces] - t.white[kStageKings];
}

TEST(Pieces, RookOnAnOpenFile) {
  // 494 - 200/30 = 488; rays 27 + 9 + 8 = 44; the charge 12 * 80 / 100 = 9 (the f8 king's shelter
  // is 80 with few white pieces).
  EXPECT_EQ(PieceStage("5k2/7p/8/8/8/8/7P/K3R3 b - - 0 1"), 488 + 44 + 22 - 9);  // next to the king's file
  EXPECT_EQ(PieceStage("5k2/7p/8/8/8/8/7P/K4R2 b - - 0 1"), 488 + 44 + 28 - 9);  // on it
  EXPECT_EQ(PieceStage("5k2/7p/8/8/8/8/7P/KR6 b - - 0 1"), 488 + 44 + 13 - 9);   // elsewhere
}

TEST(Pieces, BishopHemmedInByItsPawns) {
  // Bishop c1 behind b2 and d2: 336 - 8*2 (two dark own pawns) - 4 (rank 1); direct squares b2 and
  // d2 are own pawns (-2 + 4 each): M = 4 < 9, no enemy pawn in front: -3. Charge 6 * 80 / 100 = 4.
  // (The black pawns stand on light squares and stop the white ones from being passed.)
  EXPECT_EQ(PieceStage("4k3/1p1p4/8/8/8/8/1P1P4/2B1K3 b - - 0 1"), 336 - 16 - 4 + 4 - 3 - 4);
  // Passed and isolated, b2 and d2 weigh 4 + 10 for White's pieces: M = 2 * 12, no penalty.
  EXPECT_EQ(PieceStage("4k3/8/8/8/8/8/1P1P4/2B1K3 b - - 0 1"), 336 - 16 - 4 + 24 - 4);
}

TEST(Pieces, KnightOutpostNeedsNoEnemyPawnThatCanChaseIt) {
  // Knight d5 defended by e4: flags 2 + 4 + 8 give 26; a black pawn on e6 (above rank 5, on a
  // neighbouring file) removes flag 2: 8. Nothing else of White's pieces changes.
  EXPECT_EQ(
      PieceStage("6k1/8/8/3N4/4P3/8/8/6K1 b - - 0 1") - PieceStage("6k1/8/4p3/3N4/4P3/8/8/6K1 b - - 0 1"),
      26 - 8);
}

TEST(Pieces, QueenMatingPatternNextToTheCastledKing) {
  // Queen f6, pawn h6 against g8 and f7: +50 with f8 empty, +200 with a knight on f8 (which none
  // of the queen's rays reach).
  EXPECT_EQ(
      PieceStage("5nk1/5p2/5Q1P/8/8/8/8/6K1 b - - 0 1") - PieceStage("6k1/5p2/5Q1P/8/8/8/8/6K1 b - - 0 1"),
      200 - 50);
}

TEST(Pieces, BishopPinsAgainstTheKing) {
  // Bishop d2 through f4 onto the h6 king: a rook on f4 scores 13 direct and 60 for the pin, a
  // knight 6 and 24 (no pawn attacks or defends f4).
  EXPECT_EQ(
      PieceStage("8/p7/7k/8/5r2/8/P2B4/4K3 b - - 0 1") - PieceStage("8/p7/7k/8/5n2/8/P2B4/4K3 b - - 0 1"),
      (13 + 60) - (6 + 24));
}

TEST(Pieces, RookPinsAKnightAgainstTheKing) {
  // Rook e1, black knight e7, king e8: +90 when a white pawn attacks e7, +24 otherwise (no black
  // pawn defends it). The pawn count, and so the rook's value, is the same in both.
  EXPECT_EQ(
      PieceStage("4k3/4n3/3P4/8/8/8/8/K3R3 b - - 0 1") - PieceStage("4k3/4n3/8/8/8/8/P7/K3R3 b - - 0 1"),
      90 - 24);
}

}  // namespace
}  // namespace kelb::test
