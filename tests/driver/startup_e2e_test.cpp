// The engine binary from start-up to its end, through real pipes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;

// Reads the rest of the output after "quit": the engine must write 26 empty lines and end with code 0.
static void ExpectOrderlyQuit(EngineProcess& engine) {
  bool closed = false;
  std::vector<std::string> rest = engine.ReadToEnd(10000, &closed);
  EXPECT_TRUE(closed);
  ASSERT_GE(rest.size(), 26u);
  for (size_t i = rest.size() - 26; i < rest.size(); ++i) EXPECT_EQ(rest[i], "") << i;
  EXPECT_EQ(engine.WaitExit(), 0);
}

// The first count lines the engine sends (fewer when they do not come in time).
std::vector<std::string> FirstLines(EngineProcess& engine, size_t count) {
  std::vector<std::string> lines;
  std::string line;
  while (lines.size() < count && engine.ReadLine(line)) lines.push_back(line);
  return lines;
}

// Starts the engine with this configuration file (none when empty), expects these first lines and quits.
void ExpectFirstLines(const std::string& ini, const std::vector<std::string>& expected) {
  EngineProcess engine;
  if (!ini.empty()) engine.WriteFile("kelb701.ini", ini);
  engine.Start();
  const std::vector<std::string> lines = FirstLines(engine, expected.size());
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << i;
  engine.WriteLine("quit");
  ExpectOrderlyQuit(engine);
}

TEST(StartupE2E, BannerThenHashSizeWithoutIni) {
  ExpectFirstLines("", {"Kelb 7.01 (August 2005)", "hash size = 0 MB"});
}

TEST(StartupE2E, WeakNoticeFollowsHashLine) {
  ExpectFirstLines("weak = 10 ; weaker\r\nhashsize=1\r\n",
                   {"Kelb 7.01 (August 2005)", "hash size = 1 MB", "telluser Weak level 10 is enabled!"});
}

TEST(StartupE2E, QuitWritesTwentySixEmptyLinesAndExitsZero) {
  EngineProcess engine;
  engine.Start();
  engine.WriteLine("xboard");
  engine.WriteLine("quit");
  std::vector<std::string> out = engine.ReadToEnd();
  ASSERT_GE(out.size(), 28u);
  EXPECT_EQ(out[0], "Kelb 7.01 (August 2005)");
  // After the start-up lines nothing but the 26 empty lines.
  size_t firstEmpty = out.size() - 26;
  for (size_t i = 1; i < firstEmpty; ++i) EXPECT_FALSE(out[i].empty()) << i;
  for (size_t i = firstEmpty; i < out.size(); ++i) EXPECT_EQ(out[i], "");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(StartupE2E, UnknownCommandAnsweredAndLoopGoesOn) {
  EngineProcess engine;
  engine.Start();
  engine.WriteLine("xboard");
  engine.WriteLine("variant crazyhouse");
  std::string line;
  ASSERT_TRUE(engine.WaitFor("Error", &line));
  EXPECT_EQ(line, "Error (unknown command): variant crazyhouse");
  engine.WriteLine("ping 12");
  ASSERT_TRUE(engine.WaitFor("pong", &line));
  EXPECT_EQ(line, "pong 12");
  engine.WriteLine("quit");
  ExpectOrderlyQuit(engine);
}

TEST(StartupE2E, OverlongLineIsCutAndItsTailDropped) {
  EngineProcess engine;
  engine.Start();
  engine.WriteLine("ping " + std::string(250, '1') + "ping 2");
  engine.WriteLine("ping 3");
  std::string line;
  ASSERT_TRUE(engine.WaitFor("pong", &line));
  EXPECT_EQ(line, "pong " + std::string(250, '1'));
  ASSERT_TRUE(engine.WaitFor("pong", &line));
  EXPECT_EQ(line, "pong 3");
  engine.WriteLine("quit");
  ExpectOrderlyQuit(engine);
}

TEST(StartupE2E, LogRecordsTheTraffic) {
  EngineProcess engine;
  engine.WriteFile("kelb701.ini", "log=1\n");
  engine.WriteFile("kelb701.log", "stale log of an earlier run\n");
  engine.Start();
  engine.WriteLine("xboard");
  engine.WriteLine("ping 5");
  ASSERT_TRUE(engine.WaitFor("pong 5"));
  engine.WriteLine("quit");
  ExpectOrderlyQuit(engine);
  std::string log = engine.ReadFile("kelb701.log");
  EXPECT_EQ(log.find("stale"), std::string::npos);
  EXPECT_EQ(log.find("Kelb 7.01"), std::string::npos);  // the banner precedes the log
  EXPECT_EQ(log.rfind("into WB< hash size = 0 MB\r\n", 0), 0u) << log;
  EXPECT_NE(log.find("from WB> xboard\r\nfrom WB> ping 5\r\ninto WB< pong 5\r\nfrom WB> quit\r\n"),
            std::string::npos)
      << log;
  // The empty lines of "quit" bypass the log.
  const std::string tail = "from WB> quit\r\n";
  ASSERT_GE(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << log;
}

// GUIs wait about two seconds for the first feature line. The table's memory comes from the system already
// zero and is not cleared again, so a gigabyte table is not even in memory when the handshake is answered;
// clearing it would have made it resident first (a test on what is resident, which holds on any machine,
// rather than on time).
TEST(StartupE2E, ALargeTableIsNotClearedBeforeTheHandshake) {
  if (std::getenv("KELB_ENGINE_WRAPPER") != nullptr) GTEST_SKIP() << "a memory checker clears memory itself";
  constexpr int64_t kTableKb = 1023 * 1024;
  for (const char* protocol : {"xboard", "uci"}) {
    EngineProcess engine;
    engine.WriteFile("kelb701.ini", "hashsize=1023\n");
    engine.Start();
    engine.WriteLine(protocol);
    engine.WriteLine("protover 2");  // under UCI an unknown command, ignored
    std::string line;
    ASSERT_TRUE(engine.WaitFor("hash size", &line));
    EXPECT_EQ(line, "hash size = 1023 MB");
    ASSERT_TRUE(engine.WaitFor(std::string(protocol) == "uci" ? "id name" : "feature "));
    const int64_t residentKb = engine.ResidentKb();
    ASSERT_GT(residentKb, 0) << protocol;
    EXPECT_LT(residentKb, kTableKb / 4) << protocol;
    engine.WriteLine("quit");
    ExpectOrderlyQuit(engine);
  }
}

TEST(StartupE2E, EndOfInputEndsTheEngineAsQuit) {
  EngineProcess engine;
  engine.Start();
  engine.WriteLine("xboard");
  ASSERT_TRUE(engine.WaitFor("hash size"));
  engine.CloseInput();  // an engine that missed the end would wait for ever
  EXPECT_EQ(engine.WaitExit(10000), 0);
}

TEST(StartupE2E, LastLineWithoutLineFeedIsHandled) {
  EngineProcess engine;
  engine.Start();
  engine.Send("xboard\nping 9");
  engine.CloseInput();
  std::string line;
  ASSERT_TRUE(engine.WaitFor("pong", &line));
  EXPECT_EQ(line, "pong 9");
  ExpectOrderlyQuit(engine);
}

}  // namespace
}  // namespace kelb
