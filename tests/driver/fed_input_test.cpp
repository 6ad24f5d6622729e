// Input fed from memory, the stepping clock and the program-end hook: the pieces that let a harness run the
// real command loops without a pipe, without waiting and without ending the process.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "search/hash.h"
#include "stdio_redirect.h"

namespace kelb {
namespace {

using test::StdioRedirect;

class FedInputTest : public ::testing::Test {
 protected:
  void SetUp() override { InitChannel(); }
  void TearDown() override {
    InitChannel();
    InputLine.clear();
  }
  static std::string Poll() { return test::PollOnce(); }
  StdioRedirect io;  // standard input is a pipe that stays empty: a fed line can only come from memory
};

TEST_F(FedInputTest, LinesArriveOneByOneThenQuit) {
  FeedInput("new\r\ngo\n\nping 7");
  std::string got;
  for (int i = 0; i < 13; ++i) got += Poll() + "|";
  // Each line takes a look that reads it and one that delivers it; CR is dropped, the empty line is no
  // line, the last line needs no line feed, and then the end of the bytes is the end of input.
  EXPECT_EQ(got, "|new||go||||||ping 7|quit|quit|quit|");
  EXPECT_TRUE(InputEnded());
}

TEST_F(FedInputTest, WaitLineNeverWaitsForFedLines) {
  FeedInput("edit\n.\n");
  // As its callers do: call again until a line is there (a read, then a split, each takes a call).
  auto next = [] {
    int calls = 0;
    while (InputLine.empty() && calls < 10) {
      WaitLine();
      ++calls;
    }
    std::string line = InputLine;
    InputLine.clear();
    return line + "/" + std::to_string(calls);
  };
  EXPECT_EQ(next(), "edit/2");
  EXPECT_EQ(next(), "./2");
  EXPECT_EQ(next(), "quit/2");  // the end of the bytes is learnt, then reported
}

TEST_F(FedInputTest, InitChannelReturnsToStandardInput) {
  FeedInput("fed\n");
  InitChannel();
  io.Feed("piped\n");
  std::string got;
  for (int i = 0; i < 4; ++i) got += Poll();
  EXPECT_EQ(got, "piped");
  EXPECT_FALSE(InputEnded());
}

TEST_F(FedInputTest, LongFedLineComesWhole) {
  const std::string line = "position startpos moves" + std::string(12000, 'x');
  FeedInput(line + "\n");
  std::string got;
  for (int i = 0; i < 8 && got.empty(); ++i) got = Poll();
  EXPECT_EQ(got, line);
}

TEST(SteppedClock, EveryReadingAndEveryWaitMovesItOn) {
  StepTicks(1000);
  EXPECT_EQ(TickCount(), 1000);
  EXPECT_EQ(TickCount(), 1001);
  const auto start = std::chrono::steady_clock::now();
  WaitMs(60'000);  // nothing really waits
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(TickCount(), 61'002);
  EXPECT_EQ(TimeOfDayMs(), 61'003 % 86'400'000);
  FreezeTicks(5);  // a stopped clock does not step
  EXPECT_EQ(TickCount(), 5);
  EXPECT_EQ(TickCount(), 5);
  ThawTicks();
  const int64_t a = TickCount();
  WaitMs(2);
  EXPECT_GE(TickCount() - a, 2);
}

struct EndSeen {
  int code;
};
[[noreturn]] void ThrowEnd(int code) { throw EndSeen{code}; }

TEST(ProgramEnd, HookSeesEveryEndAndQuitStillTidiesUp) {
  StdioRedirect io;
  programEndHook = ThrowEnd;
  int code = -1;
  try {
    EndProgram(3, false);
  } catch (const EndSeen& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 3);
  int32_t mb = 1;
  AllocateHashTable(mb);
  try {
    Quit();
  } catch (const EndSeen& e) {
    code = e.code;
  }
  programEndHook = nullptr;
  EXPECT_EQ(code, 0);
  EXPECT_EQ(HashTable.entries, nullptr);  // released before the end
  EXPECT_NE(io.Output().find("\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n"), std::string::npos);
}

TEST(ProgramEnd, WithoutHookTheProcessEnds) {
  EXPECT_EXIT(EndProgram(0, true), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(EndProgram(1, false), ::testing::ExitedWithCode(1), "");
}

TEST(SettingsFile, ReadAloneWithoutSideEffects) {
  StdioRedirect io;
  { std::ofstream("other.ini") << "hashsize=900\r\nweak=7\r\nlog=1\r\n"; }
  ReadSettingsFile("other.ini");
  EXPECT_EQ(settings.hashSizeMb, 900);
  EXPECT_EQ(settings.weakLevel, 7);
  EXPECT_TRUE(settings.logEnabled);
  EXPECT_EQ(io.Output(), "");  // no notices, no table, no log file
  EXPECT_FALSE(std::ifstream("kelb701.log").good());
  ReadSettingsFile("missing.ini");
  EXPECT_EQ(settings.hashSizeMb, 0);
  EXPECT_EQ(settings.weakLevel, 0);
  EXPECT_FALSE(settings.logEnabled);
}

}  // namespace
}  // namespace kelb
