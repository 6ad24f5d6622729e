#include "search/output.h"

#include <cstdio>
#include <cstring>

#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "search/hash.h"
#include "search/search.h"
#include "search/think.h"
#include "search/timectl.h"

namespace kelb {

char ponderMoveText[kPonderMoveTextSize];

// Lookup strings for PV text: file by square / 10, rank by square % 10, promotion letter by kind.
static constexpr char kFileChars[] = "0abcdefgh9";
static constexpr char kRankChars[] = "0123456789";
static constexpr char kPromotionChars[] = "01nbrqk789";

int PvMoveText(int32_t code, char* out) {
  const int promotion = code / 10000;
  const int from = code / 100 % 100;
  const int to = code % 100;
  int n = 0;
  out[n++] = kFileChars[from / 10];
  out[n++] = kRankChars[from % 10];
  out[n++] = kFileChars[to / 10];
  out[n++] = kRankChars[to % 10];
  if (promotion != 0) {
    const int kind = promotion > 6 ? promotion - 6 : promotion;  // both colours print lower case
    out[n++] = kPromotionChars[kind];
  }
  out[n] = '\0';
  return n;
}

void UciScoreText(int32_t score, char* out, int size) {
  if (score >= -32000 && score <= 32000)
    std::snprintf(out, size, "cp %d", score);
  else if (score >= 32001)
    std::snprintf(out, size, "mate %d", (32766 - score) / 2 + 1);
  else
    std::snprintf(out, size, "mate %d", -1 - (score + 32765) / 2);
}

// Appends " move" for each shown PV move, stopping before the buffer would overflow.
static int AppendPv(char* out, int size, int length, const int32_t* pv, int shownMoves) {
  char text[8];
  for (int k = 0; k < shownMoves; k++) {
    const int n = PvMoveText(pv[k], text);
    if (length + 1 + n >= size) break;
    out[length++] = ' ';
    std::memcpy(out + length, text, n);
    length += n;
  }
  out[length] = '\0';
  return length;
}

static int ClampLength(int written, int size) {
  return written < 0 ? 0 : (written >= size ? size - 1 : written);
}

int FormatWinBoardThinking(char* out, int size, int depth, int32_t score, int64_t elapsedMs, int32_t nodes,
                           const int32_t* pv, int shownMoves) {
  const int length = ClampLength(
      std::snprintf(out, size, "%d %d %lld %d", depth, score, static_cast<long long>(elapsedMs / 10), nodes),
      size);
  return AppendPv(out, size, length, pv, shownMoves);
}

// An info line with a principal variation; lineNumber 0 leaves out "multipv".
static int FormatUciPvLine(char* out, int size, int depth, int lineNumber, int32_t score, int64_t elapsedMs,
                           int32_t nodes, const int32_t* pv, int shownMoves) {
  char scoreText[24];
  UciScoreText(score, scoreText, sizeof scoreText);
  char lineText[24] = "";
  if (lineNumber > 0) std::snprintf(lineText, sizeof lineText, " multipv %d", lineNumber);
  const int length =
      ClampLength(std::snprintf(out, size, "info depth %d%s score %s time %lld nodes %d pv", depth, lineText,
                                scoreText, static_cast<long long>(elapsedMs), nodes),
                  size);
  return AppendPv(out, size, length, pv, shownMoves);
}

int FormatUciInfo(char* out, int size, int depth, int32_t score, int64_t elapsedMs, int32_t nodes,
                  const int32_t* pv, int shownMoves) {
  return FormatUciPvLine(out, size, depth, 0, score, elapsedMs, nodes, pv, shownMoves);
}

int FormatUciAnalysisLine(char* out, int size, int depth, int lineNumber, int32_t score, int64_t elapsedMs,
                          int32_t nodes, const int32_t* pv, int shownMoves) {
  return FormatUciPvLine(out, size, depth, lineNumber, score, elapsedMs, nodes, pv, shownMoves);
}

int FormatUciCurrentMove(char* out, int size, int depth, int32_t nodes, int64_t elapsedMs,
                         const char* moveText, int number, int hashFull) {
  // Integer nodes per millisecond first, then scaled: the reported rate moves in steps of 1000.
  const long long nps = elapsedMs > 0 ? static_cast<long long>(nodes / elapsedMs) * 1000 : 0;
  return ClampLength(
      std::snprintf(out, size,
                    "info depth %d nodes %d time %lld nps %lld currmove %s currmovenumber %d "
                    "hashfull %d",
                    depth, nodes, static_cast<long long>(elapsedMs), nps, moveText, number, hashFull),
      size);
}

void PrintThinking(int depth, bool final) {
  const bool uci = engineState.uciMode;
  if (!uci && (!engineState.post || engineState.pondering)) return;
  const int64_t elapsed = TickCount() - timeControl.thinkStartTick;
  const int32_t* pv = &pvLine[1][1];
  int shown = pvEnd[1];
  if (!final) {
    const int provisional = uci ? 2 : 1;  // a provisional line's tail is not worth showing
    if (shown > provisional) shown = provisional;
  }
  if (shown > kMaxShownPvMoves) shown = kMaxShownPvMoves;
  if (shown < 0) shown = 0;
  char line[512];
  if (uci) {
    ponderMoveText[0] = '\0';
    FormatUciInfo(line, sizeof line, depth, rootScore, elapsed, timeControl.nodeCount, pv, shown);
    if (shown >= 2) PvMoveText(pv[1], ponderMoveText);
  } else {
    FormatWinBoardThinking(line, sizeof line, depth, rootScore, elapsed, timeControl.nodeCount, pv, shown);
  }
  SendLine(line);
}

void PrintAnalysisLine(int depth, int lineNumber, int32_t score, const int32_t* pv, int pvLength) {
  if (!engineState.uciMode) return;
  const int64_t elapsed = TickCount() - timeControl.thinkStartTick;
  int shown = pvLength < kMaxShownPvMoves ? pvLength : kMaxShownPvMoves;
  if (shown < 0) shown = 0;
  char line[512];
  FormatUciAnalysisLine(line, sizeof line, depth, lineNumber, score, elapsed, timeControl.nodeCount, pv,
                        shown);
  if (lineNumber == 1) {
    ponderMoveText[0] = '\0';
    if (shown >= 2) PvMoveText(pv[1], ponderMoveText);
  }
  SendLine(line);
}

void PrintCurrentMove(const char* moveText, int number) {
  if (!engineState.uciMode || iterationDepth < 6) return;
  const int64_t elapsed = TickCount() - timeControl.thinkStartTick;
  if (elapsed < 1000) return;
  char line[256];
  FormatUciCurrentMove(line, sizeof line, iterationDepth, timeControl.nodeCount, elapsed, moveText, number,
                       HashFullPermill());
  SendLine(line);
}

}  // namespace kelb
