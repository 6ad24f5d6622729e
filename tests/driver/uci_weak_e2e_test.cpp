// Playing strength under UCI, through the engine binary: the Elo setting reaches the search as its node
// limit in either order of the two options, and the weak delay follows "DelayOnWeakLevels".
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;
using test::Pause;
using Clock = std::chrono::steady_clock;

constexpr const char* kLimitStrength = "setoption name UCI_LimitStrength value true";

static int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Nodes of an infinite search from the start position, read from the analysis status line
// "stat01: <time> <nodes> ...". The status is asked for again every 100 ms until the count passes `above`
// and, with `settled`, holds still over two readings (a weak search stops at its node limit and waits), or
// until 30 s have passed: a slow machine only makes the test wait longer. Returns -1 when no status came.
static int64_t NodesOfInfiniteSearch(EngineProcess& engine, int64_t above, bool settled) {
  engine.WriteLine("position startpos");
  engine.WriteLine("go infinite");
  const Clock::time_point start = Clock::now();
  int64_t nodes = -1, previous = -2;
  do {
    Pause(100);
    engine.WriteLine(".");
    std::string status;
    if (!engine.WaitFor("stat01: ", &status, 5000)) return -1;
    std::istringstream in(status.substr(8));
    int64_t time = 0;
    previous = nodes;
    in >> time >> nodes;
  } while ((nodes <= above || (settled && nodes != previous)) && MillisecondsSince(start) < 30000);
  engine.WriteLine("stop");
  if (!engine.WaitFor("bestmove", nullptr, 5000)) return -1;
  return nodes;
}

// Full strength: the search goes far beyond any weak limit.
static int64_t FullStrengthNodes(EngineProcess& engine) {
  return NodesOfInfiniteSearch(engine, 10000, false);
}

// The node limit of a level is its full count or, in one search of (55 - level), a sixth of it.
static void ExpectLevelLimit(EngineProcess& engine, int64_t full, const char* what) {
  const int64_t nodes = NodesOfInfiniteSearch(engine, full / 6 - 1, true);
  EXPECT_TRUE(nodes == full || nodes == full / 6) << what << ": " << nodes << " nodes, expected " << full;
}

TEST(UciWeakE2E, EloReachesTheSearchAsItsNodeLimitInEitherOrder) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  // Full strength first.
  EXPECT_GT(FullStrengthNodes(engine), 10000);

  engine.WriteLine("setoption name UCI_LimitStrength value true");
  ExpectLevelLimit(engine, 34, "no Elo sent: 700, level 50");

  engine.WriteLine("setoption name UCI_Elo value 1500");
  ExpectLevelLimit(engine, 612, "switch, then 1500: level 21");

  engine.WriteLine("setoption name UCI_LimitStrength value false");
  EXPECT_GT(FullStrengthNodes(engine), 10000);

  engine.WriteLine("setoption name UCI_Elo value 2000");
  engine.WriteLine("setoption name UCI_LimitStrength value true");
  ExpectLevelLimit(engine, 3704, "2000, then switch: level 3");

  engine.WriteLine("setoption name UCI_Elo value 1000");
  ExpectLevelLimit(engine, 101, "1000: level 39");

  engine.WriteLine("setoption name UCI_Elo value 2001");
  ExpectLevelLimit(engine, 34, "out of range: 700, level 50");

  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciWeakE2E, NewUciSessionStartsAtFullStrength) {
  // A configured weak level is a WinBoard setting: "uci" starts at full strength.
  EngineProcess engine;
  engine.WriteFile("kelb701.ini", "weak=50\r\n");
  ASSERT_TRUE(engine.StartUci());
  EXPECT_GT(FullStrengthNodes(engine), 10000);
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciWeakE2E, WeakMoveUsesItsTimeUnlessTheDelayIsOff) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUciWith({kLimitStrength, "position startpos"}));

  // Delay on (the default): the move waits for the iteration deadline, 1000 - 120 ms after "go".
  Clock::time_point start = Clock::now();
  engine.WriteLine("go movetime 1000");
  ASSERT_TRUE(engine.WaitFor("bestmove", nullptr, 20000));
  EXPECT_GE(MillisecondsSince(start), 800);

  // Delay off: the move comes as soon as the node limit is reached, long before the deadline (~100 s).
  engine.WriteLine("setoption name DelayOnWeakLevels value false");
  engine.WriteLine("go movetime 100000");
  ASSERT_TRUE(engine.WaitFor("bestmove", nullptr, 30000));

  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciWeakE2E, PonderhitTurnsAWeakPonderSearchIntoATimedOne) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUciWith({kLimitStrength}));
  engine.WriteLines({"position startpos moves e2e4 e7e5", "go ponder wtime 80000 btime 80000"});
  // The node limit ends the tree search at once, but a ponder search waits for the GUI.
  EXPECT_FALSE(engine.WaitFor("bestmove", nullptr, 500));
  const Clock::time_point hit = Clock::now();
  engine.WriteLine("ponderhit");
  // Now a timed search: with the delay on it answers at its iteration deadline, half of the 2000 ms
  // allotted (2.5% of 80 s) after "ponderhit".
  ASSERT_TRUE(engine.WaitFor("bestmove", nullptr, 30000));
  EXPECT_GE(MillisecondsSince(hit), 850);
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciWeakE2E, WeakDelayStillServesTheGui) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUciWith({kLimitStrength, "position startpos moves e2e4"}));
  // A very long clock: the delay runs to a deadline minutes away.
  engine.WriteLine("go wtime 100000000 btime 100000000");
  EXPECT_FALSE(engine.WaitFor("bestmove", nullptr, 500));
  ASSERT_TRUE(engine.IsReady());
  std::string line;
  ASSERT_TRUE(engine.Ask({"stop"}, "bestmove ", &line, 20000));  // without it the delay would last for hours
  EXPECT_NE(line, "bestmove 0000");
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciWeakE2E, WeakSearchWithoutATimeBudgetAnswersByItself) {
  // Bounded by depth, nodes or a mate length, or given only the opponent's clock, a search has no time to
  // imitate: the weak move comes when the search ends, not at a deadline of the default clock.
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUciWith({kLimitStrength}));
  for (const char* parameters : {"depth 4", "nodes 500", "mate 3", "btime 100000000"}) {
    SCOPED_TRACE(parameters);
    std::string line;
    ASSERT_TRUE(
        engine.Ask({"position startpos", std::string("go ") + parameters}, "bestmove ", &line, 30000));
    EXPECT_NE(line, "bestmove 0000");
  }
  EXPECT_EQ(engine.Quit(), 0);
}

}  // namespace
}  // namespace kelb
