// UCI set-ups through the engine binary: every "position" starts a fresh game, so a refused FEN halts only
// itself; "ucinewgame" keeps the position; move lists of any length are followed to their end, with the
// draw claims of the rules of chess on the way; "searchmoves" keeps a book move out of a restricted search.
#include <gtest/gtest.h>

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
using test::ModelMove;

// Sends "go" with the parameters and returns the move of its "bestmove" line ("" when none came).
static std::string BestMove(EngineProcess& engine, const std::string& parameters,
                            std::vector<std::string>* seen = nullptr) {
  engine.WriteLine("go " + parameters);
  std::string line;
  if (!engine.WaitFor("bestmove ", &line, 30000, seen)) return "";
  std::istringstream words(line.substr(9));
  std::string move;
  words >> move;
  return move;
}

// Sends "go" with the parameters and expects a move of the model's position as the answer.
static void ExpectLegalBestMove(EngineProcess& engine, const ChessModel& game,
                                const std::string& parameters) {
  const std::string move = BestMove(engine, parameters);
  EXPECT_TRUE(game.IsLegal(move)) << move << " in " << game.position.Fen();
}

TEST(UciSetupE2E, RefusedFenHaltsOnlyItsOwnPosition) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  // White's king stands in check with Black to move: refused.
  engine.WriteLine("position fen 4k3/8/8/3qq3/8/8/8/4K3 b - - 0 1");
  std::vector<std::string> lines = engine.LinesBeforeReady();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "tellusererror illegal position");
  EXPECT_EQ(BestMove(engine, "depth 3"), "0000");

  // The next legal FEN is taken and searched: only the king and the e-pawn can move.
  engine.WriteLine("position fen 8/8/8/4k3/8/8/4P3/4K3 w - - 0 1");
  EXPECT_TRUE(engine.LinesBeforeReady().empty());
  const std::string move = BestMove(engine, "depth 3");
  EXPECT_TRUE(move.rfind("e1", 0) == 0 || move.rfind("e2", 0) == 0) << move;

  // Moves after a refused FEN are not played, and the position after it is fine again.
  engine.WriteLine("position fen 4k3/8/8/3qq3/8/8/8/4K3 b - - 0 1 moves e5e1");
  EXPECT_EQ(BestMove(engine, "depth 2"), "0000");
  engine.WriteLine("position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1 moves e1g1 e8d8");
  EXPECT_TRUE(engine.LinesBeforeReady().empty());
  EXPECT_NE(BestMove(engine, "depth 2"), "0000");

  // "ucinewgame" does not replace a refused position: only the next "position" does.
  engine.WriteLine("position fen 4k3/8/8/3qq3/8/8/8/4K3 b - - 0 1");
  engine.WriteLine("ucinewgame");
  lines = engine.LinesBeforeReady();
  ASSERT_EQ(lines.size(), 1u);  // only the refusal
  EXPECT_EQ(BestMove(engine, "depth 2"), "0000");
  engine.WriteLine("position startpos");
  const std::string first = BestMove(engine, "depth 2");
  EXPECT_FALSE(first.empty());
  EXPECT_NE(first, "0000");
  EXPECT_EQ(engine.Quit(), 0);
}

// The model game of a "position" line: the start position or a FEN, then the moves; lines collects what
// the engine must send on the way (draw claims and offers).
static ChessModel ModelGame(const std::string& fen, const std::vector<std::string>& moves,
                            std::vector<std::string>& lines) {
  ChessModel game(true);
  if (!fen.empty()) {
    EXPECT_TRUE(game.position.ReadFen(fen) && game.position.Accept()) << fen;
    game.Reset();
    lines = game.lines;
  }
  for (const std::string& move : moves) {
    EXPECT_TRUE(game.Play(move)) << move;
    lines.insert(lines.end(), game.lines.begin(), game.lines.end());
  }
  return game;
}

static std::string PositionLine(const std::string& fen, const std::vector<std::string>& moves) {
  std::string line = fen.empty() ? "position startpos" : "position fen " + fen;
  if (!moves.empty()) line += " moves";
  for (const std::string& move : moves) line += " " + move;
  return line;
}

// The first difference of two line lists ("" when equal); whole lists of thousands of claims say little.
static std::string FirstDifference(const std::vector<std::string>& expected,
                                   const std::vector<std::string>& got) {
  for (size_t i = 0; i < expected.size() || i < got.size(); ++i) {
    const std::string e = i < expected.size() ? expected[i] : "(nothing)";
    const std::string g = i < got.size() ? got[i] : "(nothing)";
    if (e != g)
      return "line " + std::to_string(i + 1) + " of " + std::to_string(expected.size()) + ": expected [" + e +
             "], got [" + g + "] (" + std::to_string(got.size()) + " lines)";
  }
  return "";
}

