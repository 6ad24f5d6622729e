// Hostile and odd input through the engine binary, under both protocols: oversized and binary lines, broken
// arguments and positions, commands during a search, closed input. After every batch the engine must still
// answer, every move it sends must be legal in the mirrored game, and "quit" must end it with exit code 0.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "board/game.h"
#include "game_mirror.h"
#include "records/records.h"
#include "support/chess_model.h"
#include "support/engine_process.h"

namespace kelb {
namespace {

using test::BestMoveOf;
using test::CountLines;
using test::EngineAnswers;
using test::EngineMoves;
using test::EngineProcess;
using test::MoveWord;
using test::Pause;

// The mirrored game can also start from a FEN; false when the position is refused.
class Mirror : public test::GameMirror {
 public:
  bool SetUp(const std::string& fen) {
    SetUpPosition(fen);
    return engineState.mode != EngineMode::Halted;
  }
  bool IsLegal(const std::string& text) const { return ParseMoveText(text).from != 0; }
};

// Whether a move is legal after the given moves from the start position (a fresh mirror each time, as all
// mirrors share the board).
static bool LegalAfter(const std::vector<std::string>& moves, const std::string& move) {
  Mirror game;
  for (const std::string& m : moves)
    if (!game.Play(m)) return false;
  return game.IsLegal(move);
}

// After all that, still a chess engine: in a new game at depth 2 it answers 1.e4 with a legal move.
static ::testing::AssertionResult AnswersInANewGame(EngineProcess& engine) {
  Mirror game;
  engine.WriteLines({"new", "sd 2"});
  return EngineAnswers(engine, game, "e2e4");
}

// UCI: sends the commands; the "bestmove" that follows must come within the deadline and be legal after
// the moves from the start position.
static ::testing::AssertionResult AnswersLegally(EngineProcess& engine,
                                                 const std::vector<std::string>& commands,
                                                 const std::vector<std::string>& moves, int timeoutMs) {
  std::string line;
  if (!engine.Ask(commands, "bestmove ", &line, timeoutMs))
    return ::testing::AssertionFailure() << "no bestmove";
  if (!LegalAfter(moves, BestMoveOf(line))) return ::testing::AssertionFailure() << "not legal: " << line;
  return ::testing::AssertionSuccess();
}

// A long game without a result before ply 1,000, built on the engine's own rules: quiet piece moves while
// the fifty-move counter is low, a pawn move or capture when it runs high, never a move that ends the game.
static std::vector<std::string> LongGame(Mirror& game, int plies) {
  std::vector<std::string> moves;
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  while (game.Ply() < plies && !game.Over()) {
    const bool wantIrreversible = fiftyHistory[gamePly] >= 80;
    std::vector<Move> preferred, others;
    for (int k = 1; k <= legalMoveCount; ++k) {
      const Move& m = legalMoves[k];
      const bool irreversible = pieceType[m.piece] == kPawn || m.captured != kEmpty;
      (irreversible == wantIrreversible ? preferred : others).push_back(m);
    }
    std::vector<Move> order;
    while (!preferred.empty()) {
      size_t i = next(static_cast<uint32_t>(preferred.size()));
      order.push_back(preferred[i]);
      preferred.erase(preferred.begin() + static_cast<long>(i));
    }
    order.insert(order.end(), others.begin(), others.end());
    bool played = false;
    for (const Move& m : order) {
      const std::string text = MoveToText(m);
      game.Play(text);
      if (!game.Over() || game.Ply() >= plies) {
        moves.push_back(text);
        played = true;
        break;
      }
      TakeBack();
    }
    if (!played) break;
  }
  return moves;
}

// ---------------------------------------------------------------------------------------------------------
// WinBoard

TEST(RobustnessWinBoard, OversizedBinaryAndOddLineEnds) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  std::string line;
  // A 10 kB unknown word: one error line, cut to 255 characters.
  engine.WriteLine(std::string(10000, 'x'));
  ASSERT_TRUE(engine.ReadLine(line));
  EXPECT_EQ(line.rfind("Error (unknown command): xxx", 0), 0u);
  EXPECT_EQ(line.size(), 255u);
  // A known command with a 10 kB tail keeps its first words.
  engine.WriteLine("ping 5 " + std::string(10000, 'a'));
  ASSERT_TRUE(engine.ReadLine(line));
  EXPECT_EQ(line, "pong 5");
  // 100 kB of a bare move's look-alike.
  engine.WriteLine("usermove " + std::string(100000, 'e'));
  ASSERT_TRUE(engine.ReadLine(line));
  EXPECT_EQ(line, "Illegal move");
  engine.LinesBeforePong(1);

