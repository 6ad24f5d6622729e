#include "support/position.h"

#include <gtest/gtest.h>

#include <sstream>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "driver/config.h"

namespace kelb::test {

bool PlaceFen(const std::string& fen) { return PlaceFenAtRoot(fen); }

void PlayMoves(const std::string& moves) {
  std::istringstream words(moves);
  std::string word;
  while (words >> word) {
    const Move m = ParseMoveText(word);
    ASSERT_NE(m.from, 0) << word;
    PlayMove(m);
  }
}

void NewForceGame() {
  InitKeys();
  engineState = EngineState{};
  engineState.mode = EngineMode::Force;
  NewGame();
}

void BookGameTest::SetUp() {
  settings = Settings{};
  settings.bookEnabled = true;
  NewForceGame();
}

}  // namespace kelb::test
