// Random command streams checked against a reference model, under both protocols. The model (its own board,
// tests/support/chess_model.h) and a model of the front end predict every line the engine must send, whether
// it moves, and its position; after every step the engine's position is read back with "savepos" and must
// match, every move it plays (its own, "Hint:", "bk", "bestmove", the moves of its principal variations)
// must be legal in the model, "Illegal move" must come exactly when the model refuses the move, and result
// lines exactly when the model ends the game.
// Fixed seeds run in the suite. A longer run: make model-check MODEL_SEEDS=n MODEL_STEPS=m (MODEL_FIRST_SEED,
// MODEL_MINUTES to keep going with new seeds for that long). A failure names its seed and shows the tail of
// the conversation.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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
using test::ModelPosition;

constexpr int kLineTimeoutMs = 10000;
// One string object for the refusal line: pushing copies of a literal made the optimiser warn
// (-Wstringop-overread) about a copy it had inlined itself.
const std::string kIllegalPosition = "tellusererror illegal position";
constexpr int kSearchTimeoutMs = 60000;  // a depth-2 search, generous for a loaded sanitizer build

class Random {
 public:
  explicit Random(uint32_t seed) : state(seed * 2654435761u + 12345u) {}
  uint32_t Next(uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return n == 0 ? 0 : (state >> 8) % n;
  }
  bool Chance(uint32_t percent) { return Next(100) < percent; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[Next(static_cast<uint32_t>(items.size()))];
  }

 private:
  uint32_t state;
};

// The opening book, read here on its own: which replies the engine may list or play after a game's moves.
class BookModel {
 public:
  explicit BookModel(const std::string& bytes) {
    entries.push_back(0);  // records count from 1
    for (size_t i = 0; i + 4 <= bytes.size() && entries.size() <= 1024; i += 4) {
      const uint32_t raw = static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8 |
                           static_cast<uint8_t>(bytes[i + 2]) << 16 |
                           static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 3])) << 24;
      if (raw == 0) break;
      entries.push_back(static_cast<int32_t>(raw));
    }
  }
  // The candidate moves after the game's moves from the initial position; empty when out of the book.
  std::vector<std::string> Candidates(const std::vector<ModelMove>& moves) const {
    int node = 1, count = 8;
    for (const ModelMove& move : moves) {
      if (!Usable(node, count)) return {};
      int match = 0;
      for (int record = node; record < node + count && match == 0; ++record)
        if (entries[record] % 10000 == Code(move)) match = record;
      if (match == 0) return {};
      count = entries[match] / 10000 % 10;
      node = entries[match] / 100000;
      if (node > 1024) return {};
    }
    if (!Usable(node, count)) return {};
    std::vector<std::string> texts;
    for (int record = node; record < node + count; ++record) {
      const int code = entries[record] % 10000;
      std::string text;
      for (int digit : {code / 1000, code / 100 % 10, code / 10 % 10, code % 10})
        text += static_cast<char>(text.size() % 2 == 0 ? 'a' + digit - 1 : '0' + digit);
      texts.push_back(text);
    }
    return texts;
  }

 private:
  // Squares numbered 10 * file + rank from 1: the code is from * 100 + to.
  static int Code(const ModelMove& m) {
    return ((m.from % 8 + 1) * 10 + m.from / 8 + 1) * 100 + (m.to % 8 + 1) * 10 + m.to / 8 + 1;
  }
  bool Usable(int node, int count) const {
    if (count < 1) return false;
    for (int record = node; record < node + count; ++record)
      if (record < 1 || record >= static_cast<int>(entries.size()) || entries[record] <= 0) return false;
    return true;
  }
  std::vector<int32_t> entries;
};

static const BookModel& Book() {
  static const BookModel book(test::ShippedBook());
  return book;
}

// Positions for set-ups: endings that end the game at once or soon, castling and en-passant corners, and
// positions the engine must refuse. Random edits turn some into broken text.
static const std::vector<std::string> kFens = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2",
    "4k3/8/8/3pP3/8/8/8/4K3 w - d6",
    "4k3/8/8/3pP3/8/8/8/4K3 w - e6",
    "4k3/4p3/8/3P4/8/8/4P3/4K3 w - -",
    "4k3/8/8/8/2pP4/8/8/4K3 b - d3",
    "8/8/8/KPp4r/8/8/8/7k w - c6 0 1",
    "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
    "k7/8/1Q6/8/8/8/8/7K w - -",
    "7k/5Q2/6K1/8/8/8/8/8 b - -",
    "6k1/5ppp/8/8/8/8/8/R5K1 w - -",
    "6k1/5ppp/8/8/8/8/5PPP/r5K1 b - -",
    "k7/8/1K6/8/8/8/8/7R w - -",
    "K7/8/1k6/8/8/8/8/7r b - -",
    "2r3k1/8/8/8/8/8/8/R3K2R w KQ -",
    "1r5k/8/8/8/8/8/8/K5R1 w - -",
    "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -",
    "r3k2r/8/8/8/8/8/5r2/R3K2R w KQkq -",
    "r3k2r/8/8/8/8/8/8/R3K2R b KQkq -",
    "4k3/8/8/8/8/8/8/4K2R w K -",
    "8/8/8/4k3/8/8/4P3/4K3 w - -",
    "4k3/8/8/8/8/8/3NN3/4K3 w - -",
    "4k3/8/8/8/8/8/3r4/3RK3 w - -",
    "4k3/8/8/2b5/8/8/3B4/4K3 w - -",
    "4k3/8/8/8/8/8/3N4/4K3 w - -",
    "k7/8/8/8/8/8/8/K7 w - -",
    "8/P6k/8/8/8/8/6p1/K7 w - -",
    "1k6/1P6/1K6/8/8/8/8/8 w - -",
    "R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/8/8/8/8/8/8/8 w - -",
    "4k3/8/8/8/8/8/4r3/4K3 b - -",
    "P3k3/8/8/8/8/8/8/4K3 w - -",
    "4k3/8/8/8/8/8/8/4K2R w KQ -",
    "4k3/8/8/8/8/8/8/4K3 w -",
    "4k3/8/8/8/8/8/8/3KK3 w - -",
};

