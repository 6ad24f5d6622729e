#include "driver/poll.h"

#include <string>

#include "board/board.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "search/think.h"
#include "search/timectl.h"

namespace kelb {

// During a search only these lines are answered at once: "draw" (late in a long game), "ponderhit" (the
// ponder search becomes a timed one), "isready" and "." (the analysis status). Any other line stops the
// search once the root has a move to play, and waits in InputLine for the loop; "?" (move now) is consumed.
void PollInput() {
  TimeControl& tc = timeControl;
  const int64_t now = TickCount();
  if (now == tc.lastPollTick) {
    // Polls come faster than the clock ticks: look less often.
    tc.pollInterval += 50;
    return;
  }
  tc.lastPollTick = now;
  PollLine();
  if (!InputLine.empty()) {
    if (InputLine == "draw") {
      InputLine.clear();
      if (gamePly > 900) SendLine("offer draw");
    } else if (InputLine == "ponderhit") {
      InputLine.clear();
      AllocateTime();  // deadlines from now, while uciPonder still selects the ponder budget
      engineState.uciPonder = false;
    } else if (InputLine == "isready") {
      InputLine.clear();
      SendLine("readyok");
    } else if (InputLine == ".") {
      InputLine.clear();
      if (engineState.mode == EngineMode::Analyze)
        SendLine("stat01: " + std::to_string((now - tc.thinkStartTick) / 10) + " " +
                 std::to_string(tc.nodeCount) + statusText);
    } else if (engineState.searchInterruptible) {
      engineState.stopRequested = true;
      if (InputLine == "?") InputLine.clear();
    }
  }
  if (engineState.searchInterruptible && engineState.mode != EngineMode::Analyze && settings.weakLevel == 0 &&
      !engineState.pondering && !engineState.uciPonder && now > tc.deadlineTick)
    engineState.stopRequested = true;
}

}  // namespace kelb
