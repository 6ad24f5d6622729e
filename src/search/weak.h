// Strength limiting: node limits and noise for the weak levels.
#pragma once
#include <cstdint>

namespace kelb {

// Node limit of one search at weakLevel (0 = none): e^(-0.1 * level) * 5000, and one search in
// (55 - level) on average only a sixth of that. Draws a random number only at a weak level.
int32_t WeakNodeLimit(int32_t weakLevel);

// Evaluate() as the search sees it: in analysis of a game begun at the start position, a weak level adds
// noise of +-weakLevel.
int32_t SearchEvaluate();

// Refreshes the cached conditions of the evaluation noise; the root calls it at the start of every search.
void PrepareEvaluationNoise();

}  // namespace kelb
