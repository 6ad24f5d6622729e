// Bytes -> the input channel's lines -> the WinBoard command parser and handlers, with the engine's idle
// step thinking, pondering and analysing in between: the real command loop, fed from memory. Searches end
// at the next waiting line or after a few thousand nodes; "quit" (or the end of the bytes) ends the run.
#include <string_view>

#include "driver/WBinout.h"
#include "driver/winboard.h"
#include "fuzz_support.h"

using namespace kelb;
using namespace kelb::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitProtocolFuzzing(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return RunProtocolInput("hashsize=1\nlog=1\n", 3000, Bytes(data, size), RunWinBoardLoop);
}
