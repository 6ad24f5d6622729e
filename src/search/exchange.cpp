#include "search/exchange.h"

#include "board/attack.h"
#include "board/board.h"

namespace kelb {

namespace {

// The values of one side's pieces in the order they go to the square: first the piece already in the
// exchange (the capturer, or the piece being taken), then the pawns, the knights, the sliders cheapest
// first along each line (a piece behind another on the same line only after it), and a king last.
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
  // Only the first `length` values are ever read: no need to clear the arrays.
  ExchangeList whitePieces, blackPieces;
  whitePieces.length = blackPieces.length = 0;
  if (whiteToMove) {
    whitePieces.Append(exchangeValue[mover]);
    blackPieces.Append(exchangeValue[sq[to]]);
  } else {
    whitePieces.Append(exchangeValue[sq[to]]);
    blackPieces.Append(exchangeValue[mover]);
  }

  // The capturer is lifted off its square for the walks below, so that the pieces behind it join the
  // exchange and the capturer itself is not counted twice; it is put back before the count.
  sq[from] = kEmpty;
  const int32_t pawn = exchangeValue[kWhitePawn], knight = exchangeValue[kWhiteKnight];
  const int32_t king = exchangeValue[kWhiteKing];
  if (sq[to - 11] == kWhitePawn) whitePieces.Append(pawn);
  if (sq[to + 9] == kWhitePawn) whitePieces.Append(pawn);
  if (sq[to - 9] == kBlackPawn) blackPieces.Append(pawn);
  if (sq[to + 11] == kBlackPawn) blackPieces.Append(pawn);
  const uint64_t* sets = Board.pieceSet;
  if (kAttackSets.knight[to] & (sets[kWhiteKnight] | sets[kBlackKnight])) {
    for (int step : knightSteps) {
      const int piece = sq[to + step];
      if (piece == kWhiteKnight) whitePieces.Append(knight);
      if (piece == kBlackKnight) blackPieces.Append(knight);
    }
  }

  // A line with no slider that could move along it, and no king next to the square, adds nobody: its walk
  // is skipped (the capturer, lifted off its square, still counts in the sets, so a walk may find nothing).
  const uint64_t queens = sets[kWhiteQueen] | sets[kBlackQueen];
  const uint64_t diagonalSliders = sets[kWhiteBishop] | sets[kBlackBishop] | queens;
  const uint64_t straightSliders = sets[kWhiteRook] | sets[kBlackRook] | queens;
  // A king next to the square stands on the line of exactly one direction: the ray test finds it too.
  const uint64_t kingsNext = kAttackSets.king[to] & (sets[kWhiteKing] | sets[kBlackKing]);
  const uint64_t diagonalStops = diagonalSliders | kingsNext, straightStops = straightSliders | kingsNext;
  const int firstWhiteSlider = whitePieces.length, firstBlackSlider = blackPieces.length;
  for (int dir = 0; dir < 8; dir++) {
    const int step = kingSteps[dir];
    const bool diagonal = dir < 4;
    if (!(kAttackSets.ray[dir][to] & (diagonal ? diagonalStops : straightStops))) continue;
    // A slider further out on this line goes in after the one nearer the square.
    int whiteInsert = firstWhiteSlider, blackInsert = firstBlackSlider;
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
          whiteInsert = whitePieces.InsertFrom(whiteInsert, exchangeValue[piece]) + 1;
        else
          blackInsert = blackPieces.InsertFrom(blackInsert, exchangeValue[piece]) + 1;
        continue;
      }
      if (kind == kKing && s == to + step) {
        if (isWhitePiece[piece])
          whitePieces.Append(king);
        else
          blackPieces.Append(king);
      }
      break;
    }
  }
  sq[from] = mover;

  // Taking more than a pawn with at most one defender is never bad.
  if (whiteToMove && blackPieces.value[0] > pawn && blackPieces.length <= 2) return false;
  if (!whiteToMove && whitePieces.value[0] > pawn && whitePieces.length <= 2) return false;

  // The swap, counted for White: `balance` is White's gain after the captures so far. White takes
  // blackPieces[nextBlack] with whitePieces[nextWhite] standing on the square, then Black takes that
  // white piece with its next one, and so on. Either side may stop instead of capturing: whiteFloor is the
  // best White has secured by stopping (a lower bound of the outcome), whiteCeiling the least Black has
  // held White to (an upper bound). Once a capture can no longer move the outcome past the other side's
  // bound, or a side runs out of pieces, the bound that side's stop gives is the outcome.
  int32_t balance = 0, whiteFloor = -king, whiteCeiling = king, outcome;
  int nextWhite = 0, nextBlack = 0;
  if (!whiteToMove) {
    // Black's capture comes first: the white piece on the square is lost, Black keeps that at least.
    balance = -whitePieces.value[0];
    whiteFloor = balance;
    nextWhite = 1;
    if (whitePieces.length == 1) return -whiteFloor < 0;  // no white piece to take back
  }
  for (;;) {
    balance += blackPieces.value[nextBlack];  // White captures
    if (balance < whiteCeiling) whiteCeiling = balance;
    if (whiteFloor >= balance) {  // no better for White than stopping earlier
      outcome = whiteFloor;
      break;
    }
    if (++nextBlack == blackPieces.length) {  // Black has nothing left to take back with
      outcome = whiteCeiling;
      break;
    }
    balance -= whitePieces.value[nextWhite];  // Black captures
    if (balance > whiteFloor) whiteFloor = balance;
    if (whiteCeiling <= balance) {  // no better for Black than stopping earlier
      outcome = whiteCeiling;
      break;
    }
    if (++nextWhite == whitePieces.length) {  // White has nothing left to take back with
      outcome = whiteFloor;
      break;
    }
  }
  if (!whiteToMove) outcome = -outcome;
  return outcome < 0;
}

}  // namespace kelb
