#include "board/board.h"

#include "board/random.h"

namespace kelb {

BoardRecord Board{};

Move moveBuffer[kMoveBufferSize + 1 + kMoveBufferSlack]{};
int32_t moveStart[kMaxPly]{};
int32_t moveCount[kMaxPly]{};
int32_t moveBufferOverflows = 0;

int32_t attackerSquare[kMaxPly]{};
int32_t attackDirection[kMaxPly]{};
uint8_t inCheck[kMaxPly]{};
uint8_t checksOnly[kMaxPly]{};
Move* currentMove[kMaxPly]{};
int32_t futilityThreshold = 0;

Move legalMoves[kMaxLegalMoves + 1]{};
int32_t legalMoveCount = 0;

int32_t gamePly = 0;
Move gameMoves[kMaxGameMoves + 1]{};
uint32_t keyHistory[kHistorySize]{};
int32_t fiftyHistory[kHistorySize]{};
int32_t result = 0;

uint32_t pieceKey[13][kPieceKeyRow]{};
uint32_t sideKey = 0;

void InitKeys() {
  randomSeed = 0;
  for (int code = 1; code <= 12; ++code) {
    for (int square = 11; square <= 88; ++square) pieceKey[code][square] = StepRandom() & 0x7fffffffu;
  }
  sideKey = StepRandom() & 0x7fffffffu;
  SeedRandomFromClock();
}

// The keys must exist before any position is set up, whoever starts first (engine, tool or test).
[[maybe_unused]] static const bool keysMadeAtLoad = (InitKeys(), true);

uint32_t KeyFromScratch() {
  uint32_t key = 0;
  for (int square = 11; square <= 88; ++square) {
    const int code = Board.squares[square];
    if (code != kEmpty && onBoard[square]) key ^= pieceKey[code][square];
  }
  if (Board.side == kBlack) key ^= sideKey;
  return key;
}

void ComputeKey() { Board.key = KeyFromScratch(); }

void RebuildPieceSets() {
  for (uint64_t& set : Board.pieceSet) set = 0;
  for (int square = 11; square <= 88; ++square) {
    const int code = Board.squares[square];
    if (code == kEmpty || code > 12 || !onBoard[square]) continue;
    Board.pieceSet[code] |= SquareBit(square);
  }
}

void CountMaterial() {
  RebuildPieceSets();
  for (int s = 0; s < 2; ++s) {
    Board.pawnMaterial[s] = 0;
    Board.pieceMaterial[s] = 0;
  }
  for (int square = 11; square <= 88; ++square) {
    const int code = Board.squares[square];
    if (code == kEmpty || code > 12) continue;
    const int owner = isBlackPiece[code];
    if (pieceType[code] == kPawn)
      Board.pawnMaterial[owner] += pieceValue[code];
    else
      Board.pieceMaterial[owner] += pieceValue[code];
  }
}

}  // namespace kelb
