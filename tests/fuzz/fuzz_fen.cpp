// FEN text -> ReadFen and the piece lists with the consistency check, as "setboard" and UCI "position fen"
// use them. An accepted position must write back to the same text, survive every legal move and reply made
// and unmade with its key, material and lists intact, and stand a short search.
#include <cstring>
#include <string>
#include <string_view>

#include "board/attack.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "driver/config.h"
#include "eval/eval.h"
#include "fuzz_support.h"
#include "records/records.h"
#include "search/search.h"
#include "search/think.h"
#include "search/timectl.h"

using namespace kelb;
using namespace kelb::fuzz;

static bool Accepted(std::string_view text) {
  engineState.mode = EngineMode::Force;
  bool illegal = false;
  ReadFen(text, illegal);
  if (!illegal) BuildPieceLists(illegal);
  return !illegal;
}

static bool SameBoard(const BoardRecord& a, const BoardRecord& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every legal move and, below checkDepth, every legal reply: made, checked, unmade, compared.
static void WalkMoves(int depth) {
  const BoardRecord before = Board;
  const int ply = Board.ply;
  inCheck[ply] = IsAttacked(Board.king[Board.side], Board.xside) ? 1 : 0;
  checksOnly[ply] = 0;
  futilityThreshold = 0;
  GenerateMoves(false);
  const int level = Board.makeDepth;
  const int first = moveStart[level] + 1;
  const int last = moveStart[level] + moveCount[level];
  for (int i = first; i <= last; ++i) {
    Move& move = moveBuffer[i];
    if (pieceType[move.captured] == kKing) Fail("a generated move takes the king");
    MakeMove(move);
    if (!IsAttacked(Board.king[Board.xside], Board.side)) {
      if (Board.key != KeyFromScratch()) Fail("the key after a move differs from a recount");
      if (depth == 2) {
        CheckConsistency();
        if (engineState.mode == EngineMode::Halted) Fail("a legal move broke the board");
        ++Board.ply;
        WalkMoves(depth - 1);
        --Board.ply;
      }
    }
    UnmakeMove(move);
    if (!SameBoard(Board, before)) Fail("unmaking a move did not restore the board");
  }
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitFuzzing();
  KeepBitbaseReady();
  EnterWorkFolder();
  StartEngine("hashsize=1\n", 2000);
  LeaveWorkFolder();
  pollDuringSearch = false;  // no input to wait for: depth and node limits end the searches
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!Accepted(text)) {
    // The set-up path must refuse it too, and leave a playable start position behind.
    SetUpPosition(text);
    if (engineState.mode != EngineMode::Halted) Fail("SetUpPosition accepted a refused FEN");
    engineState.mode = EngineMode::Force;
    CheckGameBoard();
    return 0;
  }

  const std::string written = WriteFen();
  if (!Accepted(written)) Fail("the written FEN of an accepted position is refused");
  if (WriteFen() != written) Fail("the written FEN does not read back to itself");

  SetUpPosition(text);
  if (engineState.mode == EngineMode::Halted) Fail("SetUpPosition refused an accepted FEN");
  if (WriteFen() != written) Fail("SetUpPosition set up another position");
  CheckGameBoard();

  Board.ply = 1;
  WalkMoves(2);
  Evaluate();

  if (result == kResultNone && legalMoveCount > 0) {
    SearchAndCheckTheMove();  // a short game search from the position
  }
  return 0;
}
