// Game level: playing and taking back moves, the end of the game, draw offers, move text.
#include "board/game.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/fen.h"
#include "board/movetext.h"
#include "driver/config.h"
#include "support/board_test_util.h"

namespace kelb::test {
namespace {

// Runs the game-level code with standard output captured.
class GameTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineMode();
    testing::internal::CaptureStdout();
    capturing = true;
  }
  void TearDown() override {
    if (capturing) testing::internal::GetCapturedStdout();
    ResetEngineMode();
  }
  std::string Output() {
    capturing = false;
    return testing::internal::GetCapturedStdout();
  }
  void Play(const std::vector<std::string>& moves) {
    for (const std::string& m : moves) ASSERT_TRUE(PlayText(m)) << m;
  }
  // The first text is a legal move of the position, the second is none.
  static void ExpectLegalNotLegal(const char* legal, const char* illegal) {
    EXPECT_NE(ParseMoveText(legal).from, 0) << legal;
    EXPECT_EQ(ParseMoveText(illegal).from, 0) << illegal;
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }
  bool capturing = false;
};

TEST_F(GameTest, FoolsMateEndsTheGame) {
  NewGame();
  Play({"f2f3", "e7e5", "g2g4"});
  EXPECT_EQ(result, kResultNone);
  Play({"d8h4"});
  EXPECT_EQ(result, kResultBlackMates);
  EXPECT_EQ(legalMoveCount, 0);
  EXPECT_EQ(engineState.mode, EngineMode::GameOver);
  const std::string out = Output();
  EXPECT_EQ(out, "0-1 {Black mates}\n");
}

TEST_F(GameTest, ConsoleUseReportsEngineTimesBeforeTheResult) {
  engineState.xboardMode = false;
  NewGame();
  Play({"f2f3", "e7e5", "g2g4", "d8h4"});
  EXPECT_EQ(Output(), "time1=0 time2=0 sum=0\n0-1 {Black mates}\n");
}

TEST_F(GameTest, TakeBackAfterMateClearsTheResultButNotTheMode) {
  NewGame();
  Play({"f2f3", "e7e5", "g2g4", "d8h4"});
  TakeBack();
  EXPECT_EQ(result, kResultNone);
  EXPECT_EQ(gamePly, 3);
  EXPECT_EQ(engineState.mode, EngineMode::GameOver);
  EXPECT_GT(legalMoveCount, 0);
}

TEST_F(GameTest, KnightShuffleRepeatsThreeTimes) {
  NewGame();
  const std::vector<std::string> cycle = {"g1f3", "g8f6", "f3g1", "f6g8"};
  Play(cycle);
  EXPECT_EQ(RepetitionCount(), 1);
  Play({"g1f3", "g8f6", "f3g1"});
  EXPECT_EQ(result, kResultNone);
  Play({"f6g8"});
  EXPECT_EQ(RepetitionCount(), 2);
  EXPECT_EQ(result, kResultRepetition);
  EXPECT_EQ(engineState.mode, EngineMode::NewGame);  // draws by rule leave the mode alone
  EXPECT_EQ(Output(), "1/2-1/2 {Draw by repetition}\n");
}

TEST_F(GameTest, UciRepetitionSendsTheTextAndPlayGoesOn) {
  NewGame();
  engineState.uciMode = true;
  Play({"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"});
  EXPECT_EQ(result, kResultNone);
  EXPECT_EQ(Output(), "1/2-1/2 {Draw by repetition}\n");
}

TEST_F(GameTest, RepetitionCountStopsAtTheLastIrreversibleMove) {
  NewGame();
  Play({"g1f3", "g8f6", "f3g1", "f6g8", "e2e4", "e7e5", "g1f3", "g8f6", "f3g1", "f6g8"});
  EXPECT_EQ(RepetitionCount(), 1);
  EXPECT_EQ(result, kResultNone);
}

TEST_F(GameTest, InsufficientMaterial) {
  // Both bishops on dark squares (file + rank even, like a1): c1 and f8.
  EXPECT_TRUE(SetUpGame("4kb2/8/8/8/8/8/8/2B1K3 w - - 0 1"));
  EXPECT_EQ(result, kResultMaterial);
  EXPECT_TRUE(SetUpGame("4k1b1/8/8/8/8/8/8/2B1K3 w - - 0 1"));  // g8 light, c1 dark
  EXPECT_EQ(result, kResultNone);
  EXPECT_TRUE(SetUpGame("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1"));
  EXPECT_EQ(result, kResultMaterial);
  EXPECT_TRUE(SetUpGame("4k3/8/8/8/8/8/8/4K3 b - - 0 1"));
  EXPECT_EQ(result, kResultMaterial);
  EXPECT_TRUE(SetUpGame("4k3/8/8/8/8/8/8/1NN1K3 w - - 0 1"));
  EXPECT_EQ(result, kResultNone);
  EXPECT_TRUE(SetUpGame("4k3/8/8/8/8/8/P7/4K3 w - - 0 1"));
  EXPECT_EQ(result, kResultNone);
  const std::string out = Output();
  EXPECT_EQ(Count(out, "1/2-1/2 {Draw by insufficient material}"), 3u);
}

