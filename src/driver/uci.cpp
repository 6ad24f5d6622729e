#include "driver/uci.h"

#include <cstring>

#include "driver/WBinout.h"
#include "driver/config.h"

namespace kelb {

int32_t uciElo = 700;
std::string lastPositionLine;
char searchMoves[kMaxSearchMoves + 1][6];
int searchMoveCount = 0;

bool InSearchMoves(const std::string& moveText) {
  for (int i = 1; i <= searchMoveCount; ++i)
    if (moveText == searchMoves[i]) return true;
  return false;
}

static bool IsSeparator(char c) { return c == ' ' || c == '='; }

std::string NextWord(const std::string& line, size_t& position) {
  while (position < line.size() && IsSeparator(line[position])) ++position;
  size_t start = position;
  while (position < line.size() && !IsSeparator(line[position])) ++position;
  return line.substr(start, position - start);
}

void UciSetOption(const std::string&) {}
void UciPosition(const std::string&) {}
void UciGo(const std::string&) {}

void RunUciLoop() {
  for (;;) {
    PollLine();
    if (InputLine.empty()) WaitLine();
    size_t pos = 0;
    std::string word = NextWord(InputLine, pos);
    if (word == "quit") return;
    InputLine.clear();
  }
}

}  // namespace kelb
