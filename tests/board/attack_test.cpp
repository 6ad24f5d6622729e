// The attack test: hits, misses, probe order and the attacker record the evasion generator relies on.
#include "board/attack.h"

#include <gtest/gtest.h>

#include "support/board_test_util.h"

namespace kelb::test {
namespace {

// Places pieces on an empty board without building lists (the attack test reads the squares and the piece
// sets, which Attacked rebuilds from the squares before asking).
void EmptyBoard() {
  for (int s = kFirstSquareIndex; s <= kLastSquareIndex; ++s) Board.squares[s] = kEmpty;
  Board.ply = 3;
  attackerSquare[3] = -1;
  attackDirection[3] = -1;
}

bool Attacked(int square, int bySide) {
  RebuildPieceSets();
  return IsAttacked(square, bySide);
}

TEST(IsAttacked, RookAlongTheFileRecordsSquareAndStep) {
  EmptyBoard();
  Board.squares[kE1] = kWhiteKing;
  Board.squares[kE8] = kBlackRook;
  EXPECT_TRUE(Attacked(kE1, kBlack));
  EXPECT_EQ(attackerSquare[3], 58);
  EXPECT_EQ(attackDirection[3], 1);
  EXPECT_FALSE(Attacked(kE1, kWhite));
  Board.squares[SquareAt(5, 4)] = kWhitePawn;  // e4 blocks
  EXPECT_FALSE(Attacked(kE1, kBlack));
}

TEST(IsAttacked, PawnsAttackDiagonallyOnly) {
  EmptyBoard();
  Board.squares[SquareAt(4, 2)] = kBlackPawn;  // d2
  EXPECT_TRUE(Attacked(kE1, kBlack));
  EXPECT_EQ(attackerSquare[3], 42);
  EXPECT_EQ(attackDirection[3], 0);
  EmptyBoard();
  Board.squares[SquareAt(5, 2)] = kBlackPawn;  // e2
  EXPECT_FALSE(Attacked(kE1, kBlack));
  // A white pawn on d2 attacks e3 and c3, not e1.
  EmptyBoard();
  Board.squares[SquareAt(4, 2)] = kWhitePawn;
  EXPECT_FALSE(Attacked(kE1, kWhite));
  EXPECT_TRUE(Attacked(SquareAt(5, 3), kWhite));
  EXPECT_TRUE(Attacked(SquareAt(3, 3), kWhite));
}

TEST(IsAttacked, KingHitLeavesAttackerSquareUnchanged) {
  EmptyBoard();
  Board.squares[SquareAt(5, 2)] = kBlackKing;
  attackerSquare[3] = 77;
  EXPECT_TRUE(Attacked(kE1, kBlack));
  EXPECT_EQ(attackDirection[3], 0);
  EXPECT_EQ(attackerSquare[3], 77);
}

TEST(IsAttacked, BishopBlockedThenOpenDiagonal) {
  EmptyBoard();
  Board.squares[SquareAt(8, 4)] = kBlackBishop;  // h4
  Board.squares[SquareAt(6, 2)] = kWhitePawn;    // f2
  EXPECT_FALSE(Attacked(kE1, kBlack));
  Board.squares[SquareAt(6, 2)] = kEmpty;
  EXPECT_TRUE(Attacked(kE1, kBlack));
  EXPECT_EQ(attackerSquare[3], 84);
  EXPECT_EQ(attackDirection[3], 11);
}

TEST(IsAttacked, SlidersDoNotWrapAroundTheBoardEdge) {
  EmptyBoard();
  Board.squares[kA1] = kWhiteRook;
  EXPECT_FALSE(Attacked(SquareAt(8, 2), kWhite));  // h2
  EXPECT_TRUE(Attacked(SquareAt(8, 1), kWhite));   // h1
  EmptyBoard();
  Board.squares[SquareAt(8, 1)] = kBlackQueen;     // h1
  EXPECT_FALSE(Attacked(SquareAt(1, 3), kBlack));  // a3: not across the border
  EXPECT_TRUE(Attacked(SquareAt(1, 8), kBlack));   // a8 along the long diagonal
  EXPECT_EQ(attackDirection[3], 9);
}

TEST(IsAttacked, FirstAttackerInProbeOrderIsRecorded) {
  // Knight and rook both attack e1: the knight is found first.
  EmptyBoard();
  Board.squares[SquareAt(4, 3)] = kBlackKnight;  // d3
  Board.squares[kE8] = kBlackRook;
  EXPECT_TRUE(Attacked(kE1, kBlack));
  EXPECT_EQ(attackerSquare[3], 43);
  EXPECT_EQ(attackDirection[3], 0);
  // Bishop before rook; among diagonals the step order -11, -9, 9, 11 decides.
  EmptyBoard();
  Board.squares[SquareAt(8, 4)] = kBlackBishop;  // h4, step +11
  Board.squares[SquareAt(1, 5)] = kBlackQueen;   // a5, step -9 from e1
  Board.squares[kE8] = kBlackRook;
  EXPECT_TRUE(Attacked(kE1, kBlack));
  EXPECT_EQ(attackerSquare[3], 15);
  EXPECT_EQ(attackDirection[3], -9);
  // Of two knights the first in the order of the steps (c2 at -19 before f3 at +12).
  EmptyBoard();
  Board.squares[SquareAt(6, 3)] = kBlackKnight;  // f3
  Board.squares[SquareAt(3, 2)] = kBlackKnight;  // c2
  EXPECT_TRUE(Attacked(kE1, kBlack));
  EXPECT_EQ(attackerSquare[3], 32);
  // A rook on a diagonal and a bishop on a file attack nothing along them.
  EmptyBoard();
  Board.squares[SquareAt(8, 4)] = kBlackRook;  // h4
  Board.squares[kE8] = kBlackBishop;
  EXPECT_FALSE(Attacked(kE1, kBlack));
  // Nothing recorded on a miss.
  EmptyBoard();
  attackerSquare[3] = 12;
  attackDirection[3] = 34;
  EXPECT_FALSE(Attacked(kE1, kBlack));
  EXPECT_EQ(attackerSquare[3], 12);
  EXPECT_EQ(attackDirection[3], 34);
}

TEST(IsAttacked, SquareContentIsNotLookedAt) {
  EmptyBoard();
  Board.squares[SquareAt(4, 8)] = kWhiteRook;   // d8
  Board.squares[SquareAt(4, 4)] = kWhiteQueen;  // d4 occupied by white itself
  EXPECT_TRUE(Attacked(SquareAt(4, 4), kWhite));
  EXPECT_EQ(attackerSquare[3], 48);
}

}  // namespace
}  // namespace kelb::test
