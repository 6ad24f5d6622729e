// The configuration the engine runs with and the state of its front end, the start-up reading of
// kelb701.ini, and the orderly end of the program.
#pragma once
#include <cstdint>
#include <string>

namespace kelb {

// What kelb701.ini (and, under UCI, setoption) decides.
struct Settings {
  int32_t hashSizeMb;  // transposition table size; 0 = no table
  int32_t weakLevel;   // 0 = full strength, 1..50 weaker and weaker
  bool weakDelay;      // weak levels also use their thinking time
  bool bookEnabled;
  bool resignEnabled;
  bool learnEnabled;
  bool logEnabled;  // copy the protocol traffic into kelb701.log
};

// The front end's mode: who moves, and whether the engine thinks at all.
enum class EngineMode : uint8_t {
  Force = 0,     // the engine makes no moves; moves received are played for both sides
  Play = 1,      // the engine plays engineSide
  NewGame = 2,   // after "new": the engine plays Black once the first move arrives
  Edit = 3,      // the board-edit dialogue is running
  Auto = 4,      // the engine plays whichever side is to move
  Halted = 5,    // an illegal set-up or a failed self-check: moves and set-ups are refused
  GameOver = 6,  // mate, stalemate or the move limit ended the game
  Analyze = 7,   // endless analysis; the engine never moves
};

struct EngineState {
  EngineMode mode;
  int32_t engineSide;  // 0 White, 1 Black
  bool xboardMode;     // plain protocol lines, no console prompts
  bool uciMode;
  bool post;                 // print thinking lines
  bool ponder;               // think on the opponent's time (WinBoard)
  bool pondering;            // a WinBoard ponder or hint search is running
  bool uciPonder;            // a UCI "go ponder" search still waits for "ponderhit"
  bool multiAnalyze;         // analysis of all root moves
  bool stopRequested;        // the running search must return at once
  bool searchInterruptible;  // the root has a move to play, so input may stop it
  bool bookOpen;             // kelb701.bok could be opened
};

extern Settings settings;
extern EngineState engineState;

// The folder an installed engine keeps its default kelb701.ini and kelb701.bok in, fixed when the program is
// built for installation; empty in a developer build. Either file is read from here only when the working
// directory has none (only a regular file counts), so a player's own files always win; the learning file
// and the log stay in the working directory.
extern std::string installedDataFolder;

// Every short text buffer of the front ends holds at most this many characters.
constexpr int kShortStringLength = 255;

// Decimal integer as the configuration file and the numeric protocol words write it: leading blanks, an
// optional sign, and "$" for hexadecimal digits. Returns false (value untouched) unless the whole text is a
// valid int32.
bool ParseInteger(const std::string& text, int32_t& value);

// The integer of a command word: the valid prefix of ParseInteger's syntax, an invalid tail ignored, and 0
// for an empty or non-numeric word.
int32_t IntegerOfWord(const std::string& word);

// The settings from a configuration file: defaults first, then every line that sets a key to a valid value.
// A missing file, or anything but a regular file, leaves the defaults and returns false.
bool ReadSettingsFile(const char* fileName);

// Reads kelb701.ini, opens the log, sizes the transposition table and sends the start-up notices.
void ReadConfiguration();

// Front-end state and clock defaults before the first game.
void InitEngineState();

// Releases everything, writes the 26 empty lines and ends the process with exit code 0.
[[noreturn]] void Quit();

// Gives the transposition table and the bitbase back. Every end of the program calls it, the abrupt ones
// (a failed write, a bad book move) too, so that a memory checker finds nothing left at any end.
void ReleaseTables();

}  // namespace kelb
