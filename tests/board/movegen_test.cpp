// Generation order, modes, filters and ordering scores, and the sorting utilities.
#include "board/movegen.h"

#include <gtest/gtest.h>

#include <string>

#include "board/attack.h"
#include "board/movetext.h"
#include "search/ordering.h"
#include "support/board_test_util.h"

namespace kelb::test {
namespace {

// Generates at level 0, ply 1, with the in-check record made as the search makes it.
void Generate(bool capturesOnly) {
  Board.ply = 1;
  inCheck[1] = IsAttacked(Board.king[Board.side], Board.xside);
  GenerateMoves(capturesOnly);
}

const Move* Find(const std::string& text) {
  for (int i = moveStart[Board.makeDepth] + 1; i <= moveStart[Board.makeDepth] + moveCount[Board.makeDepth];
       ++i) {
    if (MoveToText(moveBuffer[i]) == text) return &moveBuffer[i];
  }
  return nullptr;
}

int ScoreOf(const std::string& text) {
  const Move* m = Find(text);
  EXPECT_NE(m, nullptr) << text;
  return m ? m->score : -99999;
}

TEST(GenerateMoves, StartPositionOrder) {
  ASSERT_TRUE(SetUpPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  Generate(false);
  EXPECT_EQ(
      GeneratedMovesText(),
      "b1a3 b1c3 g1f3 g1h3 a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4");
  EXPECT_EQ(moveStart[0], 0);
  const Move* a4 = Find("a2a4");
  EXPECT_EQ(a4->piece, kWhitePawn);
  EXPECT_EQ(a4->pieceSlot, 1);
  EXPECT_EQ(a4->flags, 0);
  EXPECT_EQ(a4->epBefore, 0);
  Generate(true);
  EXPECT_EQ(moveCount[0], 0);
}

TEST(GenerateMoves, KindOrderKingCastlingKnightsBishopsRooksQueensPawns) {
  ASSERT_TRUE(SetUpPosition("4k3/8/8/8/5N2/8/3P4/R1BQK2R w K - 0 1"));
  Generate(false);
  EXPECT_EQ(GeneratedMovesText(),
            "e1f2 e1e2 e1f1 e1g1 f4d3 f4d5 f4e2 f4e6 f4g2 f4g6 f4h3 f4h5 c1b2 c1a3 "
            "a1a2 a1a3 a1a4 a1a5 a1a6 a1a7 a1a8 a1b1 h1g1 h1f1 h1h2 h1h3 h1h4 h1h5 h1h6 h1h7 h1h8 "
            "d1c2 d1b3 d1a4 d1e2 d1f3 d1g4 d1h5 d2d3 d2d4");
  EXPECT_EQ(ScoreOf("e1g1"), 1);
  ASSERT_NE(Find("e1g1"), nullptr);
  EXPECT_EQ(Find("e1g1")->flags & kMoveKindMask, kCastleKingSide);
  EXPECT_EQ(Find("e1g1")->flags & ~kMoveKindMask,
            kFlagWhiteQueenSideLost | kFlagBlackKingSideLost | kFlagBlackQueenSideLost);
}

TEST(GenerateMoves, CapturesModeKeepsCapturesQueenPromotionsAndEnPassant) {
  ASSERT_TRUE(SetUpPosition("3rk3/4P3/8/3pP3/8/8/8/4K3 w - d6 0 1"));
  Generate(true);
  EXPECT_EQ(GeneratedMovesText(), "e5d6 e7d8q");
  Generate(false);
  EXPECT_EQ(GeneratedMovesText(), "e1d2 e1f2 e1d1 e1e2 e1f1 e5e6 e5d6 e7d8q e7d8r e7d8b e7d8n");
  ASSERT_TRUE(SetUpPosition("4k3/4P3/8/8/8/8/8/4K3 w - - 0 1"));
  Generate(true);
  EXPECT_EQ(GeneratedMovesText(), "");  // the push is blocked
  ASSERT_TRUE(SetUpPosition("k7/4P3/8/8/8/8/8/4K3 w - - 0 1"));
  Generate(true);
  EXPECT_EQ(GeneratedMovesText(), "e7e8q");
  EXPECT_EQ(ScoreOf("e7e8q"), 710);
}

// The captures, en passant moves and queen promotions of the full generation, in its order, against the
// capture generation's list, for a position whose side to move is not in check.
void ExpectCapturesModeMatchesTheFullList(const char* fen) {
  ASSERT_TRUE(SetUpPosition(fen)) << fen;
  ASSERT_FALSE(IsAttacked(Board.king[Board.side], Board.xside)) << fen;
  Generate(false);
  std::string expected;
  for (int i = 1; i <= moveCount[0]; ++i) {
    const Move& m = moveBuffer[moveStart[0] + i];
    const bool queening = m.promotion != 0 && pieceType[m.promotion] == kQueen;
    if (m.promotion != 0 ? queening : m.captured != kEmpty) expected += MoveToText(m) + " ";
  }
  Generate(true);
  std::string captures;
  for (int i = 1; i <= moveCount[0]; ++i) captures += MoveToText(moveBuffer[moveStart[0] + i]) + " ";
  EXPECT_EQ(captures, expected) << fen;
}

// The capture generation walks the sliders' lines on its own: it must give exactly the captures, en passant
// and queen promotions of the full generation, in the same order, with lines that end on the border, on an
// own piece and on an enemy piece at every distance.
TEST(GenerateMoves, CapturesModeIsTheFullListsCapturesInOrder) {
  const char* const positions[] = {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1",
      "q4r1k/1P4bp/8/3Q4/8/1b3B2/6p1/R3K2R w KQ - 0 1",
      "Q7/8/2n2r2/7b/B1Rq1p2/8/2b3N1/4K2k w - - 0 1",
      "7k/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
      "rnbqkbnr/pppp1ppp/8/4p3/3P4/8/PPP1PPPP/RNBQKBNR b KQkq - 0 2",
  };
  for (const char* fen : positions) {
    ExpectCapturesModeMatchesTheFullList(fen);
    EXPECT_NE(moveCount[0], 0) << fen;
  }
}

// The capture generation passes over pieces and lines that reach no enemy piece, and over the pawns when
// none can take or promote: enemy pieces only behind own ones or on squares a piece does not reach, pawn
// captures on the edge files (where a column carried over into the next one would show), pawns facing
// enemy pieces straight ahead, and positions with nothing at all to take.
TEST(GenerateMoves, CapturesModeSkipsOnlyWhatReachesNoEnemyPiece) {
  const char* const positions[] = {
      "4k3/8/8/8/8/2P5/1P6/B3K2n w - - 0 1",  // the bishop's diagonal is shut by its own pawns
      "4k3/7p/8/8/8/8/P7/4K3 w - - 0 1",      // a- and h-pawns, nothing to take
      "4k3/8/8/1p6/P6p/6P1/8/4K3 w - - 0 1",  // a4xb5 and g3xh4 on the edge files
      "4k3/8/8/1p6/P6p/6P1/8/4K3 b - - 0 1",  // b5xa4 and h4xg3 for Black
      "4k3/8/p6p/P6P/8/8/8/4K3 w - - 0 1",    // pawns blocked head on: no capture
      "4k3/p7/8/8/8/8/7P/4K3 w - - 0 1",      // no wrap from h2 onto a-file squares
      "7k/8/8/8/3N4/8/8/n3K3 w - - 0 1",      // a knight and a king with no enemy on their squares
      "r3k3/8/8/8/8/8/P6K/R7 w - - 0 1",      // an enemy rook on the file behind an own pawn
      "4k3/1P6/8/8/8/8/8/4K3 w - - 0 1",      // a promotion without a capture
      "4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1",    // en passant is the only capture
  };
  for (const char* fen : positions) ExpectCapturesModeMatchesTheFullList(fen);
}

TEST(GenerateMoves, CastlingNeedsEmptyAndUnattackedTransitSquares) {
  struct Case {
    const char* fen;
    const char* castling;
    bool generated;
    const char* why;
  };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", true, "free king side"},
      {"4k3/8/8/8/2b5/8/8/4K2R w K - 0 1", "e1g1", false, "bishop c4 attacks f1"},
      {"4k3/8/8/8/8/8/6b1/4K2R w K - 0 1", "e1g1", false, "bishop g2 attacks h1 and f1"},
      {"4k3/8/8/8/8/8/7b/4K2R w K - 0 1", "e1g1", false, "h2 bishop attacks g1: refused"},
      {"4k3/8/8/8/4b3/8/8/4K2R w K - 0 1", "e1g1", true, "e4 bishop attacks h1 only"},
      // Queen side: b1 must be empty but may be attacked.
      {"4k3/8/8/8/8/8/8/R3K3 w Q - 0 1", "e1c1", true, "free queen side"},
      {"4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1", "e1c1", false, "knight on b1"},
      {"1r2k3/8/8/8/8/8/8/R3K3 w Q - 0 1", "e1c1", true, "rook b8 attacks b1"},
      // Never out of check.
      {"4k3/4r3/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1", false, "in check"},
      {"4k3/4r3/8/8/8/8/8/R3K2R w KQ - 0 1", "e1c1", false, "in check"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fen) + " " + c.castling + ": " + c.why);
    ASSERT_TRUE(SetUpPosition(c.fen));
    Generate(false);
    EXPECT_EQ(Find(c.castling) != nullptr, c.generated);
  }
}

TEST(GenerateMoves, KnightCheckAllowsOnlyKingMovesCapturesOfTheKnightAndEnPassant) {
  ASSERT_TRUE(SetUpPosition("4k3/8/8/8/8/3n4/8/R3KB1R w KQ - 0 1"));
  Generate(false);
  std::string others;
  for (int i = 1; i <= moveCount[0]; ++i) {
    const Move& m = moveBuffer[i];
    if (m.piece != kWhiteKing) others += MoveToText(m);
  }
  EXPECT_EQ(others, "f1d3");
  // The pawn that gives check after a double step is taken en passant; the mask holds only d4.
  ASSERT_TRUE(SetUpPosition("8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1"));
  Generate(false);
  EXPECT_NE(Find("e4d3"), nullptr);
  EXPECT_EQ(ScoreOf("e4d3"), 90);
  EXPECT_EQ(Find("e4d3")->captured, kWhitePawn);
  EXPECT_EQ(Find("e4d3")->capturedSlot, 4);
}

TEST(GenerateMoves, SliderCheckMaskCoversTheLineAndTheTrialVerifiesTheFirstTwoMoves) {
  // Bishop b4 checks e1 over c3 and d2: only blocks there or the capture pass the mask. The king's step
  // into the line (d2) is the first candidate and the trial drops it.
  ASSERT_TRUE(SetUpPosition("4k3/8/8/8/1b6/8/8/1N2K3 w - - 0 1"));
  Generate(false);
  EXPECT_EQ(attackDirection[1], -9);
  EXPECT_EQ(evasionMask[SquareAt(2, 4)], 1);
  EXPECT_EQ(evasionMask[SquareAt(3, 3)], 1);
  EXPECT_EQ(evasionMask[SquareAt(4, 2)], 1);
  EXPECT_EQ(evasionMask[kE1], 0);
  EXPECT_EQ(evasionMask[SquareAt(1, 3)], 0);
  EXPECT_EQ(GeneratedMovesText(), "e1f2 e1d1 e1e2 e1f1 b1c3 b1d2");
}

TEST(GenerateMoves, DoubleCheckMasksTheFirstAttackerAndTrialsOnlyTheFirstTwoMoves) {
  // Knight f2 and rook a1 both check h1. The knight is found first; g1 is dropped by the trial (rook),
  // g2 and h2 are verified, and the rook capture on f2 comes after two stored moves, unverified.
  ASSERT_TRUE(SetUpPosition("5R2/k7/8/8/8/8/5n2/r6K w - - 0 1"));
  Generate(false);
  EXPECT_EQ(evasionMask[SquareAt(6, 2)], 1);
  EXPECT_EQ(evasionMask[kA1], 0);
  EXPECT_EQ(GeneratedMovesText(), "h1g2 h1h2 f8f2");
}

TEST(GenerateMoves, CaptureAndOrderingScores) {
  // Knight takes queen, pawn takes rook, a quiet knight move.
  ASSERT_TRUE(SetUpPosition("4k3/8/8/3q4/1r6/2P1N3/8/4K3 w - - 0 1"));
  Generate(false);
  EXPECT_EQ(ScoreOf("e3d5"), 900 - 30 + 200);
  EXPECT_EQ(ScoreOf("c3b4"), 500 - 10 + 200);
  EXPECT_EQ(ScoreOf("e3c2"), 0);
  // A quiet knight move to a square guarded by an enemy pawn.
  ASSERT_TRUE(SetUpPosition("4k3/8/8/8/3p4/8/8/1N2K3 w - - 0 1"));
  Generate(false);
  EXPECT_EQ(ScoreOf("b1c3"), 0 - 300 + 85);
  EXPECT_EQ(ScoreOf("b1a3"), 0);
  // A queen taking a defended pawn: the pawn guard replaces the capture score.
  ASSERT_TRUE(SetUpPosition("4k3/2p5/3p4/8/8/8/8/3QK3 w - - 0 1"));
  Generate(false);
  EXPECT_EQ(ScoreOf("d1d6"), 100 - 900 + 85);
  EXPECT_EQ(ScoreOf("d1d5"), 0);
}

TEST(GenerateMoves, SearchStateAdjustsScores) {
  ASSERT_TRUE(SetUpPosition("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1"));
  Board.ply = 2;
  Move previous{};
  previous.to = SquareAt(3, 3);  // c3
  currentMove[1] = &previous;
  hashMoveFrom[2] = 21;
  hashMoveTo[2] = 13;                          // b1a3
  killer1[2] = {51, 61};                       // e1f1
  killer2[2] = {51, 41};                       // e1d1
  killer3[2] = {51, 52};                       // e1e2
  history[kWhiteKnight][SquareAt(4, 2)] = 12;  // d2
  historyShift = 2;
  inCheck[2] = 0;
  GenerateMoves(false);
  EXPECT_EQ(ScoreOf("b1a3"), 2000);
  EXPECT_EQ(ScoreOf("b1c3"), 242);
  EXPECT_EQ(ScoreOf("b1d2"), 3);
  EXPECT_EQ(ScoreOf("e1f1"), 220);
  EXPECT_EQ(ScoreOf("e1d1"), 200);
  EXPECT_EQ(ScoreOf("e1e2"), 2);
  hashMoveFrom[2] = hashMoveTo[2] = 0;
  killer1[2] = killer2[2] = killer3[2] = SquarePair{0, 0};
  history[kWhiteKnight][SquareAt(4, 2)] = 0;
  historyShift = 0;
  currentMove[1] = nullptr;
}

// The pawn guard for a black mover (white pawns on the edge files), and the hash and killer bonuses given
// to the move itself only, not to another piece going to the same square.
TEST(GenerateMoves, GuardAndBonusesBelongToTheirSquaresAndMoves) {
  ASSERT_TRUE(SetUpPosition("4k3/8/8/8/8/8/P6P/2n1K3 b - - 0 1"));
  Generate(false);
  EXPECT_EQ(ScoreOf("c1b3"), 0 - 300 + 85);  // guarded by the a2 pawn
  EXPECT_EQ(ScoreOf("c1d3"), 0);
  EXPECT_EQ(ScoreOf("c1a2"), 100 - 30);  // the pawn it takes is not guarded

  ASSERT_TRUE(SetUpPosition("4k3/8/8/8/8/8/8/RN2K3 w - - 0 1"));
  Board.ply = 2;
  currentMove[1] = nullptr;
  hashMoveFrom[2] = 21;
  hashMoveTo[2] = 13;     // b1a3
  killer1[2] = {11, 12};  // a1a2
  killer2[2] = {51, 52};  // e1e2
  killer3[2] = {0, 0};
  inCheck[2] = 0;
  GenerateMoves(false);
  EXPECT_EQ(ScoreOf("b1a3"), 2000);
  EXPECT_EQ(ScoreOf("a1a3"), 0);  // the hash move's square, another piece
  EXPECT_EQ(ScoreOf("a1a2"), 220);
  EXPECT_EQ(ScoreOf("e1e2"), 200);
  EXPECT_EQ(ScoreOf("e1d2"), 0);
  hashMoveFrom[2] = hashMoveTo[2] = 0;
  killer1[2] = killer2[2] = SquarePair{0, 0};
}

TEST(GenerateMoves, ChecksOnlyFilterKeepsCapturesQueenPromotionsAndChecks) {
  ASSERT_TRUE(SetUpPosition("4k3/1P6/8/8/8/6n1/2p5/R3KB1N w Q - 0 1"));
  Board.ply = 1;
  inCheck[1] = 0;
  checksOnly[1] = 1;
  GenerateMoves(false);
  checksOnly[1] = 0;
  // A capture, the bishop's and the rook's checks, the queen promotion (not the rook promotion, although it
  // checks: the filter looks at the pawn); quiet king moves and castling never pass.
  EXPECT_EQ(GeneratedMovesText(), "h1g3 f1b5 a1a8 b7b8q");
  EXPECT_EQ(checkMask[SquareAt(4, 7)], 40 | 2);  // d7: diagonal next to the king, and a white pawn square
  EXPECT_EQ(checkMask[SquareAt(6, 6)], 4);       // f6: knight square
  EXPECT_EQ(checkMask[SquareAt(5, 1)], 48);      // e1: the file down to the first piece
}

TEST(GenerateMoves, FutilityFilterKeepsMovesNearTheEnemyKing) {
  ASSERT_TRUE(SetUpPosition("7k/8/8/8/8/8/8/R3K3 w Q - 0 1"));
  Board.ply = 1;
  inCheck[1] = 0;
  futilityThreshold = 1;
  GenerateMoves(false);
  futilityThreshold = 0;
  // Only the rook move onto the h8 king's rank remains; quiet king moves never pass; castling is not a
  // normal move and is not filtered.
  EXPECT_EQ(GeneratedMovesText(), "e1c1 a1a8");

  // A threshold of zero or below drops nothing: no piece value is below it. The list, scores included, is
  // the one of the filter switched off, in both modes.
  auto listWithScores = [](bool capturesOnly, int32_t threshold) {
    futilityThreshold = threshold;
    Generate(capturesOnly);
    futilityThreshold = 0;
    std::string text = GeneratedMovesText();
    for (int i = 1; i <= moveCount[0]; ++i) text += " " + std::to_string(moveBuffer[moveStart[0] + i].score);
    return text;
  };
  ASSERT_TRUE(SetUpPosition("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"));
  for (bool capturesOnly : {false, true}) {
    const std::string off = listWithScores(capturesOnly, 0);
    const std::string negative = listWithScores(capturesOnly, -250);
    EXPECT_EQ(negative, off) << capturesOnly;
  }
}

TEST(GenerateMoves, LevelsStackAndTheBufferEndIsNeverPassed) {
  ASSERT_TRUE(SetUpPosition("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"));
  Generate(false);
  Board.makeDepth = 1;
  GenerateMoves(false);
  EXPECT_EQ(moveStart[1], 20);
  EXPECT_EQ(moveCount[1], 20);

  moveStart[0] = kMoveBufferSize - 12;
  moveCount[0] = 2;
  const int overflowsBefore = moveBufferOverflows;
  GenerateMoves(false);
  EXPECT_EQ(moveStart[1], kMoveBufferSize - 10);
  EXPECT_EQ(moveCount[1], 10);
  EXPECT_EQ(moveBufferOverflows - overflowsBefore, 10);
  EXPECT_EQ(MoveToText(moveBuffer[kMoveBufferSize]), "c2c4");
  Board.makeDepth = 0;
  moveStart[0] = 0;
}

TEST(GenerateMoves, AtTheBufferEndTheEvasionTrialStillCountsOnlyStoredMoves) {
  // Double check (knight f2, rook a1): h1g1 fails the trial, h1g2 and h1h2 pass it, and f8f2 is stored
  // untried after two moves (see above). With room for one move or none the trial keeps running, since
  // fewer than two moves are stored, and drops f8f2 instead of counting it as a move that did not fit.
  ASSERT_TRUE(SetUpPosition("5R2/k7/8/8/8/8/5n2/r6K w - - 0 1"));
  Board.makeDepth = 1;
  for (int room : {1, 0}) {
    moveStart[0] = kMoveBufferSize - room - 2;
    moveCount[0] = 2;
    const int overflowsBefore = moveBufferOverflows;
    Generate(false);
    EXPECT_EQ(moveStart[1], kMoveBufferSize - room) << room;
    EXPECT_EQ(moveCount[1], room) << room;
    EXPECT_EQ(moveBufferOverflows - overflowsBefore, 2 - room) << room;
    if (room == 1) {
      EXPECT_EQ(MoveToText(moveBuffer[kMoveBufferSize]), "h1g2");
    }
  }
  Board.makeDepth = 0;
  moveStart[0] = 0;
  moveCount[0] = 0;
}

TEST(GenerateMoves, KnightAndKingStepsFromEverySquareInStepOrder) {
  // A lone knight or king on each square of an otherwise empty board (the other king far away): its moves
  // are exactly the steps of knightSteps / kingSteps that stay on the board, in that order.
  for (int kind : {kKnight, kKing}) {
    for (int from = 11; from <= 88; ++from) {
      if (!onBoard[from]) continue;
      const int ownKing = kind == kKing ? from : (from == kA1 ? kB1 : kA1);
      const int enemyKing =
          fileOf[from] <= 4 ? (rankOf[from] <= 4 ? kH8 : SquareAt(8, 1)) : (rankOf[from] <= 4 ? kA8 : kA1);
      if (enemyKing == ownKing) continue;
      std::string board[8] = {"........", "........", "........", "........",
                              "........", "........", "........", "........"};
      auto put = [&board](int square, char c) { board[8 - rankOf[square]][fileOf[square] - 1] = c; };
      put(ownKing, 'K');
      put(enemyKing, 'k');
      if (kind == kKnight) put(from, 'N');
      std::string fen;
      for (int r = 0; r < 8; ++r) fen += board[r] + (r < 7 ? "/" : "");
      fen += " w - - 0 1";
      if (!SetUpPosition(fen)) continue;  // kings too close: not a position
      Generate(false);
      std::string expected;
      const int32_t* steps = kind == kKnight ? knightSteps : kingSteps;
      for (int i = 0; i < 8; ++i) {
        if (!onBoard[from + steps[i]] || from + steps[i] == ownKing) continue;
        Move step{};
        step.from = static_cast<uint8_t>(from);
        step.to = static_cast<uint8_t>(from + steps[i]);
        expected += MoveToText(step) + " ";
      }
      std::string got;
      for (int i = 1; i <= moveCount[0]; ++i)
        if (moveBuffer[moveStart[0] + i].from == from) got += MoveToText(moveBuffer[moveStart[0] + i]) + " ";
      EXPECT_EQ(got, expected) << fen;
    }
  }
}

}  // namespace
}  // namespace kelb::test
