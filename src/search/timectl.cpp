#include "search/timectl.h"

#include <cmath>

#include "driver/clock.h"
#include "driver/config.h"

namespace kelb {

TimeControl timeControl;

void InitTimeControl() {
  timeControl = TimeControl{};
  timeControl.depthLimit[0] = timeControl.depthLimit[1] = kMaxDepthLimit;
  timeControl.timeMode = kIncrementalTime;
  timeControl.baseTime = 100000;
  timeControl.increment = 0;
  timeControl.movesPerControl = 0;
  timeControl.clock[0] = timeControl.clock[1] = 100000;
  timeControl.nodeLimit = kMaxNodeLimit;
  timeControl.pollInterval = kFirstPollInterval;
  timeControl.timeBudget = true;
}

int64_t RoundHalfEven(double x) {
  // The default floating-point rounding mode is to nearest with ties to even.
  return static_cast<int64_t>(std::nearbyint(x));
}

void AllocateTimeAt(int64_t now, int engineSide, bool uciPonder) {
  TimeControl& tc = timeControl;
  const int64_t prevStart = tc.thinkStartTick;
  const int64_t t0 = now;
  tc.thinkStartTick = t0;

  const int64_t T = tc.clock[engineSide];
  const int64_t margin = T < 1000 ? 500 : (T < 2000 ? 800 : 1200);
  int64_t latestEnd = t0 + T - margin;
  if (latestEnd < t0 + 1) latestEnd = t0 + 1;

  switch (tc.timeMode) {
    case kConventionalTime: {
      // Spend a little more than an even share early in the control: the factor grows with moves to go.
      // A control already overrun (moves played in force mode, or a negative "movestogo") is spent as if
      // this were its last move; a share of zero moves would divide by zero.
      double m1 = static_cast<double>(tc.movesToGo[engineSide]) + 1.0;
      if (m1 < 1.0) m1 = 1.0;
      const int64_t alloc =
          RoundHalfEven(static_cast<double>(T) / m1 * (m1 * 0.6 * 0.025 + 0.7) / (m1 * 0.3 * 0.025 + 0.7));
      tc.softDeadline = t0 + RoundHalfEven(static_cast<double>(alloc) * 1.8);
      tc.iterationDeadline = t0 + RoundHalfEven(static_cast<double>(alloc) * 0.5);
      if (uciPonder)
        tc.iterationDeadline =
            prevStart + RoundHalfEven(static_cast<double>(tc.softDeadline - prevStart) * 0.5 * 0.625);
      tc.deadlineTick = t0 + 5 * alloc;
      if (latestEnd < tc.deadlineTick) tc.deadlineTick = latestEnd;
      break;
    }
    case kIncrementalTime: {
      int64_t alloc = RoundHalfEven(static_cast<double>(T) * 0.025) + tc.increment;
      const int64_t cap = RoundHalfEven(static_cast<double>(T) * 0.4);
      if (alloc > cap) alloc = cap;
      tc.softDeadline = t0 + RoundHalfEven(static_cast<double>(alloc) * 1.6);
      tc.iterationDeadline = t0 + RoundHalfEven(static_cast<double>(alloc) * 0.5);
      tc.deadlineTick = t0 + 5 * alloc;
      if (latestEnd < tc.deadlineTick) tc.deadlineTick = latestEnd;
      break;
    }
    case kFixedTimePerMove:
      tc.softDeadline = tc.iterationDeadline = tc.deadlineTick = t0 + tc.baseTime - 120;
      break;
    default:
      break;  // unknown mode: the previous deadlines stay
  }
}

void AllocateTime() { AllocateTimeAt(TickCount(), engineState.engineSide, engineState.uciPonder); }

}  // namespace kelb
