#include "driver/clock.h"

#include <sys/time.h>
#include <time.h>

namespace kelb {

// Negative while the clock runs; otherwise the reading every TickCount() returns.
static int64_t frozenTick = -1;

int64_t TickCount() {
  if (frozenTick >= 0) return frozenTick;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void FreezeTicks(int64_t at) { frozenTick = at < 0 ? 0 : at; }

void AdvanceFrozenTicks(int64_t ms) {
  if (frozenTick >= 0) frozenTick += ms;
}

void ThawTicks() { frozenTick = -1; }

int64_t TimeOfDayMs() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return (static_cast<int64_t>(tv.tv_sec) % 86400) * 1000 + tv.tv_usec / 1000;
}

}  // namespace kelb
