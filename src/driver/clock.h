// The engine's one clock: a monotonic millisecond tick for deadlines and polling, and the time of day
// that seeds the random generator.
#pragma once
#include <cstdint>

namespace kelb {

// Milliseconds from an arbitrary fixed origin; never goes backwards.
int64_t TickCount();

// Milliseconds since midnight, local time of day (seed material only).
int64_t TimeOfDayMs();

}  // namespace kelb
