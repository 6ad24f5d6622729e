// Pseudo-legal move generation into the shared move buffer, with ordering scores, and the sorting
// utilities over lists of move numbers.
#pragma once
#include <cstdint>

#include "board/board.h"

namespace kelb {

// A move identified by its two squares (killers).
struct SquarePair {
  int32_t from;
  int32_t to;
};

// Search state the generator reads for its ordering scores (the search writes it).
extern int32_t hashMoveFrom[kMaxPly];
extern int32_t hashMoveTo[kMaxPly];
extern SquarePair killer1[kMaxPly];
extern SquarePair killer2[kMaxPly];
extern SquarePair killer3[kMaxPly];
extern int32_t history[13][89];  // [piece code][square]
extern int32_t historyShift;

// Squares to which a piece other than the king may move when in check.
extern SquareArray<uint8_t> evasionMask;
// Per square, the piece kinds (bit 1 << kind) that would give direct check to the enemy king from there.
extern SquareArray<uint8_t> checkMask;

// Appends the moves of the side to move for level makeDepth to moveBuffer and sets moveStart/moveCount of
// that level. capturesOnly keeps captures, en passant and queen promotions.
void GenerateMoves(bool capturesOnly);

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
