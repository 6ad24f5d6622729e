// Bytes -> kelb701.epd -> the learning loader at start-up, then a short search from the first stored
// position, so that learned entries with odd scores and depths meet the table probes of the search.
#include <string>
#include <string_view>

#include "board/board.h"
#include "board/game.h"
#include "book/learn.h"
#include "driver/config.h"
#include "fuzz_support.h"
#include "records/records.h"
#include "search/hash.h"
#include "search/search.h"
#include "search/think.h"
#include "search/timectl.h"

using namespace kelb;
using namespace kelb::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitFuzzing();
  KeepBitbaseReady();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  StartFileInput(kLearnFileName, bytes, "hashsize=1\n", 2000);  // the file loaded into the table
  const int stored = LoadLearningFile(kLearnFileName);
  int lines = 0;
  for (char c : bytes) lines += c == '\n';
  if (stored < 0 || stored > lines + 1) Fail("more positions stored than lines");

  // The first line as a position of its own (its operations are ignored by the set-up), then a search there.
  const std::string firstLine(bytes.substr(0, bytes.find('\n')));
  SetUpPosition(firstLine.substr(0, 120));
  if (engineState.mode != EngineMode::Halted && result == kResultNone && legalMoveCount > 0) {
    pollDuringSearch = false;
    SearchAndCheckTheMove();
    pollDuringSearch = true;
  }
  LeaveWorkFolder();
  return 0;
}
