#include "search/weak.h"

#include <cmath>

#include "board/game.h"
#include "board/random.h"
#include "driver/config.h"
#include "eval/eval.h"
#include "search/timectl.h"

namespace kelb {

static int32_t noiseLevel = 0;  // 0 = no evaluation noise in this search

int32_t WeakNodeLimit(int32_t weakLevel) {
  if (weakLevel == 0) return kMaxNodeLimit;
  int32_t limit = static_cast<int32_t>(RoundHalfEven(std::exp(-0.1 * weakLevel) * 5000.0));
  if (NextRandom(static_cast<uint32_t>(55 - weakLevel)) == 0) limit /= 6;
  return limit;
}

void PrepareEvaluationNoise() {
  noiseLevel = (settings.weakLevel > 0 && engineState.mode == EngineMode::Analyze && gameFromStartPosition)
                   ? settings.weakLevel
                   : 0;
}

int32_t SearchEvaluate() {
  const int32_t value = Evaluate();
  if (noiseLevel == 0) return value;
  return value + static_cast<int32_t>(NextRandom(static_cast<uint32_t>(2 * noiseLevel + 1))) - noiseLevel;
}

}  // namespace kelb