  // Binary garbage with NUL bytes, every byte value except the line feed.
  std::string garbage;
  for (int round = 0; round < 4; ++round)
    for (int b = 0; b < 256; ++b)
      if (b != '\n') garbage.push_back(static_cast<char>((b * 37 + round) & 0xff));
  engine.Send(garbage + "\n");
  engine.Send(std::string("ping\0 7\n", 8));
  engine.Send(std::string("\0\0\0\n", 4));
  std::vector<std::string> seen = engine.LinesBeforePong(2);
  EXPECT_EQ(CountLines(seen, "pong 7"), 0);

  // Carriage returns are dropped wherever they are: CR LF ends a line, a bare CR does not.
  engine.Send("ping 3\r\n");
  ASSERT_TRUE(engine.ReadLine(line));
  EXPECT_EQ(line, "pong 3");
  engine.Send("ping 4\rping 9\r\r\n");
  ASSERT_TRUE(engine.ReadLine(line));
  EXPECT_EQ(line, "pong 4ping");
  // Blank lines, lines of spaces and tabs, unknown and unimplemented protocol words.
  engine.Send("\n\n   \n \t \n\r\n");
  for (const char* w : {"variant suicide", "playother", "name Someone", "ics -", "?", ".", "USERMOVE e2e4",
                        "E2E4", "e2e4 e7e5", "pong", "feature done=1", "level", "st", "sd", "ping"})
    engine.WriteLine(w);
  seen = engine.LinesBeforePong(5);
  EXPECT_GE(CountLines(seen, "Error (unknown command): "), 9);
  EXPECT_EQ(CountLines(seen, "move "), 0);

  // Many commands in one write are all answered, in order.
  std::string burst;
  for (int i = 100; i < 400; ++i) burst += "ping " + std::to_string(i) + "\n";
  engine.Send(burst);
  for (int i = 100; i < 400; ++i) {
    ASSERT_TRUE(engine.ReadLine(line));
    ASSERT_EQ(line, "pong " + std::to_string(i));
  }

