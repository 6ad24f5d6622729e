#include "driver/config.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "board/board.h"
#include "board/movegen.h"
#include "driver/WBinout.h"
#include "eval/lkpk.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "search/search.h"
#include "search/timectl.h"

namespace kelb {

Settings settings;
EngineState engineState;
std::string installedDataFolder;

static constexpr char kConfigName[] = "kelb701.ini";

static int DigitValue(char c, int base) {
  int d = -1;
  if (c >= '0' && c <= '9')
    d = c - '0';
  else if (c >= 'a' && c <= 'f')
    d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    d = c - 'A' + 10;
  return d < base ? d : -1;
}

// Reads the integer syntax from the start of text. Returns the number of characters that form a valid number
// (0 if none), the value in value, and whether it fitted into int32 in fits.
static size_t ScanInteger(const std::string& text, int64_t& value, bool& fits) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  value = 0;
  fits = true;
  size_t firstDigit = i;
  for (int d; i < text.size() && (d = DigitValue(text[i], base)) >= 0; ++i) {
    if (fits) value = value * base + d;
    if (value > static_cast<int64_t>(INT32_MAX) + 1) fits = false;
  }
  if (i == firstDigit) return 0;
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) fits = false;
  return i;
}

bool ParseInteger(const std::string& text, int32_t& value) {
  int64_t v;
  bool fits;
  size_t used = ScanInteger(text, v, fits);
  if (used == 0 || used != text.size() || !fits) return false;
  value = static_cast<int32_t>(v);
  return true;
}

int32_t IntegerOfWord(const std::string& word) {
  int64_t v;
  bool fits;
  if (ScanInteger(word, v, fits) == 0) return 0;
  if (!fits) return v < 0 ? INT32_MIN : INT32_MAX;
  return static_cast<int32_t>(v);
}

// The value of a key: the fallback unless the text is an integer within lo..hi.
static int32_t ValueInRange(const std::string& text, int32_t lo, int32_t hi, int32_t fallback) {
  int32_t v;
  if (!ParseInteger(text, v) || v < lo || v > hi) return fallback;
  return v;
}

// Splits one line of kelb701.ini: the key runs to the first blank or "=", the value collects every later
// character except blanks and "=", and ";" starts a comment. So "weak=1 2" means 12.
static void SplitConfigLine(const std::string& line, std::string& key, std::string& value) {
  key.clear();
  value.clear();
  bool inKey = true;
  for (char c : line) {
    if (c == ';') break;
    if (inKey) {
      if (c == ' ' || c == '=')
        inKey = false;
      else
        key.push_back(c);
    } else if (c != ' ' && c != '=') {
      value.push_back(c);
    }
  }
}

static void ApplyConfigLine(const std::string& line) {
  std::string key, value;
  SplitConfigLine(line, key, value);
  // hashsize and weak always overwrite (the last line wins); the switches only ever switch off, and the log
  // only ever on, so a later line cannot undo an earlier one.
  if (key == "hashsize")
    settings.hashSizeMb = ValueInRange(value, 0, 1023, 0);
  else if (key == "weak")
    settings.weakLevel = ValueInRange(value, 0, 50, 0);
  else if (key == "weakdelay")
    settings.weakDelay = settings.weakDelay && ValueInRange(value, 0, 1, 1) != 0;
  else if (key == "book")
    settings.bookEnabled = settings.bookEnabled && ValueInRange(value, 0, 1, 1) != 0;
  else if (key == "resign")
    settings.resignEnabled = settings.resignEnabled && ValueInRange(value, 0, 1, 1) != 0;
  else if (key == "learn")
    settings.learnEnabled = settings.learnEnabled && ValueInRange(value, 0, 1, 1) != 0;
  else if (key == "log")
    settings.logEnabled = settings.logEnabled || ValueInRange(value, 0, 1, 0) == 1;
}

// One line of the file without its line end: a carriage return before the line feed is dropped, so a file
// written with CR LF line ends reads the same as one with bare line feeds. At most kShortStringLength
// characters are kept. False at the end of the file.
static bool ReadConfigLine(FILE* file, std::string& line) {
  line.clear();
  int c = std::fgetc(file);
  if (c == EOF) return false;
  // One character more than is kept, so that a carriage return right behind the kept part is still seen.
  for (; c != EOF && c != '\n'; c = std::fgetc(file))
    if (line.size() <= static_cast<size_t>(kShortStringLength)) line.push_back(static_cast<char>(c));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > static_cast<size_t>(kShortStringLength)) line.resize(kShortStringLength);
  return true;
}

bool ReadSettingsFile(const char* fileName) {
  settings.hashSizeMb = 0;
  settings.weakLevel = 0;
  settings.weakDelay = true;
  settings.bookEnabled = true;
  settings.resignEnabled = true;
  settings.learnEnabled = true;
  settings.logEnabled = false;

  FILE* file = OpenDataFile(fileName, DataFileMode::Read);
  if (file == nullptr) return false;
  // Some editors begin a text file with the UTF-8 byte-order mark; it is no part of the first key.
  unsigned char mark[3];
  if (std::fread(mark, 1, 3, file) != 3 || mark[0] != 0xEF || mark[1] != 0xBB || mark[2] != 0xBF)
    std::rewind(file);
  std::string line;
  while (ReadConfigLine(file, line)) ApplyConfigLine(line);
  std::fclose(file);
  return true;
}

void ReadConfiguration() {
  // A directory or FIFO of the name is no configuration file: as for a missing one, the installed copy
  // (if any) is read.
  if (!ReadSettingsFile(kConfigName) && !installedDataFolder.empty())
    ReadSettingsFile((installedDataFolder + "/" + kConfigName).c_str());
  OpenLog();
  AllocateHashTable(settings.hashSizeMb);  // also makes the position keys
  SendLine("hash size = " + std::to_string(settings.hashSizeMb) + " MB");
  if (settings.weakLevel != 0)
    SendLine("telluser Weak level " + std::to_string(settings.weakLevel) + " is enabled!");
  SendLogNotice();  // a log that could not be created
}

void InitEngineState() {
  engineState.xboardMode = false;
  engineState.uciMode = false;
  engineState.bookOpen = false;
  engineState.ponder = false;
  engineState.post = false;
  engineState.pondering = false;
  engineState.uciPonder = false;
  engineState.multiAnalyze = false;
  engineState.stopRequested = false;
  engineState.searchInterruptible = false;
  engineState.mode = EngineMode::Force;
  engineState.engineSide = kBlack;
  // The clocks were started before the configuration was read; keep those ticks.
  const int64_t lastMoveTick = timeControl.lastMoveTick;
  const int64_t thinkStartTick = timeControl.thinkStartTick;
  InitTimeControl();
  timeControl.lastMoveTick = lastMoveTick;
  timeControl.thinkStartTick = thinkStartTick;
  moveStart[0] = 0;
  for (int ply = 0; ply < kMaxPly; ++ply) {
    killer1[ply] = killer2[ply] = killer3[ply] = SquarePair{};
    pvEnd[ply] = 0;
  }
}

void ReleaseTables() {
  FreeHashTable();
  FreeKpkBitbase();
}

void Quit() {
  CloseLog();
  ReleaseTables();
  // The GUI may still be reading: a run of empty lines flushes any half-read output at its end.
  for (int i = 0; i < 26; ++i) std::fputc('\n', stdout);
  std::fflush(stdout);
  EndProgram(0, true);
}

}  // namespace kelb
