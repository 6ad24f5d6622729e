#include "search/timectl.h"

#include <gtest/gtest.h>

#include "support/table.h"

namespace kelb {
namespace {

class AllocateTimeTest : public ::testing::Test {
 protected:
  void SetUp() override { InitTimeControl(); }
  static constexpr int64_t t0 = 1000000;

  // The three deadlines, each given as milliseconds after t0.
  static void ExpectDeadlines(int64_t soft, int64_t iteration, int64_t latest) {
    EXPECT_EQ(timeControl.softDeadline, t0 + soft);
    EXPECT_EQ(timeControl.iterationDeadline, t0 + iteration);
    EXPECT_EQ(timeControl.deadlineTick, t0 + latest);
  }
};

// One allocation from a fresh state: the clocks of one side and the deadlines it gives. Where a case does
// not care, it keeps the fresh state's values (100 s on the clock and as base time, no increment).
struct ClockCase {
  const char* name;
  TimeMode mode;
  int side;
  int32_t clock;
  int32_t movesToGo;
  int32_t increment;
  int32_t baseTime;
  int64_t soft, iteration, latest;  // ms after the start
};

void PrintTo(const ClockCase& c, std::ostream* os) { *os << c.name; }

class AllocateTimeCaseTest : public AllocateTimeTest, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(AllocateTimeCaseTest, Deadlines) {
  const ClockCase& c = GetParam();
  timeControl.timeMode = c.mode;
  timeControl.clock[c.side] = c.clock;
  timeControl.movesToGo[c.side] = c.movesToGo;
  timeControl.increment = c.increment;
  timeControl.baseTime = c.baseTime;
  AllocateTimeAt(t0, c.side, false);
  EXPECT_EQ(timeControl.thinkStartTick, t0);
  ExpectDeadlines(c.soft, c.iteration, c.latest);
}

const ClockCase kClockCases[] = {
    {"ConventionalFortyMovesInFiveMinutes", kConventionalTime, 1, 300000, 40, 0, 100000, 17190, 4775, 47750},
    // alloc = 900 * 0.715 / 0.7075 = 909.54... -> 910, 5 * 910 is beyond 900 - 500.
    {"ConventionalShortClockUsesLatestEnd", kConventionalTime, 0, 900, 0, 0, 100000, 1638, 455, 400},
    {"IncrementalTwoMinutesPlusTwoSeconds", kIncrementalTime, 0, 120000, 0, 2000, 100000, 8000, 2500, 25000},
    {"IncrementalCappedAtFortyPercentOfClock", kIncrementalTime, 1, 1500, 0, 2000, 100000, 960, 300, 700},
    {"FixedTimePerMove", kFixedTimePerMove, 0, 100000, 0, 0, 5000, 4880, 4880, 4880},
};

INSTANTIATE_TEST_SUITE_P(Clocks, AllocateTimeCaseTest, ::testing::ValuesIn(kClockCases), test::RowName());

TEST_F(AllocateTimeTest, ConventionalPonderHitMeasuresFromPreviousStart) {
  timeControl.timeMode = kConventionalTime;
  timeControl.clock[0] = 300000;
  timeControl.movesToGo[0] = 40;
  AllocateTimeAt(t0 - 3000, 0, true);  // the "go ponder"
  AllocateTimeAt(t0, 0, true);         // the ponderhit three seconds later
  // soft = t0 + 17190; from the previous start that is 20190 ms, of which 0.5 * 0.625 is 6309.375.
  ExpectDeadlines(17190, -3000 + 6309, 47750);
}

TEST_F(AllocateTimeTest, ConventionalOverrunControlCountsAsLastMove) {
  // Moves played in force mode (or a negative "movestogo") can leave the count below zero.
  timeControl.timeMode = kConventionalTime;
  timeControl.clock[0] = 60000;
  for (int32_t movesToGo : {-1, -5, -2147483647}) {
    timeControl.movesToGo[0] = 0;
    AllocateTimeAt(t0, 0, false);
    const int64_t lastMoveDeadline = timeControl.deadlineTick;
    timeControl.movesToGo[0] = movesToGo;
    AllocateTimeAt(t0, 0, false);
    EXPECT_EQ(timeControl.deadlineTick, lastMoveDeadline) << movesToGo;
    EXPECT_GT(timeControl.deadlineTick, t0);
    EXPECT_LE(timeControl.deadlineTick, t0 + 60000);
  }
}

TEST_F(AllocateTimeTest, IncrementalHalfRoundsToEven) {
  timeControl.timeMode = kIncrementalTime;
  timeControl.clock[0] = 1060;  // 1060 * 0.025 = 26.5 -> 26
  timeControl.increment = 0;
  AllocateTimeAt(t0, 0, false);
  EXPECT_EQ(timeControl.iterationDeadline, t0 + 13);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 130);
  timeControl.clock[0] = 1100;  // 27.5 -> 28
  AllocateTimeAt(t0, 0, false);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 140);
}

TEST_F(AllocateTimeTest, LatestEndNeverBeforeStart) {
  timeControl.timeMode = kIncrementalTime;
  timeControl.clock[0] = 100;  // 100 - 500 would end before the search starts
  AllocateTimeAt(t0, 0, false);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 1);
}

TEST_F(AllocateTimeTest, UnknownModeKeepsDeadlines) {
  timeControl.timeMode = kFixedTimePerMove;
  timeControl.baseTime = 5000;
  AllocateTimeAt(t0, 0, false);
  timeControl.timeMode = 7;  // no such mode
  AllocateTimeAt(t0 + 100, 0, false);
  EXPECT_EQ(timeControl.thinkStartTick, t0 + 100);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 4880);
}

TEST(RoundHalfEvenTest, TiesGoToEven) {
  EXPECT_EQ(RoundHalfEven(26.5), 26);
  EXPECT_EQ(RoundHalfEven(27.5), 28);
  EXPECT_EQ(RoundHalfEven(4775.0), 4775);
  EXPECT_EQ(RoundHalfEven(9550.4), 9550);
  EXPECT_EQ(RoundHalfEven(1060 * 0.025), 26);
}

}  // namespace
}  // namespace kelb
