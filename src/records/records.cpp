#include "records/records.h"

#include <cstdio>

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "book/learn.h"
#include "driver/WBinout.h"
#include "driver/config.h"

namespace kelb {

static constexpr int kStartFenLength = 100;
static constexpr int32_t kMaxPositionNumber = 10000;
static constexpr char kLineEnd[] = "\r\n";

void SetUpPosition(std::string_view fenText) {
  bool illegal = false;
  ReadFen(fenText, illegal);
  if (!illegal) BuildPieceLists(illegal);
  gameFromStartPosition = false;
  startFen = WriteFen();
  if (startFen.size() > static_cast<size_t>(kStartFenLength)) startFen.resize(kStartFenLength);
  if (!illegal) {
    if (engineState.mode != EngineMode::Analyze) engineState.mode = EngineMode::Force;
    ResetGame();
    return;
  }
  SendLine("tellusererror illegal position");
  NewGame();
  engineState.mode = EngineMode::Halted;
}

bool ReadFileLine(FILE* file, std::string& line, int maxLength) {
  line.clear();
  int c = std::fgetc(file);
  if (c == EOF) return false;
  while (c != EOF && c != '\n') {
    if (c != '\r' && line.size() < static_cast<size_t>(maxLength)) line.push_back(static_cast<char>(c));
    c = std::fgetc(file);
  }
  return true;
}

void LoadPosition(const std::string& fileName, const std::string& numberWord) {
  FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) {
    SendLine("File " + fileName + " not found");
    return;
  }
  int32_t number = 0;
  if (!ParseInteger(numberWord, number) || number < 1 || number > kMaxPositionNumber) number = 1;
  std::string line;
  bool found = true;
  for (int32_t skipped = 0; skipped < number - 1 && found; ++skipped)
    found = ReadFileLine(file, line, kShortStringLength);
  if (found) found = ReadFileLine(file, line, kShortStringLength);
  std::fclose(file);
  if (!found) {
    SendLine(fileName + " is too short!");
    return;
  }
  SetUpPosition(line);
}

// A name that cannot be opened (none given, a directory, a missing folder) is a slip of the user's, not a
// failing disk: it is reported and the game goes on. Only a write that fails after opening is fatal.
static bool CanAppendTo(const std::string& fileName) {
  FILE* file = fileName.empty() ? nullptr : std::fopen(fileName.c_str(), "ab");
  if (file == nullptr) {
    SendLine("Error (cannot open file): " + fileName);
    return false;
  }
  if (std::fclose(file) != 0) FileWriteFailed(fileName);
  return true;
}

void SavePosition(const std::string& fileName) {
  if (CanAppendTo(fileName)) AppendPositionLine(fileName, kPositionLineScore, 0);
}

std::string GameRecordText() {
  std::string text = kLineEnd;
  if (!gameFromStartPosition) {
    text += "[FEN \"" + startFen + "\"]" + kLineEnd;
    text += std::string("[SetUp \"1\"]") + kLineEnd;
  }
  // One move pair per line; a game begun with Black to move opens with "1. ... ".
  bool blackMoves = (gamePly - Board.side + 1) % 2 == 0;
  int32_t number = 1;
  if (blackMoves) text += "1. ... ";
  for (int32_t n = 1; n <= gamePly; ++n) {
    if (blackMoves) {
      text += ' ';
      text += MoveToText(gameMoves[n]);
      text += kLineEnd;
      ++number;
    } else {
      text += std::to_string(number);
      text += ". ";
      text += MoveToText(gameMoves[n]);
    }
    blackMoves = !blackMoves;
  }
  text += std::string(" *") + kLineEnd;
  text += kLineEnd;
  return text;
}

void SaveGame(const std::string& fileName) {
  if (!CanAppendTo(fileName)) return;
  std::string text = GameRecordText();
  FILE* file = std::fopen(fileName.c_str(), "ab");
  if (file == nullptr) FileWriteFailed(fileName);
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) FileWriteFailed(fileName);
}

}  // namespace kelb
