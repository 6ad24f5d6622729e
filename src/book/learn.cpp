#include "book/learn.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "driver/WBinout.h"
#include "driver/config.h"
#include "records/records.h"
#include "search/hash.h"
#include "search/think.h"
#include "search/timectl.h"

namespace kelb {

bool learnMarks[4];

void ClearLearnMarks() {
  for (bool& mark : learnMarks) mark = false;
}

void FileWriteFailed(const std::string& fileName) {
  std::fprintf(stderr, "Runtime error: cannot write to %s\n", fileName.c_str());
  CloseLog();  // the log itself is sound: keep what it holds
  ReleaseTables();
  EndProgram(1, false);
}

// Only the start of a learning line is read; the rest of a longer line is skipped.
static constexpr int kLearnReadLength = 120;
static constexpr int kOperationTextLength = 12;
// What the table's 16-bit fields can hold without wrapping; a damaged file must not turn a big loss into a
// big gain.
static constexpr int32_t kLowestLearnedScore = -32767;
static constexpr int32_t kHighestLearnedScore = 32766;
static constexpr int32_t kDeepestLearnedDepth = 32767;

// Collects the value text behind every occurrence of the two letters of an operation ("ce", "De"): the
// characters from the second one after the letters on, while they are digits or '-'.
static std::string OperationText(const std::string& line, char first, char second) {
  std::string text;
  for (size_t i = 0; i + 3 < line.size(); ++i) {
    if (line[i] != first || line[i + 1] != second) continue;
    for (size_t j = i + 3; j < line.size() && text.size() < static_cast<size_t>(kOperationTextLength); ++j) {
      char c = line[j];
      if (c != '-' && (c < '0' || c > '9')) break;
      text.push_back(c);
    }
  }
  return text;
}

int LoadLearningFile(const char* fileName) {
  FILE* file = OpenDataFile(fileName, DataFileMode::Read);
  if (file == nullptr) return 0;
  const BoardRecord position = Board;  // every line is set up on the Board
  int stored = 0;
  std::string line;
  while (ReadFileLine(file, line, kLearnReadLength)) {
    bool illegal = false;
    ReadFen(line, illegal);
    if (illegal) continue;
    // Older files name the file after every double step; the search meets the position without it unless a
    // capture en passant is possible.
    Board.epFile = CapturableEnPassantFile();
    int32_t score = 0, depth = 0;
    if (!ParseInteger(OperationText(line, 'c', 'e'), score)) continue;
    if (!ParseInteger(OperationText(line, 'D', 'e'), depth)) continue;
    if (score < kLowestLearnedScore) score = kLowestLearnedScore;
    if (score > kHighestLearnedScore) score = kHighestLearnedScore;
    if (depth > kDeepestLearnedDepth) depth = kDeepestLearnedDepth;
    ComputeKey();
    StoreLearned(score, depth);
    if (HashTable.enabled && depth >= 1) ++stored;
  }
  std::fclose(file);
  Board = position;
  return stored;
}

void LoadLearning() {
  if (!settings.learnEnabled || settings.hashSizeMb == 0) return;
  LoadLearningFile(kLearnFileName);
}

static void LoadScheduledLearning() { LoadLearningFile(kLearnFileName); }

void ScheduleLearning() {
  if (settings.learnEnabled && settings.hashSizeMb != 0) deferredWork = LoadScheduledLearning;
}

void CancelScheduledLearning() {
  if (deferredWork == LoadScheduledLearning) deferredWork = nullptr;
}

// The last poll of the search must lie this far before its deadline: a search stopped by the clock may not
// have finished the iteration its score comes from.
static constexpr int64_t kLearnPollMargin = 2000;

// False once kelb701.epd could not be written: the file is left alone for the rest of the run, and the user
// has been told so once.
static bool learnFileUsable = true;

// Appends a learned line to kelb701.epd. The file is a side record: a failure must not cost the game.
static void AppendLearnedLine(int32_t score, int32_t depth) {
  if (!learnFileUsable) return;
  const std::string text = PositionLineText(score, depth);
  std::string why;
  FILE* file = OpenDataFile(kLearnFileName, DataFileMode::Append, &why);
  if (file != nullptr) {
    errno = 0;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeError = errno;
    written = std::fclose(file) == 0 && written;
    if (written) return;
    const int error = writeError != 0 ? writeError : errno;
    why = error != 0 ? std::strerror(error) : "write failed";
  }
  learnFileUsable = false;
  TellUser(std::string("Cannot write ") + kLearnFileName + " (" + why +
           "); learned positions are not saved in this run");
}

void UpdateLearning() {
  if (!settings.learnEnabled || settings.weakLevel != 0 || !gameFromStartPosition) return;
  if (timeControl.lastPollTick >= timeControl.deadlineTick - kLearnPollMargin) return;
  const int32_t depth = lastIteration;
  const int32_t score = iterationScore[depth];

  // The first rule that holds writes the position, at most once per rule and game: a score that is bad
  // outright, or one that has fallen far against the iteration six plies shallower.
  int rule = 0;
  if (depth >= 3 && !learnMarks[0] && score < -60) {
    rule = 1;
  } else if (depth >= 8) {
    const int32_t earlier = iterationScore[depth - 6];
    const int32_t drop = score - earlier;
    if (!learnMarks[1] && earlier > -100 && drop < -100 && score < -150)
      rule = 2;
    else if (!learnMarks[2] && earlier > 100 && drop < -100 && score < 20)
      rule = 3;
    else if (!learnMarks[3] && earlier > -120 && drop < -200 && score < -250)
      rule = 4;
  }

  // The root is learned as the search will meet it again, with an en-passant file only when a capture en
  // passant is possible; the game keeps its own.
  const int32_t gameEpFile = Board.epFile;
  Board.epFile = CapturableEnPassantFile();
  StoreLearned(score, depth);
  if (rule != 0) {
    AppendLearnedLine(rootScore, depth);
    learnMarks[rule - 1] = true;
  }
  Board.epFile = gameEpFile;
}

// Both line forms are built piece by piece and cut after every piece, so an overlong line loses its end.
static void AppendCut(std::string& text, const std::string& piece) {
  text += piece;
  if (text.size() > static_cast<size_t>(kLearnLineLength)) text.resize(kLearnLineLength);
}

std::string PositionLineText(int32_t score, int32_t depth) {
  std::string text;
  AppendCut(text, WriteFen());
  if (score == kPositionLineScore) {
    // The move number counts from the position the game began with.
    AppendCut(text, ' ' + std::to_string(fiftyHistory[gamePly]));
    AppendCut(text, ' ' + std::to_string(gamePly / 2 + 1));
  } else {
    AppendCut(text, std::string(" ce ") += std::to_string(score) += ';');
    if (depth > 0) AppendCut(text, std::string(" De ") += std::to_string(depth) += ';');
  }
  return text + "\r\n";
}

void AppendPositionLine(const std::string& fileName, int32_t score, int32_t depth) {
  const std::string text = PositionLineText(score, depth);
  FILE* file = std::fopen(fileName.c_str(), "ab");
  if (file == nullptr) FileWriteFailed(fileName);
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) FileWriteFailed(fileName);
}

}  // namespace kelb
