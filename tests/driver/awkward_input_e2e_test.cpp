// Input at awkward moments, through the engine binary: commands queued behind the bitbase build, "quit" and
// the end of input in the middle of every kind of search, a new game or a new position while the engine
// thinks, "ponderhit" and "stop" when no search waits for them, huge lines and binary bytes during a search.
// Every case says what the GUI must see. No case relies on timing: a search is known to run when it answers
// (WaitUntilSearching under WinBoard, its first "info" line under UCI).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "game_mirror.h"
#include "records/records.h"
#include "support/engine_process.h"

namespace kelb {
namespace {

using test::BestMoveOf;
using test::EngineProcess;
using test::GameMirror;
using test::IndexOf;
using test::LinesStartingWith;
using test::MoveWord;

constexpr const char* kItalian = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";

// The mirrored game can also start from a FEN.
class Mirror : public GameMirror {
 public:
  explicit Mirror(const std::string& fen = "") {
    if (!fen.empty()) SetUpPosition(fen);
  }
  bool IsLegal(const std::string& text) const { return ParseMoveText(text).from != 0; }
  std::string Fen() const { return WriteFen(); }
};

// Whether a move is legal after the moves given from the start position (or from fen).
static bool LegalAfter(const std::vector<std::string>& moves, const std::string& move,
                       const std::string& fen = "") {
  Mirror game(fen);
  for (const std::string& m : moves)
    if (!game.Play(m)) return false;
  return game.IsLegal(move);
}

// After "quit" or the end of input: the rest of the output ends with the 26 empty lines and exit code 0.
// Returns the lines before them.
static std::vector<std::string> ExpectOrderlyEnd(EngineProcess& engine) {
  bool closed = false;
  std::vector<std::string> rest = engine.ReadToEnd(20000, &closed);
  EXPECT_TRUE(closed) << "the engine did not end";
  EXPECT_EQ(engine.WaitExit(20000), 0);
  if (rest.size() < 26) {
    ADD_FAILURE() << "only " << rest.size() << " lines after the end";
    return rest;
  }
  for (size_t i = rest.size() - 26; i < rest.size(); ++i) EXPECT_EQ(rest[i], "") << i;
  rest.resize(rest.size() - 26);
  return rest;
}

// The WinBoard searches a command can arrive in.
enum SearchKind { kOwnMove, kPondering, kAnalysis, kHint };
const char* const kSearchNames[] = {"own move", "pondering", "analysis", "hint"};

// After "new", 1.e4 and a search of the kind: the engine's own move (Black, a minute per move), pondering
// after its reply at depth 2, an analysis, or a hint. game holds the moves played (the reply too).
static void StartWinBoardSearch(EngineProcess& engine, SearchKind kind, std::vector<std::string>& game) {
  game = {"e2e4"};
  engine.WriteLine("new");
  switch (kind) {
    case kOwnMove:
      engine.WriteLines({"st 60", "e2e4"});
      break;
    case kPondering: {
      std::string line;
      ASSERT_TRUE(engine.Ask({"hard", "sd 2", "e2e4"}, "move ", &line, 20000));
      ASSERT_TRUE(LegalAfter(game, MoveWord(line))) << line;
      game.push_back(MoveWord(line));
      break;
    }
    case kAnalysis:
      engine.WriteLines({"force", "e2e4", "analyze"});
      break;
    case kHint:
      engine.WriteLines({"force", "e2e4", "hint"});
      break;
  }
}

// The moves a stopped search sent: at most one, legal in the game, from the engine's own move; none from
// pondering, an analysis or a hint.
static void ExpectStoppedSearchMoves(const std::vector<std::string>& lines, SearchKind kind,
                                     const std::vector<std::string>& game) {
  const std::vector<std::string> moves = LinesStartingWith(lines, "move ");
  if (kind == kOwnMove) {
    EXPECT_LE(moves.size(), 1u);
    for (const std::string& m : moves) EXPECT_TRUE(LegalAfter(game, MoveWord(m))) << m;
  } else {
    EXPECT_TRUE(moves.empty()) << moves.front();
  }
}

// ---------------------------------------------------------------------------------------------------------
// The bitbase is built when the GUI first announces itself; whatever arrives meanwhile waits in the pipe
// and is handled afterwards, in order and in full.

TEST(AwkwardInput, WinBoardCommandsWaitForTheBitbaseBuild) {
  EngineProcess engine;
  engine.Start();
  engine.Send("xboard\nprotover 2\nping 1\nnew\nsd 2\ne2e4\nping 2\n");
  std::vector<std::string> seen;
  ASSERT_TRUE(engine.WaitFor("pong 2", nullptr, 20000, &seen));
  if (IndexOf(seen, "move ") < 0) {
    ASSERT_TRUE(engine.WaitFor("move ", nullptr, 20000, &seen));
  }
  // The feature list comes whole, "done=0" first and "done=1" last, before anything else is answered.
  const int done0 = IndexOf(seen, "feature done=0");
  const int done1 = IndexOf(seen, "feature done=1");
  ASSERT_GE(done0, 0);
  ASSERT_GT(done1, done0);
  for (int i = done0; i <= done1; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)].rfind("feature ", 0), 0u) << i;
  EXPECT_GT(IndexOf(seen, "pong 1"), done1);
  EXPECT_TRUE(LinesStartingWith(seen, "Error").empty());
  const std::vector<std::string> moves = LinesStartingWith(seen, "move ");
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_TRUE(LegalAfter({"e2e4"}, MoveWord(moves[0]))) << moves[0];
  engine.WriteLine("quit");
  ExpectOrderlyEnd(engine);
}

