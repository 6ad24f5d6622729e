// Move-ordering state of the search: killers, history, and the test for new moves.
// (The hash move, killer and history arrays themselves are declared with the generator, which reads them.)
#pragma once
#include <cstdint>

#include "board/board.h"

namespace kelb {

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

}  // namespace kelb
