// A fixed-seed stream of random command lines, built from each protocol's vocabulary with odd arguments,
// broken positions and garbage bytes, fed to the engine binary with short pauses so that lines meet both an
// idle engine and a running search. The engine must survive (the sanitizer build turns memory faults into a
// failed exit), still answer its liveness probe and end with exit code 0 on "quit".
// For a longer soak by hand: KELB_RANDOM_SEED=n KELB_RANDOM_LINES=m test_driver
// --gtest_filter='RandomInput*'.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
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

class RandomLines {
 public:
  explicit RandomLines(uint32_t seed) : state(seed) {}
  uint32_t Next(uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % n;
  }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[Next(static_cast<uint32_t>(items.size()))];
  }
  std::string Number() {
    static const std::vector<std::string> numbers = {
        "0",     "1", "-1",  "2",   "5",  "40",          "abc",        "",    "99999999999", "3:30",
        "1:2:3", ":", "0.5", "$10", "+7", "-2147483648", "2147483647", "12x", "\t5",         "300"};
    return Pick(numbers);
  }
  std::string Square() {
    std::string s;
    s += "abcdefghiA"[Next(10)];
    s += "1234567809"[Next(10)];
    return s;
  }
  std::string MoveText() {
    static const std::vector<std::string> moves = {"e2e4", "d2d4", "g1f3", "b1c3",  "e7e5",  "d7d5", "g8f6",
                                                   "b8c6", "e1g1", "e8g8", "a7a8q", "h2h1n", "f1c4", "d1h5",
                                                   "f3g1", "f6g8", "c3b1", "c6b8",  "e4e5",  "d5d4"};
    if (Next(10) < 7) return Pick(moves);
    static const std::vector<std::string> promotions = {"", "", "q", "x", "Q"};
    return Square() + Square() + Pick(promotions);
  }
  std::string Fen() {
    static const std::vector<std::string> fens = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "4k3/8/8/8/8/8/8/4K2R w K - 0 1",
        "8/8/8/8/8/8/8/8 w - -",
        "4k3/8/8/8/8/8/8/4K3 w -",
        "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3",
        "k7/8/8/8/8/8/8/R6K b - -",
        "7k/5Q2/6K1/8/8/8/8/8 b - -",
        "4k3/8/8/8/8/8/4r3/4K3 w - -",
        "R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1",
        "4k3/8/8/3pP3/8/8/8/4K3 w - d6",
        "8/P6k/8/8/8/8/6p1/K7 w - -",
    };
    std::string fen = Pick(fens);
    // A few random edits make most of them broken.
    static const std::string letters = "pnbrqkPNBRQK123456789/ -wbKQkqabcdefgh36";
    for (uint32_t n = Next(4); n > 0 && !fen.empty(); --n) {
      const size_t i = Next(static_cast<uint32_t>(fen.size()));
      switch (Next(3)) {
        case 0:
          fen.erase(i, 1);
          break;
        case 1:
          fen.insert(i, 1, letters[Next(static_cast<uint32_t>(letters.size()))]);
          break;
        default:
          fen[i] = letters[Next(static_cast<uint32_t>(letters.size()))];
          break;
      }
    }
    return fen;
  }
  std::string Garbage() {
    std::string g;
    for (uint32_t n = 1 + Next(60); n > 0; --n) {
      char c = static_cast<char>(Next(2) ? Next(256) : 32 + Next(95));
      g += c == '\n' ? ' ' : c;
    }
    return g;
  }

  // One WinBoard line (an edit dialogue comes as several lines, always closed by ".").
  std::string WinBoardLine() {
    const uint32_t r = Next(100);
    if (r < 25) return MoveText();
    if (r < 30) return Garbage();
    if (r < 32) return std::string(Next(20), ' ');
    static const std::vector<std::string> words = {
        "new",     "force",    "go",           "white",    "black",   "white",    "black",   "random",
        "sd",      "auto",     "st",           "level",    "time",    "otim",     "ping",    "protover",
        "draw",    "accepted", "hard",         "easy",     "post",    "nopost",   "undo",    "remove",
        "analyze", "exit",     "loadpos",      "setboard", "savepos", "computer", "bk",      "hint",
        "result",  "savepgn",  "multianalyze", "rating",   "?",       ".",        "variant", "playother",
        "name",    "usermove", "edit"};
    const std::string& w = Pick(words);
    if (w == "sd") return "sd " + Pick(std::vector<std::string>{"1", "2", "3", "0", "-1", "abc", "35", ""});
    if (w == "st") return "st " + Pick(std::vector<std::string>{"1", "0", "-1", "abc", ""});
    if (w == "level") return "level " + Number() + " " + Number() + " " + Number();
    if (w == "time" || w == "otim" || w == "ping") return w + " " + Number();
    if (w == "setboard") return "setboard " + Fen();
    if (w == "usermove") return "usermove " + MoveText();
    if (w == "loadpos")
      return "loadpos " + Pick(std::vector<std::string>{"pos.fen", "missing", ""}) + " " + Number();
    if (w == "savepos" || w == "savepgn")
      return w + " " + Pick(std::vector<std::string>{"pos.fen", "game.pgn", ""});
    if (w == "edit") {
      std::string lines = "edit";
      static const std::vector<std::string> editLines = {"#",   "c",   "Ke1", "ke8", "Kh1", "Qd1",  "Pa8",
                                                         "Ph1", "xe1", "xz9", "K",   "",    "Ke11", "Ra1"};
      for (uint32_t n = Next(12); n > 0; --n) lines += "\n" + (Next(8) == 0 ? Garbage() : Pick(editLines));
      return lines + "\n.";
    }
    return Next(4) == 0 ? w + " " + Number() : w;
  }

  std::string UciLine() {
    const uint32_t r = Next(100);
    if (r < 5) return Garbage();
    if (r < 25) {
      std::string line =
          "position " + Pick(std::vector<std::string>{"startpos", "fen " + Fen(), "", "fen", "xyz"});
      if (Next(10) < 7) {
        line += " moves";
        for (uint32_t n = Next(30); n > 0; --n) line += " " + MoveText();
      }
      return line;
    }
    if (r < 50) {
      static const std::vector<std::string> params = {
          "wtime", "btime",    "winc",     "binc",   "movestogo",   "depth",  "nodes",
          "mate",  "movetime", "infinite", "ponder", "searchmoves", "garbage"};
      std::string line = "go";
      bool bounded = false;
      for (uint32_t n = Next(6); n > 0; --n) {
        const std::string& p = Pick(params);
        line += " " + p;
        if (p == "searchmoves") {
          for (uint32_t k = Next(30); k > 0; --k) line += " " + MoveText();
        } else if (p != "infinite" && p != "ponder" && p != "garbage") {
          line += " " + Pick(std::vector<std::string>{"1", "0", "-1", "100", "1000", "3", "abc"});
        }
        bounded =
            bounded || p == "depth" || p == "movetime" || p == "nodes" || p == "infinite" || p == "ponder";
      }
      if (!bounded) line += " depth " + std::to_string(1 + Next(3));
      return line;
    }
    if (r < 65) {
      return "setoption name " +
             Pick(std::vector<std::string>{"Hash", "Clear Hash", "Ponder", "OwnBook", "Learning", "UCI_Elo",
                                           "DelayOnWeakLevels", "Bogus", ""}) +
             Pick(std::vector<std::string>{" value ", " ", ""}) +
             Pick(std::vector<std::string>{"true", "false", "0", "2", "16", "99999", "-5", "abc", ""});
    }
    return Pick(std::vector<std::string>{"isready", "stop", "ponderhit", "ucinewgame", "debug on",
                                         "register later", ".", "draw", "?"});
  }

 private:
  uint32_t state;
};

