#include "board/random.h"

#include "driver/clock.h"

namespace kelb {

uint32_t randomSeed = 0;

uint32_t StepRandom() {
  randomSeed = randomSeed * 134775813u + 1u;
  return randomSeed;
}

uint32_t NextRandom(uint32_t n) {
  StepRandom();
  return static_cast<uint32_t>((static_cast<uint64_t>(randomSeed) * n) >> 32);
}

void SeedRandomFromClock() { randomSeed = static_cast<uint32_t>(TimeOfDayMs()); }

}  // namespace kelb