static std::string CorruptFen(Random& random, std::string fen) {
  static const std::string letters = "pnbrqkPNBRQK123456789/ -wbKQkqabcdefgh36";
  for (uint32_t n = random.Next(3); n > 0 && !fen.empty(); --n) {
    const size_t i = random.Next(static_cast<uint32_t>(fen.size()));
    const char c = letters[random.Next(static_cast<uint32_t>(letters.size()))];
    switch (random.Next(3)) {
      case 0:
        fen.erase(i, 1);
        break;
      case 1:
        fen.insert(i, 1, c);
        break;
      default:
        fen[i] = c;
        break;
    }
  }
  return fen;
}

// A position reached by random play from the initial one, with its halfmove and move fields.
static std::string PlayedFen(Random& random) {
  ChessModel game;
  for (uint32_t n = random.Next(60); n > 0 && game.result == 0; --n) game.Play(random.Pick(game.Legal()));
  return game.position.Fen() + " 0 1";
}

static std::string SomeFen(Random& random) {
  const uint32_t r = random.Next(10);
  std::string fen = r < 4 ? random.Pick(kFens) : r < 7 ? PlayedFen(random) : random.Pick(kFens);
  return random.Chance(25) ? CorruptFen(random, fen) : fen;
}

// A move for the side to move: often one that walks back the same side's last move (so that positions
// repeat); in pawnless endings mostly a quiet move to a position not seen in the game yet (so that the
// fifty-move rule comes within reach).
static std::string SomeLegalMove(Random& random, const ChessModel& game) {
  const std::vector<ModelMove> legal = game.Legal();
  const std::vector<ModelMove>& played = game.Moves();
  if (played.size() >= 2 && random.Chance(30)) {
    const ModelMove& last = played[played.size() - 2];
    for (const ModelMove& move : legal)
      if (move.from == last.to && move.to == last.from && move.promotion == 0) return move.Text();
  }
  if (!game.position.HasPawns() && random.Chance(85)) {
    std::vector<ModelMove> fresh;
    for (const ModelMove& move : legal) {
      ModelPosition next = game.position;
      if (next.squares[move.to] != '.') continue;
      next.Make(move);
      bool seen = false;
      for (const ModelPosition& p : game.Before())
        seen = seen || std::string(p.squares, 64) == std::string(next.squares, 64);
      if (!seen) fresh.push_back(move);
    }
    if (!fresh.empty()) return random.Pick(fresh).Text();
  }
  return random.Pick(legal).Text();
}

static bool Reversible(const ModelPosition& position, const ModelMove& move) {
  const char piece = position.squares[move.from];
  return piece != 'P' && piece != 'p' && position.squares[move.to] == '.';
}

// Both sides step out and back, once or twice, so that positions repeat: mostly with a king or rook that
// leaves its home square (the first position then had castling rights the later ones lack); from a position
// with an en-passant right, the repetitions lack that right. Plays the moves on the game; stops where a step
// is not legal or the game has ended.
static std::vector<std::string> Cycle(Random& random, ChessModel& game) {
  std::vector<std::string> played;
  auto play = [&](const ModelMove& move) {
    if (game.result != 0 || move.from == move.to || !game.Play(move.Text())) return false;
    played.push_back(move.Text());
    return true;
  };
  ModelMove out[2];
  for (ModelMove& step : out) {
    std::vector<ModelMove> quiet, leavingHome;
    for (const ModelMove& move : game.Legal()) {
      if (!Reversible(game.position, move)) continue;
      quiet.push_back(move);
      const char piece = game.position.squares[move.from];
      if (std::string("KRkr").find(piece) != std::string::npos &&
          move.from / 8 == (game.position.side == 0 ? 0 : 7))
        leavingHome.push_back(move);
    }
    if (quiet.empty()) return played;
    step = !leavingHome.empty() && random.Chance(70) ? random.Pick(leavingHome) : random.Pick(quiet);
    if (!play(step)) return played;
  }
  for (uint32_t round = 1 + random.Next(2); round > 0; --round) {
    if (!play({out[0].to, out[0].from, 0}) || !play({out[1].to, out[1].from, 0})) return played;
    if (round > 1 && (!play(out[0]) || !play(out[1]))) return played;
  }
  return played;
}

