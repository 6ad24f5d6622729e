// Hand-computed values for small positions, each isolating one term of the evaluation.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "board/board.h"
#include "eval/eval.h"
#include "eval/lkpk.h"
#include "eval_support.h"

namespace kelb::test {
namespace {

EvalTrace Trace(const std::string& fen) {
  EvalTrace t;
  EXPECT_TRUE(SetUpFen(fen)) << fen;
  EvaluateTraced(&t);
  return t;
}

// ---- Material corrections ---------------------------------------------------------------------------

TEST(AdjustForMaterial, LoneMinorWithoutPawnsCannotWin) {
  EvalContext e = AfterPawns("8/8/4k3/ppp5/8/8/8/4KN2 w - - 0 1");  // balance 300 against 300
  EXPECT_EQ(AdjustForMaterial(e, 100), -17);
  EXPECT_EQ(AdjustForMaterial(e, -20), -29);
  EXPECT_EQ(AdjustForMaterial(e, -30), -30);
  e = AfterPawns("4kb2/8/8/8/8/8/PPP5/4K3 b - - 0 1");  // the mirror for Black
  EXPECT_EQ(AdjustForMaterial(e, -100), 17);
  EXPECT_EQ(AdjustForMaterial(e, 20), 29);
}

TEST(AdjustForMaterial, OppositeBishopsPullTowardADraw) {
  EvalContext e = AfterPawns("4k3/p4b2/8/8/8/8/P2B4/4K3 w - - 0 1");
  e.bishopColours = kWhiteDarkBishop | kBlackLightBishop;
  EXPECT_EQ(AdjustForMaterial(e, 250), 150);
  EXPECT_EQ(AdjustForMaterial(e, 100), 50);
  EXPECT_EQ(AdjustForMaterial(e, -300), -200);
  e.bishopColours = kWhiteDarkBishop | kBlackDarkBishop;
  EXPECT_EQ(AdjustForMaterial(e, 250), 250);
}

TEST(AdjustForMaterial, RookPawnWithTheWrongBishop) {
  EvalContext e = AfterPawns("1k6/8/8/P7/8/2K5/8/2B5 w - - 0 1");
  // Balance: 400 limited to 300, (6200 - 300) * 300 / 10000 = 177.
  e.bishopColours = kWhiteDarkBishop;
  EXPECT_EQ(AdjustForMaterial(e, 500), 13);  // the a-pawn with the dark bishop: 677 cut fifty-fold
  e.bishopColours = kWhiteLightBishop;
  EXPECT_EQ(AdjustForMaterial(e, 500), 677);
}

TEST(Evaluate, ThreatsCountMoreAgainstTheSideToMove) {
  // The e4 pawn attacks both knights: two threats for White.
  EvalTrace t = Trace("4k3/8/8/3n1n2/4P3/8/8/4K3 w - - 0 1");
  EXPECT_EQ(t.sideToMoveScore - (t.white[kStagePatterns] + 13 - t.black[kStagePatterns]), 80);
  t = Trace("4k3/8/8/3n1n2/4P3/8/8/4K3 b - - 0 1");
  EXPECT_EQ(t.sideToMoveScore - (t.black[kStagePatterns] + 13 - t.white[kStagePatterns]), -150);
}

TEST(Evaluate, TracedAndUntracedAgree) {
  // The search's untraced copy and the traced one over random games, with the early returns of the
  // pawnless scorer and the bitbase among them.
  std::mt19937 rng(20261209);
  int positions = 0;
  for (int game = 0; game < 40; game++) {
    std::string fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    for (int ply = 0; ply < 120 && !fen.empty(); ply++, positions++) {
      ASSERT_TRUE(SetUpFen(fen)) << fen;
      EvalTrace t;
      const int traced = EvaluateTraced(&t);
      EXPECT_EQ(t.result, traced) << fen;
      EXPECT_EQ(Evaluate(), traced) << fen;
      EXPECT_EQ(EvaluateTraced(nullptr), traced) << fen;
      fen = RandomMoveFen(rng);
    }
  }
  EXPECT_GT(positions, 1000);
  for (const char* fen : {"8/8/3k4/8/8/2RK4/8/8 w - - 0 1", "8/8/3k4/8/3P4/3K4/8/8 w - - 0 1"}) {
    EvalTrace t;
    ASSERT_TRUE(SetUpFen(fen));
    EXPECT_EQ(EvaluateTraced(&t), Evaluate()) << fen;
    EXPECT_TRUE(t.pawnless || t.kpk || !kpkReady) << fen;
  }
}

// ---- Endings without pawns --------------------------------------------------------------------------

TEST(Pawnless, DrawnMaterialScoresZero) {
  EXPECT_EQ(EvalFen("4k3/8/8/8/8/8/8/4KB2 w - - 0 1"), 0);
  EXPECT_EQ(EvalFen("4k3/8/8/8/8/8/8/4K3 b - - 0 1"), 0);
  EXPECT_EQ(EvalFen("4kn2/8/8/8/8/8/8/4KB2 w - - 0 1"), 0);
  EXPECT_EQ(EvalFen("4k3/8/8/8/8/8/8/3NKN2 w - - 0 1"), 0);
  EXPECT_EQ(EvalFen("4k3/8/8/8/8/8/8/2B1K1B1 w - - 0 1"), 0);     // c1 and g1: both dark
  EXPECT_LT(EvalFen("4k3/8/8/8/8/8/8/2B1KB2 w - - 0 1"), -4000);  // c1 and f1: the pair mates
}

TEST(Pawnless, RookAgainstBareKingDrivesItToTheEdge) {
  // W = 500 + 2*7, then + 4000 - 2*7 - 4*7 (kings a file and seven ranks apart); B = 2*7.
  EXPECT_EQ(EvalFen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1"), -(4472 - 14));
  EXPECT_EQ(EvalFen("4k3/8/8/8/8/8/8/R3K3 b - - 0 1"), 4472 - 14);
}

TEST(Pawnless, SmallAdvantagesAreCompressed) {
  // Rook against bishop: W = 500 + 34 - 12, B = 250 + 22: S = 250 becomes 50.
  EXPECT_EQ(EvalFen("8/4k3/8/8/4K3/8/7b/R7 w - - 0 1"), -50);
  // Rook against knight: W = 500 + 0 - 12, B = 300 + 20 + 17 - 100: S = 251 becomes 53.
  EXPECT_EQ(EvalFen("7R/8/8/4n3/8/1k6/8/K7 w - - 0 1"), -53);
  // The same with the knight on b1 (4 - 100) and the kings on e4 and e7: S = 300 - 4 becomes 188.
  EXPECT_EQ(EvalFen("7R/4k3/8/8/4K3/8/8/1n6 w - - 0 1"), -188);
}

TEST(Pawnless, BareKingTestReadsPieceMaterialNotTheRunningValue) {
  // King and rook against a bare king in the centre: about 4,500, not 500.
  const int v = EvalFen("8/8/8/3k4/8/8/8/R3K3 b - - 0 1");
  EXPECT_GT(v, 4400);
  EXPECT_LT(v, 4600);
}

TEST(Pawnless, SecondSideTestSeesTheFirstSidesCorrection) {
  // W = 500 + 16 = 516, B = 500; B < W: W -= 4*12 = 468; now W < B: B -= 48 = 452; S = 16 -> 3.
  EXPECT_EQ(EvalFen("7k/8/4r3/8/8/3R4/1K6/8 w - - 0 1"), -3);
  // The colour twin only takes the second branch: S = 500 - (516 - 48) = 32 -> 6.
  EXPECT_EQ(EvalFen(FlipFen("7k/8/4r3/8/8/3R4/1K6/8 w - - 0 1")), 6);
}

TEST(Pawnless, BishopAndKnightDriveTheKingToTheBishopsCornerForBothColours) {
  // Black: light bishop c4, knight e5, king d5; White's bare king on a8, a light corner.
  // B = 550 + 30*7 + 2*17 = 794; + 4000 - 0 - 4*6 = 4770; knight 17 - 100: 4687.
  EXPECT_EQ(EvalFen("K7/8/8/3kn3/2b5/8/8/8 w - - 0 1"), 4687);
  // The same bare king on a1, a dark corner: no bonus, 550 + 34 + 4000 - 28 - 83.
  EXPECT_EQ(EvalFen("8/8/8/3kn3/2b5/8/8/K7 w - - 0 1"), 4473);
  // White with a light bishop gets the bonus in the same light corners.
  // W = 550 + 210 + 2*17 = 794 (king d4, bishop c4), + 4000 - 0 - 4*(3 + 4), knight e4 17 - 100.
  EXPECT_EQ(EvalFen("k7/8/8/8/2BKN3/8/8/8 b - - 0 1"), 794 + 4000 - 28 - 83);
}

// ---- Pawns ------------------------------------------------------------------------------------------

TEST(Pawns, UnstoppablePasserInAPawnEnding) {
  // a6 against a king on h8: 2 * 58 + 40 = 156, counted twice in the blend: 51 + 6200 * 312 / 3100.
  EvalTrace t = Trace("7k/7p/P7/8/8/8/8/7K w - - 0 1");
  EXPECT_EQ(t.white[kStagePawns], 51 + 624);
  // King on d8 and Black to move: it catches the pawn.
  // P = 3 + 58 + KP(h1) 0 - KP(d8) 9, then + 0 - 9 + 6 = 49.
  t = Trace("3k4/7p/P7/8/8/8/8/7K b - - 0 1");
  EXPECT_EQ(t.white[kStagePawns], 247);  // the d8 king catches the a6 pawn: P 49, counted twice
  // With White to move the d8 king is too late.
  t = Trace("3k4/7p/P7/8/8/8/8/7K w - - 0 1");
  EXPECT_EQ(t.white[kStagePawns], 51 + 624);
}

TEST(Pawns, RaceRuleOnlyInPawnEndings) {
  // Black has a knight: P = 7 + 58 = 65; 51 + 300 * 1 / 3100 + 5900 * 130 / 3100.
  EvalTrace t = Trace("7k/8/P7/7n/8/8/8/7K w - - 0 1");
  EXPECT_EQ(t.white[kStagePawns], 298);  // the a6 passer against a knight: P 65, counted twice
}

TEST(Pawns, ConnectedPassersWithARookBehind) {
  // e6: U 6; P = 4 + 58 + 1 - KP(a8) 6 + connected 25 + rook e1 behind 7 = 89.
  // f6: U 6; P = 5 + 58 + 1 - KP(a8) 3 + connected 25 = 86 (the e1 rook's file holds a pawn).
  // Square sum 11 + 9; structure 6 + 89 + 6 + 86, best 89 counted twice.
  EvalTrace t = Trace("k7/8/4PP2/8/8/8/8/K3R2r w - - 0 1");
  EXPECT_EQ(t.white[kStagePawns], 612);  // the e6-f6 pair with the e1 rook behind
}

TEST(Pawns, SpreadPassersInAPawnEnding) {
  // a2: P = 4 + 11 + KP(e1) 0 - KP(e8) 3, then + 0 - 3 + 6 = 15. h2: 3 + 11 + 2 - 4 + (2 - 4 + 6) = 16.
  // Both isolated, their support 0; the spread over seven files adds 70.
  EvalContext e = AfterPawns("4k3/8/8/8/8/8/P6P/4K3 w - - 0 1");
  EXPECT_EQ(e.pawnValues[kWhite].bestPassed, 16);
  EXPECT_EQ(e.pawnValues[kWhite].structureSum, 15 + 16 + 70);
  EXPECT_EQ(e.pawnValues[kWhite].squareSum, 2);
  EXPECT_EQ(e.lowPawnFile, 1);
  EXPECT_EQ(e.highPawnFile, 8);
}

TEST(Pawns, WeakPawnFacingARook) {
  // Isolated d4, not passed; with a black rook on the board its support becomes -12 on a file
  // without black pawns, -7 with a black pawn on the file and nothing in front; plus 19 for rank 4.
  EXPECT_EQ(AfterPawns("4k2r/8/4p3/8/3P4/8/8/4K3 w - - 0 1").pawnValues[kWhite].structureSum, -12 + 19);
  EXPECT_EQ(AfterPawns("4k2r/8/3p4/8/3P4/8/8/4K3 w - - 0 1").pawnValues[kWhite].structureSum, -7 + 19);
  // A pawn in front keeps the support (0) and blocks: -3.
  EXPECT_EQ(AfterPawns("4k2r/8/8/3p4/3P4/8/8/4K3 w - - 0 1").pawnValues[kWhite].structureSum, 0 + 19 - 3);
  // Without the rook the isolated pawn keeps its support.
  EXPECT_EQ(AfterPawns("4k3/8/4p3/8/3P4/8/8/4K3 w - - 0 1").pawnValues[kWhite].structureSum, 19);
}

TEST(Pawns, ForkThreatOnlyWithTheMove) {
  EvalContext w = AfterPawns("4k3/8/3n1n2/8/4P3/8/8/4K3 w - - 0 1");
  EvalContext b = AfterPawns("4k3/8/3n1n2/8/4P3/8/8/4K3 b - - 0 1");
  EXPECT_EQ(w.pawnValues[kWhite].squareSum - b.pawnValues[kWhite].squareSum, 15);
  EXPECT_EQ(w.pawnValues[kWhite].squareSum, 24 + 15);
}

// The fork bonus of `side`'s pawns: the placement sum with `side` to move less the sum with the other side to
// move (nothing else in it depends on the side to move).
int ForkBonus(const std::string& placement, int side) {
  const std::string own = side == kWhite ? " w - - 0 1" : " b - - 0 1";
  const std::string other = side == kWhite ? " b - - 0 1" : " w - - 0 1";
  return AfterPawns(placement + own).pawnValues[side].squareSum -
         AfterPawns(placement + other).pawnValues[side].squareSum;
}

TEST(Pawns, ForkThreatsCountEachPawnAndOnlyPiecesAndKings) {
  EXPECT_EQ(ForkBonus("4k3/8/2n1n1b1/8/3P1P2/8/8/4K3", kWhite), 30);  // d4-d5 and f4-f5 both fork
  EXPECT_EQ(ForkBonus("8/8/2k1r3/8/3P4/8/8/K7", kWhite), 15);         // the king is a target too
  EXPECT_EQ(ForkBonus("4k3/8/2n1n3/3p4/3P4/8/8/4K3", kWhite), 0);     // the square ahead is taken
  EXPECT_EQ(ForkBonus("4k3/8/2p1n3/8/3P4/8/8/4K3", kWhite), 0);       // a pawn is no target
  EXPECT_EQ(ForkBonus("4k3/8/2N1N3/8/3P4/8/8/4K3", kWhite), 0);       // nor are own pieces
  EXPECT_EQ(ForkBonus("2n1nk2/3P4/8/8/8/8/8/K7", kWhite), 0);         // from the seventh rank it promotes
  EXPECT_EQ(ForkBonus("4k3/8/8/3p1p2/8/2N1B1R1/8/4K3", kBlack), 30);  // Black's pawns, down the board
  EXPECT_EQ(ForkBonus("4k3/8/8/8/8/3p4/2N1B3/K7", kBlack), 0);        // from its seventh rank
}

TEST(Pawns, PawnsNearTheKingGiveTheAttackCountOnce) {
  // f5 and h5 both attack g6, next to the g7 king; with a queen on the board the zones exist.
  EvalContext e = AfterPawns("q7/6k1/8/5P1P/8/8/8/1Q2K3 w - - 0 1");
  EXPECT_EQ(e.whiteAttack, 6);
  e = AfterPawns("8/6k1/8/5P1P/8/8/8/4K3 w - - 0 1");  // no king zones without pieces
  EXPECT_EQ(e.whiteAttack, 0);
}

}  // namespace
}  // namespace kelb::test
