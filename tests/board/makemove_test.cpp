// Make/unmake restore every field of the Board, and the incremental key always equals a fresh one.
#include "board/makemove.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/attack.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "driver/config.h"
#include "support/board_test_util.h"

namespace kelb::test {
namespace {

const char* const kPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
    "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "4k3/1P6/8/8/8/8/6p1/4K2R w K - 0 1",
};

// Checks the lists against the squares and the material and key against fresh counts.
void ExpectBoardIntact(const std::string& where) {
  const uint32_t key = Board.key;
  EXPECT_EQ(key, KeyFromScratch()) << where;
  const BoardRecord before = Board;
  CountMaterial();
  EXPECT_EQ(BoardDifference(before, Board), "") << where;
  Board = before;
}

// Makes and unmakes every generated move (both modes) down to the given depth, checking each step.
void Walk(int depth, const std::string& line) {
  for (int capturesOnly = 0; capturesOnly <= 1; ++capturesOnly) {
    const int ply = Board.ply;
    inCheck[ply] = IsAttacked(Board.king[Board.side], Board.xside);
    GenerateMoves(capturesOnly != 0);
    const int level = Board.makeDepth;
    for (int i = moveStart[level] + 1; i <= moveStart[level] + moveCount[level]; ++i) {
      Move& move = moveBuffer[i];
      const Move copy = move;
      const BoardRecord before = Board;
      const std::string here = line + " " + MoveToText(move);
      MakeMove(move);
      ASSERT_EQ(Board.makeDepth, before.makeDepth + 1);
      ASSERT_EQ(currentMove[ply], &move);
      ExpectBoardIntact(here);
      const bool legal = !IsAttacked(Board.king[Board.xside], Board.side);
      // The search's cheap legality test agrees with the full attack test on every move.
      EXPECT_EQ(MoveLeftKingAttacked(move, inCheck[ply] != 0), !legal) << here;
      if (legal) {
        // The search's cheap check test after a move agrees with the full attack test.
        EXPECT_EQ(InCheckAfter(move), IsAttacked(Board.king[Board.side], Board.xside)) << here;
        // A legal move leaves a position the consistency check accepts.
        engineState.mode = EngineMode::Force;
        CheckConsistency();
        EXPECT_NE(engineState.mode, EngineMode::Halted) << here;
        if (depth > 1 && capturesOnly == 0) {
          ++Board.ply;
          Walk(depth - 1, here);
          --Board.ply;
        }
      }
      UnmakeMove(move);
      ASSERT_EQ(BoardDifference(before, Board), "") << "after unmaking" << here;
      ASSERT_EQ(std::memcmp(&copy, &move, sizeof move), 0) << here;
    }
  }
}

TEST(MakeMove, EveryMoveOfManyPositionsIsRestoredExactly) {
  for (const char* fen : kPositions) {
    ASSERT_TRUE(SetUpPosition(fen)) << fen;
    ExpectBoardIntact(fen);
    Walk(3, fen);
  }
}

// The search's prefetch keys fold in the captured piece's key without testing for a capture: the row of
// the empty code must be all zeros, also after the tables are rebuilt.
TEST(MakeMove, EmptySquareCodeHasNoKeys) {
  for (int round = 0; round < 2; ++round) {
    for (int square = 0; square < kPieceKeyRow; ++square) ASSERT_EQ(pieceKey[kEmpty][square], 0u) << square;
    for (int code = 1; code <= 12; ++code) EXPECT_NE(pieceKey[code][kE1], 0u) << code;
    InitKeys();
  }
}

TEST(MakeMove, NullMovePassesTheTurnAndRestores) {
  ASSERT_TRUE(SetUpPosition("rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2"));
  ASSERT_EQ(Board.epFile, 4);
  const BoardRecord before = Board;
  MakeNullMove();
  EXPECT_EQ(Board.side, kBlack);
  EXPECT_EQ(Board.epFile, 0);
  EXPECT_EQ(Board.key, before.key ^ sideKey);
  EXPECT_EQ(Board.key, KeyFromScratch());
  EXPECT_EQ(fiftyHistory[1], fiftyHistory[0] + 1);
  const Move& null = *currentMove[1];
  EXPECT_EQ(&null, &moveBuffer[moveStart[0] + 1]);
  EXPECT_EQ(moveCount[0], 1);
  EXPECT_EQ(null.from, 0);
  EXPECT_EQ(null.pieceSlot, 1);
  EXPECT_EQ(null.epBefore, 4);
  UnmakeNullMove();
  EXPECT_EQ(BoardDifference(before, Board), "");
}

Move FindMove(const std::string& text) {
  Board.ply = 1;
  inCheck[1] = IsAttacked(Board.king[Board.side], Board.xside);
  GenerateMoves(false);
  for (int i = moveStart[0] + 1; i <= moveStart[0] + moveCount[0]; ++i) {
    if (MoveToText(moveBuffer[i]) == text) return moveBuffer[i];
  }
  return Move{};
}

TEST(MakeMove, EnPassantFileOnlyWhenAnEnemyPawnIsBeside) {
  ASSERT_TRUE(SetUpPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  Move e4 = FindMove("e2e4");
  MakeMove(e4);
  EXPECT_EQ(Board.epFile, 0);
  UnmakeMove(e4);

  // 1.d4 Nf6 2.d5: the search's e7e5 can be taken en passant.
  ASSERT_TRUE(SetUpPosition("rnbqkb1r/pppppppp/5n2/3P4/8/8/PPP1PPPP/RNBQKBNR b KQkq - 0 2"));
  Move e5 = FindMove("e7e5");
  MakeMove(e5);
  EXPECT_EQ(Board.epFile, 5);
  UnmakeMove(e5);
}

TEST(MakeMove, AfterASideSwitchNoEnPassantIsGeneratedAndEveryMoveRestores) {
  // Black's e-pawn stands where an en-passant capture would take "the pawn on e4": a stale right would
  // remove it from the lists while the board kept it.
  ASSERT_TRUE(SetUpGame("4k3/4p3/8/3P4/8/8/4P3/4K3 w - - 0 1"));
  ASSERT_TRUE(PlayText("e2e4"));
  ASSERT_EQ(Board.epFile, 5);
  SetSideToMove(kWhite);
  ASSERT_EQ(Board.epFile, 0);
  for (int capturesOnly = 0; capturesOnly <= 1; ++capturesOnly) {
    Board.ply = 1;
    inCheck[1] = IsAttacked(Board.king[Board.side], Board.xside);
    GenerateMoves(capturesOnly != 0);
    for (int i = moveStart[0] + 1; i <= moveStart[0] + moveCount[0]; ++i) {
      Move& move = moveBuffer[i];
      const std::string text = MoveToText(move);
      EXPECT_NE(MoveKind(move), kEnPassant) << text;
      const BoardRecord before = Board;
      MakeMove(move);
      if (!IsAttacked(Board.king[Board.xside], Board.side)) {
        engineState.mode = EngineMode::Force;
        CheckConsistency();
        EXPECT_NE(engineState.mode, EngineMode::Halted) << text;
      }
      UnmakeMove(move);
      EXPECT_EQ(BoardDifference(before, Board), "") << text;
    }
  }
  ResetEngineMode();
}

TEST(MakeMove, PromotionWithCaptureKeepsListsAndMaterial) {
  ASSERT_TRUE(SetUpPosition("1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1"));
  Move m = FindMove("a7b8q");
  ASSERT_NE(m.from, 0);
  const BoardRecord before = Board;
  MakeMove(m);
  EXPECT_EQ(Board.knights[kBlack][1], 0);
  EXPECT_EQ(Board.knightCount[kBlack], 1);
  EXPECT_EQ(Board.pawns[kWhite][m.pieceSlot], 0);
  EXPECT_EQ(Board.queenCount[kWhite], 1);
  EXPECT_EQ(Board.queens[kWhite][1], 28);
  EXPECT_EQ(Board.pawnMaterial[kWhite], 0);
  EXPECT_EQ(Board.pieceMaterial[kWhite], 900);
  EXPECT_EQ(Board.pieceMaterial[kBlack], 0);
  UnmakeMove(m);
  EXPECT_EQ(BoardDifference(before, Board), "");
  EXPECT_EQ(Board.queenCount[kWhite], 0);
}

TEST(MakeMove, PromotionBeyondTheSetUpLimitOfAKindStaysInsideTheList) {
  // Ten knights is the most a set-up allows; a promotion appends an eleventh slot.
  ASSERT_TRUE(SetUpPosition("4k3/P7/8/8/NNNNN3/NNNNN3/8/4K3 w - - 0 1"));
  const BoardRecord before = Board;
  Move m = FindMove("a7a8n");
  ASSERT_NE(m.from, 0);
  MakeMove(m);
  EXPECT_EQ(Board.knightCount[kWhite], 11);
  EXPECT_EQ(Board.knights[kWhite][11], kA8);
  EXPECT_EQ(Board.bishopCount[kWhite], 0);
  EXPECT_EQ(Board.bishops[kWhite][0], 0);
  engineState.mode = EngineMode::Force;
  CheckConsistency();
  EXPECT_EQ(engineState.mode, EngineMode::Force);
  UnmakeMove(m);
  EXPECT_EQ(BoardDifference(before, Board), "");
}

TEST(MakeMove, CastlingRightsFollowKingRookAndCornerCaptures) {
  ASSERT_TRUE(SetUpPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
  Move king = FindMove("e1f1");
  MakeMove(king);
  EXPECT_EQ(Board.kingSideLost[kWhite], 1);
  EXPECT_EQ(Board.queenSideLost[kWhite], 1);
  UnmakeMove(king);
  Move rook = FindMove("a1b1");
  MakeMove(rook);
  EXPECT_EQ(Board.queenSideLost[kWhite], 1);
  EXPECT_EQ(Board.kingSideLost[kWhite], 0);
  UnmakeMove(rook);
  Move takeH8 = FindMove("h1h8");
  MakeMove(takeH8);
  EXPECT_EQ(Board.kingSideLost[kBlack], 1);
  EXPECT_EQ(Board.queenSideLost[kBlack], 0);
  EXPECT_EQ(Board.kingSideLost[kWhite], 1);  // the h1 rook (slot 2) has moved
  UnmakeMove(takeH8);
  EXPECT_EQ(Board.kingSideLost[kBlack], 0);
  EXPECT_EQ(Board.kingSideLost[kWhite], 0);
}

TEST(MakeMove, UnmakeRestoresEveryCombinationOfCastlingRights) {
  // Kings and rooks at home, each of the 16 sets of rights, either side to move: every king move, rook
  // move, castling and corner capture takes rights away, and the unmake gives back exactly those before.
  for (int rights = 0; rights < 16; ++rights) {
    std::string field;
    if (rights & 8) field += 'K';
    if (rights & 4) field += 'Q';
    if (rights & 2) field += 'k';
    if (rights & 1) field += 'q';
    if (field.empty()) field = "-";
    for (const char* side : {"w", "b"}) {
      const std::string fen = std::string("r3k2r/8/8/8/8/8/8/R3K2R ") + side + " " + field + " - 0 1";
      ASSERT_TRUE(SetUpPosition(fen)) << fen;
      const uint8_t flagsBefore = CastlingFlags();
      Board.ply = 1;
      inCheck[1] = 0;
      GenerateMoves(false);
      int changed = 0;
      for (int i = moveStart[0] + 1; i <= moveStart[0] + moveCount[0]; ++i) {
        const BoardRecord before = Board;
        MakeMove(moveBuffer[i]);
        changed += CastlingFlags() != flagsBefore;
        UnmakeMove(moveBuffer[i]);
        ASSERT_EQ(BoardDifference(before, Board), "") << fen << " " << MoveToText(moveBuffer[i]);
        ASSERT_EQ(CastlingFlags(), flagsBefore) << fen << " " << MoveToText(moveBuffer[i]);
      }
      // Any right kept is lost by some move (the king's steps at least).
      EXPECT_EQ(changed > 0, rights != 0) << fen;
    }
  }
}

TEST(MakeMove, HalfmoveCountResetsOnPawnMovesAndCapturesOnly) {
  ASSERT_TRUE(SetUpPosition("r3k2r/8/8/8/8/8/4P3/R3K2R w KQkq - 0 1"));
  fiftyHistory[0] = 7;
  Move castle = FindMove("e1g1");
  MakeMove(castle);
  EXPECT_EQ(fiftyHistory[1], 8);
  UnmakeMove(castle);
  Move push = FindMove("e2e3");
  MakeMove(push);
  EXPECT_EQ(fiftyHistory[1], 0);
  UnmakeMove(push);
  Move capture = FindMove("a1a8");
  MakeMove(capture);
  EXPECT_EQ(fiftyHistory[1], 0);
  UnmakeMove(capture);
}

}  // namespace
}  // namespace kelb::test