// Moves for a game longer than the engine's record of 1,000: mostly those of SomeLegalMove, never one that
// mates or stalemates (a UCI game goes on through draws by rule).
static void ExtendLong(Random& random, ChessModel& game, std::vector<std::string>& tail, int plies) {
  for (int n = 0; n < plies; ++n) {
    const std::vector<ModelMove> legal = game.Legal();
    std::string chosen;
    for (int attempt = 0; attempt < 8 && chosen.empty(); ++attempt) {
      const std::string text = attempt < 2 ? SomeLegalMove(random, game) : random.Pick(legal).Text();
      for (const ModelMove& move : legal) {
        if (move.Text() != text) continue;
        ModelPosition next = game.position;
        next.Make(move);
        if (!next.LegalMoves().empty()) chosen = text;
      }
    }
    if (chosen.empty()) return;
    game.Play(chosen);
    tail.push_back(chosen);
  }
}

// Move text that is mostly, but not always, illegal: the other side's moves, castling, promotions in the
// wrong form, arbitrary squares, stray words.
static std::string SomeMoveText(Random& random, const ChessModel& game) {
  const uint32_t r = random.Next(6);
  if (r == 0) {
    ModelPosition other = game.position;
    other.side = 1 - other.side;
    other.epFile = 0;
    const std::vector<ModelMove> moves = other.LegalMoves();
    if (!moves.empty()) return random.Pick(moves).Text();
  }
  if (r == 1) return random.Pick(std::vector<std::string>{"e1g1", "e1c1", "e8g8", "e8c8", "e1h1", "e8a8"});
  if (r == 2) {
    for (const ModelMove& move : game.Legal())
      if (move.promotion != 0)
        return move.Text().substr(0, 4) + random.Pick(std::vector<std::string>{"", "Q", "k", "p"});
  }
  if (r == 3) {
    std::string text = test::ModelSquareName(static_cast<int>(random.Next(64))) +
                       test::ModelSquareName(static_cast<int>(random.Next(64)));
    return random.Chance(10) ? text + "q" : text;
  }
  if (r == 4) {
    // A pawn moving diagonally onto an empty square: en passant where it is allowed, nonsense elsewhere.
    for (int square = 0; square < 64; ++square) {
      const char pawn = game.position.side == 0 ? 'P' : 'p';
      if (game.position.squares[square] != pawn || random.Chance(60)) continue;
      const int to = square + (pawn == 'P' ? 8 : -8) + (random.Chance(50) ? 1 : -1);
      if (to >= 0 && to < 64 && (to % 8 - square % 8 == 1 || square % 8 - to % 8 == 1))
        return test::ModelSquareName(square) + test::ModelSquareName(to);
    }
  }
  return random.Pick(std::vector<std::string>{"e2e4", "g1f3", "a7a8q", "h2h1n", "e7e5", "d7d5", "b8c6"});
}

// The conversation so far, for the failure report.
class Transcript {
 public:
  Transcript() {
    // MODEL_TRACE=file keeps the whole conversation of every stream (appended).
    if (const char* path = std::getenv("MODEL_TRACE"); path != nullptr && *path != '\0')
      trace.open(path, std::ios::app);
  }
  void Add(const std::string& line) {
    if (trace.is_open()) trace << line << '\n';
    lines.push_back(line);
  }
  std::string Tail(size_t count) const {
    std::string text;
    for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
      text += lines[i] + "\n";
    return text;
  }
  std::string All() const { return Tail(lines.size()); }

 private:
  std::vector<std::string> lines;
  std::ofstream trace;
};

static std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

static bool IsNumber(const std::string& word) {
  size_t i = word.size() > 1 && word[0] == '-' ? 1 : 0;
  if (i == word.size()) return false;
  for (; i < word.size(); ++i)
    if (word[i] < '0' || word[i] > '9') return false;
  return true;
}

// A principal variation must be playable move by move from the position searched. Returns an error or "".
static std::string CheckVariation(const ModelPosition& root, const std::vector<std::string>& pv) {
  ModelPosition position = root;
  for (const std::string& text : pv) {
    bool found = false;
    for (const ModelMove& move : position.LegalMoves()) {
      if (move.Text() != text) continue;
      position.Make(move);
      found = true;
      break;
    }
    if (!found) return "variation move " + text + " is not legal in " + position.Fen();
  }
  return "";
}

// The common part of both streams: the engine process, the transcript, reading with deadlines.
class Session {
 public:
  Session(const char* protocolName, uint32_t streamSeed)
      : random(streamSeed), seed(streamSeed), protocol(protocolName) {
    engine.WriteShippedBook();
    // The log makes the engine check its board after every trial move and record the failing test.
    engine.WriteFile("kelb701.ini", "hashsize=1\nlog=1\n");
  }
  virtual ~Session() = default;

