// Test helper: keeps the game of an end-to-end test in this process, on the engine's own board code, so
// that every move the engine sends can be checked for legality in the game position.
#pragma once
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "driver/config.h"
#include "search/hash.h"
#include "support/engine_process.h"

namespace kelb::test {

class GameMirror {
 public:
  GameMirror() {
    int32_t mb = 0;
    AllocateHashTable(mb);
    engineState.xboardMode = true;
    engineState.uciMode = false;
    NewGame();
    engineState.mode = EngineMode::Force;
  }
  // Plays the move if it is legal in the mirrored game; false otherwise.
  bool Play(const std::string& text) {
    Move move = ParseMoveText(text);
    if (move.from == 0 || result != kResultNone) return false;
    return PlayMove(move);
  }
  // Plays the moves given as texts separated by blanks; false at the first that is not legal.
  bool PlayLine(const std::string& moves) {
    std::istringstream words(moves);
    std::string word;
    while (words >> word) {
      if (!Play(word)) return false;
    }
    return true;
  }
  int Ply() const { return gamePly; }
  bool Over() const { return result != kResultNone; }
};

// Whether the engine's reply is legal after the game moves (blanks between them) from the initial position.
inline bool LegalAfter(const std::string& moves, const std::string& reply) {
  GameMirror game;
  return game.PlayLine(moves) && game.Play(reply);
}

// The engine's next move ("move X"): it must come within the deadline and be legal in the mirrored game,
// where it is played too.
inline ::testing::AssertionResult EngineMoves(EngineProcess& engine, GameMirror& game,
                                              int timeoutMs = 10000) {
  std::string line;
  if (!engine.WaitFor("move ", &line, timeoutMs)) return ::testing::AssertionFailure() << "no move came";
  if (!game.Play(MoveWord(line))) return ::testing::AssertionFailure() << "not legal in the game: " << line;
  return ::testing::AssertionSuccess();
}

// Our move, sent to the engine and played in the mirrored game, then the engine's answer as EngineMoves.
inline ::testing::AssertionResult EngineAnswers(EngineProcess& engine, GameMirror& game,
                                                const std::string& move, int timeoutMs = 10000) {
  engine.WriteLine(move);
  if (!game.Play(move)) return ::testing::AssertionFailure() << "our move is not legal: " << move;
  return EngineMoves(engine, game, timeoutMs);
}

}  // namespace kelb::test