TEST(AwkwardInput, UciCommandsWaitForTheBitbaseBuild) {
  EngineProcess engine;
  engine.Start();
  engine.Send("uci\nisready\nposition startpos moves e2e4\ngo depth 3\nisready\n");
  std::vector<std::string> seen;
  std::string best;
  ASSERT_TRUE(engine.WaitFor("bestmove ", &best, 20000, &seen));
  if (LinesStartingWith(seen, "readyok").size() < 2) {
    ASSERT_TRUE(engine.WaitFor("readyok", nullptr, 10000, &seen));
  }
  // The first "readyok" comes after the build and before any search output; the second one is answered
  // in the search or after it. The search is of the position sent during the build.
  const int ready = IndexOf(seen, "readyok");
  ASSERT_GE(ready, 0);
  EXPECT_LT(ready, IndexOf(seen, "info depth"));
  EXPECT_EQ(LinesStartingWith(seen, "readyok").size(), 2u);
  EXPECT_TRUE(LegalAfter({"e2e4"}, BestMoveOf(best))) << best;
  engine.WriteLine("quit");
  ExpectOrderlyEnd(engine);
}

TEST(AwkwardInput, QuitOrEndOfInputDuringTheBitbaseBuild) {
  for (const bool uci : {false, true}) {
    for (const bool endOfInput : {false, true}) {
      SCOPED_TRACE(std::string(uci ? "UCI" : "WinBoard") + (endOfInput ? ", end of input" : ", quit"));
      EngineProcess engine;
      engine.Start();
      engine.Send(uci ? "uci\nisready\n" : "xboard\nprotover 2\n");
      if (endOfInput)
        engine.CloseInput();
      else
        engine.WriteLine("quit");
      // The build finishes and its answer goes out in full; then the engine ends.
      const std::vector<std::string> out = ExpectOrderlyEnd(engine);
      ASSERT_FALSE(out.empty());
      EXPECT_EQ(out.back(), uci ? "readyok" : "feature done=1");
    }
  }
}

// ---------------------------------------------------------------------------------------------------------
// "quit" and the end of input in the middle of a search end the engine at once with exit code 0 and its 26
// empty lines. A ponder or analysis search sends no move on the way; a move or hint it does send (the
// stopped search of its own move, the hint search) is legal in the game.

