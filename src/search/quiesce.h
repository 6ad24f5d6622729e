// Quiescence steps of the search: stand pat with lazy evaluation and the capture futility threshold (the
// exchange test that skips losing captures is in search/exchange.h).
#pragma once
#include <cstdint>

namespace kelb {

// Largest evaluation change expected from the last move: [kind of the mover 0..6][kind captured 0..5]
// (row 0 and column 0 = none).
inline constexpr int32_t lazyMargin[7][6] = {
    //  none pawn knight bishop rook queen
    {600, 0, 0, 0, 0, 0},            // (none)
    {543, 449, 476, 429, 400, 600},  // pawn
    {557, 600, 531, 429, 534, 465},  // knight
    {500, 498, 400, 462, 407, 543},  // bishop
    {495, 400, 400, 400, 400, 600},  // rook
    {600, 600, 459, 438, 400, 575},  // queen
    {600, 408, 458, 419, 400, 0},    // king
};

// What the stand pat decided for a quiescence node.
enum class StandPatResult { Continue, NodeEnds, ReturnAtOnce };

// Stand pat at the current ply: computes the full evaluation only when the estimate is close enough to the
// window (a, b) to matter. Sets best and lastScore to the stand-pat value and may raise a.
StandPatResult StandPat(int32_t& a, int32_t b, int32_t& best);

// Captures gaining less than this are only generated when they may give check.
int32_t QuiescenceFutilityThreshold(int32_t a);

}  // namespace kelb
