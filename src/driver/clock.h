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

// A clock that moves exactly one millisecond at every reading, starting at `at`: time passes, so every wait
// and deadline ends, but the same run of the engine always sees the same readings (the fuzz targets).
// ThawTicks ends it. While the clock is stopped or stepped, the time of day follows its reading.
void StepTicks(int64_t at);

// Lets ms milliseconds pass without using the processor. While the clock steps, nothing really waits:
// the reading moves on by ms instead.
void WaitMs(int64_t ms);

// Milliseconds since midnight, local time of day (seed material only).
int64_t TimeOfDayMs();

}  // namespace kelb