TEST_F(GameTest, TwoKnightsOfferDrawsAtHalfmoveFiveAndSix) {
  ASSERT_TRUE(SetUpGame("4k3/8/8/8/8/8/8/1NN1K3 w - - 0 1"));
  Play({"e1e2", "e8e7", "e2e1", "e7e8"});
  EXPECT_EQ(Count(Output(), "offer draw"), 0u);
  testing::internal::CaptureStdout();
  capturing = true;
  Play({"b1a3"});
  EXPECT_EQ(Output(), "offer draw\n");
  testing::internal::CaptureStdout();
  capturing = true;
  Play({"e8d8"});
  EXPECT_EQ(Output(), "offer draw\n");
  testing::internal::CaptureStdout();
  capturing = true;
  Play({"a3b1"});
  EXPECT_EQ(Output(), "");
}

TEST_F(GameTest, FiftyMoveRuleAtTheHundredthReversibleHalfMove) {
  ASSERT_TRUE(SetUpGame("4k3/8/8/8/8/8/7r/R3K3 w - - 0 1"));
  fiftyHistory[0] = 98;
  Play({"a1a2"});
  EXPECT_EQ(fiftyHistory[gamePly], 99);
  EXPECT_EQ(result, kResultNone);
  Play({"h2h3"});
  EXPECT_EQ(result, kResultFiftyMoves);
  EXPECT_EQ(engineState.mode, EngineMode::Force);
  EXPECT_EQ(Output(), "1/2-1/2 {Draw by the 50 move rule}\n");
}

TEST_F(GameTest, StalemateAndTheMoveLimit) {
  ASSERT_TRUE(SetUpGame("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"));
  EXPECT_EQ(result, kResultStalemate);
  EXPECT_EQ(engineState.mode, EngineMode::GameOver);

  ResetEngineMode();
  NewGame();
  gamePly = kMaxGameMoves - 1;
  fiftyHistory[gamePly] = 0;
  ASSERT_TRUE(PlayText("e2e4"));
  EXPECT_EQ(gamePly, kMaxGameMoves);
  EXPECT_EQ(result, kResultTooManyMoves);
  EXPECT_EQ(engineState.mode, EngineMode::GameOver);
  // Nothing is written past the last history slot, whatever a front end sends.
  const Move extra = ParseMoveText("e7e5");
  ASSERT_NE(extra.from, 0);
  EXPECT_FALSE(PlayMove(extra));
  EXPECT_EQ(gamePly, kMaxGameMoves);
  const std::string out = Output();
  EXPECT_NE(out.find("1/2-1/2 {Stalemate}"), std::string::npos);
  EXPECT_NE(out.find("1/2-1/2 {Draw by too many moves}"), std::string::npos);
}

TEST_F(GameTest, PlayAndTakeBackRestoreTheBoard) {
  ASSERT_TRUE(SetUpGame("r3k2r/1P6/8/8/3p4/8/4P3/R3K2R w KQkq - 0 1"));
  const BoardRecord start = Board;
  Play({"e2e4"});
  EXPECT_EQ(Board.epFile, 5);  // every double step is recorded in the game
  EXPECT_EQ(WriteFen(), "r3k2r/1P6/8/8/3pP3/8/8/R3K2R b KQkq e3");
  Play({"d4e3", "e1c1", "e8g8", "b7a8q", "f8a8", "d1d8", "a8d8", "h1h7", "e3e2"});
  EXPECT_EQ(Board.key, KeyFromScratch());
  EXPECT_EQ(gamePly, 10);
  EXPECT_EQ(WriteFen(), "3r2k1/7R/8/8/8/8/4p3/2K5 w - -");
  while (gamePly > 0) TakeBack();
  EXPECT_EQ(BoardDifference(start, Board), "");
}

TEST_F(GameTest, SideSwitchRebuildsTheLegalMoves) {
  NewGame();
  Play({"e2e4"});
  SetSideToMove(kWhite);
  EXPECT_EQ(Board.side, kWhite);
  ExpectLegalNotLegal("d2d4", "e7e5");
  SetSideToMove(kBlack);
  ExpectLegalNotLegal("e7e5", "d2d4");
  EXPECT_EQ(Output(), "");
}

