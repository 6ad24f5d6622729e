// The game at game level: playing and taking back moves, history reset, legal-move list, repetition and
// the end of the game.
#pragma once
#include <cstdint>
#include <string>

#include "board/board.h"

namespace kelb {

// Texts sent for each result code; entry 0 is never sent.
extern const char* const resultText[8];

// How the game began: from the standard start position, else from startFen (four FEN fields).
extern bool gameFromStartPosition;
extern std::string startFen;

// What the rules of chess compare when a repetition is claimed: the placement with the side to move (a key
// made from scratch, so that "white"/"black" count as well), the castling rights, and the file of an
// en-passant capture that is actually legal (0 when there is none).
struct GamePosition {
  uint32_t key;
  uint8_t castling;  // CastlingFlags()
  uint8_t side;
  uint8_t epFile;
};

// gamePositions[p]: the game position after p moves of the game record, written at game level only.
extern GamePosition gamePositions[kMaxGameMoves + 1];

// A claim looks this far back at most. Only under UCI, where a draw by rule does not end the game, can a
// run of reversible moves grow longer; the fifty-move claim has long been due there.
constexpr int kClaimWindow = 500;

// Plays a move (from legalMoves, the book or the search) into the game. Returns false, changing nothing,
// for a record with from = 0 or when a WinBoard game already holds its 1,000 moves. Under UCI a full
// record drops its oldest moves instead, keeping those since the last capture or pawn move (at most
// kClaimWindow); the game then no longer counts as begun at the start position.
bool PlayMove(const Move& move);
// Takes back the last game move, restoring the position before it whoever is to move now; call only when
// gamePly > 0.
void TakeBack();
// Starts a fresh game history from the current Board (after every set-up).
void ResetGame();
// Rebuilds legalMoves and result, and sends the result text when the game has ended.
void CheckGameState();
// Earlier occurrences of the current position (game and search line together), by key alone: the
// search's own count.
int RepetitionCount();
// Earlier occurrences of the current game position by the rules of chess (GamePosition), the basis of the
// draw claim.
int GameRepetitionCount();
// No pawns, knights, rooks or queens, and all bishops on squares of one colour.
bool BishopsOnly();
// Pawnless material in which the engine offers a draw early.
bool DrawishMaterial();

// "white" / "black": sets the side to move and rebuilds the legal moves for it. A real change of side also
// drops the en-passant right and, while the game goes on, decides the game end for the new side to move
// (sending its result). A finished game stays finished and is not announced again.
void SetSideToMove(int side);

}  // namespace kelb
