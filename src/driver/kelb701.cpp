// Kelb 7.01: start-up in dependency order, then the WinBoard command loop (which may hand over to UCI).
#include "driver/WBinout.h"
#include "driver/config.h"
#include "driver/winboard.h"

int main() {
  using namespace kelb;
  InitChannel();
  SendLine("Kelb 7.01 (August 2005)");
  ReadConfiguration();
  InitEngineState();
  RunWinBoardLoop();
}