  void Send(const std::string& text) {
    engine.WriteLine(text);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) transcript.Add("> " + line);
  }
  // Reads lines until one starts with prefix; the others are appended to seen. False on the deadline.
  bool ReadUntil(const std::string& prefix, std::string& found, std::vector<std::string>& seen,
                 int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !engine.ReadLine(line, static_cast<int>(left.count()))) return false;
      transcript.Add("< " + line);
      if (line.rfind(prefix, 0) == 0) {
        found = line;
        return true;
      }
      seen.push_back(line);
    }
  }
  // The error, the end of the conversation and the last board dump of the engine's log; the whole
  // conversation goes to a file in the working directory (the engine's book choices vary from run to run, so
  // a seed alone need not repeat a failure).
  std::string Report(const std::string& error) const {
    const std::string file = std::string(protocol) + "-stream-seed" + std::to_string(seed) + ".txt";
    std::ofstream(file) << transcript.All();
    std::string text = std::string(protocol) + " seed " + std::to_string(seed) + ", step " +
                       std::to_string(step) + ": " + error + "\n--- last lines (> sent, < received; all in " +
                       file + ") ---\n" + transcript.Tail(80);
    const std::string log = engine.ReadFile("kelb701.log");
    const size_t dump = log.rfind("errcode=");
    const size_t board = dump == std::string::npos ? std::string::npos : log.rfind("!!", dump);
    if (board != std::string::npos)
      text += "--- last board dump in the log (refused set-ups dump too) ---\n" + log.substr(board) + "\n";
    return text;
  }

  // Starts the engine and sends the handshake; false when its last answer does not come.
  bool Open(const std::string& handshake, const std::string& lastAnswer) {
    engine.Start();
    Send(handshake);
    std::string found;
    std::vector<std::string> seen;
    return ReadUntil(lastAnswer, found, seen, kSearchTimeoutMs);
  }
  // The steps of the stream, then "quit"; an error report or "".
  std::string StepsThenQuit(int steps) {
    for (step = 1; step <= steps; ++step)
      if (std::string e = Step(); !e.empty()) return Report(e);
    Send("quit");
    if (engine.WaitExit(kLineTimeoutMs) != 0) return Report("no clean exit after quit");
    return "";
  }
  // One random command (or dialogue) and everything that follows from it; an error or "".
  virtual std::string Step() = 0;

  EngineProcess engine;
  Random random;
  Transcript transcript;
  uint32_t seed;
  const char* protocol;
  int step = 0;
};

// Compares what the engine sent with what the model expects. An expected line " xxxx" matches a book listing
// line of that move; "Hint: *" matches a hint whose move is legal.
static std::string CompareLines(const std::vector<std::string>& expected, const std::vector<std::string>& got,
                                const ChessModel& game) {
  auto show = [](const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += "\n    [" + l + "]";
    return text;
  };
  bool same = expected.size() == got.size();
  for (size_t i = 0; same && i < got.size(); ++i) {
    if (expected[i] == "Hint: *")
      same = got[i].rfind("Hint: ", 0) == 0 && game.IsLegal(got[i].substr(6));
    else if (!expected[i].empty() && expected[i][0] == ' ')
      same = got[i].rfind(expected[i] + " ", 0) == 0;
    else
      same = got[i] == expected[i];
  }
  return same ? "" : "expected" + show(expected) + "\n  got" + show(got);
}

// ---------------------------------------------------------------------------------------------------------
// WinBoard: the front end's state as the engine keeps it, beside the game.

enum class Mode { Force, Play, NewGame, Halted, GameOver };

class WinBoardStream : public Session {
 public:
  explicit WinBoardStream(uint32_t streamSeed) : Session("winboard", streamSeed) {}

  // Runs the stream; returns an error report or "".
  std::string Run(int steps) {
    if (!Open("xboard\nprotover 2", "feature done=1")) return Report("no feature list");
    depthUnset = true;
    if (std::string e = Sync({}); !e.empty()) return Report(e);
    return StepsThenQuit(steps);
  }

 private:
  bool Halted() const { return mode == Mode::Halted; }
  void SetMode(Mode m) {
    if (!Halted()) mode = m;
  }
  // After every change of the game: the lines the game sent, and the end of the game ends play.
  void Changed() {
    expected.insert(expected.end(), game.lines.begin(), game.lines.end());
    if (game.gameOver) mode = Mode::GameOver;
  }
  void NewGame() {
    game.NewGame();
    mode = Mode::NewGame;
    engineSide = 1;
    fromStart = true;
    depthUnset = true;  // a new game searches to the full depth again
  }
  void SetUp(const std::string& fen) {
    ModelPosition position;
    if (!Halted() && position.ReadFen(fen) && position.Accept()) {
      game.position = position;
      fromStart = false;
      SetMode(Mode::Force);
      game.Reset();
      Changed();
      return;
    }
    expected.push_back(kIllegalPosition);
    NewGame();
    mode = Mode::Halted;
  }
  bool PonderMayRun() const {
    return mode == Mode::Play && engineSide != game.position.side && ponder && game.result == 0 &&
           !Halted() && !game.KingCanBeTaken();
  }

