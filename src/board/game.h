// The game at game level: playing and taking back moves, history reset, legal-move list, repetition and
// the end of the game.
#pragma once
#include <string>

#include "board/board.h"

namespace kelb {

// Texts sent for each result code; entry 0 is never sent.
extern const char* const resultText[8];

// How the game began: from the standard start position, else from startFen (four FEN fields).
extern bool gameFromStartPosition;
extern std::string startFen;

// Plays a move (from legalMoves, the book or the search) into the game. Returns false, changing nothing,
// for a record with from = 0 or when the game already holds its 1,000 moves.
bool PlayMove(const Move& move);
// Takes back the last game move, restoring the position before it whoever is to move now; call only when
// gamePly > 0.
void TakeBack();
// Starts a fresh game history from the current Board (after every set-up).
void ResetGame();
// Rebuilds legalMoves and result, and sends the result text when the game has ended.
void CheckGameState();
// Earlier occurrences of the current position (game and search line together).
int RepetitionCount();
// No pawns, knights, rooks or queens, and all bishops on squares of one colour.
bool BishopsOnly();
// Pawnless material in which the engine offers a draw early.
bool DrawishMaterial();

// "white" / "black": sets the side to move and rebuilds the legal moves for it. A real change of side also
// drops the en-passant right and decides the game end for the new side to move (sending its result).
void SetSideToMove(int side);

}  // namespace kelb
