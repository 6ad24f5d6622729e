// Kelb 7.01: start-up in dependency order, then the WinBoard command loop (which may hand over to UCI).
#include "board/fen.h"
#include "book/book.h"
#include "book/learn.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "driver/winboard.h"
#include "search/timectl.h"

int main() {
  using namespace kelb;
  InitChannel();
  SendLine("Kelb 7.01 (August 2005)");
  timeControl.thinkStartTick = TickCount();
  timeControl.lastMoveTick = TickCount();
  ReadConfiguration();  // log, table and keys, start-up notices
  InitEngineState();
  LoadLearning();
  OpenBook();
  NewGame();
  RunWinBoardLoop();
}