  // The edit dialogue: lines as the engine reads them, then the verdict on the edited board.
  std::string Edit() {
    std::vector<std::string> lines;
    if (random.Chance(40)) {
      lines.push_back("#");
      lines.push_back("K" + test::ModelSquareName(static_cast<int>(random.Next(64))));
    }
    static const std::string kinds = "PNBRQKpnbrqk";
    for (uint32_t n = random.Next(8); n > 0; --n) {
      const uint32_t r = random.Next(10);
      const std::string square = test::ModelSquareName(static_cast<int>(random.Next(64)));
      if (r < 4)
        lines.push_back(std::string(1, kinds[random.Next(12)]) + square);
      else if (r < 6)
        lines.push_back("x" + square);
      else if (r < 8)
        lines.push_back("c");
      else
        lines.push_back(
            random.Pick(std::vector<std::string>{"", "Ke11", "xz9", "K", "k E8", "Qd", "white", "#x"}));
    }
    if (random.Chance(50)) {
      lines.push_back("c");
      lines.push_back("k" + test::ModelSquareName(static_cast<int>(random.Next(64))));
    }
    std::string text = "edit";
    ModelPosition& p = game.position;
    int colour = 0;
    for (const std::string& line : lines) {
      text += "\n" + line;
      if (line.empty()) continue;
      int square = -1;
      if (line.size() == 3) {
        const char f = static_cast<char>(std::tolower(static_cast<unsigned char>(line[1])));
        if (f >= 'a' && f <= 'h' && line[2] >= '1' && line[2] <= '8')
          square = test::ModelSquare(f - 'a', line[2] - '1');
      }
      const char first = line[0];
      const size_t kind =
          std::string("PNBRQK").find(static_cast<char>(std::toupper(static_cast<unsigned char>(first))));
      if (first == '#') {
        for (char& s : p.squares) s = '.';
      } else if (first == 'c') {
        colour = 1 - colour;
      } else if (first == 'x') {
        if (square >= 0) p.squares[square] = '.';
      } else if (kind != std::string::npos && square >= 0) {
        p.squares[square] = colour == 0 ? "PNBRQK"[kind] : "pnbrqk"[kind];
      }
    }
    text += "\n.";
    // Castling where king and rook stand at home; no en passant; the side to move stays.
    p.castle[0] = p.squares[4] == 'K' && p.squares[7] == 'R';
    p.castle[1] = p.squares[4] == 'K' && p.squares[0] == 'R';
    p.castle[2] = p.squares[60] == 'k' && p.squares[63] == 'r';
    p.castle[3] = p.squares[60] == 'k' && p.squares[56] == 'r';
    p.epFile = 0;
    fromStart = false;
    if (p.Accept()) {
      mode = Mode::Force;
      game.Reset();
      Changed();
    } else {
      mode = Mode::Halted;
      expected.push_back(kIllegalPosition);
      game.Reset(false);
    }
    return text;
  }

  void UserMove(const std::string& text, bool bare) {
    if (!Halted() && game.result == 0 && game.Play(text)) {
      Changed();
      if (mode == Mode::NewGame) mode = Mode::Play;
    } else {
      expected.push_back("Illegal move");
    }
    Send(bare ? text : "usermove " + text);
  }

  void SideToMove(int side) {
    // A halted engine keeps its refused board and lists; only the side changes.
    if (Halted()) {
      if (game.position.side != side) game.position.epFile = 0;
      game.position.side = side;
    } else {
      game.SetSideToMove(side);
      Changed();
    }
    engineSide = 1 - side;
  }

  // "loadpos" of a line saved earlier in this stream (or one past the end, or a missing file).
  void LoadPosition() {
    const uint32_t number = random.Chance(15) ? static_cast<uint32_t>(saved.size()) + 1
                                              : 1 + random.Next(static_cast<uint32_t>(saved.size()));
    const uint32_t r = random.Next(10);
    if (r == 0) {
      Send("loadpos missing.fen 1");
      expected.push_back("File missing.fen not found");
      return;
    }
    // Numbers out of range or not numbers at all mean the first line.
    const std::string word =
        r == 1 ? random.Pick(std::vector<std::string>{"0", "-3", "abc", "", "2x"}) : std::to_string(number);
    Send("loadpos model.fen " + word);
    const size_t index = r == 1 ? 0 : number - 1;
    if (index >= saved.size()) {
      expected.push_back("model.fen is too short!");
      return;
    }
    SetUp(saved[index]);
  }