  EXPECT_TRUE(AnswersInANewGame(engine));
  EXPECT_EQ(engine.Quit(), 0);
}

// Clock and depth commands with missing, garbage, huge and negative values: the engine still moves, soon
// and legally.
TEST(RobustnessWinBoard, ClockAndDepthArgumentsOutOfRange) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  const std::vector<std::vector<std::string>> settingsList = {
      {"level -1 5 0", "sd 2"},  // a negative count of moves per control
      {"level 40 0 0", "time 0", "otim 0"},
      {"level 0 0:0 0", "time -100", "otim -5"},
      {"level 2147483647 99999999 2147483647", "time 99999999999", "otim 99999999999", "sd 3"},
      {"level -2147483648 -5 -3", "time -2147483648", "otim -2147483648", "sd 2"},
      {"level abc x:y:z $ff", "time abc", "otim", "sd 2"},
      {"level", "time", "sd 2"},
      {"level 1 :::: 1", "sd 2"},
      {"st 0", "sd 2"},
      {"st -5", "sd 2"},
      {"st abc", "sd 2"},
      {"st 99999999999", "sd 1"},
      {"st 1", "sd 0"},
      {"st 1", "sd -3"},
      {"st 1", "sd abc"},
      {"st 1", "sd 99999"},
      {"level 0 5 2147483", "sd 2"},  // an increment beyond what the clock can hold
  };
  int n = 10;
  for (const auto& settings : settingsList) {
    SCOPED_TRACE(settings[0]);
    Mirror game;
    engine.WriteLine("new");
    for (const std::string& s : settings) engine.WriteLine(s);
    // Two engine moves, so that the clock is also charged after a move.
    ASSERT_TRUE(EngineAnswers(engine, game, "e2e4", 15000));
    ASSERT_TRUE(EngineAnswers(engine, game, "d2d4", 15000));
    engine.WriteLine("force");
    engine.LinesBeforePong(n++);
  }
  // Conventional controls passed in force mode: the engine still moves within its clock.
  {
    Mirror game;
    engine.WriteLines({"new", "level 2 0:03 0", "force"});
    for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8", "b1c3", "b8c6", "c3b1"}) {
      engine.WriteLine(m);
      ASSERT_TRUE(game.Play(m));
    }
    engine.WriteLine("go");
    ASSERT_TRUE(EngineMoves(engine, game, 15000));
    engine.LinesBeforePong(n++);
  }
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(RobustnessWinBoard, BrokenSetboardIsRefused) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  const std::vector<std::string> broken = {
      "",
      "rnbqkbnr/pppppppp/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",  // nine ranks
      "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",    // nine squares in a rank
      "rnbqkbnr/pppppppp/4P4/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
      "rnbqkbnrr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
      "8/8/8/8/8/8/8/8 w - -",           // no kings
      "K6K/8/8/8/8/8/8/k7 w - -",        // two white kings
      "k7/8/8/8/8/8/8/7k w - -",         // no white king
      "k7/8/8/8/8/8/8/R6K w - -",        // the side not to move is in check
      "P3k3/8/8/8/8/8/8/4K3 w - -",      // a pawn on the eighth rank
      "4k3/8/8/8/8/8/8/p3K3 b - -",      // a pawn on the first rank
      "4k3/8/8/8/8/8/8/4K3 w KQkq -",    // castling rights without rooks
      "r3k2r/8/8/8/8/8/8/R2K3R w KQ -",  // castling rights with the king away
      "4k3/8/8/8/3pP3/8/8/4K3 w - e3",   // en passant on the wrong rank
      "4k3/8/8/3pP3/8/8/8/4K3 b - d6",
      "4k3/8/8/3pP3/8/8/8/4K3 w - i6",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",  // truncated after the board
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq",
      "rnbqkbnr/ppp",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq -",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNZ w KQkq -",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRw KQkq -",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/ w KQkq -",  // a slash after the last rank
      "4k3/pppppppp/p7/8/8/8/8/4K3 w - -",                      // nine pawns
      "QQQQQQQQ/QQQ5/8/8/8/8/8/k6K b - -",                      // eleven queens
      "NNNNNNNN/NNNN4/8/8/8/8/8/k6K b - -",                     // twelve knights
      std::string(10000, 'K') + " w - -",
      std::string(300, '/') + " w - -",
  };
  int n = 10;
  for (const std::string& fen : broken) {
    SCOPED_TRACE(fen.substr(0, 80));
    engine.WriteLine("setboard " + fen);
    std::vector<std::string> seen = engine.LinesBeforePong(n++);
    EXPECT_EQ(CountLines(seen, "tellusererror illegal position"), 1);
    // Refused: moves are illegal and "go" gives no move.
    engine.WriteLine("e2e4");
    engine.WriteLine("go");
    seen = engine.LinesBeforePong(n++);
    EXPECT_EQ(CountLines(seen, "Illegal move"), 1);
    EXPECT_EQ(CountLines(seen, "move "), 0);
  }
  EXPECT_TRUE(AnswersInANewGame(engine));  // "new" ends the halt
  EXPECT_EQ(engine.Quit(), 0);
}

// Positions that are odd but accepted: the engine plays a legal move in each, or reports the game's end.
TEST(RobustnessWinBoard, OddSetboardPositionsPlayLegalMoves) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  const std::vector<std::string> odd = {
      "4k3/8/8/8/8/8/8/4K2R w - e6",                               // en passant without a pawn
      "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",                         // a real en-passant capture
      "k7/8/8/8/8/8/8/R6K b - -",                                  // the side to move is in check
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1",  // Black to move at the start
      "8/P6k/8/8/8/8/6p1/K7 w - - 0 1",                            // promotions
      "R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1",      // 218 legal moves
      "/rnbqkbnrpppppppp8888PPPPPPPPRNBQKBNR w KQkq - 99 99",      // no slashes
      "r3k2r/p6p/8/8/8/8/P6P/R3K2R w KQkq - 0 1",                  // castling both ways
      "4k3/8/8/8/8/8/8/4K2R w KKKK - 0 1",                         // repeated castling letters
      "8/8/8/8/8/5k2/4q3/7K w - - 0 1",                            // one move from mate
  };
  int n = 10;
  for (const std::string& fen : odd) {
    SCOPED_TRACE(fen);
    Mirror game;
    ASSERT_TRUE(game.SetUp(fen));
    engine.WriteLine("setboard " + fen);
    engine.WriteLine("sd 3");
    engine.WriteLine("go");
    ASSERT_TRUE(EngineMoves(engine, game, 15000));
    std::vector<std::string> seen = engine.LinesBeforePong(n++);
    EXPECT_EQ(CountLines(seen, "tellusererror"), 0);
    engine.WriteLine("force");
  }
  // Positions whose game is over at once: a result, no move, and moves are refused.
  for (const std::string& fen :
       {std::string("7k/5Q2/6K1/8/8/8/8/8 b - -"), std::string("7k/6Q1/6K1/8/8/8/8/8 b - -"),
        std::string("7k/8/6K1/8/8/8/8/8 w - -")}) {
    SCOPED_TRACE(fen);
    engine.WriteLine("setboard " + fen);
    engine.WriteLine("go");
    engine.WriteLine("h8g8");
    std::vector<std::string> seen = engine.LinesBeforePong(n++);
    EXPECT_EQ(CountLines(seen, "1-0 {White mates}") + CountLines(seen, "1/2-1/2 {"), 1);
    EXPECT_EQ(CountLines(seen, "Illegal move"), 1);
    EXPECT_EQ(CountLines(seen, "move "), 0);
  }
  EXPECT_EQ(engine.Quit(), 0);
}