TEST_F(GameTest, SideSwitchLeavingTheOtherKingInCheckNeitherHaltsNorOffersTheKing) {
  ASSERT_TRUE(SetUpGame("4k3/4R3/8/8/8/8/8/4K3 b - - 0 1"));
  SetSideToMove(kWhite);
  EXPECT_NE(engineState.mode, EngineMode::Halted);
  ExpectLegalNotLegal("e7e6", "e7e8");
  SetSideToMove(kBlack);
  EXPECT_EQ(legalMoveCount, 3);  // d8, f8 and the capture on e7; d7 and f7 are covered by the rook
  EXPECT_EQ(Output(), "");
}

TEST_F(GameTest, SideSwitchOnAHaltedBoardWithoutKingsIsHarmless) {
  NewGame();
  for (int s = 0; s <= 99; ++s) Board.squares[s] = kEmpty;
  bool illegal = false;
  BuildPieceLists(illegal);
  ASSERT_TRUE(illegal);
  engineState.mode = EngineMode::Halted;
  SetSideToMove(kBlack);
  SetSideToMove(kWhite);
  EXPECT_EQ(Board.side, kWhite);
  EXPECT_EQ(engineState.mode, EngineMode::Halted);
}

TEST_F(GameTest, SideSwitchDropsTheEnPassantRightOfTheSideToldToMove) {
  ASSERT_TRUE(SetUpGame("4k3/4p3/8/3P4/8/8/4P3/4K3 w - - 0 1"));
  Play({"e2e4"});
  ASSERT_EQ(Board.epFile, 5);
  SetSideToMove(kBlack);  // no change of side: the right stays with Black
  EXPECT_EQ(Board.epFile, 5);
  SetSideToMove(kWhite);
  EXPECT_EQ(Board.epFile, 0);
  ExpectLegalNotLegal("d5d6", "d5e6");  // White's own pawn passed e3: nothing to take on e6
  EXPECT_EQ(WriteFen(), "4k3/4p3/8/3P4/4P3/8/8/4K3 w - -");
  EXPECT_NE(engineState.mode, EngineMode::Halted);
  EXPECT_EQ(Output(), "");
}

TEST_F(GameTest, TakeBackAfterSideSwitchesRestoresThePositionBeforeEachMove) {
  // Moves entered after "white"/"black" and taken back in any order: each take-back must give the board
  // exactly as it stood before that move, whichever side the switches left to move.
  NewGame();
  engineState.mode = EngineMode::Force;
  struct Step {
    const char* move;  // nullptr: a side switch to `side`
    int side;
  };
  const Step steps[] = {{"e2e4", 0},       {nullptr, kWhite}, {"g1f3", 0},       {"d7d5", 0}, {"e4d5", 0},
                        {nullptr, kWhite}, {"f1c4", 0},       {nullptr, kWhite}, {"e1g1", 0}, {"c7c5", 0},
                        {"d5c6", 0},       {nullptr, kWhite}, {"c6b7", 0},       {"c8g4", 0}, {"b7a8q", 0}};
  std::vector<BoardRecord> before;
  std::vector<int32_t> fifty;
  for (const Step& step : steps) {
    if (step.move == nullptr) {
      SetSideToMove(step.side);
      continue;
    }
    before.push_back(Board);
    fifty.push_back(fiftyHistory[gamePly]);
    ASSERT_TRUE(PlayText(step.move)) << step.move;
    ASSERT_NE(engineState.mode, EngineMode::Halted) << step.move;
  }
  EXPECT_EQ(WriteFen(), "Qn1qkbnr/p3pppp/8/8/2B3b1/5N2/PPPP1PPP/RNBQ1RK1 b k -");
  while (gamePly > 0) {
    TakeBack();
    ASSERT_NE(engineState.mode, EngineMode::Halted) << gamePly;
    EXPECT_EQ(BoardDifference(before.back(), Board), "") << "after taking back to ply " << gamePly;
    EXPECT_EQ(fiftyHistory[gamePly], fifty.back()) << gamePly;
    before.pop_back();
    fifty.pop_back();
  }
  // Moves go on from the restored start position.
  ExpectLegalNotLegal("e2e4", "e7e5");
}

TEST_F(GameTest, TakeBackIntoASideSwitchThatLeftTheOtherKingInCheckGoesOn) {
  // "white" after Ra8+ gives White the move with Black in check; a move and its take-back restore exactly
  // that. The game goes on from there (as after the switch itself) instead of halting on the check that a
  // set-up would refuse, also with the log's extra checks of every trial move.
  settings.logEnabled = true;
  ASSERT_TRUE(SetUpGame("4k3/8/8/8/8/8/8/R3K3 w - - 0 1"));
  Play({"a1a8"});
  SetSideToMove(kWhite);
  const BoardRecord before = Board;
  Play({"a8a7"});
  TakeBack();
  settings.logEnabled = false;
  EXPECT_NE(engineState.mode, EngineMode::Halted);
  EXPECT_EQ(BoardDifference(before, Board), "");
  EXPECT_EQ(result, kResultNone);
  ExpectLegalNotLegal("e1d2", "e8d7");
  EXPECT_EQ(Output(), "");
}

