// Where the engine finds kelb701.ini and kelb701.bok. An install build (here kelb701-installed, whose data
// folder lies in the build tree and holds copies of the shipped files) reads them from its data folder when
// the working directory has none, so a GUI starting it from any folder gets the table and the book; files in
// the working directory win, and the log stays there. The developer build has no such fallback. Only regular
// files count: a directory or a FIFO of one of the four names is taken as missing, and never holds up the
// start.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;

constexpr char kInstalledEngine[] = KELB_INSTALLED_ENGINE_PATH;

// The start-up lines up to and including "pong 1": banner, hash size, any notices.
std::vector<std::string> StartUpLines(EngineProcess& engine) {
  engine.WriteLine("ping 1");
  std::vector<std::string> seen;
  EXPECT_TRUE(engine.WaitFor("pong 1", nullptr, 10000, &seen));
  return seen;
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines)
    if (line == text) return true;
  return false;
}

// The start of the developer's build with neither a configuration nor a book it could read: no hash table,
// the book reported missing, and a clean end.
void ExpectStartWithoutIniAndBook(EngineProcess& engine) {
  engine.Start();
  const std::vector<std::string> lines = StartUpLines(engine);
  EXPECT_TRUE(Contains(lines, "hash size = 0 MB"));
  EXPECT_TRUE(Contains(lines, "tellusererror kelb701.bok not found"));
  EXPECT_EQ(engine.Quit(), 0);
}

// The moves "bk" lists at the current position (empty outside the book).
std::vector<std::string> BookCandidates(EngineProcess& engine) {
  engine.WriteLine("bk");
  std::vector<std::string> seen, moves;
  EXPECT_TRUE(engine.Ping(2, &seen));
  for (const std::string& line : seen)
    if (line.size() == 15 && line[0] == ' ' && line.substr(12) == "%  ") moves.push_back(line.substr(1, 4));
  return moves;
}

// A book of eight first moves that all are 1.a3: only a book read from the working directory offers it.
std::string A3OnlyBook() { return test::BookBytes(std::vector<int32_t>(8, (10000 + 0) * 100000 + 1213)); }

TEST(InstalledDataE2E, DeveloperBuildReadsOnlyTheWorkingDirectory) {
  EngineProcess engine;
  ExpectStartWithoutIniAndBook(engine);
}

TEST(InstalledDataE2E, EmptyFolderGetsTheInstalledTableAndBookUnderWinBoard) {
  EngineProcess engine;
  engine.Start(kInstalledEngine);
  std::vector<std::string> lines = StartUpLines(engine);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Kelb 7.01 (August 2005)");
  EXPECT_EQ(lines[1], "hash size = 64 MB");
  EXPECT_FALSE(Contains(lines, "tellusererror kelb701.bok not found"));

  engine.WriteLine("xboard");
  engine.WriteLine("new");
  std::vector<std::string> candidates = BookCandidates(engine);
  EXPECT_EQ(candidates.size(), 8u);
  // A book move comes without any thinking line, although thinking output is on.
  engine.WriteLine("post");
  engine.WriteLine("go");
  std::vector<std::string> seen;
  std::string move;
  ASSERT_TRUE(engine.WaitFor("move ", &move, 10000, &seen));
  EXPECT_EQ(seen.size(), 1u) << seen.front();
  EXPECT_TRUE(Contains(candidates, move.substr(5))) << move;
  EXPECT_EQ(engine.Quit(), 0);

  // The engine wrote nothing into its data folder or the working directory.
  EXPECT_FALSE(std::filesystem::exists(std::string(KELB_INSTALLED_DATA_DIR) + "/kelb701.log"));
  EXPECT_FALSE(std::filesystem::exists(std::string(KELB_INSTALLED_DATA_DIR) + "/kelb701.epd"));
  EXPECT_TRUE(std::filesystem::is_empty(engine.Dir()));
}

