// xboard interrupts engines behind a pipe with SIGINT; the engine must shrug it off and keep playing. A GUI
// that stops reading the engine's output must not kill it silently: the failed write is reported.
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
  EXPECT_EQ(engine.Quit(), 0);
}

// The engine's output closed at the start of a command (idle) or while it thinks: the next line it writes
// fails, it reports that on standard error, keeps what it logged, and stops with a non-zero exit.
TEST(SignalE2E, ClosedOutputIsReportedAndStopsTheEngine) {
  for (const char* command : {"ping 1", "analyze"}) {
    SCOPED_TRACE(command);
    EngineProcess engine;
    engine.WriteFile("kelb701.ini", "log=1\r\n");
    engine.SetErrorFile("errors.txt");
    engine.Start();
    engine.WriteLine("xboard");
    engine.WriteLine("post");
    engine.WriteLine("ping 0");
    ASSERT_TRUE(engine.WaitFor("pong 0"));
    engine.CloseOutput();
    engine.WriteLine(command);
    EXPECT_EQ(engine.WaitExit(30000), 1);  // not 128 + SIGPIPE
    EXPECT_NE(engine.ReadFile("errors.txt").find("Runtime error: cannot write to standard output"),
              std::string::npos)
        << engine.ReadFile("errors.txt");
    EXPECT_NE(engine.ReadFile("kelb701.log").find(std::string("from WB> ") + command), std::string::npos);
  }
}

}  // namespace
}  // namespace kelb