// "white" / "black" can give the move to a side that could take the other king: no search may start there.
TEST(RobustnessWinBoard, SideSwitchLeavingAKingEnPriseIsNotSearched) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  Mirror game;
  engine.WriteLine("new");
  engine.WriteLine("force");
  for (const char* m : {"e2e4", "f7f6", "d1h5"}) {  // Black is in check
    engine.WriteLine(m);
    ASSERT_TRUE(game.Play(m));
  }
  engine.WriteLines({"white", "sd 3", "go"});
  Pause(300);
  std::vector<std::string> seen = engine.LinesBeforePong(1);
  EXPECT_EQ(CountLines(seen, "tellusererror illegal position"), 1);
  EXPECT_EQ(CountLines(seen, "move "), 0);
  // Neither analysis, pondering nor a hint searches it; taking the king is no move.
  engine.WriteLine("analyze");
  Pause(200);
  engine.WriteLines({"exit", "hint", "h5e8"});
  seen = engine.LinesBeforePong(2);
  EXPECT_EQ(CountLines(seen, "Illegal move"), 1);
  EXPECT_EQ(CountLines(seen, "Hint"), 0);
  // Back to the real side to move, the game goes on.
  engine.WriteLine("black");
  engine.WriteLine("go");
  ASSERT_TRUE(EngineMoves(engine, game, 15000));
  EXPECT_EQ(engine.Quit(), 0);
}

// With the opening book present, a side switch at the start must not make the engine follow the book for
// the wrong side (the book's move would be illegal, and a bad book move ends the engine).
TEST(RobustnessWinBoard, SideSwitchDoesNotUseTheBookForTheWrongSide) {
  EngineProcess engine;
  ASSERT_TRUE(engine.WriteShippedBook());
  ASSERT_TRUE(engine.StartXboard());
  for (const char* side : {"black", "white"}) {
    SCOPED_TRACE(side);
    engine.WriteLine("new");
    engine.WriteLine("force");
    if (std::string(side) == "white") engine.WriteLine("e2e4");
    engine.WriteLine(side);
    engine.WriteLine("sd 2");
    engine.WriteLine("go");
    std::string line;
    ASSERT_TRUE(engine.WaitFor("move ", &line, 15000));
    Mirror game;
    ASSERT_TRUE(game.SetUp(std::string(side) == "white"
                               ? "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -"
                               : "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -"));
    EXPECT_TRUE(game.Play(MoveWord(line))) << line;
    engine.WriteLine("force");
    engine.LinesBeforePong(1);
  }
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(RobustnessWinBoard, EditDialogueWithGarbage) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  engine.WriteLine("new");
  // A legal position among garbage lines.
  engine.WriteLine("edit");
  for (const std::string& l : {std::string("#"),       std::string("Zz9"),
                               std::string("K"),       std::string("Kz9"),
                               std::string("Ke"),      std::string("Ke1x"),
                               std::string(""),        std::string("   "),
                               std::string(5000, 'P'), std::string("\x01\x02\x7f\xff"),
                               std::string("Ke1"),     std::string("Ra1"),
                               std::string("Pe2"),     std::string("Ph9"),
                               std::string("xz1"),     std::string("Qd1"),
                               std::string("xd1"),     std::string("c"),
                               std::string("ke8"),     std::string("Pe7"),
                               std::string("..")})
    engine.WriteLine(l);
  engine.WriteLines({".", "sd 2", "go"});
  std::string line;
  ASSERT_TRUE(engine.WaitFor("move ", &line, 15000));
  Mirror game;
  ASSERT_TRUE(game.SetUp("4k3/4p3/8/8/8/8/4P3/R3K3 w Q -"));
  EXPECT_TRUE(game.Play(MoveWord(line))) << line;
  engine.WriteLine("force");
  engine.LinesBeforePong(1);

  // No kings, and a pawn on the last rank: refused, and the engine stays halted until "new".
  for (const std::vector<std::string>& lines :
       {std::vector<std::string>{"#", "Qd4"}, std::vector<std::string>{"#", "Ke1", "Pa8", "c", "Ke8"}}) {
    engine.WriteLine("edit");
    engine.WriteLines(lines);
    engine.WriteLines({".", "go", "e2e4"});
    std::vector<std::string> seen = engine.LinesBeforePong(2);
    EXPECT_EQ(CountLines(seen, "tellusererror illegal position"), 1);
    EXPECT_EQ(CountLines(seen, "Illegal move"), 1);
    EXPECT_EQ(CountLines(seen, "move "), 0);
  }
  ASSERT_TRUE(AnswersInANewGame(engine));
  // An edit dialogue cut off by the end of input ends the engine cleanly.
  engine.WriteLine("edit");
  engine.WriteLine("Ke4");
  engine.CloseInput();
  EXPECT_EQ(engine.WaitExit(5000), 0);
}

