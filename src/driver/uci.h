// The UCI front end: entered on "uci", it owns the rest of the run.
#pragma once
#include <cstdint>
#include <string>

namespace kelb {

extern int32_t uciElo;                // strength asked for with UCI_Elo
extern std::string lastPositionLine;  // the previous "position" line, to recognise a continued game
extern int analysisLines;             // MultiPV: best root moves shown with their lines, 1..kMaxAnalysisLines
// Next word of a UCI line from position on: words are separated by blanks and "=" alike. Leaves position
// after the word; an empty result means the line is exhausted.
std::string NextWord(const std::string& line, size_t& position);

void UciSetOption(const std::string& line);
void UciPosition(const std::string& line);
// Hands "searchmoves" and "nodes" to the search as its limits (searchLimits), the rest to the time control.
void UciGo(const std::string& line);
// "ucinewgame": the next search belongs to another game, so what was learnt about the old one goes (table
// entries but the learned ones, killers, learning marks, the line a continued game would repeat). The
// position stays what the last "position" set; the GUI sends the new game's position before its "go".
void UciNewGame();

// Announces the engine and reads UCI commands until "quit"; returns then.
void RunUciLoop();

}  // namespace kelb
