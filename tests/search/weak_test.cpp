// Weak levels as the search meets them: the node limit, the random numbers drawn (root order, evaluation
// in analysis, nothing else), the table that answers nothing but still learns, and no clock but the nodes.
#include "search/weak.h"

#include <cstring>
#include <set>

#include "board/random.h"
#include "search_fixture.h"

namespace kelb {
namespace {

using test::EnterLine;
using test::SetPosition;

constexpr const char* kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* kTactical = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Number of generator steps that lead from seed `from` to seed `to` (-1 if not within reach).
static int DrawsBetween(uint32_t from, uint32_t to) {
  const uint32_t saved = randomSeed;
  randomSeed = from;
  int n = 0;
  while (randomSeed != to && n < 100000) {
    StepRandom();
    n++;
  }
  const bool reached = randomSeed == to;
  randomSeed = saved;
  return reached ? n : -1;
}

class WeakTest : public ::testing::Test {
 protected:
  void TearDown() override {
    settings.weakLevel = 0;
    settings.weakDelay = false;
    searchLimits.nodeLimit = kMaxNodeLimit;
    engineState.mode = EngineMode::Force;
    PrepareEvaluationNoise();  // leave no noise behind for later searches
  }
  // The deadlines of the time control, all moved to `tick`.
  static void SetDeadlines(int64_t tick) {
    timeControl.iterationDeadline = timeControl.softDeadline = timeControl.deadlineTick = tick;
  }
};

TEST_F(WeakTest, SearchStopsAtTheFirstNodeThatReachesTheLimit) {
  SetPosition(kStart, 20);
  settings.weakLevel = 21;
  for (uint32_t seed = 1; seed <= 40; seed++) {
    randomSeed = seed;
    Think();
    ASSERT_TRUE(timeControl.nodeLimit == 612 || timeControl.nodeLimit == 102) << timeControl.nodeLimit;
    EXPECT_EQ(timeControl.nodeCount, timeControl.nodeLimit) << seed;
    EXPECT_TRUE(engineState.stopRequested);
    EXPECT_NE(engineMove.from, 0);
  }
}

TEST_F(WeakTest, TheFirstRootMoveIsAlwaysSearchedInFull) {
  // A limit of one node: the first root move still gets its whole capture search, then the next node stops.
  SetPosition(kTactical, 20);
  settings.weakLevel = 50;
  searchLimits.nodeLimit = 1;
  randomSeed = 99;
  engineMove = Move{};
  Think();
  EXPECT_EQ(timeControl.nodeLimit, 1);
  EXPECT_GT(timeControl.nodeCount, 2);
  EXPECT_TRUE(engineState.stopRequested);
  EXPECT_NE(engineMove.from, 0);
  EXPECT_GT(rootScore, -kInfinity);
}

TEST_F(WeakTest, OnlyTheNodeLimitAndTheRootOrderDrawOutsideAnalysis) {
  SetPosition(kStart, 4);
  gameFromStartPosition = true;  // would allow evaluation noise, but the mode is not analysis
  settings.weakLevel = 10;
  randomSeed = 777;
  Think();
  EXPECT_EQ(DrawsBetween(777, randomSeed), 1 + 20);  // node limit, then one per root move

  settings.weakLevel = 0;
  randomSeed = 777;
  Think();
  EXPECT_EQ(randomSeed, 777u);
}

TEST_F(WeakTest, RootNoiseDecidesWhichMoveIsSearchedFirst) {
  // With a one-node limit the search ends right after the first root move: that move is played.
  SetPosition(kStart, 20);
  searchLimits.nodeLimit = 1;
  Think();
  const std::string unshuffled = test::EngineMoveText();
  Think();
  EXPECT_EQ(test::EngineMoveText(), unshuffled);

  settings.weakLevel = 30;
  std::set<std::string> played;
  for (uint32_t seed = 1; seed <= 40; seed++) {
    randomSeed = seed * 1000;
    Think();
    played.insert(test::EngineMoveText());
  }
  EXPECT_GE(played.size(), 8u);
}

TEST_F(WeakTest, AVerySmallLimitCanMissAMateInOne) {
  // Re8 mates; many quiet root moves come before it in a random order.
  const char* fen = "6k1/5ppp/8/8/8/2NB1N2/PPPQ1PPP/4R1K1 w - - 0 1";
  SetPosition(fen, 1);
  Think();
  ASSERT_EQ(rootScore, 32766);  // found at once at full strength

  SetPosition(fen, 20);
  settings.weakLevel = 50;
  int missed = 0, found = 0;
  for (uint32_t seed = 1; seed <= 60; seed++) {
    randomSeed = seed * 7919;
    Think();
    if (rootScore == 32766)
      found++;
    else
      missed++;
  }
  EXPECT_GT(missed, 0);
  EXPECT_GT(found, 0);  // when the mate comes early enough it is played
}

TEST_F(WeakTest, EvaluationNoiseOnlyInAnalysisOfAGameFromTheStart) {
  SetPosition(kTactical);
  const int32_t plain = Evaluate();
  struct Case {
    int32_t level;
    EngineMode mode;
    bool fromStart;
    bool noisy;
  };
  const Case cases[] = {{4, EngineMode::Analyze, true, true},
                        {4, EngineMode::Force, true, false},
                        {4, EngineMode::Play, true, false},
                        {4, EngineMode::Analyze, false, false},
                        {0, EngineMode::Analyze, true, false}};
  for (const Case& c : cases) {
    settings.weakLevel = c.level;
    engineState.mode = c.mode;
    gameFromStartPosition = c.fromStart;
    PrepareEvaluationNoise();
    randomSeed = 4242;
    std::set<int32_t> seen;
    for (int i = 0; i < 400; i++) seen.insert(SearchEvaluate());
    if (c.noisy) {
      EXPECT_EQ(DrawsBetween(4242, randomSeed), 400);  // one draw per evaluation
      EXPECT_EQ(seen.size(), 9u);                      // every value of -4..+4
      EXPECT_EQ(*seen.begin(), plain - 4);
      EXPECT_EQ(*seen.rbegin(), plain + 4);
    } else {
      EXPECT_EQ(randomSeed, 4242u) << c.level << " " << static_cast<int>(c.mode);
      EXPECT_EQ(seen, std::set<int32_t>{plain});
    }
  }
}

TEST_F(WeakTest, TheTreeSearchDrawsOnlyThroughTheEvaluation) {
  for (const bool analysis : {false, true}) {
    SetPosition(kStart);
    gameFromStartPosition = true;
    settings.weakLevel = 6;
    engineState.mode = analysis ? EngineMode::Analyze : EngineMode::Force;
    PrepareEvaluationNoise();
    EnterLine({"e2e4"});
    randomSeed = 31337;
    Search(-kInfinity, kInfinity, 3);
    if (analysis)
      EXPECT_NE(randomSeed, 31337u);
    else
      EXPECT_EQ(randomSeed, 31337u);
  }
}

TEST_F(WeakTest, TableProbesMissButStoresGoOn) {
  SetPosition(kTactical);
  Board.ply = 2;
  onLeftmostLine[1] = 0;
  checksOnly[2] = 0;
  childDepthHint[2] = 1;
  nodeDepth[2] = 3;
  fullEval[2] = 77;
  hashMoveFrom[2] = 51;
  hashMoveTo[2] = 61;

  settings.weakLevel = 1;
  StoreHash(40, -100, 100, 5, 0);  // an exact score at depth 5, stored at the weak level
  fullEval[2] = kNoStaticEval;
  hashMoveFrom[2] = hashMoveTo[2] = 0;
  noNullMove = false;
  int32_t score = 0;
  EXPECT_FALSE(ProbeHash(-100, 100, 5, 0, score));
  // A weak probe leaves the node's slots alone: no move hint, no evaluation, no null-move veto.
  EXPECT_EQ(hashMoveFrom[2], 0);
  EXPECT_EQ(hashMoveTo[2], 0);
  EXPECT_EQ(fullEval[2], kNoStaticEval);
  EXPECT_FALSE(noNullMove);

  settings.weakLevel = 0;
  ASSERT_TRUE(ProbeHash(-100, 100, 5, 0, score));
  EXPECT_EQ(score, 40);
  EXPECT_EQ(hashMoveFrom[2], 51);
  EXPECT_EQ(fullEval[2], 77);
  Board.ply = 1;
}

TEST_F(WeakTest, AWeakSearchFillsTheTableButIsNotShortenedByIt) {
  // The same search twice: at full strength the second one is cut short by the table, a weak one is not.
  SetPosition(kStart, 5);
  Think();
  const int32_t fresh = timeControl.nodeCount;
  Think();
  EXPECT_LT(timeControl.nodeCount, fresh);

  SetPosition(kStart, 3);
  settings.weakLevel = 1;  // limit 4524 (or a sixth): more than depth 3 needs
  randomSeed = 5;
  Think();
  EXPECT_GT(HashTable.freshWrites, 0);
  const int32_t first = timeControl.nodeCount;
  ASSERT_LT(first, timeControl.nodeLimit);
  std::memset(killer1, 0, sizeof killer1);  // the same ordering as before, but for the table
  std::memset(killer2, 0, sizeof killer2);
  std::memset(killer3, 0, sizeof killer3);
  randomSeed = 5;  // the same root order
  Think();
  EXPECT_EQ(timeControl.nodeCount, first);
}

TEST_F(WeakTest, NoDeadlineEndsAWeakSearch) {
  SetPosition(kStart, 20);
  SetDeadlines(TickCount() - 1000);  // every deadline long past
  Think();
  EXPECT_EQ(lastIteration, 1);  // full strength: no second iteration after the deadline
  EXPECT_FALSE(engineState.stopRequested);

  SetPosition(kStart, 20);
  SetDeadlines(TickCount() - 1000);
  settings.weakLevel = 3;
  randomSeed = 3;
  Think();
  EXPECT_TRUE(engineState.stopRequested);
  EXPECT_EQ(timeControl.nodeCount, timeControl.nodeLimit);
  EXPECT_GE(lastIteration, 2);
}

TEST_F(WeakTest, WithoutTheDelayTheMoveComesAtTheNodeLimit) {
  SetPosition(kStart, 20);
  settings.weakLevel = 40;
  settings.weakDelay = false;
  SetDeadlines(TickCount() + 60000);
  Think();
  EXPECT_LT(TickCount(), timeControl.iterationDeadline - 50000);
  EXPECT_NE(engineMove.from, 0);
}

}  // namespace
}  // namespace kelb
