// makebook: builds an opening book file from a text file of opening lines. Every line is replayed from the
// initial position and each move checked against the legal moves. Lines that reach the same position by
// different move orders share it: its replies are stored once and every move into it links to them, so the
// book also follows a game that transposes. A leaf takes the score written at the end of its line, seen from
// the side that made the last move; a leaf without one is scored by the engine's own search at a fixed depth.
//
// Input: one line of coordinate moves per opening, optionally followed by the leaf score, "#" starts a
// comment. The lines together must start with exactly eight different first moves; a position may have at
// most nine replies, the book at most 1024 records: what the book format can address.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "book/book.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "eval/lkpk.h"
#include "search/hash.h"
#include "search/think.h"
#include "search/timectl.h"
#include "tool.h"

namespace kelb::tool {

namespace {

constexpr int kMaxReplies = 9;
constexpr int kDefaultBookDepth = 8;
// Leaf scores are kept well inside what the record's link field can hold (link > 1024).
constexpr int32_t kBookScoreLimit = 5000;
constexpr int kBookHashMb = 32;

struct BookEdge {
  int32_t code = 0;
  std::string text;  // the move, as written in the input
  int child = 0;     // the position it leads to
};

struct BookPosition {
  std::vector<BookEdge> edges;    // the book's replies here, in the order the lines bring them
  std::vector<std::string> line;  // the moves of the first line that reached it
  bool scoreGiven = false;        // leaves: the score comes from the input
  int scoreLine = 0;              //   and from this input line
  int32_t score = 0;              // leaves: the mover's score
  int32_t first = 0;              // record number of the first reply
  int visit = 0;                  // cycle check: 0 not seen, 1 on the current path, 2 done
};

std::vector<BookPosition> positions;  // positions[0] is the initial position
std::map<std::string, int> positionIndex;

// The position as a name: the four FEN fields, with an en-passant square only where a capture is possible, so
// that move orders that differ only in a harmless double step still meet.
std::string PositionName() {
  std::string fen = WriteFen();
  if (Board.epFile == 0) return fen;
  for (int k = 1; k <= legalMoveCount; ++k)
    if (MoveKind(legalMoves[k]) == kEnPassant) return fen;
  return fen.substr(0, fen.rfind(' ')) + " -";
}

// Plays the moves from the initial position; false (with a message) at the first one that is not legal or
// that the book could not reproduce: it stores only the squares, and plays the first legal move on them.
bool ReplayLine(const std::vector<std::string>& moves, int lineNumber) {
  NewGame();
  for (const std::string& text : moves) {
    Move move = ParseMoveText(text);
    if (move.from == 0) {
      std::fprintf(stderr, "makebook: line %d: %s is not legal here\n", lineNumber, text.c_str());
      return false;
    }
    for (int k = 1; k <= legalMoveCount; ++k) {
      if (MoveCode(legalMoves[k]) != MoveCode(move)) continue;
      if (MoveToText(legalMoves[k]) != text) {
        std::fprintf(stderr, "makebook: line %d: the book would play %s for %s\n", lineNumber,
                     MoveToText(legalMoves[k]).c_str(), text.c_str());
        return false;
      }
      break;
    }
    PlayMove(move);
  }
  return true;
}

// The index of the position on the board, made new when no line has reached it yet.
int PositionOnBoard(const std::vector<std::string>& line) {
  std::string name = PositionName();
  auto found = positionIndex.find(name);
  if (found != positionIndex.end()) return found->second;
  positions.push_back(BookPosition{});
  positions.back().line = line;
  positionIndex[name] = static_cast<int>(positions.size()) - 1;
  return static_cast<int>(positions.size()) - 1;
}

bool AddLine(const std::vector<std::string>& moves, bool scoreGiven, int32_t score, int lineNumber) {
  if (moves.empty()) return true;
  if (!ReplayLine(moves, lineNumber)) return false;
  NewGame();
  int here = 0;
  std::vector<std::string> line;
  for (const std::string& text : moves) {
    line.push_back(text);
    PlayMove(ParseMoveText(text));
    int next = PositionOnBoard(line);
    bool known = false;
    for (const BookEdge& edge : positions[here].edges) known = known || edge.text == text;
    if (!known) {
      BookEdge edge;
      edge.code =
          100 * (10 * (text[0] - 'a' + 1) + (text[1] - '0')) + 10 * (text[2] - 'a' + 1) + (text[3] - '0');
      edge.text = text;
      edge.child = next;
      positions[here].edges.push_back(edge);
    }
    here = next;
  }
  if (scoreGiven) {
    BookPosition& leaf = positions[here];
    if (leaf.scoreGiven && leaf.score != score) {
      std::fprintf(stderr, "makebook: line %d: the position scored %d in line %d is scored %d here\n",
                   lineNumber, leaf.score, leaf.scoreLine, score);
      return false;
    }
    leaf.scoreGiven = true;
    leaf.scoreLine = lineNumber;
    leaf.score = score;
  }
  return true;
}

// A word that is a number ends the line with its leaf score.
bool IsScore(const std::string& word) {
  size_t digits = word[0] == '+' || word[0] == '-' ? 1 : 0;
  if (digits == word.size()) return false;
  for (size_t k = digits; k < word.size(); ++k)
    if (word[k] < '0' || word[k] > '9') return false;
  return true;
}

bool ReadLines(const char* fileName) {
  std::ifstream in(fileName);
  if (!in) {
    std::fprintf(stderr, "makebook: cannot read %s\n", fileName);
    return false;
  }
  positions.assign(1, BookPosition{});
  positionIndex.clear();
  NewGame();
  positionIndex[PositionName()] = 0;
  std::string text;
  int lineNumber = 0;
  while (std::getline(in, text)) {
    ++lineNumber;
    size_t comment = text.find('#');
    if (comment != std::string::npos) text.resize(comment);
    std::istringstream words(text);
    std::vector<std::string> moves;
    std::string word;
    bool scoreGiven = false;
    int32_t score = 0;
    while (words >> word) {
      if (scoreGiven) {
        std::fprintf(stderr, "makebook: line %d: %s after the score\n", lineNumber, word.c_str());
        return false;
      }
      if (IsScore(word)) {
        score = std::atoi(word.c_str());
        scoreGiven = true;
        if (moves.empty() || score < -kBookScoreLimit || score > kBookScoreLimit) {
          std::fprintf(stderr, "makebook: line %d: a score needs moves and must lie in -%d..%d\n", lineNumber,
                       kBookScoreLimit, kBookScoreLimit);
          return false;
        }
      } else {
        moves.push_back(word);
      }
    }
    if (!AddLine(moves, scoreGiven, score, lineNumber)) return false;
  }
  // A score only means something at a leaf.
  for (const BookPosition& position : positions) {
    if (position.scoreGiven && !position.edges.empty()) {
      std::fprintf(stderr, "makebook: line %d: its score ends a line that goes on in the book\n",
                   position.scoreLine);
      return false;
    }
  }
  return true;
}

// The mover's score of the position after the leaf's last move, from a search of the given depth.
int32_t ScoreLeaf(const BookPosition& leaf, int depth) {
  ReplayLine(leaf.line, 0);
  if (result != kResultNone) {
    // The line ends the game: mate for the mover, or a draw.
    return result == kResultWhiteMates || result == kResultBlackMates ? kBookScoreLimit : 0;
  }
  timeControl.depthLimit[Board.side] = depth;
  int64_t never = TickCount() + 1000LL * 3600 * 24 * 365;
  timeControl.softDeadline = timeControl.iterationDeadline = timeControl.deadlineTick = never;
  timeControl.thinkStartTick = TickCount();
  Think();
  int32_t score = -rootScore;
  if (score > kBookScoreLimit) score = kBookScoreLimit;
  if (score < -kBookScoreLimit) score = -kBookScoreLimit;
  return score;
}

// Lines can only meet in a loop by going back to a position they passed (moving pieces to and fro); the
// book's walk would follow such a loop for ever, so it is refused.
bool HasLoop(int index) {
  BookPosition& position = positions[index];
  if (position.visit == 1) {
    std::fprintf(stderr, "makebook: the lines return to a position they passed (after");
    for (const std::string& move : position.line) std::fprintf(stderr, " %s", move.c_str());
    std::fprintf(stderr, ")\n");
    return true;
  }
  if (position.visit == 2) return false;
  position.visit = 1;
  for (const BookEdge& edge : position.edges)
    if (HasLoop(edge.child)) return true;
  position.visit = 2;
  return false;
}

// Records 1..8 are the first moves; the replies to a position follow each other, the positions in
// breadth-first order, and a position reached by several move orders has its replies stored once.
bool Layout(int32_t& records) {
  const BookPosition& root = positions[0];
  if (root.edges.size() != static_cast<size_t>(kBookRootMoves)) {
    std::fprintf(stderr, "makebook: the lines start with %zu different moves, the book needs %d\n",
                 root.edges.size(), kBookRootMoves);
    return false;
  }
  if (HasLoop(0)) return false;
  int32_t next = 1;
  positions[0].first = next;
  next += kBookRootMoves;
  std::vector<int> queue(1, 0);
  for (size_t i = 0; i < queue.size(); ++i) {
    for (const BookEdge& edge : positions[queue[i]].edges) {
      BookPosition& child = positions[edge.child];
      if (child.edges.empty() || child.first != 0) continue;
      if (child.edges.size() > static_cast<size_t>(kMaxReplies)) {
        std::fprintf(stderr, "makebook: %zu replies after %s, at most %d fit\n", child.edges.size(),
                     edge.text.c_str(), kMaxReplies);
        return false;
      }
      child.first = next;
      next += static_cast<int32_t>(child.edges.size());
      queue.push_back(edge.child);
    }
  }
  records = next - 1;
  if (records > kMaxBookEntries) {
    std::fprintf(stderr, "makebook: %d records, at most %d fit\n", records, kMaxBookEntries);
    return false;
  }
  return true;
}

int32_t RecordValue(const BookEdge& edge) {
  const BookPosition& child = positions[edge.child];
  if (child.edges.empty()) return (kBookLeafBase + child.score) * 100000 + edge.code;
  int32_t count = static_cast<int32_t>(child.edges.size());
  return child.first * 100000 + count * 10000 + edge.code;
}

bool WriteBook(const char* fileName, int32_t count) {
  std::vector<int32_t> records(count);
  for (const BookPosition& position : positions) {
    if (position.first == 0) continue;
    for (size_t k = 0; k < position.edges.size(); ++k)
      records[position.first - 1 + k] = RecordValue(position.edges[k]);
  }
  FILE* file = std::fopen(fileName, "wb");
  if (file == nullptr) return false;
  bool ok = true;
  for (int32_t value : records) {
    uint32_t u = static_cast<uint32_t>(value);
    unsigned char bytes[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                              static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    ok = ok && std::fwrite(bytes, 1, 4, file) == 4;
  }
  return std::fclose(file) == 0 && ok;
}

}  // namespace

KELB_TOOL(makebook, "makebook <lines.txt> <out.bok> [depth]   (unscored leaves: search depth, 0: score 0)") {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kelb701-tool makebook <lines.txt> <out.bok> [depth]\n");
    return 2;
  }
  int depth = argc >= 3 ? std::atoi(argv[2]) : kDefaultBookDepth;
  if (depth < 0 || depth > kMaxDepthLimit) {
    std::fprintf(stderr, "makebook: depth must lie in 0..%d\n", kMaxDepthLimit);
    return 2;
  }
  // The search listens to standard input while it thinks: give it an input that stays silent.
  int silent[2];
  if (pipe(silent) != 0 || dup2(silent[0], STDIN_FILENO) < 0) return 1;
  InitChannel();
  settings = Settings{};
  settings.hashSizeMb = kBookHashMb;
  AllocateHashTable(settings.hashSizeMb);
  InitEngineState();
  engineState.mode = EngineMode::Force;
  BuildKpkBitbase();
  int32_t records = 0;
  if (!ReadLines(argv[0]) || !Layout(records)) return 1;

  int leaves = 0, searched = 0;
  for (BookPosition& position : positions) {
    if (!position.edges.empty() || position.line.empty()) continue;
    ++leaves;
    if (!position.scoreGiven) {
      position.score = depth > 0 ? ScoreLeaf(position, depth) : 0;
      ++searched;
    }
    std::string line;
    for (const std::string& move : position.line) line += " " + move;
    std::printf("%6d%s\n", position.score, line.c_str());
  }
  if (!WriteBook(argv[1], records)) {
    std::fprintf(stderr, "makebook: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf(
      "makebook: %d records, %zu positions, %d leaves (%d scored by a search of depth %d), written to %s\n",
      records, positions.size() - 1, leaves, searched, depth, argv[1]);
  return 0;
}

}  // namespace kelb::tool
