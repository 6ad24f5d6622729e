// The root: mates found with the right score and text, depth limits, search moves, status text, weak levels,
// resign and draw decisions, and the thinking lines as they are sent.
#include "search/think.h"

#include <cstring>
#include <string>
#include <vector>

#include "board/random.h"
#include "search/output.h"
#include "search/weak.h"
#include "search_fixture.h"

namespace kelb {
namespace {

using test::EngineMoveText;
using test::SetPosition;

constexpr const char* kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class ThinkTest : public ::testing::Test {
 protected:
  void TearDown() override {
    engineState.uciMode = false;
    settings.weakLevel = 0;
    searchLimits = SearchLimits{};
  }
  // Runs Think() with UCI output captured.
  static std::string ThinkUci() {
    engineState.uciMode = true;
    ::testing::internal::CaptureStdout();
    Think();
    engineState.uciMode = false;
    return ::testing::internal::GetCapturedStdout();
  }
  // Searches the position to the depth limit and expects the mate: its move, its score, and these texts in
  // the UCI output.
  static void ExpectMate(const char* fen, int depth, const char* move, int score,
                         const std::vector<std::string>& texts) {
    SetPosition(fen, depth);
    const std::string out = ThinkUci();
    EXPECT_EQ(EngineMoveText(), move);
    EXPECT_EQ(rootScore, score);
    for (const std::string& text : texts)
      EXPECT_NE(out.find(text), std::string::npos) << text << " in " << out;
  }
};

TEST_F(ThinkTest, MateInOneEndsAfterTheFirstPass) {
  ExpectMate("6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 10, "d1d8", 32766,
             {"info depth 1 score mate 1 time ", " pv d1d8\n"});
  EXPECT_EQ(lastIteration, 0);
}

TEST_F(ThinkTest, MateInTwo) {
  ExpectMate("r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1", 8, "d5f6", 32764,
             {"score mate 2 ", "pv d5f6 g7f6 c4f7"});
}

TEST_F(ThinkTest, MateInThree) {
  ExpectMate("2r3k1/p4p2/3Rp2p/1p2P1pK/8/1P4P1/P3Q2P/1q6 b - - 0 1", 10, "b1g6", 32762, {"score mate 3 "});
}

TEST_F(ThinkTest, StalemateAndCheckmateAtTheRoot) {
  SetPosition("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 3);
  engineMove = Move{};
  Think();
  EXPECT_EQ(rootScore, 0);
  EXPECT_EQ(engineMove.from, 0);  // left as it was
  SetPosition("R6k/8/6K1/8/8/8/8/8 b - - 0 1", 3);
  Think();
  EXPECT_EQ(rootScore, -32767);
}

TEST_F(ThinkTest, DepthLimitOneRunsOnlyTheFirstPass) {
  SetPosition(kStart, 1);
  Think();
  EXPECT_EQ(iterationDepth, 1);
  EXPECT_EQ(lastIteration, 0);
  EXPECT_NE(engineMove.from, 0);
  EXPECT_TRUE(engineState.searchInterruptible);
}

TEST_F(ThinkTest, LastIterationIsOneBelowTheDepthLimit) {
  SetPosition(kStart, 4);
  Think();
  EXPECT_EQ(iterationDepth, 4);
  EXPECT_EQ(lastIteration, 3);
  EXPECT_EQ(iterationScore[3], iterationScore[3]);
}

TEST_F(ThinkTest, NoIterationStartsAfterTheIterationDeadline) {
  SetPosition(kStart, 6);
  timeControl.iterationDeadline = TickCount() - 1;
  timeControl.softDeadline = timeControl.deadlineTick = TickCount() + 100000;
  Think();
  EXPECT_EQ(iterationDepth, 2);  // the first pass ran, iteration 2 was refused
  EXPECT_EQ(lastIteration, 1);
  EXPECT_NE(engineMove.from, 0);
}

TEST_F(ThinkTest, SoftDeadlineStopsBetweenRootMoves) {
  SetPosition(kStart, 6);
  timeControl.softDeadline = TickCount() - 1;
  timeControl.iterationDeadline = timeControl.deadlineTick = TickCount() + 100000;
  Think();
  EXPECT_EQ(iterationDepth, 2);
  EXPECT_EQ(std::strncmp(statusText, " 2 19 20 ", 9), 0) << statusText;  // stopped after one root move
}

TEST_F(ThinkTest, SearchMovesRestrictTheFirstPassToo) {
  SetPosition(kStart, 1);
  searchLimits.rootMoves[searchLimits.rootMoveCount++] = ParseMoveText("a2a3");
  Think();
  EXPECT_EQ(EngineMoveText(), "a2a3");
}

TEST_F(ThinkTest, StatusTextCountsMovesSearchedInTheIteration) {
  SetPosition(kStart, 2);
  searchLimits.rootMoves[searchLimits.rootMoveCount++] = ParseMoveText("h2h4");
  Think();
  EXPECT_EQ(EngineMoveText(), "h2h4");
  EXPECT_STREQ(statusText, " 2 19 20 h2h4");
}

TEST_F(ThinkTest, StatusTextAfterAFullIteration) {
  SetPosition(kStart, 2);
  Think();
  // The last root move of the iteration: 20 searched of 20.
  EXPECT_EQ(std::strncmp(statusText, " 2 0 20 ", 8), 0) << statusText;
}

TEST_F(ThinkTest, WinBoardMateInOneSendsOneLineOfDepthOne) {
  SetPosition("r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5Q2/PPPP1PPP/RNB1K1NR w KQkq - 4 4", 3);
  engineState.post = true;
  ::testing::internal::CaptureStdout();
  Think();
  const std::string out = ::testing::internal::GetCapturedStdout();
  engineState.post = false;
  EXPECT_EQ(EngineMoveText(), "f3f7");
  EXPECT_EQ(out.substr(0, 2), "1 ") << out;  // the mate in one ends with one final line of depth 1
  EXPECT_NE(out.find(" f3f7\n"), std::string::npos) << out;
}

TEST_F(ThinkTest, WeakLevelStopsOnItsNodeLimitAfterTheFirstRootMove) {
  SetPosition(kStart, 20);
  settings.weakLevel = 50;
  Think();
  EXPECT_TRUE(timeControl.nodeLimit == 34 || timeControl.nodeLimit == 5) << timeControl.nodeLimit;
  EXPECT_TRUE(engineState.stopRequested);
  EXPECT_LE(timeControl.nodeCount, 200);
  EXPECT_NE(engineMove.from, 0);
}

TEST_F(ThinkTest, WeakDelayUsesTheTimeUpToTheIterationDeadline) {
  SetPosition(kStart, 20);
  settings.weakLevel = 50;
  settings.weakDelay = true;
  const int64_t start = TickCount();
  timeControl.iterationDeadline = start + 300;
  Think();
  settings.weakDelay = false;
  EXPECT_GT(TickCount(), start + 300);
  EXPECT_NE(engineMove.from, 0);
}

TEST_F(ThinkTest, WeakDelayNeedsATimeBudget) {
  // A search bounded only by depth or nodes has no thinking time to imitate: no wait for the deadline.
  SetPosition(kStart, 20);
  settings.weakLevel = 50;
  settings.weakDelay = true;
  timeControl.timeBudget = false;
  const int64_t start = TickCount();
  timeControl.iterationDeadline = start + 60000;
  Think();
  settings.weakDelay = false;
  timeControl.timeBudget = true;
  EXPECT_LT(TickCount(), start + 50000);
  EXPECT_NE(engineMove.from, 0);
}

TEST_F(ThinkTest, FullStrengthDrawsNoRandomNumber) {
  SetPosition(kStart, 2);
  randomSeed = 12345;
  Think();
  EXPECT_EQ(randomSeed, 12345u);
}

TEST(WeakLevelTest, NodeLimits) {
  const int levels[] = {3, 10, 21, 50};
  const int32_t full[] = {3704, 1839, 612, 34};
  for (int i = 0; i < 4; i++) {
    bool sawFull = false, sawSixth = false;
    randomSeed = 1;
    for (int n = 0; n < 2000; n++) {
      const int32_t limit = WeakNodeLimit(levels[i]);
      if (limit == full[i])
        sawFull = true;
      else if (limit == full[i] / 6)
        sawSixth = true;
      else
        ADD_FAILURE() << levels[i] << ": " << limit;
    }
    EXPECT_TRUE(sawFull && sawSixth) << levels[i];
  }
  EXPECT_EQ(WeakNodeLimit(0), kMaxNodeLimit);
}

class ResignTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QuietEngine();
    settings.resignEnabled = true;
    resigned = false;
    gamePly = 40;
  }
  void TearDown() override {
    settings.resignEnabled = false;
    resigned = false;
    gamePly = 0;
  }
  static std::string Decide(int32_t score) {
    rootScore = score;
    ::testing::internal::CaptureStdout();
    ResignOrOfferDraw();
    return ::testing::internal::GetCapturedStdout();
  }
};

TEST_F(ResignTest, ResignsOncePerGame) {
  EXPECT_EQ(Decide(-800), "");
  EXPECT_EQ(Decide(-801), "resign\n");
  EXPECT_TRUE(resigned);
  EXPECT_EQ(Decide(-900), "");
}

TEST_F(ResignTest, NeverOnMateScoresNorAtTheGameStart) {
  EXPECT_EQ(Decide(-32700), "");
  gamePly = 0;
  EXPECT_EQ(Decide(-801), "");
}

TEST_F(ResignTest, NearlyFullGameRecord) {
  gamePly = 997;
  EXPECT_EQ(Decide(-150), "offer draw\n");
  EXPECT_FALSE(resigned);
  EXPECT_EQ(Decide(-250), "resign\n");
  EXPECT_TRUE(resigned);
  resigned = false;
  gamePly = 998;
  EXPECT_EQ(Decide(-900), "resign\nresign\n");  // both rules apply
}

TEST_F(ResignTest, NotUnderUciNorWhenSwitchedOff) {
  engineState.uciMode = true;
  EXPECT_EQ(Decide(-900), "");
  engineState.uciMode = false;
  settings.resignEnabled = false;
  EXPECT_EQ(Decide(-900), "");
  settings.resignEnabled = true;
  settings.weakLevel = 5;
  EXPECT_EQ(Decide(-900), "");
  settings.weakLevel = 0;
}

class PrintThinkingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QuietEngine();
    rootScore = 35;
    timeControl.nodeCount = 812;
    timeControl.thinkStartTick = TickCount();
    pvLine[1][1] = 5254;
    pvLine[1][2] = 5755;
    pvLine[1][3] = 7163;
    pvEnd[1] = 3;
  }
  void TearDown() override {
    ThawTicks();
    engineState.uciMode = engineState.post = engineState.pondering = false;
  }
  // The line with its time field (elapsed, so not fixed) replaced by T.
  static std::string Print(bool final) {
    ::testing::internal::CaptureStdout();
    PrintThinking(7, final);
    std::string out = ::testing::internal::GetCapturedStdout();
    const bool uci = out.rfind("info", 0) == 0;
    const size_t start = uci ? out.find(" time ") + 6 : out.find(' ', out.find(' ') + 1) + 1;
    if (out.empty() || start == std::string::npos) return out;
    const size_t end = out.find(' ', start);
    return out.substr(0, start) + "T" + out.substr(end);
  }
};