TEST_F(GameTest, SideSwitchToAStalematedSideEndsTheGame) {
  ASSERT_TRUE(SetUpGame("k7/8/1Q6/8/8/8/8/7K w - - 0 1"));
  SetSideToMove(kBlack);
  EXPECT_EQ(result, kResultStalemate);
  EXPECT_EQ(engineState.mode, EngineMode::GameOver);
  EXPECT_EQ(legalMoveCount, 0);
  // Back to White, who has moves: the game is over all the same, and it was announced once. Only a
  // take-back or a new position reopens it.
  SetSideToMove(kWhite);
  EXPECT_EQ(result, kResultStalemate);
  EXPECT_EQ(engineState.mode, EngineMode::GameOver);
  EXPECT_NE(legalMoveCount, 0);  // the list is the new side's, for "hint", "bk" and "savepos"
  SetSideToMove(kBlack);
  SetSideToMove(kBlack);  // no change of side: nothing is decided or sent again
  EXPECT_EQ(Count(Output(), "1/2-1/2 {Stalemate}"), 1u);
}

TEST_F(GameTest, MoveTextParsing) {
  NewGame();
  const Move e4 = ParseMoveText("e2e4");
  EXPECT_EQ(e4.from, SquareAt(5, 2));
  EXPECT_EQ(e4.to, SquareAt(5, 4));
  EXPECT_EQ(ParseMoveText("e2e5").from, 0);
  EXPECT_EQ(ParseMoveText("E2E4").from, 0);
  EXPECT_EQ(ParseMoveText("e2e4 ").from, 0);
  EXPECT_EQ(ParseMoveText("e2-e4").from, 0);
  EXPECT_EQ(ParseMoveText("").from, 0);

  ASSERT_TRUE(SetUpGame("k7/4P3/8/8/8/8/p7/4K2R w K - 0 1"));
  for (const char* text : {"e7e8q", "e7e8r", "e7e8b", "e7e8n", "e1g1"}) {
    const Move m = ParseMoveText(text);
    EXPECT_NE(m.from, 0) << text;
    EXPECT_EQ(MoveToText(m), text);
  }
  EXPECT_EQ(ParseMoveText("e7e8").from, 0);
  EXPECT_EQ(ParseMoveText("e7e8Q").from, 0);
  EXPECT_EQ(ParseMoveText("O-O").from, 0);
  ASSERT_TRUE(SetUpGame("k7/8/8/8/8/8/p7/4K3 b - - 0 1"));
  EXPECT_EQ(ParseMoveText("a2a1q").promotion, kBlackQueen);
  EXPECT_EQ(MoveToText(ParseMoveText("a2a1n")), "a2a1n");
  EXPECT_EQ(MoveToText(Move{}), "");
}

TEST_F(GameTest, MaterialTests) {
  auto drawish = [](const char* fen) {
    EXPECT_TRUE(SetUpPosition(fen)) << fen;
    return DrawishMaterial();
  };
  EXPECT_TRUE(drawish("4k3/8/8/8/8/8/8/1NN1K3 w - - 0 1"));    // two knights
  EXPECT_TRUE(drawish("4kn2/8/8/8/8/8/8/2B1K3 w - - 0 1"));    // equal minor pieces
  EXPECT_TRUE(drawish("3rk3/8/8/8/8/8/8/3RK3 w - - 0 1"));     // equal rooks
  EXPECT_FALSE(drawish("3rk3/8/8/8/8/8/8/2B1K3 w - - 0 1"));   // rook against bishop
  EXPECT_FALSE(drawish("3nk3/8/8/8/8/8/8/3RK3 w - - 0 1"));    // rook against knight
  EXPECT_FALSE(drawish("4k3/8/8/8/8/8/8/2BNK3 w - - 0 1"));    // bishop and knight
  EXPECT_FALSE(drawish("4k3/8/8/8/8/8/8/3QK3 w - - 0 1"));     // queen
  EXPECT_FALSE(drawish("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1"));    // a lone bishop: too little
  EXPECT_FALSE(drawish("4k3/p7/8/8/8/8/8/1NN1K3 w - - 0 1"));  // any pawn
  EXPECT_TRUE(SetUpPosition("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
  EXPECT_TRUE(BishopsOnly());
  EXPECT_TRUE(SetUpPosition("4k3/8/8/8/8/8/8/B1B1K3 w - - 0 1"));
  EXPECT_TRUE(BishopsOnly());
  EXPECT_TRUE(SetUpPosition("4k3/8/8/8/8/8/8/BB2K3 w - - 0 1"));
  EXPECT_FALSE(BishopsOnly());
}

}  // namespace
}  // namespace kelb::test
