// Bytes -> a position file -> "loadpos" of its first lines. Every position it sets up is saved with
// "savepos" and loaded back, which must give the same position.
#include <string>
#include <string_view>

#include "board/board.h"
#include "board/fen.h"
#include "driver/config.h"
#include "fuzz_support.h"
#include "records/records.h"

using namespace kelb;
using namespace kelb::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitFuzzing(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartFileInput("positions.fen", Bytes(data, size), "hashsize=0\n", 1000);
  // Numbers as "loadpos" gets them: the first lines, the default for a bad number word, and one past the end.
  static const char* const kNumbers[] = {"1", "2", "3", "", "x", "-4", "10000", "10001", "$A"};
  for (const char* number : kNumbers) {
    engineState.mode = EngineMode::Force;
    const std::string before = WriteFen();
    LoadPosition("positions.fen", number);
    if (engineState.mode == EngineMode::Halted) continue;
    CheckGameBoard();
    const std::string loaded = WriteFen();
    if (loaded == before) continue;  // nothing new set up (file too short), or the same position again
    std::remove("saved.fen");
    SavePosition("saved.fen");
    LoadPosition("saved.fen", "1");
    if (engineState.mode == EngineMode::Halted) Fail("a saved position is refused when loaded back");
    if (WriteFen() != loaded) Fail("a saved position loads back as another one");
  }
  LeaveWorkFolder();
  return 0;
}