static uint32_t EnvNumber(const char* name, uint32_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : fallback;
}

// Sends the lines with short pauses, reading the engine's output as it comes so that neither side blocks.
static void Feed(EngineProcess& engine, RandomLines& random, bool uci, int count) {
  std::string line;
  for (int i = 0; i < count; ++i) {
    const uint32_t ending = random.Next(4);
    engine.Send((uci ? random.UciLine() : random.WinBoardLine()) + (ending == 0 ? "\r\n" : "\n"));
    if (random.Next(3) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(random.Next(6)));
    while (engine.ReadLine(line, 1)) {
    }
    ASSERT_TRUE(engine.Running()) << "the engine ended after line " << i;
  }
}

// The engine's data files and a log, so that the book and the log are exercised too.
static void WriteDataFiles(EngineProcess& engine) {
  EXPECT_TRUE(engine.WriteShippedBook());
  engine.WriteFile("kelb701.ini", "hashsize=1\nlog=1\n");
}

TEST(RandomInputE2E, WinBoardSurvivesRandomCommands) {
  EngineProcess engine;
  WriteDataFiles(engine);
  engine.WriteFile("pos.fen", "4k3/8/8/8/8/8/8/4K2R w K - 0 1\n8/8/8/8/8/8/8/8 w - -\n");
  engine.Start();
  engine.WriteLine("xboard");
  engine.WriteLine("protover 2");
  ASSERT_TRUE(engine.WaitFor("feature done=1", nullptr, 20000));
  RandomLines random(EnvNumber("KELB_RANDOM_SEED", 20051));
  Feed(engine, random, false, static_cast<int>(EnvNumber("KELB_RANDOM_LINES", 400)));
  engine.WriteLines({"force", "exit"});
  ASSERT_TRUE(engine.Ping(424242, nullptr, 20000));
  EXPECT_EQ(engine.Quit(5000), 0);
}

