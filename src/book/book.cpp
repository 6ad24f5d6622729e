#include "book/book.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/game.h"
#include "board/random.h"
#include "book/learn.h"
#include "driver/WBinout.h"
#include "driver/config.h"
#include "search/think.h"

namespace kelb {

int32_t BookEntries[kMaxBookEntries + 1];
int32_t BookCount = 0;

static constexpr char kBookFileName[] = "kelb701.bok";

// Weight of a candidate by how many points it lies below the best one; 8 or more points weigh nothing.
static constexpr int32_t kBookWeights[8] = {100, 72, 51, 37, 26, 19, 14, 10};

static constexpr int32_t kNoChildrenValue = -32767;

bool ReadBookFile(const char* fileName) {
  for (int32_t& entry : BookEntries) entry = 0;
  BookCount = 0;
  FILE* file = OpenDataFile(fileName, DataFileMode::Read);
  if (file == nullptr) return false;
  unsigned char bytes[4];
  // The records are little-endian whatever the host; a short tail is not a record.
  while (BookCount < kMaxBookEntries && std::fread(bytes, 1, 4, file) == 4) {
    uint32_t raw = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                   static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    int32_t value = static_cast<int32_t>(raw);
    if (value == 0) break;
    BookEntries[++BookCount] = value;
  }
  std::fclose(file);
  return true;
}

void OpenBook() {
  engineState.bookOpen = ReadBookFile(kBookFileName);
  if (!engineState.bookOpen && !installedDataFolder.empty())
    engineState.bookOpen = ReadBookFile((installedDataFolder + "/" + kBookFileName).c_str());
  if (!engineState.bookOpen) SendLine("tellusererror kelb701.bok not found");
}

// A record the walk may offer: inside the book, positive, and naming two real squares. Anything else comes
// from a damaged file and ends the book rather than the game.
static bool UsableRecord(int32_t record) {
  if (record < 1 || record > BookCount) return false;
  int32_t value = BookEntries[record];
  if (value <= 0) return false;
  int32_t code = BookMoveCode(value);
  int32_t from = code / 100, to = code % 100;
  return onBoard[from] && onBoard[to];
}

static bool UsableCandidates(int32_t node, int32_t count) {
  if (count < 1) return false;
  for (int32_t record = node; record < node + count; ++record)
    if (!UsableRecord(record)) return false;
  return true;
}

// Negamax over the subtree. Values are remembered per call so that a subtree shared by several parents is
// scored once, and a link leading back into the current line (only in a damaged book) cannot recurse forever.
enum : uint8_t { kValueUnknown = 0, kValueInProgress = 1, kValueKnown = 2 };
static uint8_t valueState[kMaxBookEntries + 1];
static int32_t valueMemo[kMaxBookEntries + 1];

static int32_t NegamaxValue(int32_t record) {
  int32_t value = BookEntries[record];
  int32_t link = BookLink(value);
  if (link > kMaxBookEntries) return kBookLeafBase - link;
  if (valueState[record] == kValueKnown) return valueMemo[record];
  valueState[record] = kValueInProgress;
  int32_t best = kNoChildrenValue;
  int32_t count = BookChildCount(value);
  for (int32_t child = link; child < link + count; ++child) {
    if (child < 1 || child > BookCount || valueState[child] == kValueInProgress) continue;
    int32_t score = -NegamaxValue(child);
    if (score > best) best = score;
  }
  valueState[record] = kValueKnown;
  valueMemo[record] = best;
  return best;
}

int32_t BookValue(int32_t record) {
  if (record < 1 || record > BookCount) return kNoChildrenValue;
  for (uint8_t& state : valueState) state = kValueUnknown;
  return NegamaxValue(record);
}

// Text written straight to standard output, past the protocol channel and its log.
static void WriteConsole(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) == EOF)
    FileWriteFailed("standard output");
}

// The resignation for a book that names a move the position does not have: the book cannot be trusted, and
// the engine gives up the game and stops at once.
[[noreturn]] static void ResignForBadBookMove(int32_t code) {
  std::string text = Board.side == kWhite ? "0-1 {White resigns due to BadBookMove: "
                                          : "1-0 {Black resigns due to BadBookMove: ";
  text += std::to_string(code) + "}";
  WriteConsole(text + "\n");
  if (settings.logEnabled) {
    LogLine(text + " resigns due to bad book move: " + std::to_string(code));
    LogCheckpoint();
  }
  CloseLog();
  ReleaseTables();
  EndProgram(0, false);
}

// One "bk" line: the move, its score and its share of the choice in per cent.
static std::string CandidateLine(int32_t code, int32_t score, int32_t percent) {
  int32_t from = code / 100, to = code % 100;
  char line[40];
  std::snprintf(line, sizeof line, " %c%c%c%c %3d %2d%%  \n", fileLetters[from / 10], '0' + from % 10,
                fileLetters[to / 10], '0' + to % 10, score, percent);
  return line;
}

void BookMove(bool listOnly, Move& move) {
  move = Move{};
  if (!settings.bookEnabled || !engineState.bookOpen || !gameFromStartPosition) return;
  // "white"/"black" can give the move to the side the game's moves do not: the book's replies are for the
  // other side and would not be legal.
  if (Board.side != gamePly % 2) return;

  // Follow the game down the tree.
  int32_t node = 1, count = kBookRootMoves;
  for (int32_t n = 1; n <= gamePly; ++n) {
    if (count == 0 || !UsableCandidates(node, count)) return;
    int32_t played = MoveCode(gameMoves[n]);
    int32_t match = 0;
    for (int32_t record = node; record < node + count && match == 0; ++record)
      if (BookMoveCode(BookEntries[record]) == played) match = record;
    if (match == 0) return;
    count = BookChildCount(BookEntries[match]);
    node = BookLink(BookEntries[match]);
    if (node > kMaxBookEntries) return;
  }
  if (!UsableCandidates(node, count)) return;

  // Score the candidates for the side to move and weigh them against the best (at most nine replies, or
  // the eight first moves).
  int32_t score[10], weight[10];
  int32_t best = -32768;
  for (int32_t k = 0; k < count; ++k) {
    score[k] = -BookValue(node + k);
    if (score[k] > best) best = score[k];
  }
  int32_t total = 0;
  for (int32_t k = 0; k < count; ++k) {
    int32_t difference = best - score[k];
    weight[k] = difference < 8 ? kBookWeights[difference] : 0;
    total += weight[k];
  }
  int32_t r = static_cast<int32_t>(NextRandom(static_cast<uint32_t>(total)));

  if (listOnly) {
    // Straight to the console, not through the protocol channel: a listing is not logged.
    std::string listing;
    for (int32_t k = 0; k < count; ++k)
      listing += CandidateLine(BookMoveCode(BookEntries[node + k]), score[k], 100 * weight[k] / total);
    WriteConsole(listing + "\n");
    return;
  }

  int32_t chosen = count - 1;
  for (int32_t k = 0, high = 0; k < count; ++k) {
    high += weight[k];
    if (r < high) {
      chosen = k;
      break;
    }
  }
  int32_t code = BookMoveCode(BookEntries[node + chosen]);

  // Promotions are not stored: the first legal move of the pair is played.
  for (int32_t k = 1; k <= legalMoveCount; ++k) {
    if (MoveCode(legalMoves[k]) == code) {
      move = legalMoves[k];
      rootScore = score[chosen];
      return;
    }
  }
  ResignForBadBookMove(code);
}

}  // namespace kelb
