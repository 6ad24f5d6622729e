// perft / divide: leaf counts of the legal-move tree, the way the search sees legality (make each generated
// move, drop it when the own king is left attacked).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/attack.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "tool.h"

namespace kelb {

// Sets up the position for a count; false (with a message) when it is refused.
static bool SetUpForPerft(const char* fen) {
  engineState.mode = EngineMode::Force;
  if (!PlaceFenAtRoot(fen)) {
    std::printf("illegal position\n");
    return false;
  }
  gamePly = 0;
  fiftyHistory[0] = 0;
  futilityThreshold = 0;
  return true;
}

static bool ReadArguments(int argc, char** argv, int& depth) {
  if (argc != 2) return false;
  char* end = nullptr;
  const long value = std::strtol(argv[1], &end, 10);
  if (*end != '\0' || value < 1 || value > kMaxPly - 2) return false;
  depth = static_cast<int>(value);
  return true;
}

}  // namespace kelb

KELB_TOOL(perft,
          "perft \"<FEN>\" <depth>: leaf nodes of the legal-move tree, with time and nodes per second") {
  using namespace kelb;
  int depth = 0;
  if (!ReadArguments(argc, argv, depth)) {
    std::printf("usage: perft \"<FEN>\" <depth>\n");
    return 2;
  }
  if (!SetUpForPerft(argv[0])) return 1;
  const int64_t start = TickCount();
  const int64_t nodes = Perft(depth);
  const int64_t ms = TickCount() - start;
  const double nps = ms > 0 ? static_cast<double>(nodes) * 1000.0 / static_cast<double>(ms) : 0.0;
  std::printf("time %lld ms, %.0f leaf nodes/s\n", static_cast<long long>(ms), nps);
  std::printf("%lld\n", static_cast<long long>(nodes));
  return 0;
}

KELB_TOOL(divide, "divide \"<FEN>\" <depth>: each root move in coordinate text with its subtree count") {
  using namespace kelb;
  int depth = 0;
  if (!ReadArguments(argc, argv, depth)) {
    std::printf("usage: divide \"<FEN>\" <depth>\n");
    return 2;
  }
  if (!SetUpForPerft(argv[0])) return 1;
  inCheck[1] = IsAttacked(Board.king[Board.side], Board.xside) ? 1 : 0;
  checksOnly[1] = 0;
  GenerateMoves(false);
  int64_t total = 0;
  int moves = 0;
  for (int i = moveStart[0] + 1; i <= moveStart[0] + moveCount[0]; ++i) {
    Move& move = moveBuffer[i];
    MakeMove(move);
    if (!IsAttacked(Board.king[Board.xside], Board.side)) {
      int64_t nodes = 1;
      if (depth > 1) {
        Board.ply = 2;
        nodes = Perft(depth - 1);
        Board.ply = 1;
      }
      std::printf("%s %lld\n", MoveToText(move).c_str(), static_cast<long long>(nodes));
      total += nodes;
      ++moves;
    }
    UnmakeMove(move);
  }
  std::printf("moves %d\n%lld\n", moves, static_cast<long long>(total));
  return 0;
}