TEST(InstalledDataE2E, EmptyFolderGetsTheBookUnderUci) {
  EngineProcess engine;
  engine.Start(kInstalledEngine);
  engine.WriteLine("uci");
  std::vector<std::string> seen;
  ASSERT_TRUE(engine.WaitFor("uciok", nullptr, 10000, &seen));
  EXPECT_TRUE(Contains(seen, "hash size = 64 MB"));
  engine.WriteLine("isready");
  seen.clear();
  ASSERT_TRUE(engine.WaitFor("readyok", nullptr, 30000, &seen));
  for (const std::string& line : seen) EXPECT_EQ(line.find("not found"), std::string::npos) << line;
  engine.WriteLine("position startpos moves e2e4");
  engine.WriteLine("go wtime 60000 btime 60000");
  seen.clear();
  std::string best;
  ASSERT_TRUE(engine.WaitFor("bestmove ", &best, 30000, &seen));
  // Searched moves are preceded by "info" lines; a book move is not.
  EXPECT_EQ(seen.size(), 1u) << seen.front();
  EXPECT_EQ(best.find(" ponder "), std::string::npos) << best;
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(InstalledDataE2E, FilesInTheWorkingDirectoryWin) {
  // Own ini, installed book.
  EngineProcess ownIni;
  ownIni.WriteFile("kelb701.ini", "hashsize=1\nlog=1\n");
  ownIni.Start(kInstalledEngine);
  std::vector<std::string> lines = StartUpLines(ownIni);
  EXPECT_TRUE(Contains(lines, "hash size = 1 MB"));
  EXPECT_FALSE(Contains(lines, "hash size = 64 MB"));
  EXPECT_FALSE(Contains(lines, "tellusererror kelb701.bok not found"));
  ownIni.WriteLine("xboard");
  EXPECT_EQ(BookCandidates(ownIni).size(), 8u);
  EXPECT_EQ(ownIni.Quit(), 0);
  // The log goes to the working directory, never to the data folder.
  EXPECT_EQ(ownIni.ReadFile("kelb701.log").rfind("into WB< hash size = 1 MB\r\n", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(std::string(KELB_INSTALLED_DATA_DIR) + "/kelb701.log"));

  // Own book, installed ini.
  EngineProcess ownBook;
  ownBook.WriteFile("kelb701.bok", A3OnlyBook());
  ownBook.Start(kInstalledEngine);
  lines = StartUpLines(ownBook);
  EXPECT_TRUE(Contains(lines, "hash size = 64 MB"));
  ownBook.WriteLine("xboard");
  EXPECT_EQ(BookCandidates(ownBook), std::vector<std::string>(8, "a2a3"));
  EXPECT_EQ(ownBook.Quit(), 0);
}

TEST(InstalledDataE2E, DirectoriesAreNoBookAndNoConfiguration) {
  EngineProcess developer;
  std::filesystem::create_directory(developer.Dir() + "/kelb701.bok");
  std::filesystem::create_directory(developer.Dir() + "/kelb701.ini");
  ExpectStartWithoutIniAndBook(developer);

  // As missing ones, they leave the installed copies in force.
  EngineProcess installed;
  std::filesystem::create_directory(installed.Dir() + "/kelb701.bok");
  std::filesystem::create_directory(installed.Dir() + "/kelb701.ini");
  installed.Start(kInstalledEngine);
  std::vector<std::string> lines = StartUpLines(installed);
  EXPECT_TRUE(Contains(lines, "hash size = 64 MB"));
  EXPECT_FALSE(Contains(lines, "tellusererror kelb701.bok not found"));
  installed.WriteLine("xboard");
  EXPECT_EQ(BookCandidates(installed).size(), 8u);
  EXPECT_EQ(installed.Quit(), 0);
}

TEST(InstalledDataE2E, FifosDoNotHoldUpTheStart) {
  // Nobody ever writes into these: an engine that opened them waiting would never answer.
  EngineProcess readOnes;
  for (const char* name : {"kelb701.ini", "kelb701.bok"})
    ASSERT_EQ(mkfifo((readOnes.Dir() + "/" + name).c_str(), 0644), 0);
  ExpectStartWithoutIniAndBook(readOnes);

  // The learning file is read at the start and written later, the log written from the start on.
  EngineProcess written;
  written.WriteFile("kelb701.ini", "hashsize=2\nlog=1\n");
  for (const char* name : {"kelb701.epd", "kelb701.log"})
    ASSERT_EQ(mkfifo((written.Dir() + "/" + name).c_str(), 0644), 0);
  written.Start();
  std::vector<std::string> lines = StartUpLines(written);
  EXPECT_TRUE(
      Contains(lines, "telluser Cannot write kelb701.log (not a regular file); logging is off for this run"));
  written.WriteLine("xboard");
  for (const char* command : {"new", "force", "e2e4", "d7d5", "d1g4", "c8g4", "level 0 60 0", "sd 4", "go"})
    written.WriteLine(command);
  std::vector<std::string> seen;
  ASSERT_TRUE(written.WaitFor("move ", nullptr, 30000, &seen));
  EXPECT_TRUE(Contains(
      seen,
      "telluser Cannot write kelb701.epd (not a regular file); learned positions are not saved in this run"));
  EXPECT_EQ(written.Quit(), 0);
}

TEST(InstalledDataE2E, AByteOrderMarkDoesNotHideTheFirstKey) {
  EngineProcess engine;
  engine.WriteFile("kelb701.ini", "\xEF\xBB\xBFhashsize=64\r\nweak=3\r\n");
  engine.Start();
  std::vector<std::string> lines = StartUpLines(engine);
  EXPECT_TRUE(Contains(lines, "hash size = 64 MB"));
  EXPECT_TRUE(Contains(lines, "telluser Weak level 3 is enabled!"));
  EXPECT_EQ(engine.Quit(), 0);
}

}  // namespace
}  // namespace kelb
