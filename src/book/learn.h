// Position learning: after a search the root position is kept in the transposition table as a permanent
// learned entry, and positions whose score has turned bad are appended to kelb701.epd, which is loaded back
// into the table at start-up so that later games steer away from them.
//
// kelb701.epd holds one position per line: the four FEN fields, " ce <score>;" (for the side to move) and
// " De <depth>;", at most 100 characters, CR LF line ends. The en-passant square is written, and counts when
// read, only where a capture en passant is possible, as in the positions of the search.
#pragma once
#include <cstdint>
#include <string>

namespace kelb {

inline constexpr const char* kLearnFileName = "kelb701.epd";
inline constexpr int kLearnLineLength = 100;
// The score AppendPositionLine takes for the position-file form ("savepos").
inline constexpr int32_t kPositionLineScore = 1000000;

// Which of the four writing rules has already written a line in this game; cleared by every game reset
// (WinBoard) and by a UCI "position" that does not continue the previous game.
extern bool learnMarks[4];
void ClearLearnMarks();

// Loads every usable line of kelb701.epd into the transposition table (learning on, table there).
void LoadLearning();
// The same for any file; returns the number of positions stored. The position on the Board is kept.
int LoadLearningFile(const char* fileName);
// Start-up's way: whether to load is decided now, the loading itself waits as deferredWork (see WBinout),
// which runs it before the first search at the latest, so that the GUI's handshake is answered first.
void ScheduleLearning();
// The table is replaced before the scheduled loading ran: the entries would have been lost with the old
// table, so they do not go into the new one either.
void CancelScheduledLearning();

// After a search whose move will be played: stores the root result as a learned entry and appends the
// position to kelb701.epd when its score has dropped under one of the four rules' thresholds. When the file
// cannot be opened or written, the user is told once and the file is left alone for the rest of the run.
void UpdateLearning();

// One line for the current position, with its CR LF: with score kPositionLineScore the position-file form
// (FEN, half-move clock, move number), otherwise the learning form (FEN, " ce ", and " De " when depth > 0).
std::string PositionLineText(int32_t score, int32_t depth);

// Appends PositionLineText to the file (created when missing); a failed write ends the program
// (FileWriteFailed). "savepos" uses it.
void AppendPositionLine(const std::string& fileName, int32_t score, int32_t depth);

// A file the user asked for (or standard output) could not be written: the program stops with a run-time
// error.
[[noreturn]] void FileWriteFailed(const std::string& fileName);

}  // namespace kelb