TEST(RandomInputE2E, UciSurvivesRandomCommands) {
  EngineProcess engine;
  WriteDataFiles(engine);
  ASSERT_TRUE(engine.StartUci(false));
  RandomLines random(EnvNumber("KELB_RANDOM_SEED", 7010));
  Feed(engine, random, true, static_cast<int>(EnvNumber("KELB_RANDOM_LINES", 400)));
  engine.WriteLine("stop");
  engine.WriteLine("isready");
  ASSERT_TRUE(engine.WaitFor("readyok", nullptr, 20000));
  EXPECT_EQ(engine.Quit(5000), 0);
}

// Noise that leaves the game alone: garbage, unknown words, refused moves, clock and search settings.
static std::string WinBoardNoise(RandomLines& random) {
  static const std::vector<std::string> noise = {
      "draw",         "?",        ".",       "hint",     "bk",     "hard",       "easy",      "post",
      "nopost",       "accepted", "random",  "computer", "rating", "result 1-0", "variant x", "usermove e2e9",
      "a1a1",         "sd 1",     "sd 2",    "st 1",     "ping 1", "time 500",   "otim 0",    "level 0 1 0",
      "level 40 5 0", "time -5",  "time abc"};
  return random.Next(5) == 0 ? random.Garbage() : random.Pick(noise);
}

// A game against the engine with noise between the moves: every move the engine sends must be legal.
TEST(RandomInputE2E, WinBoardGameWithNoiseStaysLegal) {
  EngineProcess engine;
  engine.Start();
  engine.WriteLine("xboard");
  RandomLines random(EnvNumber("KELB_RANDOM_SEED", 1999));
  for (int round = 0; round < 8; ++round) {
    engine.WriteLine("new");
    engine.WriteLine("sd 2");
    GameMirror game;
    while (game.Ply() < 80 && !game.Over()) {
      if (Board.side == kWhite) {
        const std::string move =
            MoveToText(legalMoves[1 + random.Next(static_cast<uint32_t>(legalMoveCount))]);
        engine.WriteLine(move);
        ASSERT_TRUE(game.Play(move));
        continue;
      }
      for (uint32_t n = random.Next(4); n > 0; --n) engine.WriteLine(WinBoardNoise(random));
      engine.WriteLine("sd " + std::to_string(1 + random.Next(2)));
      std::string line;
      ASSERT_TRUE(engine.WaitFor("move ", &line, 20000)) << "ply " << game.Ply();
      ASSERT_TRUE(game.Play(MoveWord(line))) << line;
    }
  }
  engine.WriteLine("force");
  ASSERT_TRUE(engine.Ping(77, nullptr, 20000));
  EXPECT_EQ(engine.Quit(5000), 0);
}

// The same under UCI: the GUI sends the whole game each time, noise in between.
TEST(RandomInputE2E, UciGameWithNoiseStaysLegal) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci(false));
  static const std::vector<std::string> noise = {"isready",
                                                 "stop",
                                                 "ponderhit",
                                                 "ucinewgame",
                                                 "debug on",
                                                 "setoption name Clear Hash",
                                                 "setoption name Hash value 0",
                                                 "setoption name OwnBook value false",
                                                 ".",
                                                 "?",
                                                 "position",
                                                 "go searchmoves"};
  RandomLines random(EnvNumber("KELB_RANDOM_SEED", 2005));
  for (int round = 0; round < 8; ++round) {
    engine.WriteLine("ucinewgame");
    GameMirror game;
    std::string moves;
    while (game.Ply() < 80 && !game.Over()) {
      const std::string ours = MoveToText(legalMoves[1 + random.Next(static_cast<uint32_t>(legalMoveCount))]);
      ASSERT_TRUE(game.Play(ours));
      moves += " " + ours;
      if (game.Over()) break;
      for (uint32_t n = random.Next(4); n > 0; --n) {
        const std::string l = random.Next(5) == 0 ? random.Garbage() : random.Pick(noise);
        if (l != "go searchmoves") engine.WriteLine(l);  // a bare go would search without a bound
      }
      engine.WriteLine("position startpos moves" + moves);
      engine.WriteLine(random.Next(2) ? "go depth " + std::to_string(1 + random.Next(3)) : "go movetime 30");
      std::string line;
      ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 20000)) << "ply " << game.Ply();
      const std::string best =
          line.substr(9, line.find(' ', 9) == std::string::npos ? std::string::npos : line.find(' ', 9) - 9);
      ASSERT_TRUE(game.Play(best)) << line;
      moves += " " + best;
    }
  }
  engine.WriteLine("isready");
  ASSERT_TRUE(engine.WaitFor("readyok", nullptr, 20000));
  EXPECT_EQ(engine.Quit(5000), 0);
}

}  // namespace
}  // namespace kelb
