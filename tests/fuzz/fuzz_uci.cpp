// Bytes -> the input channel's lines -> the UCI command loop (options, positions with long move lists, every
// "go" form), fed from memory. Searches end at the next waiting line or after a few thousand nodes.
#include <string_view>

#include "driver/WBinout.h"
#include "driver/config.h"
#include "driver/uci.h"
#include "fuzz_support.h"

using namespace kelb;
using namespace kelb::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitProtocolFuzzing(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return RunProtocolInput("hashsize=1\n", 5000, Bytes(data, size), [] {
    // As the WinBoard loop hands over on "uci".
    engineState.uciMode = true;
    RunUciLoop();
    Quit();
  });
}