TEST(AwkwardInput, WinBoardQuitOrEndOfInputDuringEverySearch) {
  for (const SearchKind kind : {kOwnMove, kPondering, kAnalysis, kHint}) {
    for (const bool endOfInput : {false, true}) {
      SCOPED_TRACE(std::string(kSearchNames[kind]) + (endOfInput ? ", end of input" : ", quit"));
      EngineProcess engine;
      ASSERT_TRUE(engine.StartXboard());
      std::vector<std::string> game;
      ASSERT_NO_FATAL_FAILURE(StartWinBoardSearch(engine, kind, game));
      std::vector<std::string> seen;
      ASSERT_TRUE(engine.WaitUntilSearching(&seen));
      if (endOfInput)
        engine.CloseInput();
      else
        engine.WriteLine("quit");
      const std::vector<std::string> rest = ExpectOrderlyEnd(engine);
      seen.insert(seen.end(), rest.begin(), rest.end());
      ExpectStoppedSearchMoves(seen, kind, game);
      for (const std::string& h : LinesStartingWith(seen, "Hint: "))
        EXPECT_TRUE(LegalAfter(game, MoveWord(h))) << h;
      EXPECT_TRUE(LinesStartingWith(seen, "Error").empty());
    }
  }
}

// Under UCI the search answers "bestmove" (legal) before the line that stopped it is handled.
TEST(AwkwardInput, UciQuitOrEndOfInputDuringEverySearch) {
  for (const char* go :
       {"go infinite", "go ponder wtime 60000 btime 60000", "go depth 30", "go movetime 600000"}) {
    for (const bool endOfInput : {false, true}) {
      SCOPED_TRACE(std::string(go) + (endOfInput ? ", end of input" : ", quit"));
      EngineProcess engine;
      ASSERT_TRUE(engine.StartUci(false));
      engine.WriteLine("position startpos moves e2e4 e7e5");
      engine.WriteLine(go);
      ASSERT_TRUE(engine.WaitFor("info depth", nullptr, 10000));
      if (endOfInput)
        engine.CloseInput();
      else
        engine.WriteLine("quit");
      const std::vector<std::string> rest = ExpectOrderlyEnd(engine);
      const std::vector<std::string> best = LinesStartingWith(rest, "bestmove ");
      ASSERT_EQ(best.size(), 1u);
      EXPECT_TRUE(LegalAfter({"e2e4", "e7e5"}, BestMoveOf(best[0]))) << best[0];
    }
  }
}

// ---------------------------------------------------------------------------------------------------------
// "new" or "setboard" while the engine searches its own move, ponders or analyses: the search stops, no
// move of the old game reaches the new one (the saved position is exactly the new one), a ponder or analysis
// search sends no move, an analysis goes on in the new position, and the next "go" plays from there.

TEST(AwkwardInput, NewOrSetboardDuringAWinBoardSearch) {
  for (const SearchKind kind : {kOwnMove, kPondering, kAnalysis}) {
    for (const bool setboard : {false, true}) {
      SCOPED_TRACE(std::string(kSearchNames[kind]) + (setboard ? ", setboard" : ", new"));
      EngineProcess engine;
      ASSERT_TRUE(engine.StartXboard());
      std::vector<std::string> game;
      ASSERT_NO_FATAL_FAILURE(StartWinBoardSearch(engine, kind, game));
      std::vector<std::string> before;
      ASSERT_TRUE(engine.WaitUntilSearching(&before));
      engine.WriteLine(setboard ? std::string("setboard ") + kItalian : "new");
      const std::string newFen = setboard ? kItalian : "";
      std::vector<std::string> after;
      if (kind == kAnalysis && setboard) {
        // The analysis starts again on the new position: its status counts that position's moves.
        ASSERT_TRUE(engine.WaitUntilSearching(&after));
        engine.WriteLine(".");
        std::string status;
        ASSERT_TRUE(engine.WaitFor("stat01: ", &status, 10000, &after));
        int centis = 0, nodes = 0, depth = 0, left = 0, total = 0;
        ASSERT_EQ(
            std::sscanf(status.c_str(), "stat01: %d %d %d %d %d", &centis, &nodes, &depth, &left, &total), 5)
            << status;
        Mirror position(kItalian);
        EXPECT_EQ(total, legalMoveCount);
      }
      engine.WriteLines({"force", "savepos pos.fen", "ping 9"});
      ASSERT_TRUE(engine.WaitFor("pong 9", nullptr, 20000, &after));
      // A stopped search of its own move may still send that move: legal in the old game.
      ExpectStoppedSearchMoves(after, kind, game);
      EXPECT_TRUE(LinesStartingWith(after, "Error").empty());
      const std::string expected = Mirror(newFen).Fen();
      EXPECT_EQ(engine.ReadFile("pos.fen").rfind(expected, 0), 0u) << engine.ReadFile("pos.fen");
      engine.WriteLine("sd 2");
      engine.WriteLine("go");
      std::string line;
      ASSERT_TRUE(engine.WaitFor("move ", &line, 20000));
      EXPECT_TRUE(LegalAfter({}, MoveWord(line), newFen)) << line;
      engine.WriteLine("quit");
      ExpectOrderlyEnd(engine);
    }
  }
}

