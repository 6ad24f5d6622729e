// Kelb 7.01: start-up in dependency order, then the WinBoard command loop (which may hand over to UCI).
#include "board/fen.h"
#include "book/book.h"
#include "book/learn.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "driver/winboard.h"
#include "search/timectl.h"

// An install build names the folder of the default kelb701.ini and kelb701.bok; a developer build has none.
#ifndef KELB_DATA_DIR
#define KELB_DATA_DIR ""
#endif

int main() {
  using namespace kelb;
  InitChannel();
  SendLine("Kelb 7.01 (August 2005)");
  timeControl.thinkStartTick = TickCount();
  timeControl.lastMoveTick = TickCount();
  installedDataFolder = KELB_DATA_DIR;
  ReadConfiguration();  // log, table and keys, start-up notices
  InitEngineState();
  ScheduleLearning();  // loaded once the handshake is answered, before the first search at the latest
  OpenBook();
  NewGame();
  RunWinBoardLoop();
}