  std::string Step() override {
    expected.clear();
    const uint32_t r = random.Next(100);
    const std::vector<ModelMove> legal = game.Legal();
    if (r < 2) {
      LoadPosition();
    } else if (r < 6 && mode == Mode::Force && !legal.empty()) {
      // Only while the engine does not answer moves: positions that repeat, with rights that do not.
      ChessModel probe = game;
      for (const std::string& move : Cycle(random, probe)) UserMove(move, random.Chance(70));
    } else if (r < 34 && !legal.empty() && !Halted()) {
      UserMove(SomeLegalMove(random, game), random.Chance(70));
    } else if (r < 42) {
      const std::string text = SomeMoveText(random, game);
      const bool bareForm = (text.size() == 4 || text.size() == 5) && text[0] >= 'a' && text[0] <= 'h' &&
                            text[1] >= '1' && text[1] <= '8';
      UserMove(text, bareForm && random.Chance(50));
    } else if (r < 47) {
      Send("undo");
      if (game.Ply() > 0) {
        game.TakeBack();
        Changed();
      }
    } else if (r < 50) {
      Send("remove");
      for (int i = 0; i < 2 && game.Ply() > 0; ++i) {
        game.TakeBack();
        Changed();
      }
    } else if (r < 54) {
      Send("white");
      SideToMove(0);
    } else if (r < 58) {
      Send("black");
      SideToMove(1);
    } else if (r < 64) {
      // The handler joins words 2 to 5; the rest of the line is dropped.
      const std::string fen = SomeFen(random);
      const std::vector<std::string> w = Words(fen);
      std::string joined;
      for (size_t i = 0; i < 4; ++i) joined += (i > 0 ? " " : "") + (i < w.size() ? w[i] : std::string());
      Send("setboard " + fen);
      SetUp(joined);
    } else if (r < 68) {
      Send(Edit());
    } else if (r < 75) {
      Send("go");
      SetMode(Mode::Play);
      engineSide = game.position.side;
    } else if (r < 79) {
      Send("new");
      NewGame();
    } else if (r < 83) {
      Send("force");
      SetMode(Mode::Force);
    } else if (r < 86) {
      Send("hint");
      if (!Halted() && !legal.empty() && !game.KingCanBeTaken()) expected.push_back("Hint: *");
    } else if (r < 89) {
      Send("bk");
      if (fromStart && game.position.side == game.Ply() % 2) {
        const std::vector<std::string> candidates = Book().Candidates(game.Moves());
        for (const std::string& move : candidates) expected.push_back(" " + move);
        if (!candidates.empty()) expected.push_back("");
      }
    } else if (r < 91) {
      Send("playother");
      expected.push_back("Error (unknown command): playother");
    } else if (r < 93 && !PonderMayRun()) {
      // While pondering the search takes "draw" itself (silently, before move 450); so only when idle.
      Send("draw");
      if (game.Ply() > 900 || game.DrawishMaterial()) expected.push_back("offer draw");
    } else if (r < 95) {
      ponder = random.Chance(50);
      Send(ponder ? "hard" : "easy");
    } else if (r < 97) {
      post = random.Chance(50);
      Send(post ? "post" : "nopost");
    } else {
      depthUnset = true;
    }
    return Sync(expected);
  }

  // Lets the engine move if the model says it is to move, then synchronises with "savepos" and "ping" and
  // compares the engine's lines and position with the model's.
  std::string Sync(std::vector<std::string> before) {
    if (depthUnset) {
      Send("sd " + std::to_string(1 + random.Next(2)));
      depthUnset = false;
    }
    std::vector<std::string> seen, after;
    if (mode == Mode::Play && engineSide == game.position.side && game.result == 0) {
      if (game.KingCanBeTaken()) {
        // A side to move that could take the king: no search from there. The refusal comes from the idle
        // step, that is only once no line is waiting, so it is awaited before anything more is sent.
        const std::string& refusal = kIllegalPosition;
        std::string line;
        if (!ReadUntil(refusal, line, seen, kLineTimeoutMs)) return "no refusal to move";
        if (std::string e = CompareLines(before, seen, game); !e.empty()) return "before the refusal: " + e;
        before.clear();
        seen.clear();
        mode = Mode::Force;
      } else {
        const ModelPosition root = game.position;
        const std::vector<std::string> candidates = fromStart && root.side == game.Ply() % 2
                                                        ? Book().Candidates(game.Moves())
                                                        : std::vector<std::string>{};
        std::string line;
        if (!ReadUntil("move ", line, seen, kSearchTimeoutMs)) return "no move from the engine";
        std::vector<std::string> kept;
        for (const std::string& l : seen)
          if (std::string e = Thinking(l, root, kept); !e.empty()) return e;
        if (std::string e = CompareLines(before, kept, game); !e.empty())
          return "before the engine's move: " + e;
        const std::string move = line.substr(5);
        bool inBook = candidates.empty();
        for (const std::string& c : candidates) inBook = inBook || move == c;
        if (!inBook) return "engine move " + move + " is not a book move here";
        if (!game.Play(move)) return "engine move " + move + " is illegal in " + root.Fen();
        after = game.lines;
        if (game.gameOver) mode = Mode::GameOver;
        before.clear();
      }
    }
    Send("savepos model.fen\nping " + std::to_string(++pings));
    std::string pong;
    seen.clear();
    if (!ReadUntil("pong " + std::to_string(pings), pong, seen, kSearchTimeoutMs)) return "no pong";
    before.insert(before.end(), after.begin(), after.end());
    std::vector<std::string> kept;
    for (const std::string& l : seen)
      if (l != "resign") kept.push_back(l);  // resigning is the engine's judgement, not the model's
    if (std::string e = CompareLines(before, kept, game); !e.empty()) return e;
    // Every "savepos" appends one line; the last one is the position now.
    std::vector<std::string> lines;
    std::istringstream file(engine.ReadFile("model.fen"));
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(0, line.find('\r')));
    if (lines.size() != saved.size() + 1) return "model.fen has " + std::to_string(lines.size()) + " lines";
    if (lines.back() != game.PositionLine())
      return "position differs: engine " + lines.back() + ", model " + game.PositionLine();
    saved.push_back(lines.back());
    return "";
  }

  // A thinking line ("depth score time nodes pv...") has a legal variation; other lines are kept.
  std::string Thinking(const std::string& line, const ModelPosition& root, std::vector<std::string>& kept) {
    const std::vector<std::string> w = Words(line);
    if (w.size() < 4 || !IsNumber(w[0]) || !IsNumber(w[1]) || !IsNumber(w[2]) || !IsNumber(w[3])) {
      if (line != "resign") kept.push_back(line);
      return "";
    }
    if (!post) return "thinking line without post: " + line;
    return CheckVariation(root, std::vector<std::string>(w.begin() + 4, w.end()));
  }

  ChessModel game;
  Mode mode = Mode::NewGame;
  int engineSide = 1;
  bool fromStart = true;
  bool ponder = false;
  bool post = false;
  bool depthUnset = true;
  int pings = 0;
  std::vector<std::string> expected;
  std::vector<std::string> saved;  // the lines of model.fen
};

