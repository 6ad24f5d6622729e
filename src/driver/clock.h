// The engine's one clock: a monotonic millisecond tick for deadlines and polling, and the time of day
// that seeds the random generator.
#pragma once
#include <cstdint>

namespace kelb {

// Milliseconds from an arbitrary fixed origin; never goes backwards.
int64_t TickCount();

// A stopped clock for exact time arithmetic in checks: while frozen, TickCount() returns the set reading
// and moves only by AdvanceFrozenTicks. The engine itself never freezes its clock.
void FreezeTicks(int64_t at);
void AdvanceFrozenTicks(int64_t ms);
void ThawTicks();

// Milliseconds since midnight, local time of day (seed material only).
int64_t TimeOfDayMs();

}  // namespace kelb
