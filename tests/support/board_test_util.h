// Helpers shared by the board tests: position set-up without the front end, leaf counts, board snapshots.
#pragma once
#include <cstdint>
#include <string>

#include "board/board.h"

namespace kelb::test {

// Puts the engine into a mode that accepts set-ups, with logging off.
void ResetEngineMode();
// ReadFen + BuildPieceLists + material, key and a fresh search history (no game reset, nothing sent).
// Returns false when the position is refused.
bool SetUpPosition(const std::string& fen);
// SetUpPosition followed by ResetGame (the game-level routine, which may send result lines).
bool SetUpGame(const std::string& fen);

// Leaf count of the legal-move tree the way the search sees legality.
int64_t Perft(int depth);

// The first difference between two boards ("" when equal).
std::string BoardDifference(const BoardRecord& a, const BoardRecord& b);

// Plays the game-level move given as text; false if it is not among the legal moves.
bool PlayText(const std::string& text);

// The generated moves of the current level as text, in order.
std::string GeneratedMovesText();

}  // namespace kelb::test
