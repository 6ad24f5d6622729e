// Position files and game records: setting up a position from FEN text, reading the n-th position of a
// file ("loadpos"), appending the current position ("savepos") and appending the game as a PGN record
// ("savepgn"). File names are used as given, relative to the working directory.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

namespace kelb {

// Sets up the position of the FEN text. On success the mode becomes Force (Analyze stays) and the game
// history starts afresh; on failure "tellusererror illegal position", a new game and the Halted mode.
void SetUpPosition(std::string_view fenText);

// Sets up line number numberWord (1..10000, anything else counts as 1) of the file. A missing file gives
// "File <name> not found", a file with fewer lines "<name> is too short!"; the position is then unchanged.
void LoadPosition(const std::string& fileName, const std::string& numberWord);

// Appends the current position as a FEN line with half-move clock and move number.
void SavePosition(const std::string& fileName);

// Appends the game since its start position as a PGN record (FEN and SetUp tags for a set-up position).
void SaveGame(const std::string& fileName);

// Reads one line of a text file without its line end (CR dropped anywhere), keeping at most maxLength
// characters; false when the file is already at its end.
bool ReadFileLine(FILE* file, std::string& line, int maxLength);

// The PGN record SaveGame appends, with its line ends.
std::string GameRecordText();

}  // namespace kelb
