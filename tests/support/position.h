// Positions for the tests that drive the engine's own code in this process: a FEN put on the board with its
// piece lists, material and key, a line of game moves played from the current position, and a fresh game.
#pragma once
#include <gtest/gtest.h>

#include <string>

namespace kelb::test {

// ReadFen, the piece lists, material and key, at the root of a search (ply 1, no move made); false when the
// position is refused. Nothing is sent and the game is not reset.
bool PlaceFen(const std::string& fen);

// Plays the moves given as coordinate texts separated by blanks; a move the position does not have fails the
// test and stops the line there.
void PlayMoves(const std::string& moves);

// A fresh game in force mode, as a test of the game's own code wants it: the hash keys, a cleared engine
// state, and the initial position. The settings are left as the caller set them.
void NewForceGame();

// The fixture of the book's tests: the default settings with the book on, then a fresh game in force mode.
class BookGameTest : public ::testing::Test {
 protected:
  void SetUp() override;
};

}  // namespace kelb::test
