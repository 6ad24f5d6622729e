// The WinBoard front end: command handlers, the idle step where the engine thinks, ponders, analyses or
// waits, and the main command loop.
#pragma once
#include "driver/parser.h"

namespace kelb {

void HandleCommand(CommandCode code);
void IdleStep();

// The command loop; leaves only through Quit() (or for good into the UCI loop).
[[noreturn]] void RunWinBoardLoop();

// Clock bookkeeping after a move was played into the game (side has already been switched): charges the
// mover's clock. Called from PlayMove; does nothing under UCI.
void UpdateClocksAfterMove();

}  // namespace kelb
