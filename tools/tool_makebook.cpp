// makebook: builds an opening book file from a text file of opening lines. Every line is replayed from the
// initial position and each move checked against the legal moves; each leaf is scored by the engine's own
// search at a fixed depth, seen from the side that made the last move.
//
// Input: one line of coordinate moves per opening, "#" starts a comment. The lines together must start with
// exactly eight different first moves; a position may have at most nine replies, the book at most 1024
// records.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
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

struct BookNode {
  int32_t code = 0;
  std::string text;               // the move, as written in the input
  std::vector<std::string> line;  // moves from the initial position up to and including this one
  std::vector<int> children;      // indices into the node list
  int32_t score = 0;              // leaves: the mover's score
  int32_t record = 0;             // record number in the file
};

std::vector<BookNode> nodes;  // nodes[0] is the initial position

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

bool AddLine(const std::vector<std::string>& moves, int lineNumber) {
  if (moves.empty()) return true;
  if (!ReplayLine(moves, lineNumber)) return false;
  int parent = 0;
  std::vector<std::string> line;
  for (const std::string& text : moves) {
    line.push_back(text);
    int found = -1;
    for (int child : nodes[parent].children)
      if (nodes[child].text == text) found = child;
    if (found < 0) {
      BookNode node;
      node.code =
          100 * (10 * (text[0] - 'a' + 1) + (text[1] - '0')) + 10 * (text[2] - 'a' + 1) + (text[3] - '0');
      node.text = text;
      node.line = line;
      nodes.push_back(node);
      found = static_cast<int>(nodes.size()) - 1;
      nodes[parent].children.push_back(found);
    }
    parent = found;
  }
  return true;
}

bool ReadLines(const char* fileName) {
  std::ifstream in(fileName);
  if (!in) {
    std::fprintf(stderr, "makebook: cannot read %s\n", fileName);
    return false;
  }
  nodes.assign(1, BookNode{});
  std::string text;
  int lineNumber = 0;
  while (std::getline(in, text)) {
    ++lineNumber;
    size_t comment = text.find('#');
    if (comment != std::string::npos) text.resize(comment);
    std::istringstream words(text);
    std::vector<std::string> moves;
    std::string word;
    while (words >> word) moves.push_back(word);
    if (!AddLine(moves, lineNumber)) return false;
  }
  return true;
}

// The mover's score of the position after the leaf's last move, from a search of the given depth.
int32_t ScoreLeaf(const BookNode& leaf, int depth) {
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

// Records 1..8 are the first moves; every node's replies follow each other, in breadth-first order.
bool Layout() {
  const BookNode& root = nodes[0];
  if (root.children.size() != static_cast<size_t>(kBookRootMoves)) {
    std::fprintf(stderr, "makebook: the lines start with %zu different moves, the book needs %d\n",
                 root.children.size(), kBookRootMoves);
    return false;
  }
  std::vector<int> queue(root.children.begin(), root.children.end());
  int32_t next = 1;
  for (int index : queue) nodes[index].record = next++;
  for (size_t i = 0; i < queue.size(); ++i) {
    BookNode& node = nodes[queue[i]];
    if (node.children.size() > static_cast<size_t>(kMaxReplies)) {
      std::fprintf(stderr, "makebook: %zu replies after %s, at most %d fit\n", node.children.size(),
                   node.text.c_str(), kMaxReplies);
      return false;
    }
    for (int child : node.children) {
      nodes[child].record = next++;
      queue.push_back(child);
    }
  }
  if (next - 1 > kMaxBookEntries) {
    std::fprintf(stderr, "makebook: %d records, at most %d fit\n", next - 1, kMaxBookEntries);
    return false;
  }
  return true;
}

int32_t RecordValue(const BookNode& node) {
  if (node.children.empty()) return (kBookLeafBase + node.score) * 100000 + node.code;
  int32_t count = static_cast<int32_t>(node.children.size());
  return nodes[node.children.front()].record * 100000 + count * 10000 + node.code;
}

bool WriteBook(const char* fileName) {
  std::vector<int32_t> records(nodes.size() - 1);
  for (size_t i = 1; i < nodes.size(); ++i) records[nodes[i].record - 1] = RecordValue(nodes[i]);
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

KELB_TOOL(makebook, "makebook <lines.txt> <out.bok> [depth]   (depth 0: every leaf scores 0)") {
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
  if (!ReadLines(argv[0]) || !Layout()) return 1;

  int leaves = 0;
  for (size_t i = 1; i < nodes.size(); ++i) {
    if (!nodes[i].children.empty()) continue;
    ++leaves;
    nodes[i].score = depth > 0 ? ScoreLeaf(nodes[i], depth) : 0;
    std::string line;
    for (const std::string& move : nodes[i].line) line += " " + move;
    std::printf("%6d%s\n", nodes[i].score, line.c_str());
  }
  if (!WriteBook(argv[1])) {
    std::fprintf(stderr, "makebook: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("makebook: %zu records, %d leaves, leaf depth %d, written to %s\n", nodes.size() - 1, leaves,
              depth, argv[1]);
  return 0;
}

}  // namespace kelb::tool
