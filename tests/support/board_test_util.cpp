#include "support/board_test_util.h"

#include <cstring>

#include "board/attack.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/perft.h"
#include "driver/config.h"
#include "search/ordering.h"
#include "support/position.h"

namespace kelb::test {

void ResetEngineMode() {
  engineState.mode = EngineMode::Force;
  engineState.uciMode = false;
  engineState.xboardMode = true;
  settings.logEnabled = false;
}

bool SetUpPosition(const std::string& fen) {
  ResetEngineMode();
  if (!PlaceFen(fen)) return false;
  gamePly = 0;
  fiftyHistory[0] = 0;
  futilityThreshold = 0;
  for (int p = 0; p < kMaxPly; ++p) {
    inCheck[p] = 0;
    checksOnly[p] = 0;
    currentMove[p] = nullptr;
    hashMoveFrom[p] = hashMoveTo[p] = 0;
    killer1[p] = killer2[p] = killer3[p] = SquarePair{0, 0};
  }
  std::memset(history, 0, sizeof history);
  historyShift = 0;
  return true;
}

bool SetUpGame(const std::string& fen) {
  if (!SetUpPosition(fen)) return false;
  ResetGame();
  return engineState.mode != EngineMode::Halted;
}

int64_t Perft(int depth) { return ::kelb::Perft(depth); }

static std::string ArrayDifference(const char* name, const int32_t* a, const int32_t* b, int n) {
  for (int i = 0; i < n; ++i) {
    if (a[i] != b[i])
      return std::string(name) + "[" + std::to_string(i) + "] " + std::to_string(a[i]) + " vs " +
             std::to_string(b[i]);
  }
  return "";
}

std::string BoardDifference(const BoardRecord& a, const BoardRecord& b) {
  std::string d;
  for (int s = kFirstSquareIndex; s <= kLastSquareIndex && d.empty(); ++s) {
    if (a.squares[s] != b.squares[s])
      d = "squares[" + std::to_string(s) + "] " + std::to_string(a.squares[s]) + " vs " +
          std::to_string(b.squares[s]);
  }
  for (int s = 0; s < 2 && d.empty(); ++s) {
    const std::string side = s == 0 ? "white " : "black ";
    if (d.empty()) d = ArrayDifference((side + "pawns").c_str(), a.pawns[s], b.pawns[s], kMaxPawnSlots + 1);
    if (d.empty())
      d = ArrayDifference((side + "knights").c_str(), a.knights[s], b.knights[s], kMaxListSlots + 1);
    if (d.empty())
      d = ArrayDifference((side + "bishops").c_str(), a.bishops[s], b.bishops[s], kMaxListSlots + 1);
    if (d.empty()) d = ArrayDifference((side + "rooks").c_str(), a.rooks[s], b.rooks[s], kMaxListSlots + 1);
    if (d.empty())
      d = ArrayDifference((side + "queens").c_str(), a.queens[s], b.queens[s], kMaxListSlots + 1);
  }
  if (d.empty()) d = ArrayDifference("knightCount", a.knightCount, b.knightCount, 2);
  if (d.empty()) d = ArrayDifference("bishopCount", a.bishopCount, b.bishopCount, 2);
  if (d.empty()) d = ArrayDifference("rookCount", a.rookCount, b.rookCount, 2);
  if (d.empty()) d = ArrayDifference("queenCount", a.queenCount, b.queenCount, 2);
  if (d.empty()) d = ArrayDifference("pawnMaterial", a.pawnMaterial, b.pawnMaterial, 2);
  if (d.empty()) d = ArrayDifference("pieceMaterial", a.pieceMaterial, b.pieceMaterial, 2);
  if (d.empty()) d = ArrayDifference("queenSideLost", a.queenSideLost, b.queenSideLost, 2);
  if (d.empty()) d = ArrayDifference("kingSideLost", a.kingSideLost, b.kingSideLost, 2);
  if (d.empty()) d = ArrayDifference("king", a.king, b.king, 2);
  for (int code = 1; code <= 12 && d.empty(); ++code)
    if (a.pieceSet[code] != b.pieceSet[code]) d = "pieceSet[" + std::to_string(code) + "]";
  if (d.empty() && a.epFile != b.epFile) d = "epFile";
  if (d.empty() && a.side != b.side) d = "side";
  if (d.empty() && a.xside != b.xside) d = "xside";
  if (d.empty() && a.key != b.key) d = "key";
  if (d.empty() && a.makeDepth != b.makeDepth) d = "makeDepth";
  if (d.empty() && a.ply != b.ply) d = "ply";
  return d;
}

bool PlayText(const std::string& text) {
  const Move move = ParseMoveText(text);
  if (move.from == 0) return false;
  return PlayMove(move);
}

std::string GeneratedMovesText() {
  std::string text;
  const int level = Board.makeDepth;
  for (int i = moveStart[level] + 1; i <= moveStart[level] + moveCount[level]; ++i) {
    if (!text.empty()) text += ' ';
    text += MoveToText(moveBuffer[i]);
  }
  return text;
}

}  // namespace kelb::test
