#include "search/ordering.h"

#include <cstring>

#include "board/movegen.h"

namespace kelb {

int32_t historyMax = 0;

void UpdateHistory(int piece, int to) {
  const int32_t count = ++history[piece][to];
  if (count > historyMax) historyMax = count;
  int shift = 0;
  while ((historyMax >> shift) > 5) shift++;
  historyShift = shift;
}

void ClearHistory() {
  std::memset(history, 0, sizeof history);
  historyMax = 0;
  historyShift = 0;
}

void ClearKillers() {
  std::memset(killer1, 0, sizeof killer1);
  std::memset(killer2, 0, sizeof killer2);
  std::memset(killer3, 0, sizeof killer3);
}

void RecordGoodMove(const Move& move, bool cutoff) {
  const int ply = Board.ply;
  const Move* previous = currentMove[ply - 1];
  if (previous != nullptr && move.to == previous->to) return;
  if (cutoff) {
    if (killer1[ply].from != move.from || killer1[ply].to != move.to) {
      killer2[ply] = killer1[ply];
      killer1[ply] = SquarePair{move.from, move.to};
    }
    if (move.captured == 0) UpdateHistory(move.piece, move.to);
  } else {
    killer3[ply] = SquarePair{move.from, move.to};
  }
}

bool IsNewMove(const Move& move) {
  const int ply = Board.ply;
  if (ply < 3) return false;
  const int level = ply - 3;  // the move list of this side's previous turn
  const Move* list = moveBuffer + moveStart[level];
  for (int k = 1; k <= moveCount[level]; k++)
    if (list[k].piece == move.piece && list[k].to == move.to) return false;
  const Move* earlier = currentMove[ply - 2];
  if (earlier != nullptr && earlier->from == move.to && earlier->to == move.from) return false;
  return true;
}

}  // namespace kelb
