// Helpers for the search tests: a quiet engine (no output, no input polling, small table) and positions
// entered the way the search enters them.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "board/attack.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "driver/uci.h"
#include "eval/eval.h"
#include "records/records.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "search/search.h"
#include "search/think.h"
#include "search/timectl.h"

namespace kelb::test {

inline constexpr int32_t kTestHashMb = 2;

// Full strength, WinBoard style, thinking lines off, no polling of standard input.
inline void QuietEngine() {
  settings.weakLevel = 0;
  settings.weakDelay = false;
  settings.resignEnabled = false;
  settings.logEnabled = false;
  engineState.mode = EngineMode::Force;
  engineState.uciMode = false;
  engineState.xboardMode = true;
  engineState.post = false;
  engineState.pondering = engineState.uciPonder = engineState.multiAnalyze = false;
  engineState.stopRequested = engineState.searchInterruptible = false;
  pollDuringSearch = false;
  searchLimits = SearchLimits{};
  mateSearchMode = false;
  int32_t mb = kTestHashMb;
  AllocateHashTable(mb);  // every test starts from an empty table
  settings.hashSizeMb = kTestHashMb;
  std::memset(killer1, 0, sizeof killer1);
  std::memset(killer2, 0, sizeof killer2);
  std::memset(killer3, 0, sizeof killer3);
}

// Sets up the game position (fresh game history) with fixed-depth limits and no time limit.
inline void SetPosition(const char* fen, int depthLimit = kMaxDepthLimit) {
  QuietEngine();
  SetUpPosition(fen);
  ASSERT_NE(engineState.mode, EngineMode::Halted) << fen;
  engineState.mode = EngineMode::Force;
  InitTimeControl();
  timeControl.timeMode = 2;
  timeControl.baseTime = 1000000000;
  timeControl.depthLimit[kWhite] = timeControl.depthLimit[kBlack] = depthLimit;
  AllocateTimeAt(TickCount(), Board.side, false);
  timeControl.nodeCount = 0;
  timeControl.nodeLimit = kMaxNodeLimit;
  timeControl.pollInterval = kFirstPollInterval;
}

// Makes the moves inside the search, one ply each, setting the slots the root and the parents would set.
// Afterwards Board.ply is the ply of the last move made, so Search() enters the next node.
inline void EnterLine(std::initializer_list<const char*> moves) {
  Board.ply = 1;
  int remaining = static_cast<int>(moves.size());
  for (const char* text : moves) {
    const int ply = Board.ply;
    inCheck[ply] = IsAttacked(Board.king[Board.side], Board.xside);
    checksOnly[ply] = 0;
    onLeftmostLine[ply] = 0;
    fullEval[ply] = kNoStaticEval;
    estEval[ply] = -Evaluate();
    futilityThreshold = 0;
    GenerateMoves(false);
    const int level = Board.makeDepth;
    Move* found = nullptr;
    for (int k = 1; k <= moveCount[level]; k++) {
      Move& m = moveBuffer[moveStart[level] + k];
      if (MoveToText(m) == text) found = &m;
    }
    ASSERT_NE(found, nullptr) << text;
    MakeMove(*found);
    if (--remaining > 0) Board.ply++;
  }
  const int next = Board.ply + 1;
  hashMoveFrom[next] = hashMoveTo[next] = 0;
  checksOnly[next] = singleReply[next] = 0;
  certainFailLow[next] = 0;
  childDepthHint[next] = 1;
  timeControl.nodeCount = 0;
}

// Plays moves into the game, as the front ends do.
inline void PlayGame(std::initializer_list<const char*> moves) {
  for (const char* text : moves) {
    const Move m = ParseMoveText(text);
    ASSERT_NE(m.from, 0) << text;
    PlayMove(m);
  }
}

inline std::string EngineMoveText() { return MoveToText(engineMove); }

}  // namespace kelb::test
