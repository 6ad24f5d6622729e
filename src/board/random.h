// The program's one pseudo-random generator: a 32-bit linear congruential generator. It makes the position
// keys (from seed 0, so they never change) and then serves the book choice and the weak levels' noise.
#pragma once
#include <cstdint>

namespace kelb {

extern uint32_t randomSeed;

// Advances the generator (seed = seed * 134775813 + 1) and returns the new seed.
uint32_t StepRandom();
// Advances the generator and returns a number in 0..n-1: the high 32 bits of seed * n.
uint32_t NextRandom(uint32_t n);
// Seeds the generator with the milliseconds since midnight.
void SeedRandomFromClock();

}  // namespace kelb
