#include "board/perft.h"

#include "board/attack.h"
#include "board/board.h"
#include "board/makemove.h"
#include "board/movegen.h"

namespace kelb {

int64_t Perft(int depth) {
  const int ply = Board.ply;
  const bool check = IsAttacked(Board.king[Board.side], Board.xside);
  inCheck[ply] = check ? 1 : 0;
  checksOnly[ply] = 0;
  GenerateMoves(false);
  const int level = Board.makeDepth;
  const int first = moveStart[level] + 1;
  const int last = moveStart[level] + moveCount[level];
  int64_t nodes = 0;
  for (int i = first; i <= last; ++i) {
    Move& move = moveBuffer[i];
    MakeMove(move);
    if (!MoveLeftKingAttacked(move, check)) {
      if (depth <= 1) {
        ++nodes;
      } else {
        ++Board.ply;
        nodes += Perft(depth - 1);
        --Board.ply;
      }
    }
    UnmakeMove(move);
  }
  return nodes;
}

}  // namespace kelb