// ---------------------------------------------------------------------------------------------------------
// UCI: every "position" sets up a fresh game; "go" answers with a move of that position.

class UciStream : public Session {
 public:
  explicit UciStream(uint32_t streamSeed) : Session("uci", streamSeed) {}

  std::string Run(int steps) {
    if (!Open("uci\nisready", "readyok")) return Report("no readyok");
    return StepsThenQuit(steps);
  }

 private:
  std::string Step() override {
    const uint32_t r = random.Next(100);
    if (r < 48) return Position();
    if (r < 90) return Go();
    std::vector<std::string> expected;
    if (r < 94) {
      // Only the next search belongs to another game: the position stays what the last "position" set.
      Send("ucinewgame");
    } else {
      bookEnabled = random.Chance(50);
      Send(std::string("setoption name OwnBook value ") + (bookEnabled ? "true" : "false"));
    }
    return Ready(expected);
  }

  // "isready" and the lines before "readyok" against the expected ones.
  std::string Ready(const std::vector<std::string>& expected) {
    Send("isready");
    std::string found;
    std::vector<std::string> seen;
    if (!ReadUntil("readyok", found, seen, kSearchTimeoutMs)) return "no readyok";
    return CompareLines(expected, seen, game);
  }

  std::string Position() {
    std::vector<std::string> expected;
    std::string line = "position ";
    ChessModel next(true);
    // Often the previous game again with more moves, as a GUI sends it; otherwise a new start.
    const bool again = random.Chance(50) && !moves.empty();
    if (!again) {
      moves.clear();
      startFen = random.Chance(50) ? "" : SomeFen(random);
    }
    halted = false;
    if (startFen.empty()) {
      line += "startpos";
      fromStart = true;
    } else {
      line += "fen " + startFen;
      // The FEN is the words up to "moves", joined by single blanks.
      std::string joined;
      for (const std::string& w : Words(startFen)) joined += (joined.empty() ? "" : " ") + w;
      fromStart = false;
      if (next.position.ReadFen(joined) && next.position.Accept()) {
        next.Reset();
        expected = next.lines;
      } else {
        expected.push_back(kIllegalPosition);
        next.NewGame();
        halted = true;
        fromStart = true;
      }
    }
    // Continue the game model with random legal moves; sometimes a word the engine must stop at.
    std::vector<std::string> tail = moves;
    ChessModel probe = next;
    for (const std::string& m : tail)
      if (!probe.Play(m)) break;
    // The engine's last answer, as a GUI would play it; in pawnless endings sometimes a long quiet walk.
    if (again && !probe.gameOver && probe.IsLegal(lastBest)) {
      tail.push_back(lastBest);
      probe.Play(lastBest);
    }
    if (!probe.gameOver && random.Chance(again ? 3 : 5)) {
      // Longer than the engine's record of 1,000 plies: the engine must keep the part of the game that
      // repetitions and the fifty-move rule need, and answer for the last position.
      ExtendLong(random, probe, tail, 1000 + static_cast<int>(random.Next(400)) - probe.Ply());
    } else {
      const uint32_t length =
          !probe.position.HasPawns() && random.Chance(30) ? 110 : random.Next(again ? 8 : 30);
      for (uint32_t n = length; n > 0 && !probe.Legal().empty() && !probe.gameOver; --n) {
        tail.push_back(SomeLegalMove(random, probe));
        probe.Play(tail.back());
      }
    }
    if (!probe.gameOver && random.Chance(15))
      for (const std::string& move : Cycle(random, probe)) tail.push_back(move);
    if (random.Chance(20)) {
      const size_t at = random.Next(static_cast<uint32_t>(tail.size() + 1));
      tail.insert(tail.begin() + static_cast<long>(at),
                  random.Chance(50) ? SomeMoveText(random, probe) : "xyz");
    }
    if (!tail.empty() || random.Chance(30)) line += " moves";
    for (const std::string& m : tail) line += " " + m;
    Send(line);
    // What the engine does with it: moves up to the first that is not legal, none once the game has ended.
    moves.clear();
    for (const std::string& m : tail) {
      if (halted || next.gameOver || !next.Play(m)) break;
      moves.push_back(m);
      expected.insert(expected.end(), next.lines.begin(), next.lines.end());
    }
    game = next;
    return Ready(expected);
  }