TEST(RobustnessWinBoard, UndoRemoveAndUsermoveGarbage) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  engine.WriteLine("new");
  engine.WriteLine("force");
  for (int i = 0; i < 5; ++i) engine.WriteLine("undo");
  for (int i = 0; i < 5; ++i) engine.WriteLine("remove");
  engine.LinesBeforePong(1);
  // Two moves, then more take-backs than moves.
  engine.WriteLine("e2e4");
  engine.WriteLine("e7e5");
  for (const char* c : {"remove", "remove", "undo", "undo", "remove"}) engine.WriteLine(c);
  const std::vector<std::string> garbage = {"usermove",
                                            "usermove e2e9",
                                            "usermove e7e8q",
                                            "usermove e2e4e",
                                            "usermove E2E4",
                                            "a1a1",
                                            "h8h9",
                                            "e1g1",
                                            "e2e4q",
                                            "e2e4\t",
                                            "usermove " + std::string(300, 'x'),
                                            std::string("usermove \x01\x02\x03\x04"),
                                            "usermove e7e5",
                                            "usermove 0000",
                                            "usermove e2",
                                            "usermove g1g3",
                                            "usermove e2e5"};
  for (const std::string& g : garbage) engine.WriteLine(g);
  std::vector<std::string> seen = engine.LinesBeforePong(2);
  EXPECT_EQ(CountLines(seen, "Illegal move"), static_cast<int>(garbage.size()));

  // Fool's mate ends the game; later moves are refused until a take-back.
  Mirror game;
  for (const char* m : {"f2f3", "e7e5", "g2g4", "d8h4"}) {
    engine.WriteLine(m);
    ASSERT_TRUE(game.Play(m));
  }
  engine.WriteLine("e2e4");
  engine.WriteLine("go");
  seen = engine.LinesBeforePong(3);
  EXPECT_EQ(CountLines(seen, "0-1 {Black mates}"), 1);
  EXPECT_EQ(CountLines(seen, "Illegal move"), 1);
  EXPECT_EQ(CountLines(seen, "move "), 0);
  engine.WriteLine("undo");
  TakeBack();
  engine.WriteLine("sd 2");
  engine.WriteLine("go");  // the engine plays Black
  ASSERT_TRUE(EngineMoves(engine, game, 15000));
  engine.WriteLine("force");
  engine.LinesBeforePong(4);
  EXPECT_EQ(engine.Quit(), 0);
}

