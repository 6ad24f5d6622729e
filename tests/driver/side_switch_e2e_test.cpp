// "white" and "black" under the WinBoard protocol, through the engine binary: the switch leaves no
// en-passant right behind, a take-back after it restores the position before the move, and a side
// switched into stalemate gets its result line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;
using test::MoveWord;

// Starts the engine in xboard mode with the protocol log on; the start-up lines are read away.
static void StartLogged(EngineProcess& engine) {
  engine.WriteFile("kelb701.ini", "log=1\r\n");
  engine.Start();
  engine.WriteLine("xboard");
  engine.WriteLine("ping 0");
  ASSERT_TRUE(engine.WaitFor("pong 0"));
}

// The first line of a position file written by "savepos": the FEN fields and the two counters.
static std::string SavedPosition(EngineProcess& engine, const std::string& name) {
  const std::string text = engine.ReadFile(name);
  return text.substr(0, text.find('\r'));
}

// Black pawns in the placement field of a FEN.
static int BlackPawns(const std::string& fen) {
  int n = 0;
  for (size_t i = 0; i < fen.size() && fen[i] != ' '; ++i) n += fen[i] == 'p';
  return n;
}

TEST(SideSwitchE2E, SwitchAfterADoubleStepLeavesNoEnPassantCapture) {
  struct Case {
    const char* fen;
    const char* switched;  // savepos after e2e4 and "white"
  };
  // With a black pawn on e7 a stale right would corrupt the piece lists; without one, Black's material.
  for (const Case& c : {Case{"4k3/4p3/8/3P4/8/8/4P3/4K3 w - -", "4k3/4p3/8/3P4/4P3/8/8/4K3 w - - 0 1"},
                        Case{"4k3/8/8/3P4/8/8/4P3/4K3 w - -", "4k3/8/8/3P4/4P3/8/8/4K3 w - - 0 1"}}) {
    SCOPED_TRACE(c.fen);
    EngineProcess engine;
    StartLogged(engine);
    engine.WriteLine(std::string("setboard ") + c.fen);
    engine.WriteLine("force");
    engine.WriteLine("e2e4");
    engine.WriteLine("white");
    engine.WriteLine("d5e6");  // a pawn moving diagonally onto an empty square
    engine.WriteLine("savepos switched.fen");
    std::vector<std::string> lines = engine.LinesBeforePong(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Illegal move");
    EXPECT_EQ(SavedPosition(engine, "switched.fen"), c.switched);

    // The search is not offered the capture either.
    engine.WriteLine("sd 4");
    engine.WriteLine("go");
    std::string line;
    ASSERT_TRUE(engine.WaitFor("move ", &line, 20000));
    EXPECT_NE(MoveWord(line), "d5e6");
    engine.WriteLine("force");
    engine.WriteLine("savepos moved.fen");
    EXPECT_TRUE(engine.LinesBeforePong(2).empty());
    const std::string moved = SavedPosition(engine, "moved.fen");
    EXPECT_EQ(BlackPawns(moved), BlackPawns(c.fen)) << moved;
    EXPECT_NE(moved.find(" b - - "), std::string::npos) << moved;
    EXPECT_EQ(engine.Quit(), 0);
    EXPECT_EQ(engine.ReadFile("kelb701.log").find("errcode"), std::string::npos);
  }
}

TEST(SideSwitchE2E, UndoAndRemoveAfterASwitchRestoreThePositionBeforeTheMoves) {
  EngineProcess engine;
  StartLogged(engine);
  engine.WriteLines({"new", "force", "e2e4", "white", "undo", "savepos u.fen"});
  EXPECT_TRUE(engine.LinesBeforePong(1).empty());
  EXPECT_EQ(SavedPosition(engine, "u.fen"), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");

  // Play goes on from there, and "remove" after "black" takes back both moves of the pair.
  engine.WriteLines({"d2d4", "d7d5", "black", "remove", "savepos r.fen", "e2e4", "e7e5", "savepos e.fen"});
  EXPECT_TRUE(engine.LinesBeforePong(2).empty());
  EXPECT_EQ(SavedPosition(engine, "r.fen"), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(SavedPosition(engine, "e.fen"), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2");
  EXPECT_EQ(engine.Quit(), 0);
  EXPECT_EQ(engine.ReadFile("kelb701.log").find("errcode"), std::string::npos);
}

TEST(SideSwitchE2E, SwitchToAStalematedSideSendsTheResult) {
  struct Case {
    const char* fen;
    const char* command;
  };
  for (const Case& c :
       {Case{"k7/8/1Q6/8/8/8/8/7K w - -", "black"}, Case{"7k/8/8/8/8/1q6/8/K7 b - -", "white"}}) {
    SCOPED_TRACE(c.fen);
    EngineProcess engine;
    StartLogged(engine);
    engine.WriteLine(std::string("setboard ") + c.fen);
    engine.WriteLine(c.command);
    std::vector<std::string> lines = engine.LinesBeforePong(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "1/2-1/2 {Stalemate}");
    // "go" finds the game over: no move, and the engine still answers.
    engine.WriteLine("go");
    EXPECT_TRUE(engine.LinesBeforePong(2).empty());
    EXPECT_EQ(engine.Quit(), 0);
  }
}

}  // namespace
}  // namespace kelb
