// Positions for the tests that drive the engine's own code in this process: a FEN put on the board with its
// piece lists, material and key, and a line of game moves played from the current position.
#pragma once
#include <string>

namespace kelb::test {

// ReadFen, the piece lists, material and key, at the root of a search (ply 1, no move made); false when the
// position is refused. Nothing is sent and the game is not reset.
bool PlaceFen(const std::string& fen);

// Plays the moves given as coordinate texts separated by blanks; a move the position does not have fails the
// test and stops the line there.
void PlayMoves(const std::string& moves);

}  // namespace kelb::test
