// The opening book kelb701.bok: a small tree of opening moves with a score at every leaf, read whole at
// start-up, walked with the moves of the game and sampled with weights that fall off steeply from the best
// score.
//
// File layout: little-endian signed 32-bit records, no header, records numbered from 1. A record v > 0 holds
//   v mod 10000            the move as from-file, from-rank, to-file, to-rank digits (100 * from + to)
//   (v div 10000) mod 10   the number of replies stored for the move
//   v div 100000           the record of the first reply, or, above 1024, 10000 + the leaf score seen from
//                          the side that made the move
// Records 1..8 are White's first moves.
#pragma once
#include <cstdint>

#include "board/board.h"

namespace kelb {

constexpr int kMaxBookEntries = 1024;
constexpr int kBookRootMoves = 8;
// A link above kMaxBookEntries marks a leaf holding kBookLeafBase + the mover's score.
constexpr int kBookLeafBase = 10000;

// BookEntries[1..BookCount] as read from the file; the rest stays 0.
extern int32_t BookEntries[kMaxBookEntries + 1];
extern int32_t BookCount;

// Field access of a book record.
constexpr int32_t BookMoveCode(int32_t value) { return value % 10000; }
constexpr int32_t BookChildCount(int32_t value) { return (value / 10000) % 10; }
constexpr int32_t BookLink(int32_t value) { return value / 100000; }
// The move code of a move record, in the book's form.
inline int32_t MoveCode(const Move& move) { return 100 * move.from + move.to; }

// Reads kelb701.bok from the working directory at start-up (an installed engine falls back to its data
// folder); sets engineState.bookOpen, and complains with "tellusererror kelb701.bok not found" when neither
// has the file.
void OpenBook();

// Reads a book file into BookEntries; false (and an empty book) when it cannot be opened or is not a
// regular file (a directory of that name is no book).
bool ReadBookFile(const char* fileName);

// Negamax value of a record, seen from the side to move after its move.
int32_t BookValue(int32_t record);

// Sets move to the empty move, then: with listOnly false, a book move for the side to move (and rootScore
// to its score) or nothing when out of book; with listOnly true, prints the candidates ("bk") instead.
// A book move that is not legal here makes the engine resign and end the process.
void BookMove(bool listOnly, Move& move);

}  // namespace kelb
