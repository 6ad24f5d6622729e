// Analysis lines (UCI MultiPV) through the engine binary: every line legal, distinct, best first, the best
// move that of line 1; one line is the ordinary thinking output.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/chess_model.h"
#include "support/engine_process.h"

namespace kelb {
namespace {

using test::ChessModel;
using test::EngineProcess;
using test::ModelPosition;

constexpr int kSearchMs = 60000;  // a depth-limited search on any machine

// One "info ... pv ..." line as read back.
struct PvLine {
  int depth = 0;
  int number = 0;  // the multipv number, 0 without one
  int score = 0;   // centipawns; mates far beyond any centipawn score, the shorter the farther
  std::vector<std::string> pv;
};

static std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

static bool ReadPvLine(const std::string& line, PvLine& out) {
  const std::vector<std::string> w = Words(line);
  if (w.empty() || w[0] != "info") return false;
  out = PvLine{};
  bool hasPv = false;
  for (size_t i = 1; i < w.size(); ++i) {
    if (w[i] == "depth" && i + 1 < w.size()) {
      out.depth = std::stoi(w[++i]);
    } else if (w[i] == "multipv" && i + 1 < w.size()) {
      out.number = std::stoi(w[++i]);
    } else if (w[i] == "score" && i + 2 < w.size()) {
      const int value = std::stoi(w[i + 2]);
      out.score = w[i + 1] == "cp" ? value : (value > 0 ? 100000 - value : -100000 - value);
      i += 2;
    } else if (w[i] == "pv") {
      out.pv.assign(w.begin() + static_cast<long>(i) + 1, w.end());
      hasPv = true;
      break;
    }
  }
  return hasPv;
}

struct SearchOutput {
  std::vector<std::string> lines;  // everything up to and with "bestmove"
  std::vector<PvLine> pvLines;
  std::string bestMove;
  std::string ponderMove;
};

// A search's output from the lines before its "bestmove" line and that line.
static SearchOutput OutputOf(const std::vector<std::string>& lines, const std::string& best) {
  SearchOutput out;
  out.lines = lines;
  for (const std::string& line : lines) {
    PvLine pv;
    if (ReadPvLine(line, pv)) out.pvLines.push_back(pv);
  }
  const std::vector<std::string> w = Words(best);
  if (w.size() >= 2) out.bestMove = w[1];
  if (w.size() == 4) out.ponderMove = w[3];
  return out;
}

static SearchOutput Search(EngineProcess& engine, const std::string& position, const std::string& go) {
  std::vector<std::string> lines;
  std::string best;
  EXPECT_TRUE(engine.Ask({position, go}, "bestmove ", &best, kSearchMs, &lines)) << go;
  return OutputOf(lines, best);
}

// The game position of a "position" line, in the tests' own chess model.
static ModelPosition PositionOf(const std::string& fen, const std::vector<std::string>& moves) {
  ChessModel game(true);
  if (!fen.empty()) {
    game.position.ReadFen(fen);
    game.Reset();
  }
  for (const std::string& m : moves) EXPECT_TRUE(game.Play(m)) << m;
  return game.position;
}

// Plays the line from the position; the text of the first move that is not legal, empty when all are.
static std::string IllegalMoveOf(ModelPosition position, const std::vector<std::string>& pv) {
  for (const std::string& text : pv) {
    bool found = false;
    for (const auto& move : position.LegalMoves()) {
      if (move.Text() == text) {
        position.Make(move);
        found = true;
        break;
      }
    }
    if (!found) return text;
  }
  return "";
}

// The blocks of analysis lines, each starting at a "multipv 1" line.
static std::vector<std::vector<PvLine>> Blocks(const std::vector<PvLine>& lines) {
  std::vector<std::vector<PvLine>> blocks;
  for (const PvLine& line : lines) {
    if (line.number == 1 || blocks.empty()) blocks.emplace_back();
    blocks.back().push_back(line);
  }
  return blocks;
}

// What every block of analysis lines owes: numbered 1..n in order, n lines (n = the lines asked for or the
// legal moves, whichever is fewer), legal lines from distinct first moves, bestmove and ponder of line 1 of
// the last block. Lines of a block that all have one depth are best first.
static void CheckBlocks(const SearchOutput& out, const ModelPosition& root, size_t expectedLines,
                        const std::set<std::string>& allowed = {}) {
  ASSERT_FALSE(out.pvLines.empty());
  const std::vector<std::vector<PvLine>> blocks = Blocks(out.pvLines);
  for (const auto& block : blocks) {
    ASSERT_EQ(block.size(), expectedLines) << "block at depth " << block[0].depth;
    std::set<std::string> firstMoves;
    bool oneDepth = true;
    for (size_t i = 0; i < block.size(); ++i) {
      const PvLine& line = block[i];
      EXPECT_EQ(line.number, static_cast<int>(i) + 1);
      ASSERT_FALSE(line.pv.empty());
      EXPECT_EQ(IllegalMoveOf(root, line.pv), "") << "depth " << line.depth << " line " << line.number;
      firstMoves.insert(line.pv[0]);
      if (!allowed.empty()) {
        EXPECT_TRUE(allowed.count(line.pv[0])) << line.pv[0];
      }
      oneDepth = oneDepth && line.depth == block[0].depth;
    }
    EXPECT_EQ(firstMoves.size(), block.size()) << "first moves repeat at depth " << block[0].depth;
    for (size_t i = 1; oneDepth && i < block.size(); ++i)
      EXPECT_LE(block[i].score, block[i - 1].score) << "depth " << block[i].depth << " line " << i + 1;
  }
  const PvLine& top = blocks.back()[0];
  EXPECT_EQ(out.bestMove, top.pv[0]);
  EXPECT_EQ(out.ponderMove, top.pv.size() >= 2 ? top.pv[1] : "");
}

TEST(UciMultiPvE2E, OptionAnnouncedBeforeUciok) {
  EngineProcess engine;
  std::vector<std::string> seen;
  engine.Start();
  ASSERT_TRUE(engine.Ask({"uci"}, "uciok", nullptr, 5000, &seen));
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[seen.size() - 3], "option name Learning type check default true");
  EXPECT_EQ(seen[seen.size() - 2], "option name MultiPV type spin default 1 min 1 max 218");
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciMultiPvE2E, ThreeLinesForEveryDepthBestFirst) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUciWith({"setoption name MultiPV value 3"}));
  const SearchOutput out = Search(engine, "position startpos moves e2e4 e7e5", "go depth 5");
  CheckBlocks(out, PositionOf("", {"e2e4", "e7e5"}), 3);
  std::set<int> depths;
  for (const auto& block : Blocks(out.pvLines)) depths.insert(block[0].depth);
  EXPECT_EQ(depths, (std::set<int>{1, 2, 3, 4, 5}));
  for (const std::string& line : out.lines) {
    if (line.rfind("info depth", 0) == 0 && line.find(" pv ") != std::string::npos) {
      EXPECT_NE(line.find(" multipv "), std::string::npos) << line;
    }
  }

  // More lines than legal moves: one line for each legal move (seven here), at every depth.
  engine.WriteLine("setoption name MultiPV value 12");
  const std::string fen = "7k/8/8/8/8/8/6PP/6K1 w - - 0 1";
  const SearchOutput few = Search(engine, "position fen " + fen, "go depth 4");
  const ModelPosition root = PositionOf(fen, {});
  ASSERT_EQ(root.LegalMoves().size(), 7u);
  CheckBlocks(few, root, 7);
  EXPECT_EQ(Blocks(few.pvLines).size(), 4u);
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciMultiPvE2E, SearchMovesRestrictTheLines) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUciWith({"setoption name MultiPV value 5"}));
  CheckBlocks(Search(engine, "position startpos", "go depth 4 searchmoves a2a3 b1c3 h2h4"),
              PositionOf("", {}), 3, {"a2a3", "b1c3", "h2h4"});
  EXPECT_EQ(engine.Quit(), 0);
}

