// Bytes -> kelb701.bok -> the book reader, its listing ("bk") and the book moves of a game walked down the
// tree. A damaged book may end the game by the engine's resignation (a move the position lacks), which the
// target catches; anything else it offers must be a legal move of the position.
#include <string_view>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "book/book.h"
#include "driver/config.h"
#include "fuzz_support.h"
#include "search/think.h"

using namespace kelb;
using namespace kelb::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitFuzzing(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartFileInput("kelb701.bok", Bytes(data, size), "hashsize=0\n", 1000);
  if (!engineState.bookOpen) Fail("the book file was not opened");
  try {
    // Up to 40 plies of book moves, listing the candidates before each.
    for (int ply = 0; ply < 40 && result == kResultNone; ++ply) {
      Move listed;
      BookMove(true, listed);
      if (listed.from != 0) Fail("the listing returned a move");
      Move move;
      BookMove(false, move);
      if (move.from == 0) break;
      bool legal = false;
      for (int k = 1; k <= legalMoveCount; ++k)
        legal = legal || (legalMoves[k].from == move.from && legalMoves[k].to == move.to);
      if (!legal) Fail("the book offered a move that is not legal");
      if (!PlayMove(move)) Fail("a book move could not be played");
    }
    CheckGameBoard();
  } catch (const ProgramEnded& end) {
    if (end.exitCode != 0) Fail("the book's resignation ended with an error code");
  }
  LeaveWorkFolder();
  return 0;
}