// A new "position" during "go infinite" stops the search, which answers for the position it searched; the
// next "go" searches the new one. The same for a "position" line of 100,000 characters whose move list
// turns into garbage: it ends at the first word that is not a legal move.
TEST(AwkwardInput, UciPositionDuringAnInfiniteSearch) {
  struct Case {
    std::string command;
    std::string fen;                 // the position it describes: this FEN (or the start) ...
    std::vector<std::string> moves;  // ... and these moves
  };
  std::string tail;
  while (tail.size() < 100000) tail += " zz9 e2e4 " + std::string(40, 'q');
  const std::vector<Case> cases = {
      {"position startpos moves d2d4", "", {"d2d4"}},
      {"position startpos moves e2e4 e7e5" + tail, "", {"e2e4", "e7e5"}},
      {"position fen " + std::string(kItalian) + " moves f1c4", kItalian, {"f1c4"}},
  };
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  Case searched = {"position startpos", "", {}};
  engine.WriteLine(searched.command);
  for (const Case& next : cases) {
    SCOPED_TRACE(next.command.substr(0, 60));
    engine.WriteLine("go infinite");
    ASSERT_TRUE(engine.WaitFor("info depth", nullptr, 10000));
    engine.WriteLine(next.command);
    std::string line;
    ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 20000));
    EXPECT_TRUE(LegalAfter(searched.moves, BestMoveOf(line), searched.fen)) << line;
    searched = next;
    engine.WriteLine("go depth 2");
    ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 20000));
    EXPECT_TRUE(LegalAfter(searched.moves, BestMoveOf(line), searched.fen)) << line;
  }
  engine.WriteLine("quit");
  ExpectOrderlyEnd(engine);
}

