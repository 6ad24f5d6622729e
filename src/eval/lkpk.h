// King and pawn against king: a win/draw bitbase computed in memory once per run.
#pragma once
#include <cstdint>

namespace kelb {

// One bit per position, normalised to the side with the pawn playing up the board with the pawn
// on files a..d. Byte (pawnRank-1)*4096 + strongKingFile*512 + strongKingRank*64 + weakKingFile*8 +
// weakKingRank (all 0-based, pawnRank 1..6 = board ranks 2..7); bit 2*pawnFile + s, s = 0 with the
// strong side to move. A set bit is a win for the strong side.
extern uint8_t* KpkBitbase;
extern bool kpkReady;

constexpr int kKpkBytes = 6 * 4096;

// Computes the bitbase (twenty backward passes) and sets kpkReady; does nothing if already built.
void BuildKpkBitbase();

// Releases the bitbase and clears kpkReady.
void FreeKpkBitbase();

// Reads one bit in board coordinates (files and ranks 1..8, pawn on files 1..4 and ranks 2..7);
// strongToMove picks the half of the table. Requires kpkReady.
int KpkBit(int pawnFile, int pawnRank, int strongKingSquare, int weakKingSquare, bool strongToMove);

// Score of the current position (two kings and one pawn) for the side to move:
// 601..617 when the strong side moves and wins, -617..-601 when the weak side moves and loses,
// -17..17 for a draw.
int ProbeKpk();

}  // namespace kelb
