// Leaf count of the legal-move tree from the current position, with legality decided as the search decides
// it (make each generated move, drop it when the own king is left attacked). For the perft tool and tests.
#pragma once
#include <cstdint>

namespace kelb {

int64_t Perft(int depth);

}  // namespace kelb