// The game record holds 1,000 moves: a longer game in force mode ends there, and the engine still plays
// after taking a move back.
TEST(RobustnessWinBoard, ThousandMoveGameInForceMode) {
  Mirror game;
  const std::vector<std::string> moves = LongGame(game, kMaxGameMoves);
  ASSERT_EQ(moves.size(), static_cast<size_t>(kMaxGameMoves));
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  engine.WriteLine("new");
  engine.WriteLine("force");
  std::string batch;
  for (size_t i = 0; i < moves.size(); ++i) {
    batch += moves[i] + "\n";
    if (i % 100 == 99) {
      engine.Send(batch);
      batch.clear();
      std::vector<std::string> seen = engine.LinesBeforePong(static_cast<int>(i));
      EXPECT_EQ(CountLines(seen, "Illegal move"), 0) << i;
      const int results = CountLines(seen, "1-0") + CountLines(seen, "0-1") + CountLines(seen, "1/2");
      if (i + 1 < moves.size())
        EXPECT_EQ(results, 0) << i;
      else
        EXPECT_EQ(CountLines(seen, "1/2-1/2 {Draw by too many moves}"), 1);
    }
  }
  // Knight shuffles beyond the end of the record are refused.
  for (int i = 0; i < 40; ++i) engine.WriteLine(i % 2 == 0 ? "g1f3" : "f3g1");
  std::vector<std::string> seen = engine.LinesBeforePong(5000);
  EXPECT_EQ(CountLines(seen, "Illegal move"), 40);
  // One move back: the engine may play the last move of the record.
  engine.WriteLine("undo");
  TakeBack();
  engine.WriteLine("sd 1");
  engine.WriteLine("go");
  ASSERT_TRUE(EngineMoves(engine, game, 15000));
  engine.WriteLine("savepgn game.pgn");
  engine.WriteLine("savepos game.fen");
  for (int i = 0; i < 1100; ++i) engine.WriteLine(i % 2 ? "undo" : "remove");
  engine.LinesBeforePong(5001);
  EXPECT_EQ(engine.Quit(), 0);
  EXPECT_TRUE(engine.FileExists("game.pgn"));
}

TEST(RobustnessWinBoard, FilesWithBadNamesAreReported) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartXboard());
  for (const char* c : {"savepgn", "savepos", "savepgn .", "savepos /", "savepgn no/such/folder/x.pgn",
                        "loadpos", "loadpos .", "loadpos missing.fen -5", "loadpos / 3"})
    engine.WriteLine(c);
  std::vector<std::string> seen = engine.LinesBeforePong(1);
  EXPECT_EQ(CountLines(seen, "Error (cannot open file): "), 5);
  EXPECT_TRUE(engine.Running());
  // A position file with broken lines.
  engine.WriteFile("broken.fen",
                   std::string("\0\0\0\n", 4) + "8/8/8/8/8/8/8/8 w - -\r\n" + std::string(5000, 'k') + "\n");
  for (const char* c :
       {"loadpos broken.fen 1", "loadpos broken.fen 2", "loadpos broken.fen 3", "loadpos broken.fen 4"})
    engine.WriteLine(c);
  seen = engine.LinesBeforePong(2);
  EXPECT_EQ(CountLines(seen, "tellusererror illegal position"), 3);
  EXPECT_EQ(CountLines(seen, "broken.fen is too short!"), 1);
  EXPECT_EQ(engine.Quit(), 0);
}

// ---------------------------------------------------------------------------------------------------------
// UCI

