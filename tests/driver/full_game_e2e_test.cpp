// One whole game between two engine processes, refereed here: White speaks WinBoard (pondering, thinking
// output, the log), Black speaks UCI, both with the opening book, the learning file and a table. Fixed depths
// decide the moves, so no clock and no machine speed matters. The game runs until the rules end it (mate,
// stalemate, repetition, fifty moves, material, or the full record of 1,000 moves): White may not resign.
// Every move must be legal in the refereed game, the WinBoard engine must announce the result the rules give,
// and both engines must save their records and end cleanly. `make valgrind` runs this under the memory
// checker.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/game.h"
#include "game_mirror.h"
#include "support/engine_process.h"

namespace kelb {
namespace {

using test::EngineProcess;
using test::GameMirror;
using test::MoveWord;

static void WriteDataFiles(EngineProcess& engine, const std::string& ini) {
  std::ifstream book(KELB_SOURCE_DIR "/data/kelb701.bok", std::ios::binary);
  std::stringstream bytes;
  bytes << book.rdbuf();
  ASSERT_FALSE(bytes.str().empty());
  engine.WriteFile("kelb701.bok", bytes.str());
  engine.WriteFile("kelb701.ini", ini);
}

// Lines no engine may send in a game that goes by the rules.
static void ExpectNoComplaints(const std::vector<std::string>& lines, int ply) {
  for (const std::string& l : lines) {
    EXPECT_EQ(l.find("Illegal"), std::string::npos) << "ply " << ply << ": " << l;
    EXPECT_EQ(l.find("Error"), std::string::npos) << "ply " << ply << ": " << l;
    EXPECT_EQ(l.find("tellusererror"), std::string::npos) << "ply " << ply << ": " << l;
  }
}

TEST(FullGameE2E, WinBoardAgainstUciToTheEnd) {
  EngineProcess white, black;
  WriteDataFiles(white, "hashsize=1\nlog=1\nresign=0\n");
  WriteDataFiles(black, "hashsize=2\n");
  white.Start();
  white.WriteLine("xboard");
  white.WriteLine("protover 2");
  ASSERT_TRUE(white.WaitFor("feature done=1", nullptr, 20000));
  for (const char* l : {"new", "hard", "post", "sd 2", "go"}) white.WriteLine(l);
  black.Start();
  black.WriteLine("uci");
  ASSERT_TRUE(black.WaitFor("uciok"));
  black.WriteLine("isready");
  ASSERT_TRUE(black.WaitFor("readyok", nullptr, 20000));

  GameMirror game;
  std::string moves;  // the game so far, as the UCI position command lists it
  while (!game.Over()) {
    const int ply = game.Ply();
    std::string move;
    std::vector<std::string> seen;
    if (Board.side == kWhite) {
      std::string line;
      ASSERT_TRUE(white.WaitFor("move ", &line, 60000, &seen)) << "no move from White at ply " << ply;
      ExpectNoComplaints(seen, ply);
      move = MoveWord(line);
    } else {
      black.WriteLine("position startpos" + (moves.empty() ? std::string() : " moves" + moves));
      black.WriteLine("go depth 2");
      std::string line;
      ASSERT_TRUE(black.WaitFor("bestmove ", &line, 60000, &seen)) << "no move from Black at ply " << ply;
      ExpectNoComplaints(seen, ply);
      move =
          line.substr(9, line.find(' ', 9) == std::string::npos ? std::string::npos : line.find(' ', 9) - 9);
      white.WriteLine(move);
    }
    ASSERT_TRUE(game.Play(move)) << "illegal move " << move << " at ply " << ply << " after" << moves;
    moves += " " + move;
  }
  EXPECT_GT(game.Ply(), 10);
  std::printf("The game ended after %d plies: %s\n", game.Ply(), resultText[result]);

  // The WinBoard engine has seen the last move: it names the result the rules give.
  std::vector<std::string> seen;
  ASSERT_TRUE(white.WaitFor(resultText[result], nullptr, 20000, &seen)) << "after" << moves;
  ExpectNoComplaints(seen, game.Ply());
  white.WriteLine("savepgn game.pgn");
  white.WriteLine("savepos game.fen");
  white.WriteLine("ping 1");
  ASSERT_TRUE(white.WaitFor("pong 1", nullptr, 20000, &seen));
  black.WriteLine("isready");
  ASSERT_TRUE(black.WaitFor("readyok", nullptr, 20000));
  white.WriteLine("quit");
  black.WriteLine("quit");
  EXPECT_EQ(white.WaitExit(20000), 0);
  EXPECT_EQ(black.WaitExit(20000), 0);
  // The record holds the game's first and last moves.
  const std::string pgn = white.ReadFile("game.pgn");
  EXPECT_NE(pgn.find(moves.substr(1, 4)), std::string::npos) << pgn;
  EXPECT_NE(pgn.find(moves.substr(moves.rfind(' ') + 1)), std::string::npos) << pgn;
  EXPECT_FALSE(white.ReadFile("game.fen").empty());
  EXPECT_NE(white.ReadFile("kelb701.log").find("from WB> quit"), std::string::npos);
}

}  // namespace
}  // namespace kelb
