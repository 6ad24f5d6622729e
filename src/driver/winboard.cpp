#include "driver/winboard.h"

#include <string>

#include "driver/WBinout.h"
#include "driver/config.h"
#include "driver/uci.h"

namespace kelb {

// While Halted (an illegal set-up) only "new" and "edit" may give the engine a mode again; everything else
// that would make it think or move from the refused position leaves it Halted.
static bool Halted() { return engineState.mode == EngineMode::Halted; }

static void SetMode(EngineMode mode) {
  if (!Halted()) engineState.mode = mode;
}

void HandleCommand(CommandCode code) {
  switch (code) {
    case CmdNone:
      IdleStep();
      break;
    case CmdQuit:
      Quit();
    case CmdForce:
      SetMode(EngineMode::Force);
      break;
    case CmdXboard:
      engineState.xboardMode = true;
      break;
    case CmdPing:
      SendLine("pong " + CommandWords[2]);
      break;
    case CmdHard:
      engineState.ponder = true;
      break;
    case CmdEasy:
      engineState.ponder = false;
      break;
    case CmdPost:
      engineState.post = true;
      break;
    case CmdNopost:
      engineState.post = false;
      break;
    case CmdAnalyze:
    case CmdMultiAnalyze:
      SetMode(EngineMode::Analyze);
      engineState.post = true;
      engineState.multiAnalyze = code == CmdMultiAnalyze;
      break;
    case CmdExit:
      SetMode(EngineMode::Force);
      engineState.multiAnalyze = false;
      break;
    default:  // unknown words were answered by the parser; the rest need no action here
      break;
  }
}

void IdleStep() { WaitLine(); }

void UpdateClocksAfterMove() {}

void RunWinBoardLoop() {
  for (;;) {
    PollLine();
    CommandCode code = CmdNone;
    if (!InputLine.empty()) {
      std::string line = InputLine.substr(0, kShortStringLength);
      InputLine.clear();
      code = ParseCommand(line);
    }
    if (code == CmdUci) {
      engineState.uciMode = true;
      RunUciLoop();
      Quit();
    }
    HandleCommand(code);
  }
}

}  // namespace kelb