// Knights out and back from the start position: every position repeats, ply after ply.
static std::vector<std::string> KnightShuffle(int plies) {
  static const char* const knights[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  std::vector<std::string> moves;
  for (int ply = 0; ply < plies; ++ply) moves.push_back(knights[ply % 4]);
  return moves;
}

// Quiet moves into positions the game has not seen, none of them mating or stalemating: no repetition,
// only the fifty-move count grows.
static std::vector<std::string> QuietWalk(const std::string& fen, int plies) {
  std::vector<std::string> lines, moves;
  ChessModel game = ModelGame(fen, {}, lines);
  std::set<std::string> seen = {game.position.Fen()};
  uint32_t seed = 7;
  for (int ply = 0; ply < plies; ++ply) {
    const std::vector<ModelMove> legal = game.Legal();
    seed = seed * 1664525u + 1013904223u;
    bool played = false;
    for (size_t k = 0; k < legal.size() && !played; ++k) {
      const ModelMove& move = legal[(k + (seed >> 8)) % legal.size()];
      if (game.position.squares[move.to] != '.') continue;
      test::ModelPosition next = game.position;
      next.Make(move);
      if (next.LegalMoves().empty() || !seen.insert(next.Fen()).second) continue;
      game.Play(move);
      moves.push_back(move.Text());
      played = true;
    }
    if (!played) break;
  }
  return moves;
}

// The GUI sends the whole game with every "position": the engine keeps its recent part, whatever the
// length (the record holds 1,000 moves), so that the claims by repetition and by the fifty-move rule stay
// those of the whole game, and it answers with a move of the last position.
TEST(UciSetupE2E, MoveListsLongerThanTheRecordAreFollowedToTheEnd) {
  struct Case {
    std::string fen;
    std::vector<std::string> moves;
  };
  const std::string rooks = "r3k3/8/8/8/8/8/8/4K2R w - - 0 1";
  const std::vector<Case> cases = {
      {"", KnightShuffle(1001)},        // Black to move after the last Nf3; repetitions across the end
      {rooks, QuietWalk(rooks, 1100)},  // the fifty-move count runs on past the end of the record
      {"", KnightShuffle(10001)},       // a line of 50,000 characters
  };
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.moves.size()) + " moves from " + (c.fen.empty() ? "the start" : c.fen));
    ASSERT_GT(c.moves.size(), 1000u);
    std::vector<std::string> expected;
    const ChessModel game = ModelGame(c.fen, c.moves, expected);
    engine.WriteLine(PositionLine(c.fen, c.moves));
    const std::vector<std::string> lines = engine.LinesBeforeReady();
    EXPECT_EQ(FirstDifference(expected, lines), "");
    ExpectLegalBestMove(engine, game, "depth 3");
  }
  EXPECT_EQ(engine.Quit(), 0);
}

// A repetition claim under UCI too needs the same castling rights: after 1.Nf3 Nc6 2.Rg1 Nb8 3.Rh1 Nc6
// 4.Rg1 Nb8 5.Rh1 the position after 1.Nf3 has stood three times, twice with the same rights.
TEST(UciSetupE2E, RepetitionClaimNeedsTheSameCastlingRights) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  const std::vector<std::string> moves = {"g1f3", "b8c6", "h1g1", "c6b8", "g1h1",
                                          "b8c6", "h1g1", "c6b8", "g1h1"};
  engine.WriteLine(PositionLine("", moves));
  EXPECT_TRUE(engine.LinesBeforeReady().empty());
  std::vector<std::string> longer = moves;
  longer.push_back("b8c6");
  longer.push_back("h1g1");  // the position after 2.Rg1 stands for the third time
  engine.WriteLine(PositionLine("", longer));
  EXPECT_EQ(engine.LinesBeforeReady(), std::vector<std::string>{"1/2-1/2 {Draw by repetition}"});
  EXPECT_EQ(engine.Quit(), 0);
}

// "ucinewgame" tells the engine that the next search belongs to another game; the position to search is
// still the one the last "position" set.
TEST(UciSetupE2E, UcinewgameKeepsThePosition) {
  EngineProcess engine;
  ASSERT_TRUE(engine.StartUci());
  for (const auto& [fen, moves] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"7k/8/8/8/8/8/8/KR6 w - - 0 1", {"a1a2", "h8g8"}}, {"", {"e2e4"}}}) {
    SCOPED_TRACE(PositionLine(fen, moves));
    std::vector<std::string> lines;
    const ChessModel game = ModelGame(fen, moves, lines);
    engine.WriteLine(PositionLine(fen, moves));
    engine.WriteLine("ucinewgame");
    EXPECT_TRUE(engine.LinesBeforeReady().empty());
    ExpectLegalBestMove(engine, game, "depth 2");
  }
  EXPECT_EQ(engine.Quit(), 0);
}

TEST(UciSetupE2E, RestrictedSearchTakesABookMoveOnlyFromItsList) {
  EngineProcess engine;
  ASSERT_TRUE(engine.WriteShippedBook());
  ASSERT_TRUE(engine.StartUci());
  engine.WriteLine("position startpos");
  // Neither move is in the book: the engine searches, and plays one of the two.
  for (int run = 0; run < 4; ++run) {
    std::vector<std::string> seen;
    const std::string move = BestMove(engine, "searchmoves a2a3 h2h4 depth 5", &seen);
    EXPECT_TRUE(move == "a2a3" || move == "h2h4") << move;
    bool searched = false;
    for (const std::string& line : seen) searched = searched || line.rfind("info depth ", 0) == 0;
    EXPECT_TRUE(searched);
  }
  // Unrestricted, the book answers at once (no search lines) with one of its first moves.
  std::vector<std::string> seen;
  const std::string move = BestMove(engine, "depth 5", &seen);
  EXPECT_EQ(seen.size(), 1u) << seen.front();
  EXPECT_EQ(move.size(), 4u) << move;
  EXPECT_EQ(engine.Quit(), 0);
}

}  // namespace
}  // namespace kelb