TEST_F(PrintThinkingTest, WinBoardNeedsPostAndNoPondering) {
  EXPECT_EQ(Print(true), "");
  engineState.post = true;
  EXPECT_EQ(Print(true), "7 35 T 812 e2e4 e7e5 g1f3\n");
  EXPECT_EQ(Print(false), "7 35 T 812 e2e4\n");
  engineState.pondering = true;
  EXPECT_EQ(Print(true), "");
}

TEST_F(PrintThinkingTest, UciProvisionalShowsTwoMovesAndSetsThePonderMove) {
  engineState.uciMode = true;
  EXPECT_EQ(Print(false), "info depth 7 score cp 35 time T nodes 812 pv e2e4 e7e5\n");
  EXPECT_STREQ(ponderMoveText, "e7e5");
  pvEnd[1] = 1;
  EXPECT_EQ(Print(true), "info depth 7 score cp 35 time T nodes 812 pv e2e4\n");
  EXPECT_STREQ(ponderMoveText, "");
}

TEST_F(PrintThinkingTest, CurrentMoveLineOnlyFromDepthSixAfterOneSecond) {
  FreezeTicks(5'000'000);  // "less than a second" must hold however slowly the test runs
  engineState.uciMode = true;
  iterationDepth = 5;
  timeControl.thinkStartTick = TickCount() - 2000;
  ::testing::internal::CaptureStdout();
  PrintCurrentMove("e2e4", 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  iterationDepth = 6;
  ::testing::internal::CaptureStdout();
  PrintCurrentMove("e2e4", 3);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("info depth 6 nodes 812 time ", 0), 0u) << out;
  EXPECT_NE(out.find(" currmove e2e4 currmovenumber 3 hashfull "), std::string::npos) << out;
  timeControl.thinkStartTick = TickCount();
  ::testing::internal::CaptureStdout();
  PrintCurrentMove("e2e4", 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  AdvanceFrozenTicks(999);
  ::testing::internal::CaptureStdout();
  PrintCurrentMove("e2e4", 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  AdvanceFrozenTicks(1);  // one second exactly
  ::testing::internal::CaptureStdout();
  PrintCurrentMove("e2e4", 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout().rfind("info depth 6 nodes 812 time 1000 ", 0), 0u);
  ThawTicks();
  iterationDepth = 1;
}

}  // namespace
}  // namespace kelb
