// The root of the search: a one-ply first pass, then iterative deepening with aspiration and null windows,
// the time checks between root moves, and the resign / draw decisions after the search.
#pragma once
#include <cstdint>

#include "board/board.h"
#include "search/timectl.h"

namespace kelb {

extern Move engineMove;        // the move to play or report; left as it was when nothing was searched
extern int32_t rootScore;      // its score for the side to move
extern int32_t lastIteration;  // depth of the last completed iteration
extern int32_t iterationScore[kMaxDepthLimit + 2];  // rootScore after iteration d
inline constexpr int kStatusTextSize = 101;
extern char statusText[kStatusTextSize];  // " depth movesLeft moves move" for the analysis status line
extern bool resigned;                     // the engine resigned this game

inline constexpr int kMaxSearchMoves = 99;
inline constexpr int kMaxAnalysisLines = 218;  // the most legal moves a chess position can have

// What a front end asks of the next search besides its clock, filled before Think(): the root moves the
// search may choose from (any when rootMoveCount is 0), a node limit (kMaxNodeLimit for none; the search
// takes the smaller of it and a weak level's own) and how many best root moves to show with their lines.
// More than one line at full strength searches every root move with the full window, so that each has an
// exact score and its own line; a weak level shows one.
struct SearchLimits {
  Move rootMoves[kMaxSearchMoves];
  int rootMoveCount = 0;
  int32_t nodeLimit = kMaxNodeLimit;
  int lineCount = 1;
};
extern SearchLimits searchLimits;

// True when the search may choose the root move: always when no root moves are listed.
bool RootMoveAllowed(const Move& move);

// After a WinBoard game search: resigns a lost game (once) and settles a game whose record is nearly full.
void ResignOrOfferDraw();

// Searches the game position; see engineMove, rootScore, pvLine[1] and ponderMoveText afterwards.
void Think();

}  // namespace kelb
