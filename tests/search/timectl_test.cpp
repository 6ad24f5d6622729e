#include "search/timectl.h"

#include <gtest/gtest.h>

namespace kelb {
namespace {

class AllocateTimeTest : public ::testing::Test {
 protected:
  void SetUp() override { InitTimeControl(); }
  static constexpr int64_t t0 = 1000000;
};

TEST_F(AllocateTimeTest, ConventionalFortyMovesInFiveMinutes) {
  timeControl.timeMode = 0;
  timeControl.clock[1] = 300000;
  timeControl.movesToGo[1] = 40;
  AllocateTimeAt(t0, 1, false);
  EXPECT_EQ(timeControl.thinkStartTick, t0);
  EXPECT_EQ(timeControl.softDeadline, t0 + 17190);
  EXPECT_EQ(timeControl.iterationDeadline, t0 + 4775);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 47750);
}

TEST_F(AllocateTimeTest, ConventionalPonderHitMeasuresFromPreviousStart) {
  timeControl.timeMode = 0;
  timeControl.clock[0] = 300000;
  timeControl.movesToGo[0] = 40;
  AllocateTimeAt(t0 - 3000, 0, true);  // the "go ponder"
  AllocateTimeAt(t0, 0, true);         // the ponderhit three seconds later
  // soft = t0 + 17190; from the previous start that is 20190 ms, of which 0.5 * 0.625 is 6309.375.
  EXPECT_EQ(timeControl.softDeadline, t0 + 17190);
  EXPECT_EQ(timeControl.iterationDeadline, t0 - 3000 + 6309);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 47750);
}

TEST_F(AllocateTimeTest, ConventionalShortClockUsesLatestEnd) {
  timeControl.timeMode = 0;
  timeControl.clock[0] = 900;
  timeControl.movesToGo[0] = 0;
  AllocateTimeAt(t0, 0, false);
  // alloc = 900 * 0.715 / 0.7075 = 909.54... -> 910, 5 * 910 is beyond 900 - 500.
  EXPECT_EQ(timeControl.softDeadline, t0 + 1638);
  EXPECT_EQ(timeControl.iterationDeadline, t0 + 455);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 400);
}

TEST_F(AllocateTimeTest, ConventionalOverrunControlCountsAsLastMove) {
  // Moves played in force mode (or a negative "movestogo") can leave the count below zero.
  timeControl.timeMode = 0;
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

TEST_F(AllocateTimeTest, IncrementalTwoMinutesPlusTwoSeconds) {
  timeControl.timeMode = 1;
  timeControl.clock[0] = 120000;
  timeControl.increment = 2000;
  AllocateTimeAt(t0, 0, false);
  EXPECT_EQ(timeControl.softDeadline, t0 + 8000);
  EXPECT_EQ(timeControl.iterationDeadline, t0 + 2500);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 25000);
}

TEST_F(AllocateTimeTest, IncrementalCappedAtFortyPercentOfClock) {
  timeControl.timeMode = 1;
  timeControl.clock[1] = 1500;
  timeControl.increment = 2000;
  AllocateTimeAt(t0, 1, false);
  EXPECT_EQ(timeControl.softDeadline, t0 + 960);
  EXPECT_EQ(timeControl.iterationDeadline, t0 + 300);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 700);
}

TEST_F(AllocateTimeTest, IncrementalHalfRoundsToEven) {
  timeControl.timeMode = 1;
  timeControl.clock[0] = 1060;  // 1060 * 0.025 = 26.5 -> 26
  timeControl.increment = 0;
  AllocateTimeAt(t0, 0, false);
  EXPECT_EQ(timeControl.iterationDeadline, t0 + 13);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 130);
  timeControl.clock[0] = 1100;  // 27.5 -> 28
  AllocateTimeAt(t0, 0, false);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 140);
}

TEST_F(AllocateTimeTest, FixedTimePerMove) {
  timeControl.timeMode = 2;
  timeControl.baseTime = 5000;
  AllocateTimeAt(t0, 0, false);
  EXPECT_EQ(timeControl.softDeadline, t0 + 4880);
  EXPECT_EQ(timeControl.iterationDeadline, t0 + 4880);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 4880);
}

TEST_F(AllocateTimeTest, LatestEndNeverBeforeStart) {
  timeControl.timeMode = 1;
  timeControl.clock[0] = 100;  // 100 - 500 would end before the search starts
  AllocateTimeAt(t0, 0, false);
  EXPECT_EQ(timeControl.deadlineTick, t0 + 1);
}

TEST_F(AllocateTimeTest, UnknownModeKeepsDeadlines) {
  timeControl.timeMode = 2;
  timeControl.baseTime = 5000;
  AllocateTimeAt(t0, 0, false);
  timeControl.timeMode = 7;
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
