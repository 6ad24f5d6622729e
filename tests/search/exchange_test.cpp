// The static exchange test that keeps losing captures out of the quiescence search.
#include "search/exchange.h"

#include "search_fixture.h"

namespace kelb {
namespace {

using test::SetPosition;

bool Bad(const char* fen, int from, int to) {
  SetPosition(fen);
  return BadCapture(from, to);
}

TEST(BadCaptureTest, QueenTakesKnightDefendedOnceByAPawnIsNotBad) {
  // Qd1xd5, the knight defended by the c6 pawn only.
  EXPECT_FALSE(Bad("4k3/p7/2p5/3n4/8/8/P7/3QK3 w - - 0 1", 41, 45));
}

TEST(BadCaptureTest, QueenTakesPawnDefendedByAPawnIsBad) {
  EXPECT_TRUE(Bad("4k3/8/2p5/3p4/8/8/P7/3QK3 w - - 0 1", 41, 45));
}

TEST(BadCaptureTest, CheaperOrEqualCapturerIsNeverBad) {
  EXPECT_FALSE(Bad("4k3/8/2p5/3r4/8/8/P7/3RK3 w - - 0 1", 41, 45));  // rook takes rook
}

TEST(BadCaptureTest, OpponentWithoutPawnsIsNeverFiltered) {
  EXPECT_FALSE(Bad("4k3/8/2b5/3n4/8/8/P7/3QK3 w - - 0 1", 41, 45));
}

TEST(BadCaptureTest, BishopBehindADefendingPawnCountsAsSecondDefender) {
  // Rxd5: c6 pawn and the b7 bishop behind it defend; White's second attacker is a rook on d2 behind.
  // With only the pawn defending, taking the knight with the rook would not be bad (one defender).
  EXPECT_FALSE(Bad("4k3/8/2p5/3n4/8/8/P2R4/3RK3 w - - 0 1", 42, 45));
  EXPECT_TRUE(Bad("4k3/1b6/2p5/3n4/8/8/P7/3RK3 w - - 0 1", 41, 45));
}

TEST(BadCaptureTest, RookTakingAPawnDefendedByPawnAndRookIsBad) {
  EXPECT_TRUE(Bad("3rk3/8/4p3/3p4/8/8/P2R4/4K3 w - - 0 1", 42, 45));
}

TEST(BadCaptureTest, AttackerBehindTheCapturerJoins) {
  // Re3xe5 against the e8 rook: alone it loses the exchange, with the e1 rook behind it wins a pawn.
  EXPECT_TRUE(Bad("4r1k1/8/8/4p3/8/4R3/P7/6K1 w - - 0 1", 53, 55));
  EXPECT_FALSE(Bad("4r1k1/8/8/4p3/8/4R3/P7/4R1K1 w - - 0 1", 53, 55));
}

TEST(BadCaptureTest, BlackToMoveMirrors) {
  EXPECT_TRUE(Bad("3qk3/p7/8/8/3P4/4P3/8/4K3 b - - 0 1", 48, 44));   // Qd8xd4 defended by e3
  EXPECT_FALSE(Bad("3qk3/p7/8/8/3N4/4P3/8/4K3 b - - 0 1", 48, 44));  // a knight, one defender
}

TEST(BadCaptureTest, KingDefendsOnlyFromTheNextSquare) {
  EXPECT_TRUE(Bad("4k3/4q3/8/8/8/8/P3P3/4K3 b - - 0 1", 57, 52));   // Qxe2, the e1 king recaptures
  EXPECT_FALSE(Bad("4k3/4q3/8/8/8/8/P3P3/2K5 b - - 0 1", 57, 52));  // the king on c1 does not
}

TEST(BadCaptureTest, QueenTakingAKnightDefendedByTwoPawnsIsBad) {
  // Qxd5 against the c6 and e6 pawns: a queen for a knight.
  EXPECT_TRUE(Bad("4k3/8/2p1p3/3n4/8/8/P7/3QK3 w - - 0 1", 41, 45));
}

TEST(BadCaptureTest, KnightTakingAPawnDefendedByAPawnIsBadEvenWithSupport) {
  // Nxd5 cxd5 exd5: a knight for two pawns, with or without the e4 pawn to take back.
  EXPECT_TRUE(Bad("4k3/p7/2p5/3p4/8/4N3/P7/4K3 w - - 0 1", 53, 45));
  EXPECT_TRUE(Bad("4k3/p7/2p5/3p4/4P3/4N3/P7/4K3 w - - 0 1", 53, 45));
  // Undefended, the pawn is simply won.
  EXPECT_FALSE(Bad("4k3/p7/8/3p4/8/4N3/P7/4K3 w - - 0 1", 53, 45));
}

TEST(BadCaptureTest, LeavesTheBoardAsItFoundIt) {
  // The test lifts the capturer off its square while it looks for the pieces behind it.
  SetPosition("4r1k1/8/8/4p3/8/4R3/P7/4R1K1 w - - 0 1");
  const BoardRecord before = Board;
  BadCapture(53, 55);
  for (int s = kFirstSquareIndex; s <= kLastSquareIndex; ++s) ASSERT_EQ(Board.squares[s], before.squares[s]);
  EXPECT_EQ(Board.key, before.key);
}

}  // namespace
}  // namespace kelb
