// The bench positions, shared by the bench and the fingerprint commands.
#pragma once

namespace kelb {

extern const char* const kBenchPositions[];
extern const int kBenchPositionCount;

}  // namespace kelb