// Lines without time words: the time a line shows and the current-move lines (after a second) depend on
// the machine.
static std::vector<std::string> WithoutTimes(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    if (line.find(" currmove ") != std::string::npos) continue;
    std::vector<std::string> w = Words(line);
    for (size_t i = 0; i + 1 < w.size(); ++i)
      if (w[i] == "time") w[i + 1] = "*";
    std::string joined;
    for (const std::string& word : w) joined += (joined.empty() ? "" : " ") + word;
    out.push_back(joined);
  }
  return out;
}

TEST(UciMultiPvE2E, OneLineIsTheOrdinaryThinkingOutput) {
  const std::string position = "position startpos moves d2d4 g8f6 c2c4";
  std::vector<std::string> plain;
  {
    EngineProcess engine;
    ASSERT_TRUE(engine.StartUciWith({}));
    plain = WithoutTimes(Search(engine, position, "go depth 6").lines);
    EXPECT_EQ(engine.Quit(), 0);
  }
  ASSERT_GE(plain.size(), 6u);
  for (const std::string& line : plain) EXPECT_EQ(line.find("multipv"), std::string::npos) << line;
  // MultiPV 1 after 3 is the engine without the option: the same lines, the same move.
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUciWith({"setoption name MultiPV value 3", "setoption name MultiPV value 1"}));
  EXPECT_EQ(WithoutTimes(Search(engine, position, "go depth 6").lines), plain);
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciMultiPvE2E, LineOneAgreesWithTheSingleLineSearchInQuietPositions) {
  const std::vector<std::string> positions = {"position startpos moves e2e4 e7e5 g1f3 b8c6",
                                              "position fen 4k3/8/8/3K4/8/8/4P3/8 w - - 0 1"};
  for (const std::string& position : positions) {
    for (const char* go : {"go depth 4", "go depth 6"}) {
      SCOPED_TRACE(position + " / " + go);
      std::string single;
      {
        EngineProcess engine;
        ASSERT_TRUE(engine.StartUciWith({}));
        single = Search(engine, position, go).bestMove;
        engine.WriteLine("quit");
      }
      EngineProcess engine;
      ASSERT_TRUE(engine.StartUciWith({"setoption name MultiPV value 3"}));
      const SearchOutput out = Search(engine, position, go);
      ASSERT_FALSE(out.pvLines.empty());
      EXPECT_EQ(out.pvLines.back().depth, go[9] - '0');
      EXPECT_EQ(Blocks(out.pvLines).back()[0].pv[0], single);
      EXPECT_EQ(out.bestMove, single);
      engine.WriteLine("quit");
    }
  }
}

