// The pawn-structure cache entry: what ScorePawns keeps per pawn structure, with the fill that works it out
// (exposed for the tests).
#pragma once
#include <cstdint>

#include "eval/eval.h"

namespace kelb {

// A passed pawn: what its score needs besides the kings, the rooks and the squares in front.
struct PawnCachePasser {
  uint8_t square, file, rank;  // rank seen from its side
  uint8_t undoubled;           // no second pawn of its side on the file
  uint8_t noEnemyPawnOnFile;
  int16_t base[2];    // rank bonus, support and doubling, by whether the enemy has 500 in pieces
  int16_t connected;  // bonus for passed neighbours
};

struct PawnCacheSide {
  // The pawn values an evaluation starts from: count, squareSum, the dark and light counts and the low and
  // high files as they stay, structureSum and bestPassed to be set.
  PawnValues start;
  int32_t structure[2];  // structure terms of every pawn but the passers' own score and the blocked fronts,
                         // by whether the enemy has 500 in pieces (kept to 16 bits, as they always were)
  uint64_t attacked, attackedTwice;  // squares its pawns attack (bit as in the entry's pawn sets)
  uint64_t frontSet;                 // squares in front of the pawns that are not passed
  uint64_t forkSet;                  // pawns whose step forward could fork (files b-g, below rank 7)
  uint8_t passerCount;
  uint8_t candidateCount[2];
  uint8_t candidateFiles[2][kMaxPawnSlots];
  PawnCachePasser passers[kMaxPawnSlots];  // in the order of their squares
};

// The weight maps are kept for squares 10..89, which hold every real square; the rest is 0 in any map.
constexpr int kCachedWeightFirst = 10;
constexpr int kCachedWeightCount = 80;

struct PawnCacheEntry {
  uint64_t pawns[2];   // squares of the pawns by side, bit 8 * (file - 1) + rank - 1; ~0 in an empty entry
  int8_t rear[4][10];  // the evaluation's file arrays
  int8_t weights[2][kCachedWeightCount];  // White's and Black's square weights after the pawn terms
  WingPawnShelter wingShelter[2][2];
  HomePawnShelter homeShelter[2];
  KingRingWeights kingRing[2];
  PawnCacheSide side[2];
};

// The entry of the pawns on the Board, whose sets are white and black (the shelters left to be worked out).
void FillPawnEntry(PawnCacheEntry& entry, uint64_t white, uint64_t black);

}  // namespace kelb
