// The piece sets kept by make and unmake always describe the squares: after every move of random games
// (castling, en passant, promotions), after unmaking every reply, and after taking moves back.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "board/attack.h"
#include "board/game.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "support/board_test_util.h"

namespace kelb::test {
namespace {

// The sets rebuilt square by square, compared with the kept ones.
void ExpectSetsMatchSquares(const std::string& where) {
  uint64_t sets[13] = {};
  uint64_t occupied = 0;
  for (int file = 1; file <= 8; ++file)
    for (int rank = 1; rank <= 8; ++rank) {
      const int code = Board.squares[SquareAt(file, rank)];
      if (code == kEmpty) continue;
      const uint64_t bit = uint64_t{1} << (8 * (file - 1) + rank - 1);
      sets[code] |= bit;
      occupied |= bit;
    }
  for (int code = 1; code <= 12; ++code)
    EXPECT_EQ(Board.pieceSet[code], sets[code]) << where << ", code " << code;
  EXPECT_EQ(OccupiedSquares(), occupied) << where;
}

TEST(PieceSets, SquareBitsFollowFilesAndRanks) {
  EXPECT_EQ(SquareBit(kA1), uint64_t{1});
  EXPECT_EQ(SquareBit(SquareAt(1, 2)), uint64_t{1} << 1);
  EXPECT_EQ(SquareBit(kB1), uint64_t{1} << 8);
  EXPECT_EQ(SquareBit(kH8), uint64_t{1} << 63);
  EXPECT_EQ(SquareBit(SquareAt(0, 5)), uint64_t{0});  // border numbers have none
  EXPECT_EQ(SquareBit(SquareAt(4, 9)), uint64_t{0});
  for (int i = 0; i < 64; ++i) EXPECT_EQ(SquareBit(SquareOfBit(i)), uint64_t{1} << i);
  EXPECT_EQ(CountSquares(0), 0);
  EXPECT_EQ(CountSquares(0x8000000000000301ull), 4);
}

TEST(PieceSets, KeptThroughRandomGamesMovesRepliesAndTakeBacks) {
  static const char* const kStarts[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
      "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
  };
  std::mt19937 rng(2026);
  int castles = 0, enPassants = 0, promotions = 0, takeBacks = 0;
  for (int game = 0; game < 40; ++game) {
    const char* fen = kStarts[game % 5];
    ASSERT_TRUE(SetUpGame(fen)) << fen;
    ExpectSetsMatchSquares(fen);
    std::string line = fen;
    for (int ply = 0; ply < 80 && result == kResultNone && legalMoveCount > 0; ++ply) {
      // Every generated reply made and unmade at search level.
      inCheck[Board.ply] = IsAttacked(Board.king[Board.side], Board.xside);
      GenerateMoves(false);
      const int level = Board.makeDepth;
      for (int i = moveStart[level] + 1; i <= moveStart[level] + moveCount[level]; ++i) {
        Move& move = moveBuffer[i];
        const std::string here = line + " " + MoveToText(move);
        MakeMove(move);
        ExpectSetsMatchSquares(here);
        UnmakeMove(move);
        ExpectSetsMatchSquares("after unmaking " + here);
        if (::testing::Test::HasFailure()) return;
      }
      // One random legal move into the game, now and then taken back; the rare kinds are preferred.
      Move move = legalMoves[1 + rng() % legalMoveCount];
      for (int i = 1; i <= legalMoveCount; ++i)
        if ((MoveKind(legalMoves[i]) != kNormalMove || legalMoves[i].promotion != 0) && rng() % 2 == 0)
          move = legalMoves[i];
      const int kind = MoveKind(move);
      castles += kind == kCastleKingSide || kind == kCastleQueenSide;
      enPassants += kind == kEnPassant;
      promotions += move.promotion != 0;
      line += " " + MoveToText(move);
      ASSERT_TRUE(PlayMove(move)) << line;
      ExpectSetsMatchSquares(line);
      if (rng() % 4 == 0) {
        TakeBack();
        ++takeBacks;
        ExpectSetsMatchSquares(line + " taken back");
        line += " (taken back)";
        ASSERT_TRUE(PlayMove(move)) << line;
        ExpectSetsMatchSquares(line + " replayed");
      }
      if (::testing::Test::HasFailure()) return;
    }
  }
  // The random games went through every kind of move the sets treat apart.
  EXPECT_GT(castles, 0);
  EXPECT_GT(enPassants, 0);
  EXPECT_GT(promotions, 0);
  EXPECT_GT(takeBacks, 0);
}

}  // namespace
}  // namespace kelb::test
