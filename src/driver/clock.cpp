#include "driver/clock.h"

#include <sys/time.h>
#include <time.h>

namespace kelb {

int64_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int64_t TimeOfDayMs() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return (static_cast<int64_t>(tv.tv_sec) % 86400) * 1000 + tv.tv_usec / 1000;
}

}  // namespace kelb
