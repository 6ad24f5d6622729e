// Opt-in (slow): complete games between two engine processes under real clocks, one speaking WinBoard and one
// UCI or both WinBoard, refereed here. Run with --gtest_also_run_disabled_tests --gtest_filter='*SelfPlay*'.
// Fails on an illegal move, an error line, a loss on time or a stall.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "game_mirror.h"
#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;
using test::GameMirror;

static int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One player of the referee: a WinBoard or a UCI engine.
struct Player {
  EngineProcess engine;
  bool uci = false;
  bool started = false;  // a WinBoard player that has been given its side
};

static void Setup(Player& p, bool uci, bool ponder, const std::string& level) {
  p.uci = uci;
  p.engine.WriteFile("kelb701.ini", "hashsize=16\n");
  p.engine.Start();
  if (uci) {
    p.engine.WriteLine("uci");
    ASSERT_TRUE(p.engine.WaitFor("uciok"));
    p.engine.WriteLine("isready");
    ASSERT_TRUE(p.engine.WaitFor("readyok", nullptr, 20000));
  } else {
    p.engine.WriteLine("xboard");
    p.engine.WriteLine("protover 2");
    ASSERT_TRUE(p.engine.WaitFor("feature done=1", nullptr, 20000));
    p.engine.WriteLine("new");
    p.engine.WriteLine(level);
    p.engine.WriteLine(ponder ? "hard" : "easy");
    p.engine.WriteLine("post");
  }
}

// Plays one game; whiteUci selects the protocol of White. Returns the number of plies played.
static int PlayGame(bool whiteUci, int baseMs, int incMs, int maxPlies) {
  Player players[2];
  char level[64];
  std::snprintf(level, sizeof level, "level 0 %d:%02d %d", baseMs / 60000, baseMs / 1000 % 60, incMs / 1000);
  Setup(players[0], whiteUci, false, level);
  Setup(players[1], false, true, level);
  GameMirror game;
  std::string moves;
  int64_t clock[2] = {baseMs, baseMs};
  std::string lastMove;
  int plies = 0;
  while (plies < maxPlies && !game.Over()) {
    const int side = plies % 2;
    Player& p = players[side];
    const int64_t start = NowMs();
    if (p.uci) {
      p.engine.WriteLine("position startpos" + (moves.empty() ? std::string() : " moves" + moves));
      p.engine.WriteLine("go wtime " + std::to_string(clock[0]) + " btime " + std::to_string(clock[1]) +
                         " winc " + std::to_string(incMs) + " binc " + std::to_string(incMs));
    } else {
      p.engine.WriteLine("time " + std::to_string(clock[side] / 10));
      p.engine.WriteLine("otim " + std::to_string(clock[1 - side] / 10));
      if (!lastMove.empty()) p.engine.WriteLine(lastMove);
      if (!p.started) {
        if (side == 0) p.engine.WriteLine("go");  // Black starts by itself after White's first move
        p.started = true;
      }
    }
    std::string line;
    const std::string want = p.uci ? "bestmove " : "move ";
    std::vector<std::string> seen;
    bool got = p.engine.WaitFor(want, &line, static_cast<int>(clock[side]) + 2000, &seen);
    for (const std::string& l : seen) {
      EXPECT_EQ(l.find("Illegal"), std::string::npos) << l;
      EXPECT_EQ(l.find("Error"), std::string::npos) << l;
    }
    if (!got) {
      ADD_FAILURE() << "no move from " << (side ? "Black" : "White") << " at ply " << plies;
      break;
    }
    const int64_t used = NowMs() - start;
    clock[side] -= used;
    EXPECT_GT(clock[side], 0) << "lost on time at ply " << plies << " after " << used << " ms";
    if (clock[side] <= 0) break;
    clock[side] += incMs;
    std::string move = line.substr(want.size());
    move = move.substr(0, move.find(' '));
    if (!game.Play(move)) {
      ADD_FAILURE() << "illegal move " << move << " at ply " << plies;
      break;
    }
    moves += " " + move;
    lastMove = move;
    ++plies;
  }
  for (Player& p : players) {
    p.engine.WriteLine("quit");
    EXPECT_EQ(p.engine.WaitExit(5000), 0);
  }
  return plies;
}

TEST(SelfPlayE2E, DISABLED_WinBoardAgainstWinBoardWithIncrement) {
  for (int g = 0; g < 2; ++g) EXPECT_GT(PlayGame(false, 20000, 1000, 160), 10);
}

TEST(SelfPlayE2E, DISABLED_UciAgainstWinBoardWithIncrement) {
  for (int g = 0; g < 2; ++g) EXPECT_GT(PlayGame(true, 20000, 1000, 160), 10);
}

TEST(SelfPlayE2E, DISABLED_SuddenDeathBlitz) { EXPECT_GT(PlayGame(false, 10000, 0, 200), 10); }

}  // namespace
}  // namespace kelb
