// Thinking output while the engine searches: WinBoard thinking lines and UCI "info" lines.
#pragma once
#include <cstdint>

namespace kelb {

inline constexpr int kMaxShownPvMoves = 18;
inline constexpr int kPonderMoveTextSize = 101;

// Text of the second move of the last UCI line that showed one; empty otherwise.
extern char ponderMoveText[kPonderMoveTextSize];

// Writes the coordinate text of a principal-variation code (promotion * 10000 + from * 100 + to)
// into out (room for 6 characters); returns its length.
int PvMoveText(int32_t code, char* out);

// UCI score text: "cp N" inside +-32000, else "mate N" counted in moves.
void UciScoreText(int32_t score, char* out, int size);

// The line builders take the principal variation as codes pv[0..pvCount-1] and show at most
// shownMoves of them. They return the line's length (the text is cut to size - 1 characters).
int FormatWinBoardThinking(char* out, int size, int depth, int32_t score, int64_t elapsedMs, int32_t nodes,
                           const int32_t* pv, int shownMoves);
int FormatUciInfo(char* out, int size, int depth, int32_t score, int64_t elapsedMs, int32_t nodes,
                  const int32_t* pv, int shownMoves);
// The same with " multipv lineNumber" after the depth: one of several analysis lines, 1 for the best.
int FormatUciAnalysisLine(char* out, int size, int depth, int lineNumber, int32_t score, int64_t elapsedMs,
                          int32_t nodes, const int32_t* pv, int shownMoves);
int FormatUciCurrentMove(char* out, int size, int depth, int32_t nodes, int64_t elapsedMs,
                         const char* moveText, int number, int hashFull);

// Sends one thinking line for the root's current best line in the protocol in use. final is false
// for the provisional line of a root fail high or a first-move fail low.
void PrintThinking(int depth, bool final);

// UCI only: sends analysis line lineNumber (1 = the best) of pvLength moves with its own depth and score.
// Line 1 sets ponderMoveText as the thinking line does.
void PrintAnalysisLine(int depth, int lineNumber, int32_t score, const int32_t* pv, int pvLength);

// UCI only: announces the root move about to be searched, number counting the moves of this iteration.
void PrintCurrentMove(const char* moveText, int number);

}  // namespace kelb
