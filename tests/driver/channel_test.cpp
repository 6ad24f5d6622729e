#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "driver/WBinout.h"
#include "driver/config.h"
#include "stdio_redirect.h"

namespace kelb {
namespace {

class ChannelTest : public test::ChannelFixture {
 protected:
  void TearDown() override {
    ChannelFixture::TearDown();
    InputLine.clear();
  }
  static std::string Poll() { return test::PollOnce(); }
};

TEST_F(ChannelTest, ReadAndSplitAreSeparateSteps) {
  io.Feed("usermove e2e4\r\n");
  EXPECT_EQ(Poll(), "");               // the read
  EXPECT_EQ(Poll(), "usermove e2e4");  // the split, carriage return dropped
  EXPECT_EQ(Poll(), "");               // nothing left, nothing waiting
}

TEST_F(ChannelTest, CarriageReturnsDroppedAnywhere) {
  io.Feed("pi\rng 1\r\r\n");
  Poll();
  EXPECT_EQ(Poll(), "ping 1");
}

TEST_F(ChannelTest, TwoLinesOfOneReadComeOnSuccessiveCalls) {
  io.Feed("new\ngo\npart");
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(Poll(), "new");
  EXPECT_EQ(Poll(), "go");
  EXPECT_EQ(Poll(), "");  // "part" moves to the pending text
  io.Feed("ial\n");
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(Poll(), "partial");
}

TEST_F(ChannelTest, WaitingLineIsNotReplaced) {
  io.Feed("first\nsecond\n");
  Poll();
  PollLine();
  EXPECT_EQ(InputLine, "first");
  PollLine();
  WaitLine();
  EXPECT_EQ(InputLine, "first");
  InputLine.clear();
  WaitLine();
  EXPECT_EQ(InputLine, "second");
}

TEST_F(ChannelTest, EmptyLineCountsAsNoLine) {
  io.Feed("\n\r\nxboard\n");
  Poll();
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(Poll(), "xboard");
}

TEST_F(ChannelTest, LongLineDeliveredWholeOnce) {
  std::string longLine(300, 'x');
  io.Feed(longLine + "\nnext\n");
  Poll();
  EXPECT_EQ(Poll(), longLine);
  EXPECT_EQ(Poll(), "next");
}

TEST_F(ChannelTest, PollNeverBlocksOnAnOpenEmptyInput) {
  // A poll that blocked would wait for ever on this open, empty input. The watchdog ends such a wait with a
  // line after ten seconds, so the test fails instead of hanging; a poll that never blocks takes micro-
  // seconds, so no loaded machine comes near the bound.
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!done.wait_for(lock, std::chrono::seconds(10), [&] { return finished; })) io.Feed("unblocked\n");
  });
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(Poll(), "");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  {
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
  }
  done.notify_one();
  watchdog.join();
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_FALSE(InputEnded());
}

TEST_F(ChannelTest, WaitLineWaitsForBytes) {
  // The clock starts before the writer, so the bytes come at least 100 ms later whatever the scheduler does.
  auto start = std::chrono::steady_clock::now();
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    io.Feed("force\n");
  });
  WaitLine();  // the read: returns once the bytes are there, line not yet split
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(InputLine, "");
  WaitLine();
  EXPECT_EQ(InputLine, "force");
  writer.join();
}

TEST_F(ChannelTest, EndOfInputKeepsLastLineAndThenQuits) {
  io.Feed("ping 3\nlast");
  io.CloseFeed();
  std::string got;
  for (int i = 0; i < 10; ++i) {
    std::string line = Poll();
    if (!line.empty()) got += line + "|";
  }
  // A line without a line feed is still a line; afterwards every poll reports the end as "quit".
  EXPECT_TRUE(got.rfind("ping 3|last|quit|quit", 0) == 0) << got;
  EXPECT_TRUE(InputEnded());
}

TEST_F(ChannelTest, WaitLineAfterAnIgnoredEndOfInputExits) {
  io.CloseFeed();
  EXPECT_EXIT(
      {
        WaitLine();  // learns of the end
        WaitLine();
        if (InputLine != "quit") std::_Exit(3);
        InputLine.clear();  // a reader that passes over it
        WaitLine();
        std::_Exit(4);
      },
      ::testing::ExitedWithCode(0), "");
}

// What start-up leaves for later must not hold up the handshake: it waits for the first answer to the GUI,
// then runs when the engine would wait for input, once.
TEST_F(ChannelTest, DeferredWorkRunsAtTheFirstWaitAfterAnAnswer) {
  static int runs;
  runs = 0;
  deferredWork = [] { ++runs; };
  io.Feed("xboard\n");
  WaitLine();
  WaitLine();
  EXPECT_EQ(InputLine, "xboard");  // no answer to it
  InputLine.clear();
  io.Feed("protover 2\n");
  WaitLine();
  EXPECT_EQ(runs, 0);
  WaitLine();
  EXPECT_EQ(InputLine, "protover 2");
  InputLine.clear();
  SendLine("feature done=1");
  io.Feed("ping 1\n");
  WaitLine();
  EXPECT_EQ(runs, 1);
  WaitLine();
  EXPECT_EQ(InputLine, "ping 1");
  InputLine.clear();
  SendLine("pong 1");
  io.Feed("quit\n");
  WaitLine();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(deferredWork, nullptr);
  EXPECT_EQ(io.Output(), "feature done=1\npong 1\n");
}

TEST_F(ChannelTest, LogHoldsBothDirectionsWithCrLf) {
  settings.logEnabled = true;
  OpenLog();
  io.Feed("protover 2\n\nquit\n");
  Poll();
  EXPECT_EQ(Poll(), "protover 2");
  SendLine("feature done=1");
  EXPECT_EQ(Poll(), "");  // the empty line: not logged
  EXPECT_EQ(Poll(), "quit");
  LogCheckpoint();
  EXPECT_EQ(io.ReadFile("kelb701.log"),
            "from WB> protover 2\r\ninto WB< feature done=1\r\nfrom WB> quit\r\n");
  EXPECT_EQ(io.Output(), "feature done=1\n");
  SendLine("after checkpoint");
  CloseLog();
  EXPECT_NE(io.ReadFile("kelb701.log").find("into WB< after checkpoint\r\n"), std::string::npos);
}

TEST_F(ChannelTest, NothingLoggedWhileLoggingIsOff) {
  OpenLog();
  SendLine("hello");
  EXPECT_FALSE(std::filesystem::exists("kelb701.log"));
  EXPECT_EQ(io.Output(), "hello\n");
}

}  // namespace
}  // namespace kelb
