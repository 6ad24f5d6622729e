// The learning file and the log are side records, not the game: when the engine cannot write one of them
// (a directory of that name, a folder the user cannot write, a file-size limit) it tells the user once, in
// the form of the protocol in use, leaves that file alone for the rest of the run and plays on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;

const std::string kLearnNotice =
    "Cannot write kelb701.epd (Is a directory); learned positions are not saved in this run";

int Count(const std::vector<std::string>& lines, const std::string& prefix) {
  int n = 0;
  for (const std::string& line : lines) n += line.compare(0, prefix.size(), prefix) == 0;
  return n;
}

// WinBoard: the engine, White, has lost its queen and searches to depth 4; a result that far behind is
// written to the learning file. Returns the lines up to and including the move.
std::vector<std::string> QueenDownGame(EngineProcess& engine) {
  for (const char* command : {"new", "force", "e2e4", "d7d5", "d1g4", "c8g4", "level 0 60 0", "sd 4", "go"})
    engine.WriteLine(command);
  std::vector<std::string> seen;
  EXPECT_TRUE(engine.WaitFor("move ", nullptr, 30000, &seen));
  return seen;
}

// The same under UCI, up to and including "bestmove".
std::vector<std::string> QueenDownSearch(EngineProcess& engine) {
  engine.WriteLine("position startpos moves e2e4 d7d5 d1g4 c8g4");
  engine.WriteLine("go depth 4");
  std::vector<std::string> seen;
  EXPECT_TRUE(engine.WaitFor("bestmove ", nullptr, 30000, &seen));
  return seen;
}

// Whether a user without rights of its own can reach and run the program: every folder on its path must be
// open to all (a checkout under root's home is not).
bool OpenToAll(const std::filesystem::path& program) {
  struct stat st;
  if (stat(program.c_str(), &st) != 0 || !(st.st_mode & S_IXOTH)) return false;
  for (std::filesystem::path dir = program.parent_path(); !dir.empty(); dir = dir.parent_path()) {
    if (stat(dir.c_str(), &st) != 0 || !(st.st_mode & S_IXOTH)) return false;
    if (dir == dir.root_path()) break;
  }
  return true;
}

// Starts the engine with a small table and a folder where its learning file would be, and greets it.
void StartWithALearningFolder(EngineProcess& engine, const std::string& greeting) {
  engine.WriteFile("kelb701.ini", "hashsize=2\n");
  std::filesystem::create_directory(engine.Dir() + "/kelb701.epd");
  engine.Start();
  engine.WriteLine(greeting);
}

TEST(SideFilesE2E, ALearningFileThatIsADirectoryIsReportedOnceAndTheGameGoesOn) {
  EngineProcess winboard;
  StartWithALearningFolder(winboard, "xboard");
  EXPECT_EQ(Count(QueenDownGame(winboard), "telluser " + kLearnNotice), 1);
  // The next game learns again, but the file is not tried again.
  EXPECT_EQ(Count(QueenDownGame(winboard), "telluser"), 0);
  EXPECT_EQ(winboard.Quit(), 0);

  EngineProcess uci;
  StartWithALearningFolder(uci, "uci");
  EXPECT_EQ(Count(QueenDownSearch(uci), "info string " + kLearnNotice), 1);
  uci.WriteLine("ucinewgame");
  EXPECT_EQ(Count(QueenDownSearch(uci), "info string Cannot"), 0);
  EXPECT_EQ(uci.Quit(), 0);
}

// As a program started from a system folder finds itself (the GUI's choice, not the user's). Root is not
// bound by permissions, so a test running as root runs the engine as the user nobody.
TEST(SideFilesE2E, AFolderTheEngineCannotWriteCostsNoGame) {
  EngineProcess engine;
  engine.WriteFile("kelb701.ini", "hashsize=2\nlog=1\n");
  if (geteuid() == 0) {
    if (std::getenv("KELB_ENGINE_WRAPPER") != nullptr)
      GTEST_SKIP() << "the wrapper could not write its own log";
    if (!OpenToAll(std::filesystem::absolute(KELB_ENGINE_PATH)))
      GTEST_SKIP() << "the user nobody cannot reach " << KELB_ENGINE_PATH;
    engine.SetUser(65534, 65534);
  }
  ASSERT_EQ(chmod(engine.Dir().c_str(), 0555), 0);
  engine.Start();
  engine.WriteLine("uci");
  std::vector<std::string> seen;
  ASSERT_TRUE(engine.WaitFor("uciok", nullptr, 10000, &seen))
      << "run as nobody, the engine must be open to all";
  // Start-up does not know the protocol yet: the notice follows its own lines in WinBoard form...
  const std::string logNotice = "Cannot write kelb701.log (Permission denied); logging is off for this run";
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[1], "hash size = 2 MB");
  EXPECT_EQ(seen[2], "telluser " + logNotice);
  // ...and the UCI front end repeats it in its own.
  engine.WriteLine("isready");
  seen.clear();
  ASSERT_TRUE(engine.WaitFor("readyok", nullptr, 10000, &seen));
  EXPECT_EQ(Count(seen, "info string " + logNotice), 1);

  const std::string learnNotice =
      "info string Cannot write kelb701.epd (Permission denied); learned positions are not saved in this run";
  EXPECT_EQ(Count(QueenDownSearch(engine), learnNotice), 1);
  EXPECT_EQ(Count(QueenDownSearch(engine), "info string Cannot"), 0);
  EXPECT_EQ(engine.Quit(), 0);
  chmod(engine.Dir().c_str(), 0700);
  EXPECT_FALSE(engine.FileExists("kelb701.epd"));
  EXPECT_FALSE(engine.FileExists("kelb701.log"));
}

// Files that open but take no bytes: a write fails only when the buffered text reaches the file. Both files
// are given up, each with one notice; standard output (a pipe) is not bound by the limit.
TEST(SideFilesE2E, WritesThatFailAfterTheFileOpenedAreReportedOnce) {
  if (std::getenv("KELB_ENGINE_WRAPPER") != nullptr)
    GTEST_SKIP() << "the wrapper could not write its own log";
  EngineProcess engine;
  engine.WriteFile("kelb701.ini", "hashsize=2\nlog=1\n");
  engine.SetFileSizeLimit(0);
  engine.Start();
  engine.WriteLine("xboard");
  std::vector<std::string> lines = QueenDownGame(engine);
  const std::vector<std::string> second = QueenDownGame(engine);
  lines.insert(lines.end(), second.begin(), second.end());
  engine.WriteLine("quit");
  const std::vector<std::string> rest = engine.ReadToEnd();
  lines.insert(lines.end(), rest.begin(), rest.end());
  EXPECT_EQ(engine.WaitExit(), 0);
  EXPECT_EQ(Count(lines, "telluser Cannot write kelb701.log (File too large); logging is off for this run"),
            1);
  EXPECT_EQ(
      Count(
          lines,
          "telluser Cannot write kelb701.epd (File too large); learned positions are not saved in this run"),
      1);
  EXPECT_EQ(Count(lines, "telluser Cannot"), 2);
  EXPECT_EQ(Count(lines, "move "), 2);
}

}  // namespace
}  // namespace kelb
