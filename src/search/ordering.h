// Move ordering: the hash move, killers and history the generator scores moves by, the sort of a node's
// list by those scores, and the test for new moves.
#pragma once
#include <cstdint>

#include "board/board.h"

namespace kelb {

// A move identified by its two squares (killers).
struct SquarePair {
  int32_t from;
  int32_t to;
};

// Ordering state of each ply: the search writes it, the generator reads it for its scores.
extern int32_t hashMoveFrom[kMaxPly];
extern int32_t hashMoveTo[kMaxPly];
extern SquarePair killer1[kMaxPly];
extern SquarePair killer2[kMaxPly];
extern SquarePair killer3[kMaxPly];
extern int32_t history[13][89];  // [piece code][square]
extern int32_t historyShift;

extern int32_t historyMax;  // largest history counter since the search started

// Counts a quiet move that caused a cut-off and keeps the history bonus within 0..5.
void UpdateHistory(int piece, int to);

// Forgets the history (start of every search); killers are kept.
void ClearHistory();
// Forgets the killers: they belong to the game they were found in (a new UCI game).
void ClearKillers();

// A move raised alpha at the current ply: cut-offs (score >= beta) become killers and, when quiet,
// history; other improvements become the third killer. Recaptures on the square the opponent just
// moved to are left out: they are found by the recapture bonus anyway.
void RecordGoodMove(const Move& move, bool cutoff);

// True when the move was not available at this side's previous turn on the line and does not take back
// that turn's move: such moves are never reduced.
bool IsNewMove(const Move& move);

// Sorting utilities over list[1..n] of move numbers (indices into moveBuffer), n = moveCount of the level
// of the current node (ply - 1), all by Move::score.
void SortFirst(int32_t* list, int k);
// Selection sort of the whole list, best first (the first of equal scores first); it stops at the first
// step whose best score is 0 or less and leaves the rest as it stands.
void SortByScore(int32_t* list);
// Step pos of that sort over list[1..n]: the best of list[pos..n] exchanged into pos. Returns false when the
// sort ends with this step (or had nothing left to do). Steps 1..k taken in turn leave list[1..k] exactly as
// the whole sort does, so a search may take them only as far as it reads the list.
bool SortStep(int32_t* list, int pos, int n);
int32_t BestToFront(int32_t* list);
void MoveToFront(int32_t* list, int k);

}  // namespace kelb
