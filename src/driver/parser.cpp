#include "driver/parser.h"

#include "driver/WBinout.h"
#include "driver/config.h"

namespace kelb {

std::string CommandWords[kMaxCommandWords + 1];
int WordCount = 0;

struct CommandName {
  const char* word;
  CommandCode code;
};

// Compared in this order; the first exact match wins.
static constexpr CommandName kCommandNames[] = {
    {"usermove", CmdUserMove},
    {"new", CmdNew},
    {"quit", CmdQuit},
    {"force", CmdForce},
    {"edit", CmdEdit},
    {"go", CmdGo},
    {"xboard", CmdXboard},
    {"random", CmdRandom},
    {"sd", CmdSd},
    {"auto", CmdAuto},
    {"st", CmdSt},
    {"level", CmdLevel},
    {"time", CmdTime},
    {"otim", CmdOtim},
    {"ping", CmdPing},
    {"protover", CmdProtover},
    {"draw", CmdDraw},
    {"accepted", CmdAccepted},
    {"easy", CmdEasy},
    {"hard", CmdHard},
    {"post", CmdPost},
    {"nopost", CmdNopost},
    {"undo", CmdUndo},
    {"remove", CmdRemove},
    {"analyze", CmdAnalyze},
    {"exit", CmdExit},
    {"white", CmdWhite},
    {"black", CmdBlack},
    {"loadpos", CmdLoadpos},
    {"setboard", CmdSetboard},
    {"savepos", CmdSavepos},
    {"computer", CmdComputer},
    {"bk", CmdBk},
    {"hint", CmdHint},
    {"result", CmdResult},
    {"savepgn", CmdSavepgn},
    {"multianalyze", CmdMultiAnalyze},
    {"rating", CmdRating},
    {"uci", CmdUci},
};

// Only the blank separates words (a tab belongs to its word); from a sixth word on the line is dropped.
static void SplitWords(const std::string& line) {
  for (auto& w : CommandWords) w.clear();
  WordCount = 0;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i == line.size()) break;
    if (WordCount == kMaxCommandWords) break;
    ++WordCount;
    while (i < line.size() && line[i] != ' ') CommandWords[WordCount].push_back(line[i++]);
  }
}

// Console users type moves without the "usermove" prefix; the move itself is checked by its handler.
static bool LooksLikeBareMove(const std::string& word) {
  return (word.size() == 4 || word.size() == 5) && word[0] >= 'a' && word[0] <= 'h' && word[1] >= '1' &&
         word[1] <= '8';
}

CommandCode ParseCommand(const std::string& line) {
  SplitWords(line);
  if (WordCount == 1 && LooksLikeBareMove(CommandWords[1])) {
    CommandWords[2] = CommandWords[1];
    CommandWords[1] = "usermove";
    WordCount = 2;
    return CmdUserMove;
  }
  for (const CommandName& name : kCommandNames)
    if (CommandWords[1] == name.word) return name.code;
  std::string error = "Error (unknown command): " + line;
  if (error.size() > kShortStringLength) error.resize(kShortStringLength);
  SendLine(error);
  return CmdUnknown;
}

}  // namespace kelb
