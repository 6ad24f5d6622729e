// The WinBoard command parser: one protocol line becomes a command code and up to five words.
#pragma once
#include <cstdint>
#include <string>

namespace kelb {

enum CommandCode : uint8_t {
  CmdNone = 0,  // no line waiting
  CmdNew = 1,
  CmdQuit = 2,
  CmdUserMove = 3,
  CmdForce = 4,
  CmdGo = 5,
  CmdEdit = 6,
  CmdXboard = 7,
  CmdUnknown = 8,
  CmdRandom = 9,
  CmdSd = 10,
  CmdAuto = 11,
  CmdSt = 12,
  CmdLevel = 13,
  CmdTime = 14,
  CmdOtim = 15,
  CmdPing = 16,
  CmdProtover = 17,
  CmdDraw = 18,
  CmdAccepted = 19,
  CmdHard = 20,
  CmdEasy = 21,
  CmdPost = 22,
  CmdNopost = 23,
  CmdUndo = 24,
  CmdRemove = 25,
  CmdAnalyze = 26,
  CmdExit = 27,
  CmdWhite = 28,
  CmdLoadpos = 29,
  CmdSetboard = 30,
  CmdBlack = 31,
  CmdSavepos = 32,
  CmdComputer = 33,
  CmdBk = 34,
  CmdHint = 36,
  CmdResult = 37,
  CmdSavepgn = 39,
  CmdMultiAnalyze = 40,
  CmdRating = 42,
  CmdUci = 43,
};

constexpr int kMaxCommandWords = 5;

// Words of the last parsed line, 1-based (word 1 is the command word); words not present are empty.
extern std::string CommandWords[kMaxCommandWords + 1];
extern int WordCount;

// Splits line (at most 255 characters) into words and returns its command code; a bare move becomes
// "usermove". An unknown word has already been answered with the error line when CmdUnknown is returned.
CommandCode ParseCommand(const std::string& line);

}  // namespace kelb
