#include "search/quiesce.h"

#include <cstdlib>

#include "board/board.h"
#include "search/search.h"
#include "search/weak.h"

namespace kelb {

StandPatResult StandPat(int32_t& a, int32_t b, int32_t& best) {
  const int ply = Board.ply;
  int32_t stand = estEval[ply];
  const Move* last = currentMove[ply - 1];
  int32_t margin;
  if (last->promotion != 0 || fullEval[ply - 1] == kNoStaticEval)
    margin = 600;
  else
    margin = lazyMargin[pieceType[last->piece]][pieceType[last->captured]];
  if (fullEval[ply] == kNoStaticEval &&
      ((stand + margin > a && stand - margin < b) || Board.pieceMaterial[kWhite] == 0 ||
       Board.pieceMaterial[kBlack] == 0)) {
    stand = -SearchEvaluate();
    fullEval[ply] = estEval[ply] = stand;
  }
  best = stand;
  if (stand >= b) return StandPatResult::NodeEnds;
  // Far ahead in a level game: the line is won anyway, no need to look at captures.
  if (stand >= 900 && std::abs(estEval[1]) < 400) return StandPatResult::ReturnAtOnce;
  if (stand > a) a = stand;
  return StandPatResult::Continue;
}

int32_t QuiescenceFutilityThreshold(int32_t a) {
  if (Board.pawnMaterial[kWhite] > 0 && Board.pawnMaterial[kBlack] > 0 && Board.pieceMaterial[kWhite] > 0 &&
      Board.pieceMaterial[kBlack] > 0)
    return a - estEval[Board.ply] - 200;
  return 0;
}

}  // namespace kelb