TEST(RobustnessUci, HugePositionLines) {
  std::vector<std::string> moves;
  {
    Mirror game;
    moves = LongGame(game, kMaxGameMoves);
  }
  ASSERT_EQ(moves.size(), static_cast<size_t>(kMaxGameMoves));
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());

  // 400 legal moves, then 100 kB of words that are no moves: the list ends at the first of them.
  std::string lineText = "position startpos moves";
  for (int i = 0; i < 400; ++i) lineText += " " + moves[static_cast<size_t>(i)];
  while (lineText.size() < 100000) lineText += " e9e9 zz a1a1 " + std::string(50, 'q');
  engine.WriteLine(lineText);
  engine.WriteLine("go depth 2");
  std::string line;
  ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 15000));
  EXPECT_TRUE(LegalAfter(std::vector<std::string>(moves.begin(), moves.begin() + 400), BestMoveOf(line)))
      << line;
  engine.LinesBeforeReady();

  // The whole record and more: a UCI game has no move limit, and the answer is for the last position.
  test::ChessModel model(true);
  for (const std::string& m : moves) ASSERT_TRUE(model.Play(m)) << m;
  lineText = "position startpos moves";
  for (const std::string& m : moves) lineText += " " + m;
  for (int i = 0; i < 41; ++i) {
    for (const test::ModelMove& m : model.Legal()) {
      test::ModelPosition next = model.position;
      next.Make(m);
      if (next.LegalMoves().empty()) continue;  // no mate or stalemate: the list goes on
      model.Play(m);
      lineText += " " + m.Text();
      break;
    }
  }
  ASSERT_EQ(model.Ply(), kMaxGameMoves + 41);
  engine.WriteLine(lineText);
  engine.WriteLine("go depth 1");
  ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 15000));
  EXPECT_TRUE(model.IsLegal(BestMoveOf(line))) << line << " in " << model.position.Fen();
  engine.LinesBeforeReady();
  // A long line of garbage words, and a "position" line that is nothing but garbage.
  engine.WriteLine("position " + std::string(100000, 'x'));
  engine.WriteLine(std::string(100000, ' '));
  engine.Send(std::string(5000, '\0') + "\n");
  engine.LinesBeforeReady();
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(RobustnessUci, BrokenPositionCommands) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  const std::vector<std::string> brokenFens = {
      "",
      "8/8/8/8/8/8/8/8 w - -",
      "K6K/8/8/8/8/8/8/k7 w - -",
      "k7/8/8/8/8/8/8/R6K w - -",
      "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
      "4k3/8/8/8/8/8/8/4K3 w KQkq -",
      "4k3/8/8/8/3pP3/8/8/4K3 w - e3",
      "P3k3/8/8/8/8/8/8/4K3 w - -",
  };
  for (const std::string& fen : brokenFens) {
    SCOPED_TRACE(fen);
    engine.WriteLine("position fen " + fen + " moves e2e4");
    engine.WriteLine("go depth 2");
    std::vector<std::string> seen;
    std::string line;
    ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 15000, &seen));
    EXPECT_EQ(line, "bestmove 0000");
    EXPECT_EQ(CountLines(seen, "tellusererror illegal position"), 1);
  }
  // Lines that name no position leave the last one; moves stop at the first that is not legal.
  engine.WriteLines(
      {"position", "position garbage", "position moves", "position startpos moves e2e4 e7e5 zz g1f3"});
  ASSERT_TRUE(AnswersLegally(engine, {"go depth 2"}, {"e2e4", "e7e5"}, 15000));
  // A mated side has no move to give.
  EXPECT_EQ(engine.AskBestMove({"position startpos moves f2f3 e7e5 g2g4 d8h4 e2e4", "go depth 2"}, 15000),
            "bestmove 0000");
  engine.LinesBeforeReady();
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(RobustnessUci, GoWithGarbageParameters) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  engine.WriteLine("position startpos moves e2e4");
  Mirror game;
  ASSERT_TRUE(game.Play("e2e4"));
  // Every line ends its search by itself, soon.
  const std::vector<std::string> goLines = {
      "go depth abc",
      "go depth -5",
      "go depth 0",
      "go depth 99999 movetime 200",
      "go wtime -5 btime -5",
      "go wtime abc btime x winc y binc z",
      "go movestogo -1 wtime 1000 btime 1000",
      "go movestogo -2147483648 wtime 1000 btime 1000",
      "go movestogo 0 wtime 500 btime 500",
      "go movestogo 2147483647 wtime 2147483647 btime 2147483647",
      "go wtime 99999999999 btime 99999999999 winc 99999999999 binc 99999999999 movetime 100",
      "go movetime 0",
      "go movetime -100",
      "go movetime abc",
      "go nodes -1 depth 3",
      "go nodes 0",
      "go mate 3 depth 2",
      "go depth 2 mate",
      "go movetime 100 wtime",
      "go searchmoves depth 2",
      "go searchmoves zz e7e5 depth 2",
      "go depth 2 searchmoves e7e5 d7d5 e7e5 e7e5",
      "go depth 2 garbage garbage 1 2 3 infinit",
      "go depth=2",
      "go movetime 200 depth " + std::string(5000, '9'),
  };
  for (const std::string& g : goLines) {
    SCOPED_TRACE(g.substr(0, 60));
    engine.WriteLine(g);
    std::string line;
    ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 15000));
    EXPECT_TRUE(game.IsLegal(BestMoveOf(line))) << line;
  }
  // 200 searchmoves entries, the bounding parameters first (the line is cut at 255 characters).
  std::string many = "go depth 2 searchmoves";
  for (int i = 0; i < 200; ++i) many += " a7a6";
  engine.WriteLine(many);
  std::string line;
  ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 15000));
  EXPECT_EQ(BestMoveOf(line), "a7a6");
  many = "go depth 2 searchmoves";
  for (int i = 0; i < 200; ++i) many += i % 3 == 2 ? " e2e4" : " h7h6";  // the illegal entry ends the list
  engine.WriteLine(many);
  ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 15000));
  EXPECT_EQ(BestMoveOf(line), "h7h6");
  engine.LinesBeforeReady();
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(RobustnessUci, BrokenSetoptionLines) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  for (const std::string& l : {std::string("setoption"),
                               std::string("setoption name"),
                               std::string("setoption name Hash"),
                               std::string("setoption name Hash value"),
                               std::string("setoption name Hash value 0"),
                               std::string("setoption name Hash value 1"),
                               std::string("setoption name Hash value 99999"),
                               std::string("setoption name Hash value -5"),
                               std::string("setoption name Hash value abc"),
                               std::string("setoption name Hash value 1024"),
                               std::string("setoption name Hash value 2147483648"),
                               std::string("setoption name Hash value 16"),
                               std::string("setoption name Hash value 2"),
                               std::string("setoption name Clear"),
                               std::string("setoption name Clear Hash value 5"),
                               std::string("setoption name Ponder value maybe"),
                               std::string("setoption name OwnBook value"),
                               std::string("setoption name Learning value TRUE"),
                               std::string("setoption name UCI_Elo value -1"),
                               std::string("setoption name UCI_Elo value 99999999999"),
                               std::string("setoption name UCI_LimitStrength value maybe"),
                               std::string("setoption name    "),
                               std::string("setoption name Bogus Option value 3"),
                               std::string("setoption value 64 name Hash"),
                               std::string("setoption name Hash value 64 ") + std::string(10000, 'z'),
                               std::string("setoption name Hash value 2")})
    engine.WriteLine(l);
  engine.LinesBeforeReady();
  ASSERT_TRUE(AnswersLegally(engine, {"position startpos", "go depth 3"}, {}, 15000));
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(RobustnessUci, CommandsDuringASearch) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  engine.WriteLine("position startpos");
  engine.WriteLine("go infinite");
  Pause(200);
  for (int i = 0; i < 5; ++i) engine.WriteLine("isready");
  engine.WriteLine("ponderhit");
  std::vector<std::string> seen;
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(engine.WaitFor("readyok", nullptr, 20000, &seen));
  EXPECT_EQ(CountLines(seen, "bestmove"), 0);
  ASSERT_TRUE(AnswersLegally(engine, {"stop"}, {}, 20000));
  // Stray stop and ponderhit outside a search.
  engine.WriteLine("stop");
  engine.WriteLine("ponderhit");
  seen = engine.LinesBeforeReady();
  EXPECT_EQ(CountLines(seen, "bestmove"), 0);

  // A new position during a search ends it; the next search is of the new position.
  engine.WriteLine("go depth 30");
  Pause(200);
  ASSERT_TRUE(AnswersLegally(engine, {"position startpos moves d2d4"}, {}, 20000));  // of the old position
  ASSERT_TRUE(AnswersLegally(engine, {"go depth 2"}, {"d2d4"}, 15000));

  // Ponder, then stop; ponder, then ponderhit with a short clock.
  engine.WriteLine("position startpos");
  engine.WriteLine("go ponder wtime 500 btime 500");
  Pause(100);
  ASSERT_TRUE(AnswersLegally(engine, {"stop"}, {}, 20000));
  engine.WriteLine("go ponder wtime 500 btime 500");
  Pause(100);
  ASSERT_TRUE(AnswersLegally(engine, {"ponderhit"}, {}, 20000));
  engine.LinesBeforeReady();

  // "quit" during a search ends the engine.
  engine.WriteLine("go infinite");
  Pause(100);
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(RobustnessUci, ClosedInputDuringASearch) {
  for (const char* go : {"go infinite", "go depth 30", "go ponder"}) {
    SCOPED_TRACE(go);
    EngineProcess engine;
    ASSERT_TRUE(engine.StartUci());
    engine.WriteLine("position startpos moves e2e4 e7e5");
    engine.WriteLine(go);
    Pause(150);
    engine.CloseInput();
    EXPECT_EQ(engine.WaitExit(20000), 0);
  }
}

}  // namespace
}  // namespace kelb
