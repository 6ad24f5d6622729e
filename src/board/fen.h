// Setting up positions: FEN text, piece-list building with the consistency check, the start position and
// the edit dialogue; writing a position back as FEN.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelb {

inline constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Parses FEN text into squares, side, castling rights and epFile (the lists are not built).
// illegal = true when the text is refused.
void ReadFen(std::string_view text, bool& illegal);
// Rebuilds every piece list, count and king square from the squares and checks the whole Board.
// illegal = true when the position is refused (the engine mode is then Halted).
void BuildPieceLists(bool& illegal);
// Verifies squares, lists, counts, side and castling rights; on a failure dumps the board to the log
// and sets the engine mode to Halted. capturableKing: the side not to move may stand in check, as "white" and
// "black" can leave a game position (and a take-back restore it); the front end never searches from there.
void CheckConsistency(bool capturableKing = false);
// The whole Board as make and unmake must leave it: everything CheckConsistency verifies (the side not to
// move may stand in check) and also the piece sets, the material, the key, the castling and en-passant fields
// and the search counters. Silent; for asserts after every make and unmake in checked builds.
bool BoardIsOk();
// The four FEN fields of the current position (placement, side, castling, en passant).
std::string WriteFen();
// The en-passant file as the search's positions carry it: Board.epFile when a pawn of the side to move
// stands beside the pawn that made the double step, so that a capture en passant is possible; 0 otherwise.
// The game's own position keeps the file after every double step.
int32_t CapturableEnPassantFile();

// Sets up a FEN as a root to search or count from, outside the game record: pieces listed, material
// counted, key computed, no move made. False (and the board undefined) when the position is refused.
bool PlaceFenAtRoot(std::string_view fen);

// The game record keeps at most this much of a set-up position's FEN.
inline constexpr size_t kMaxStartFenLength = 100;

// "new": the start position, engine plays Black, fresh game history.
void NewGame();

}  // namespace kelb
