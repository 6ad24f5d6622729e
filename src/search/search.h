// The recursive alpha-beta search with its per-ply state; quiescence is the same function at depth < 1.
#pragma once
#include <cstdint>

#include "board/board.h"

namespace kelb {

// Score conventions, from the side to move: mated at ply p scores p - kMateBase.
inline constexpr int32_t kMateBase = 32768;
inline constexpr int32_t kMateBound = 32666;     // at or beyond: a mate score
inline constexpr int32_t kInfinity = 32766;      // the root window
inline constexpr int32_t kNotSearched = -32767;  // nothing searched yet, or an illegal move
inline constexpr int32_t kNoStaticEval = 12345;  // no static evaluation computed (also in table entries)
inline constexpr int kMaxSearchPly = 39;         // a node entered at this ply returns its evaluation

// Per-ply search slots, indexed by ply (1 = root).
extern int32_t fullEval[kMaxPly];        // full static evaluation, kNoStaticEval when not computed
extern int32_t estEval[kMaxPly];         // evaluation used for pruning: full or estimated
extern int32_t nodeDepth[kMaxPly];       // depth argument of the node, set when it returns
extern int32_t childDepthHint[kMaxPly];  // parent's depth - 1 (at least 1)
extern uint8_t onLeftmostLine[kMaxPly];  // this node and all its ancestors search their first move
extern uint8_t certainFailLow[kMaxPly];  // the node's fail low is certain: the parent stops deepening
extern uint8_t singleReply[kMaxPly];     // the parent was in check with one generated move
extern int32_t repetitionCount[kMaxPly];
// Triangular principal variation: row p holds pvLine[p][p..pvEnd[p]] (codes promotion*10000+from*100+to).
extern int32_t pvLine[kMaxPly][kMaxPly];
extern int32_t pvEnd[kMaxPly];

// Move numbers of each node's list, 1-based, in search order.
inline constexpr int kMaxListMoves = 512;  // beyond any position's pseudo-legal move count
extern int32_t nodeList[kMaxPly][kMaxListMoves + 1];

extern bool noNullMove;  // set by a table probe whose entry says the null move would fail
extern int32_t iterationDepth;
extern bool mateSearchMode;  // a mate was seen: search for the shortest one, no risky pruning
extern bool nodeLimitStop;   // the stop came from the weak levels' node limit, not from a command
// The input poll from inside the tree; tools that search without a console (bench) switch it off.
extern bool pollDuringSearch;

// Principal-variation code of a move.
inline int32_t PvCode(const Move& m) { return m.promotion * 10000 + m.from * 100 + m.to; }

// Searches the Board to depth plies (quiescence below 1); returns the score for the side to move.
int32_t Search(int32_t alpha, int32_t beta, int32_t depth);

}  // namespace kelb
