// The pawn-structure fill and the pawn parts of the king shelters as they were first written, square by
// square over the pawn lists and the board: the reference for the set-based versions in the engine.
#pragma once
#include <cstdint>

#include "eval/eval.h"
#include "eval/pawn_cache.h"

namespace kelb::test {

// FillPawnEntry of the pawns on the Board; its passers and candidates come in the order of the pawn lists.
void OracleFillPawnEntry(PawnCacheEntry& entry, uint64_t white, uint64_t black);
// WingShelterFromPawns, HomeShelterFromPawns and KingShelter.
WingPawnShelter OracleWingShelterFromPawns(const EvalContext& e, int side, int wing);
HomePawnShelter OracleHomeShelterFromPawns(const EvalContext& e, int side);
int OracleKingShelter(const EvalContext& e, int side, int square);

}  // namespace kelb::test