  std::string Go() {
    std::string line = "go depth " + std::to_string(1 + random.Next(2));
    const std::vector<ModelMove> legal = game.Legal();
    std::vector<std::string> restricted;
    if (random.Chance(20) && !legal.empty()) {
      // The list is the legal moves up to the first word that is not one.
      std::vector<std::string> words;
      for (uint32_t n = 1 + random.Next(3); n > 0; --n) words.push_back(random.Pick(legal).Text());
      if (random.Chance(30))
        words.insert(words.begin() + random.Next(static_cast<uint32_t>(words.size() + 1)),
                     SomeMoveText(random, game));
      line += " searchmoves";
      bool listing = true;
      for (const std::string& w : words) {
        line += " " + w;
        listing = listing && game.IsLegal(w);
        if (listing) restricted.push_back(w);
      }
    }
    Send(line);
    std::string found;
    std::vector<std::string> seen;
    if (!ReadUntil("bestmove ", found, seen, kSearchTimeoutMs)) return "no bestmove";
    for (const std::string& l : seen) {
      const std::vector<std::string> w = Words(l);
      size_t pv = 0;
      while (pv < w.size() && w[pv] != "pv") ++pv;
      if (w.empty() || w[0] != "info" || pv == w.size()) return "unexpected line during go: " + l;
      if (std::string e = CheckVariation(
              game.position, std::vector<std::string>(w.begin() + static_cast<long>(pv) + 1, w.end()));
          !e.empty())
        return e + " (" + l + ")";
    }
    const std::vector<std::string> w = Words(found);
    if (halted || legal.empty())
      return w.size() == 2 && w[1] == "0000" ? "" : "expected bestmove 0000: " + found;
    if (w.size() != 2 && !(w.size() == 4 && w[2] == "ponder")) return "malformed: " + found;
    if (!game.IsLegal(w[1])) return "bestmove " + w[1] + " is illegal in " + game.position.Fen();
    lastBest = w[1];
    if (!restricted.empty()) {
      bool listed = false;
      for (const std::string& m : restricted) listed = listed || m == w[1];
      if (!listed) return "bestmove " + w[1] + " is outside searchmoves";
    }
    if (bookEnabled && fromStart && restricted.empty() && game.position.side == game.Ply() % 2) {
      const std::vector<std::string> candidates = Book().Candidates(game.Moves());
      bool inBook = candidates.empty();
      for (const std::string& c : candidates) inBook = inBook || c == w[1];
      if (!inBook) return "bestmove " + w[1] + " is not a book move here";
    }
    if (w.size() == 4) return CheckVariation(game.position, {w[1], w[3]});
    return "";
  }

  ChessModel game{true};
  bool halted = false;
  bool fromStart = true;
  bool bookEnabled = true;
  std::string startFen;
  std::vector<std::string> moves;  // the moves the engine played of the last "position" line
  std::string lastBest;
};

// ---------------------------------------------------------------------------------------------------------

static uint32_t EnvNumber(const char* name, uint32_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : fallback;
}

// Fixed seeds by default; MODEL_SEEDS, MODEL_FIRST_SEED, MODEL_STEPS and MODEL_MINUTES for longer runs.
template <typename Stream>
static void RunSeeds(uint32_t firstSeed, uint32_t seeds, uint32_t steps) {
  const auto minutes = std::chrono::minutes(EnvNumber("MODEL_MINUTES", 0));
  const auto start = std::chrono::steady_clock::now();
  const uint32_t count = EnvNumber("MODEL_SEEDS", seeds);
  steps = EnvNumber("MODEL_STEPS", steps);
  const uint32_t first = EnvNumber("MODEL_FIRST_SEED", firstSeed);
  uint32_t done = 0;
  for (; done < count || std::chrono::steady_clock::now() - start < minutes; ++done) {
    Stream stream(first + done);
    const std::string error = stream.Run(static_cast<int>(steps));
    if (!error.empty()) FAIL() << error;
  }
  std::printf("%u streams of %u steps, seeds %u to %u\n", done, steps, first, first + done - 1);
}

TEST(ModelStreamE2E, WinBoardCommandsFollowTheModel) { RunSeeds<WinBoardStream>(1, 6, 200); }

TEST(ModelStreamE2E, UciCommandsFollowTheModel) { RunSeeds<UciStream>(1001, 5, 150); }

}  // namespace
}  // namespace kelb