// A search stopped by its clock or by "stop" inside an iteration still answers with line 1 of its last
// lines, and every line it showed is legal.
TEST(UciMultiPvE2E, StoppedSearchesAnswerWithLineOne) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUciWith({"setoption name MultiPV value 4"}));
  const std::string position = "position startpos moves d2d4 d7d5 c2c4";
  const ModelPosition root = PositionOf("", {"d2d4", "d7d5", "c2c4"});
  const SearchOutput timed = Search(engine, position, "go movetime 400");
  CheckBlocks(timed, root, 4);

  engine.WriteLine(position);
  engine.WriteLine("go infinite");
  std::vector<std::string> lines;
  ASSERT_TRUE(engine.WaitFor("info depth 4 multipv 4 ", nullptr, kSearchMs, &lines));
  engine.WriteLine("stop");
  std::string best;
  ASSERT_TRUE(engine.WaitFor("bestmove ", &best, 10000, &lines));
  CheckBlocks(OutputOf(lines, best), root, 4);
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciMultiPvE2E, WeakLevelsShowOneLine) {
  EngineProcess engine;
  ASSERT_TRUE(
      engine.StartUciWith({"setoption name MultiPV value 3", "setoption name UCI_LimitStrength value true",
                           "setoption name UCI_Elo value 2000"}));
  const SearchOutput out = Search(engine, "position startpos moves e2e4", "go depth 3");
  for (const std::string& line : out.lines) EXPECT_EQ(line.find("multipv"), std::string::npos) << line;
  EXPECT_EQ(IllegalMoveOf(PositionOf("", {"e2e4"}), {out.bestMove}), "");
  EXPECT_EQ(engine.Quit(), 0);
}

}  // namespace
}  // namespace kelb
