// The WinBoard front end: command handlers, the idle step where the engine thinks, ponders, analyses or
// waits, and the main command loop.
#pragma once
#include "board/board.h"
#include "driver/parser.h"

namespace kelb {

void HandleCommand(CommandCode code);
void IdleStep();

// The command loop; leaves only through Quit() (or for good into the UCI loop).
[[noreturn]] void RunWinBoardLoop();

// Plays a move into the game and charges the mover's clock for it (the clocks are left alone under UCI).
void PlayGameMove(const Move& move);

// Clock bookkeeping after a move was played into the game (side already switched); engineSide is the side the
// engine played when the move was made (in "auto" the game flips it afterwards).
void UpdateClocksAfterMove(int engineSide);

}  // namespace kelb
