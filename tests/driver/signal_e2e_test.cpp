// xboard interrupts engines behind a pipe with SIGINT; the engine must shrug it off and keep playing.
#include <gtest/gtest.h>
#include <signal.h>

#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;

TEST(SignalE2E, InterruptIsIgnoredWhileIdleAndWhileThinking) {
  EngineProcess engine;
  engine.Start();
  std::string line;
  ASSERT_TRUE(engine.WaitFor("hash size"));
  engine.Signal(SIGINT);
  engine.WriteLine("xboard");
  engine.WriteLine("ping 1");
  ASSERT_TRUE(engine.WaitFor("pong 1", &line));

  engine.WriteLine("new");
  engine.WriteLine("st 1");
  engine.WriteLine("go");
  engine.Signal(SIGINT);  // arrives during the search
  ASSERT_TRUE(engine.WaitFor("move ", &line, 10000));
  EXPECT_EQ(line.size(), 9u) << line;
  engine.WriteLine("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

}  // namespace
}  // namespace kelb
