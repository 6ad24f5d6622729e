// Pondering under the WinBoard protocol, watched from outside through the engine's processor time: "hard"
// is the GUI's standing choice, kept across set-ups and new games, and "easy" still ends it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;
using test::Pause;
using Clock = std::chrono::steady_clock;

// True once the engine has used at least `ms` of processor time beyond `from`, waiting up to `waitMs`. A
// search keeps a core busy; an engine waiting for input uses next to none, however loaded the machine.
static bool UsesProcessorTime(EngineProcess& engine, int64_t from, int64_t ms, int waitMs) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(waitMs);
  while (Clock::now() < end) {
    Pause(100);
    const int64_t now = engine.CpuTimeMs();
    if (now >= 0 && now - from >= ms) return true;
  }
  return false;
}

// xboard's order for a game from a set-up position: "new", "hard", then "force" and the set-up. The engine
// plays White's move and is left with Black to move.
static void MoveFromSetUp(EngineProcess& engine, const std::string& setUp) {
  engine.Start();
  engine.WriteLine("xboard");
  engine.WriteLine("new");
  engine.WriteLine("hard");
  engine.WriteLine("force");
  engine.WriteLine(setUp);
  engine.WriteLine("st 1");
  engine.WriteLine("go");
  std::string line;
  ASSERT_TRUE(engine.WaitFor("move ", &line, 20000));
}

TEST(PonderE2E, PondersAfterASetUpPosition) {
  EngineProcess engine;
  MoveFromSetUp(engine, "setboard rnbqkbnr/ppppppp1/8/7p/P7/8/1PPPPPPP/RNBQKBNR w KQkq - 0 3");
  const int64_t start = engine.CpuTimeMs();
  ASSERT_GE(start, 0);
  EXPECT_TRUE(UsesProcessorTime(engine, start, 200, 20000));
  // The opponent's move ends the ponder search and gets an answer.
  engine.WriteLine("e7e6");
  std::string line;
  EXPECT_TRUE(engine.WaitFor("move ", &line, 20000));
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(PonderE2E, PondersAfterANewGameAndAnEditedPosition) {
  // "new" after "hard", then an edited position (kings and a pawn each): pondering stays on.
  EngineProcess engine;
  engine.Start();
  engine.WriteLine("xboard");
  engine.WriteLine("hard");
  engine.WriteLine("new");
  engine.WriteLine("force");
  for (const char* edit : {"edit", "#", "Ke1", "Pe2", "Pd2", "Pf2", "c", "Ke8", "Pe7", "Pd7", "Pf7", "."})
    engine.WriteLine(edit);
  engine.WriteLine("st 1");
  engine.WriteLine("go");
  std::string line;
  ASSERT_TRUE(engine.WaitFor("move ", &line, 20000));
  const int64_t start = engine.CpuTimeMs();
  ASSERT_GE(start, 0);
  EXPECT_TRUE(UsesProcessorTime(engine, start, 200, 20000));
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(PonderE2E, EasyStopsPondering) {
  EngineProcess engine;
  MoveFromSetUp(engine, "setboard rnbqkbnr/ppppppp1/8/7p/P7/8/1PPPPPPP/RNBQKBNR w KQkq - 0 3");
  ASSERT_TRUE(UsesProcessorTime(engine, engine.CpuTimeMs(), 200, 20000));
  engine.WriteLine("easy");
  engine.WriteLine("ping 1");
  ASSERT_TRUE(engine.WaitFor("pong 1", nullptr, 10000));
  Pause(100);
  const int64_t idle = engine.CpuTimeMs();
  ASSERT_GE(idle, 0);
  Pause(1500);
  EXPECT_LT(engine.CpuTimeMs() - idle, 100);
  // "hard" switches it on again for the same position.
  engine.WriteLine("hard");
  EXPECT_TRUE(UsesProcessorTime(engine, engine.CpuTimeMs(), 200, 20000));
  EXPECT_EQ(engine.Quit(), 0);
}

}  // namespace
}  // namespace kelb
