#include "search/ordering.h"

#include <cstring>

namespace kelb {

int32_t hashMoveFrom[kMaxPly]{};
int32_t hashMoveTo[kMaxPly]{};
SquarePair killer1[kMaxPly]{};
SquarePair killer2[kMaxPly]{};
SquarePair killer3[kMaxPly]{};
int32_t history[13][89]{};
int32_t historyShift = 0;
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

// n of the sorting utilities: the move count of the current node's level.
static int CurrentLevelCount() { return moveCount[Board.ply - 1]; }

static int32_t ScoreOf(int32_t moveNumber) { return moveBuffer[moveNumber].score; }

// Index of the highest score among list[from..n], the first one on ties.
static int BestIndex(const int32_t* list, int from, int n) {
  int best = from;
  for (int i = from + 1; i <= n; ++i) {
    if (ScoreOf(list[i]) > ScoreOf(list[best])) best = i;
  }
  return best;
}

void SortFirst(int32_t* list, int k) {
  const int n = CurrentLevelCount();
  const int last = k < n - 1 ? k : n - 1;
  for (int pos = 1; pos <= last; ++pos) {
    const int best = BestIndex(list, pos, n);
    const int32_t moved = list[best];
    for (int i = best; i > pos; --i) list[i] = list[i - 1];
    list[pos] = moved;
  }
}

bool SortStep(int32_t* list, int pos, int n) {
  if (pos > n - 1) return false;
  int best = pos;
  int32_t bestScore = ScoreOf(list[pos]);
  for (int i = pos + 1; i <= n; ++i) {
    const int32_t s = ScoreOf(list[i]);
    if (s > bestScore) {
      best = i;
      bestScore = s;
    }
  }
  const int32_t t = list[pos];
  list[pos] = list[best];
  list[best] = t;
  return bestScore > 0 && pos < n - 1;
}

void SortByScore(int32_t* list) {
  const int n = CurrentLevelCount();
  for (int pos = 1; SortStep(list, pos, n); ++pos) {
  }
}

int32_t BestToFront(int32_t* list) {
  const int n = CurrentLevelCount();
  for (int i = 2; i <= n; ++i) {
    if (ScoreOf(list[i]) > ScoreOf(list[1])) MoveToFront(list, i);
  }
  return ScoreOf(list[1]);
}

void MoveToFront(int32_t* list, int k) {
  const int32_t moved = list[k];
  for (int i = k; i > 1; --i) list[i] = list[i - 1];
  list[1] = moved;
}

}  // namespace kelb
