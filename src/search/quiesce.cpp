#include "search/quiesce.h"

#include <cstdlib>

#include "board/attack.h"
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

namespace {

// Values of the pieces that can take part in an exchange on one square, in capture order.
struct ExchangeList {
  int32_t value[40];
  int length;
  void Append(int32_t v) {
    if (length < 40) value[length++] = v;
  }
  // Inserts v at the first position at or after `from` whose value is greater; returns the position.
  int InsertFrom(int from, int32_t v) {
    int pos = from;
    while (pos < length && value[pos] <= v) pos++;
    if (length >= 40) return pos;
    for (int i = length; i > pos; i--) value[i] = value[i - 1];
    value[pos] = v;
    length++;
    return pos;
  }
};

}  // namespace

bool BadCapture(int from, int to) {
  auto& sq = Board.squares;
  const int mover = sq[from];
  if (exchangeValue[mover] <= exchangeValue[sq[to]]) return false;
  if (Board.pieceMaterial[Board.side] == 0 || Board.pawnMaterial[Board.xside] == 0) return false;

  const bool whiteToMove = Board.side == kWhite;
  ExchangeList W, B;  // only the first `length` values are ever read: no need to clear the arrays
  W.length = B.length = 0;
  if (whiteToMove) {
    W.Append(exchangeValue[mover]);
    B.Append(exchangeValue[sq[to]]);
  } else {
    W.Append(exchangeValue[sq[to]]);
    B.Append(exchangeValue[mover]);
  }

  sq[from] = kEmpty;  // pieces behind the capturer join the exchange
  if (sq[to - 11] == kWhitePawn) W.Append(100);
  if (sq[to + 9] == kWhitePawn) W.Append(100);
  if (sq[to - 9] == kBlackPawn) B.Append(100);
  if (sq[to + 11] == kBlackPawn) B.Append(100);
  const uint64_t* sets = Board.pieceSet;
  if (kAttackSets.knight[to] & (sets[kWhiteKnight] | sets[kBlackKnight])) {
    for (int step : knightSteps) {
      const int piece = sq[to + step];
      if (piece == kWhiteKnight) W.Append(300);
      if (piece == kBlackKnight) B.Append(300);
    }
  }

  // A line with no slider that could move along it, and no king next to the square, adds nobody: its walk
  // is skipped (the capturer, lifted off its square, still counts in the sets, so a walk may find nothing).
  const uint64_t queens = sets[kWhiteQueen] | sets[kBlackQueen];
  const uint64_t diagonalSliders = sets[kWhiteBishop] | sets[kBlackBishop] | queens;
  const uint64_t straightSliders = sets[kWhiteRook] | sets[kBlackRook] | queens;
  const uint64_t kingsNext = kAttackSets.king[to] & (sets[kWhiteKing] | sets[kBlackKing]);
  const int startW = W.length, startB = B.length;
  for (int dir = 0; dir < 8; dir++) {
    const int step = kingSteps[dir];
    const bool diagonal = dir < 4;
    if (!(kAttackSets.ray[dir][to] & (diagonal ? diagonalSliders : straightSliders)) &&
        !(kingsNext & SquareBit(to + step)))
      continue;
    int insertW = startW, insertB = startB;
    for (int s = to + step;; s += step) {
      if (!onBoard[s]) break;
      const int piece = sq[s];
      if (piece == kEmpty) continue;
      if (piece == kWhitePawn) {
        if (s == to - 11 || s == to + 9) continue;  // already counted, and may hide a bishop or queen
        break;
      }
      if (piece == kBlackPawn) {
        if (s == to - 9 || s == to + 11) continue;
        break;
      }
      const int kind = pieceType[piece];
      if (kind == kBishop || kind == kRook || kind == kQueen) {
        if ((kind == kRook && diagonal) || (kind == kBishop && !diagonal)) break;
        if (isWhitePiece[piece])
          insertW = W.InsertFrom(insertW, exchangeValue[piece]) + 1;
        else
          insertB = B.InsertFrom(insertB, exchangeValue[piece]) + 1;
        continue;
      }
      if (kind == kKing && s == to + step) {
        if (isWhitePiece[piece])
          W.Append(10000);
        else
          B.Append(10000);
      }
      break;
    }
  }
  sq[from] = mover;

  // Taking more than a pawn with at most one defender is never bad.
  if (whiteToMove && B.value[0] > 100 && B.length <= 2) return false;
  if (!whiteToMove && W.value[0] > 100 && W.length <= 2) return false;

  int32_t v = 0, lo = -10000, hi = 10000, result;
  int i = 0, j = 0;
  if (!whiteToMove) {
    v = -W.value[0];
    lo = v;
    i = 1;
    if (W.length == 1) return -lo < 0;
  }
  for (;;) {
    v += B.value[j];
    if (v < hi) hi = v;
    if (lo >= v) {
      result = lo;
      break;
    }
    if (++j == B.length) {
      result = hi;
      break;
    }
    v -= W.value[i];
    if (v > lo) lo = v;
    if (hi <= v) {
      result = hi;
      break;
    }
    if (++i == W.length) {
      result = lo;
      break;
    }
  }
  if (!whiteToMove) result = -result;
  return result < 0;
}

}  // namespace kelb
