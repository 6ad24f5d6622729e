#include "driver/clock.h"

#include <sys/time.h>
#include <time.h>

#include <cerrno>

namespace kelb {

// Negative while the clock runs; otherwise the reading every TickCount() returns.
static int64_t frozenTick = -1;
static bool stepping = false;  // every reading of the stopped clock advances it by 1 ms

int64_t TickCount() {
  if (frozenTick >= 0) return stepping ? frozenTick++ : frozenTick;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void FreezeTicks(int64_t at) {
  frozenTick = at < 0 ? 0 : at;
  stepping = false;
}

void StepTicks(int64_t at) {
  FreezeTicks(at);
  stepping = true;
}

void AdvanceFrozenTicks(int64_t ms) {
  if (frozenTick >= 0) frozenTick += ms;
}

void ThawTicks() {
  frozenTick = -1;
  stepping = false;
}

void WaitMs(int64_t ms) {
  if (stepping) {
    frozenTick += ms;
    return;
  }
  timespec pause{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

int64_t TimeOfDayMs() {
  if (frozenTick >= 0) return frozenTick % 86400000;
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return (static_cast<int64_t>(tv.tv_sec) % 86400) * 1000 + tv.tv_usec / 1000;
}

}  // namespace kelb