// A line of 100,000 characters or of binary bytes (NUL among them) during a search is an ordinary unknown
// line: it stops the search, which still answers with a legal move, and is then refused as such (WinBoard:
// one error line holding its first 255 characters; UCI: ignored). An analysis starts again afterwards.
TEST(AwkwardInput, HugeAndBinaryLinesDuringSearches) {
  std::string binary;
  for (int b = 0; b < 256; ++b)
    if (b != '\n') binary.push_back(static_cast<char>(b));
  binary = std::string(3, '\0') + binary + std::string(3, '\0');
  const std::vector<std::string> lines = {std::string(100000, 'x'), binary};

  EngineProcess winboard;
  ASSERT_TRUE(winboard.StartXboard());
  for (const std::string& l : lines) {
    SCOPED_TRACE(l.size());
    // Its own move.
    winboard.WriteLines({"new", "st 60", "e2e4"});
    ASSERT_TRUE(winboard.WaitUntilSearching());
    winboard.Send(l + "\n");
    winboard.WriteLine("force");
    winboard.WriteLine("ping 1");
    std::vector<std::string> seen;
    ASSERT_TRUE(winboard.WaitFor("pong 1", nullptr, 20000, &seen));
    const std::vector<std::string> moves = LinesStartingWith(seen, "move ");
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_TRUE(LegalAfter({"e2e4"}, MoveWord(moves[0]))) << moves[0];
    const std::vector<std::string> errors = LinesStartingWith(seen, "Error (unknown command): ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_LE(errors[0].size(), 255u);
    if (l[0] == 'x') {
      EXPECT_EQ(errors[0], "Error (unknown command): " + std::string(255 - 25, 'x'));
    }
    // Analysis: interrupted, refused, resumed.
    winboard.WriteLine("analyze");
    ASSERT_TRUE(winboard.WaitUntilSearching());
    winboard.Send(l + "\n");
    seen.clear();
    ASSERT_TRUE(winboard.WaitUntilSearching(&seen));
    EXPECT_EQ(LinesStartingWith(seen, "Error (unknown command): ").size(), 1u);
    EXPECT_TRUE(LinesStartingWith(seen, "move ").empty());
    winboard.WriteLine("exit");
  }
  winboard.WriteLine("quit");
  ExpectOrderlyEnd(winboard);

  EngineProcess uci;
  ASSERT_TRUE(uci.StartUci());
  uci.WriteLine("position startpos moves e2e4");
  for (const std::string& l : lines) {
    SCOPED_TRACE(l.size());
    uci.WriteLine("go infinite");
    ASSERT_TRUE(uci.WaitFor("info depth", nullptr, 10000));
    uci.Send(l + "\n");
    std::string line;
    ASSERT_TRUE(uci.WaitFor("bestmove ", &line, 20000));
    EXPECT_TRUE(LegalAfter({"e2e4"}, BestMoveOf(line))) << line;
    uci.WriteLine("isready");
    std::vector<std::string> seen;
    ASSERT_TRUE(uci.WaitFor("readyok", nullptr, 10000, &seen));
    EXPECT_TRUE(LinesStartingWith(seen, "bestmove").empty());  // the line itself started nothing
  }
  uci.WriteLine("quit");
  ExpectOrderlyEnd(uci);
}

// "ponderhit" and "stop" that find no search waiting for them are ignored: no second "bestmove", and the
// next search answers once. A ponder search that has already finished its tree (a mate in one, or no legal
// move at all) answers at once on "ponderhit", and only then.
TEST(AwkwardInput, PonderhitAndStopWithNoSearchWaiting) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  // "stop" before anything was ever searched.
  engine.WriteLine("stop");
  engine.WriteLine("isready");
  std::string line;
  ASSERT_TRUE(engine.ReadLine(line, 10000));
  EXPECT_EQ(line, "readyok");

  // The ponder search was stopped; the "ponderhit" for it comes late.
  engine.WriteLine("position startpos moves e2e4");
  engine.WriteLine("go ponder wtime 60000 btime 60000");
  ASSERT_TRUE(engine.WaitFor("info depth", nullptr, 10000));
  engine.WriteLine("stop");
  ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 20000));
  EXPECT_TRUE(LegalAfter({"e2e4"}, BestMoveOf(line))) << line;
  engine.WriteLines({"ponderhit", "stop", "isready"});
  std::vector<std::string> seen;
  ASSERT_TRUE(engine.WaitFor("readyok", nullptr, 10000, &seen));
  EXPECT_TRUE(LinesStartingWith(seen, "bestmove").empty());
  engine.WriteLine("go depth 2");
  seen.clear();
  ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 20000));
  engine.WriteLine("isready");
  ASSERT_TRUE(engine.WaitFor("readyok", nullptr, 10000, &seen));
  EXPECT_TRUE(LinesStartingWith(seen, "bestmove").empty());  // one answer per search

  // A mate in one ends the tree search at once; the ponder search then waits for the GUI.
  engine.WriteLine("position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1");
  engine.WriteLine("go ponder wtime 60000 btime 60000");
  ASSERT_TRUE(engine.WaitFor("info depth 1 score mate 1 ", nullptr, 10000));
  EXPECT_FALSE(engine.WaitFor("bestmove", nullptr, 300));
  engine.WriteLine("ponderhit");
  ASSERT_TRUE(engine.WaitFor("bestmove ", &line, 20000));
  EXPECT_EQ(BestMoveOf(line), "d1d8");

  // Mated: nothing to search, but the answer waits for "ponderhit" too.
  engine.WriteLines(
      {"position startpos moves f2f3 e7e5 g2g4 d8h4", "go ponder wtime 60000 btime 60000", "isready"});
  ASSERT_TRUE(engine.WaitFor("readyok", &line, 10000));
  EXPECT_FALSE(engine.WaitFor("bestmove", nullptr, 300));
  engine.WriteLine("ponderhit");
  ASSERT_TRUE(engine.WaitFor("bestmove", &line, 20000));
  EXPECT_EQ(line, "bestmove 0000");
  engine.WriteLine("quit");
  ExpectOrderlyEnd(engine);
}

}  // namespace
}  // namespace kelb
