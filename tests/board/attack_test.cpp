// The attack test: hits, misses, probe order and the attacker record the evasion generator relies on.
#include "board/attack.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "support/board_test_util.h"

namespace kelb::test {
namespace {

// Empties the board without building lists (the attack test reads the squares and the piece sets, which
// Attacked rebuilds from the squares before asking).
void EmptyBoard() {
  for (int s = kFirstSquareIndex; s <= kLastSquareIndex; ++s) Board.squares[s] = kEmpty;
  Board.ply = 3;
  attackerSquare[3] = -1;
  attackDirection[3] = -1;
}

// A piece on a square named as in move texts ("d2").
struct Placed {
  const char* square;
  int piece;
};

// An empty board with these pieces on it.
void Place(std::initializer_list<Placed> pieces) {
  EmptyBoard();
  for (const Placed& p : pieces) Board.squares[SquareAt(p.square[0] - 'a' + 1, p.square[1] - '0')] = p.piece;
}

bool Attacked(int square, int bySide) {
  RebuildPieceSets();
  return IsAttacked(square, bySide);
}

// The attacker record of the ply: the attacker's square and the step from the attacked square towards it.
void ExpectRecord(int square, int direction) {
  EXPECT_EQ(attackerSquare[3], square);
  EXPECT_EQ(attackDirection[3], direction);
}

// The check tests find lines in a table: for every pair of square numbers 0..109 (border numbers count as
// file or rank 0) it must give the step and the diagonal flag that the file and rank differences give.
TEST(LineStep, AgreesWithTheFileAndRankDifferencesForEveryPair) {
  int lines = 0;
  for (int from = 0; from < 110; ++from)
    for (int to = 0; to < 110; ++to) {
      const int df = fileOf[to] - fileOf[from], dr = rankOf[to] - rankOf[from];
      int step = 0;
      bool diagonalLine = false;
      if (df == 0) {
        step = dr > 0 ? 1 : dr < 0 ? -1 : 0;
      } else if (dr == 0) {
        step = df > 0 ? 10 : -10;
      } else if (df == dr || df == -dr) {
        step = (df > 0 ? 10 : -10) + (dr > 0 ? 1 : -1);
        diagonalLine = true;
      }
      bool diagonal = !diagonalLine;
      ASSERT_EQ(LineStep(from, to, diagonal), step) << from << " to " << to;
      ASSERT_EQ(diagonal, diagonalLine) << from << " to " << to;
      if (onBoard[from] && onBoard[to] && step != 0) ++lines;
    }
  EXPECT_EQ(lines, 1456);  // a queen's moves from every square of an empty board
}

TEST(IsAttacked, RookAlongTheFileRecordsSquareAndStep) {
  Place({{"e1", kWhiteKing}, {"e8", kBlackRook}});
  EXPECT_TRUE(Attacked(kE1, kBlack));
  ExpectRecord(58, 1);
  EXPECT_FALSE(Attacked(kE1, kWhite));
  Board.squares[SquareAt(5, 4)] = kWhitePawn;  // e4 blocks
  EXPECT_FALSE(Attacked(kE1, kBlack));
}

TEST(IsAttacked, PawnsAttackDiagonallyOnly) {
  Place({{"d2", kBlackPawn}});
  EXPECT_TRUE(Attacked(kE1, kBlack));
  ExpectRecord(42, 0);
  Place({{"e2", kBlackPawn}});
  EXPECT_FALSE(Attacked(kE1, kBlack));
  // A white pawn on d2 attacks e3 and c3, not e1.
  Place({{"d2", kWhitePawn}});
  EXPECT_FALSE(Attacked(kE1, kWhite));
  EXPECT_TRUE(Attacked(SquareAt(5, 3), kWhite));
  EXPECT_TRUE(Attacked(SquareAt(3, 3), kWhite));
}

TEST(IsAttacked, KingHitLeavesAttackerSquareUnchanged) {
  Place({{"e2", kBlackKing}});
  attackerSquare[3] = 77;
  EXPECT_TRUE(Attacked(kE1, kBlack));
  ExpectRecord(77, 0);
}

TEST(IsAttacked, BishopBlockedThenOpenDiagonal) {
  Place({{"h4", kBlackBishop}, {"f2", kWhitePawn}});
  EXPECT_FALSE(Attacked(kE1, kBlack));
  Board.squares[SquareAt(6, 2)] = kEmpty;
  EXPECT_TRUE(Attacked(kE1, kBlack));
  ExpectRecord(84, 11);
}

TEST(IsAttacked, SlidersDoNotWrapAroundTheBoardEdge) {
  Place({{"a1", kWhiteRook}});
  EXPECT_FALSE(Attacked(SquareAt(8, 2), kWhite));  // h2
  EXPECT_TRUE(Attacked(SquareAt(8, 1), kWhite));   // h1
  Place({{"h1", kBlackQueen}});
  EXPECT_FALSE(Attacked(SquareAt(1, 3), kBlack));  // a3: not across the border
  EXPECT_TRUE(Attacked(SquareAt(1, 8), kBlack));   // a8 along the long diagonal
  EXPECT_EQ(attackDirection[3], 9);
}

TEST(IsAttacked, FirstAttackerInProbeOrderIsRecorded) {
  // Knight and rook both attack e1: the knight is found first.
  Place({{"d3", kBlackKnight}, {"e8", kBlackRook}});
  EXPECT_TRUE(Attacked(kE1, kBlack));
  ExpectRecord(43, 0);
  // Bishop before rook; among diagonals the step order -11, -9, 9, 11 decides (h4 is step +11 from e1, a5
  // step -9).
  Place({{"h4", kBlackBishop}, {"a5", kBlackQueen}, {"e8", kBlackRook}});
  EXPECT_TRUE(Attacked(kE1, kBlack));
  ExpectRecord(15, -9);
  // Of two knights the first in the order of the steps (c2 at -19 before f3 at +12).
  Place({{"f3", kBlackKnight}, {"c2", kBlackKnight}});
  EXPECT_TRUE(Attacked(kE1, kBlack));
  EXPECT_EQ(attackerSquare[3], 32);
  // A rook on a diagonal and a bishop on a file attack nothing along them.
  Place({{"h4", kBlackRook}, {"e8", kBlackBishop}});
  EXPECT_FALSE(Attacked(kE1, kBlack));
  // Nothing recorded on a miss.
  EmptyBoard();
  attackerSquare[3] = 12;
  attackDirection[3] = 34;
  EXPECT_FALSE(Attacked(kE1, kBlack));
  ExpectRecord(12, 34);
}

TEST(IsAttacked, SquareContentIsNotLookedAt) {
  Place({{"d8", kWhiteRook}, {"d4", kWhiteQueen}});  // d4 occupied by white itself
  EXPECT_TRUE(Attacked(SquareAt(4, 4), kWhite));
  EXPECT_EQ(attackerSquare[3], 48);
}

}  // namespace
}  // namespace kelb::test
