#include "board/game.h"

#include <cstdio>

#include "board/attack.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "book/learn.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "search/hash.h"
#include "search/think.h"
#include "search/timectl.h"

namespace kelb {

const char* const resultText[8] = {
    "OK",
    "1-0 {White mates}",
    "0-1 {Black mates}",
    "1/2-1/2 {Stalemate}",
    "1/2-1/2 {Draw by the 50 move rule}",
    "1/2-1/2 {Draw by repetition}",
    "1/2-1/2 {Draw by insufficient material}",
    "1/2-1/2 {Draw by too many moves}",
};

bool gameFromStartPosition = true;
std::string startFen;
GamePosition gamePositions[kMaxGameMoves + 1]{};

// Fills legalMoves with the generated moves of the side to move that do not leave its king attacked, in
// generation order and with their generation scores. selfCheck: verify the Board after every trial move.
static void RebuildLegalMoves(bool selfCheck) {
  Board.ply = 1;
  inCheck[1] = IsAttacked(Board.king[Board.side], Board.xside) ? 1 : 0;
  checksOnly[1] = 0;
  futilityThreshold = 0;
  GenerateMoves(false);
  legalMoveCount = 0;
  const int first = moveStart[0] + 1;
  const int last = moveStart[0] + moveCount[0];
  for (int i = first; i <= last; ++i) {
    Move& move = moveBuffer[i];
    // Taking a king is never a move; it only appears when "white"/"black" left the other king in check.
    if (pieceType[move.captured] == kKing) continue;
    if (selfCheck && settings.logEnabled) CheckConsistency(true);
    MakeMove(move);
    if (!IsAttacked(Board.king[Board.xside], Board.side) && legalMoveCount < kMaxLegalMoves)
      legalMoves[++legalMoveCount] = move;
    UnmakeMove(move);
    if (selfCheck) CheckConsistency(true);
  }
}

// Notes the current game position for later claims, from the legal moves just built: a double step gives
// the opponent an en-passant right only when the capture is legal.
static void RecordGamePosition() {
  GamePosition& position = gamePositions[gamePly];
  position.key = KeyFromScratch();
  position.castling = CastlingFlags();
  position.side = static_cast<uint8_t>(Board.side);
  position.epFile = 0;
  for (int k = 1; k <= legalMoveCount; ++k)
    if (MoveKind(legalMoves[k]) == kEnPassant)
      position.epFile = static_cast<uint8_t>(fileOf[legalMoves[k].to]);
}

// The end-of-game rules, each tried only while no earlier one has decided, on the legal moves just built.
static int GameEndRule() {
  if (legalMoveCount == 0) {
    if (inCheck[1]) return Board.side == kBlack ? kResultWhiteMates : kResultBlackMates;
    return kResultStalemate;
  }
  // A UCI game has no move limit: the record drops its oldest moves instead (PlayMove).
  if (gamePly >= kMaxGameMoves && !engineState.uciMode) return kResultTooManyMoves;
  if (GameRepetitionCount() >= 2) return kResultRepetition;
  if (Board.pawnMaterial[kWhite] + Board.pawnMaterial[kBlack] == 0 &&
      Board.pieceMaterial[kWhite] + Board.pieceMaterial[kBlack] <= 300)
    return kResultMaterial;
  if (BishopsOnly()) return kResultMaterial;
  if (fiftyHistory[gamePly] >= 100) return kResultFiftyMoves;
  return kResultNone;
}

// Sends the result of a finished game; mate, stalemate and the move limit end play.
static void AnnounceResult() {
  if (!engineState.xboardMode && !engineState.uciMode) {
    const int32_t t1 = timeControl.engineTimeUsed[kWhite];
    const int32_t t2 = timeControl.engineTimeUsed[kBlack];
    std::printf("time1=%d time2=%d sum=%d\n", t1, t2, t1 + t2);
    std::fflush(stdout);
  }
  SendLine(resultText[result]);
  if (result == kResultWhiteMates || result == kResultBlackMates || result == kResultStalemate ||
      result == kResultTooManyMoves) {
    engineState.mode = EngineMode::GameOver;
  } else if (engineState.uciMode) {
    result = kResultNone;  // the text has gone out; a UCI game goes on until the GUI ends it
  }
}

void CheckGameState() {
  Board.ply = 1;
  // A game position may leave the side not to move in check: "white"/"black" can make one, and a take-back
  // restores it exactly. Set-ups were checked in full before they got here.
  CheckConsistency(true);
  if (engineState.mode == EngineMode::Halted) return;
  RebuildLegalMoves(true);
  RecordGamePosition();

  result = GameEndRule();
  if (result == kResultNone && DrawishMaterial() &&
      (fiftyHistory[gamePly] == 5 || fiftyHistory[gamePly] == 6))
    SendLine("offer draw");
  if (result != kResultNone) AnnounceResult();
}

// A full record under UCI: only the moves since the last capture or pawn move can still matter (to the
// repetition count of game and search, and to the fifty-move count, which carries on from the entries
// kept), so the older ones go.
static void DropOldestMoves() {
  const int kept = fiftyHistory[gamePly] < kClaimWindow ? fiftyHistory[gamePly] : kClaimWindow;
  const int dropped = gamePly - kept;
  for (int n = 1; n <= kept; ++n) {
    gameMoves[n] = gameMoves[n + dropped];
    keyHistory[n] = keyHistory[n + dropped];
  }
  for (int p = 0; p <= kept; ++p) {
    fiftyHistory[p] = fiftyHistory[p + dropped];
    gamePositions[p] = gamePositions[p + dropped];
  }
  gamePly = kept;
  gameFromStartPosition = false;  // the book and the learning file follow games from the first move
}

bool PlayMove(const Move& move) {
  if (move.from == 0) return false;
  if (gamePly >= kMaxGameMoves) {
    // A WinBoard game has ended by rule before, but a front end that keeps feeding moves must not write
    // past the record.
    if (!engineState.uciMode) return false;
    DropOldestMoves();
  }
  ++gamePly;
  Board.epFile = 0;
  if (!engineState.uciMode) NextGeneration();
  keyHistory[gamePly] = Board.key;
  fiftyHistory[gamePly] = fiftyHistory[gamePly - 1] + 1;
  ApplyMoveToBoard(move, gamePly, true);
  Board.key ^= sideKey;
  Board.side = Board.xside;
  Board.xside = 1 - Board.side;
  gameMoves[gamePly] = move;
  CheckGameState();
  if (engineState.mode == EngineMode::Auto) engineState.engineSide = 1 - engineState.engineSide;
  return true;
}

void TakeBack() {
  if (gamePly <= 0) return;
  const Move& move = gameMoves[gamePly];
  // The move goes back into the lists of the colour that made it: after "white"/"black" that need not be
  // the side not to move now.
  Board.side = isBlackPiece[move.piece];
  Board.xside = 1 - Board.side;
  RetractMoveFromBoard(move);
  Board.queenSideLost[kWhite] = (move.flags >> 7) & 1;
  Board.kingSideLost[kWhite] = (move.flags >> 6) & 1;
  Board.queenSideLost[kBlack] = (move.flags >> 5) & 1;
  Board.kingSideLost[kBlack] = (move.flags >> 4) & 1;
  Board.epFile = move.epBefore;
  Board.key = keyHistory[gamePly];
  PreviousGeneration();
  --gamePly;
  CheckGameState();
}

void ResetGame() {
  Board.makeDepth = 0;
  CountMaterial();
  ComputeKey();
  keyHistory[1] = Board.key;
  fiftyHistory[0] = 0;
  if (engineState.uciMode) {
    NextGeneration();
  } else {
    InvalidateHash();
    ClearLearnMarks();
  }
  resigned = false;

  timeControl.engineTimeUsed[kWhite] = timeControl.engineTimeUsed[kBlack] = 0;
  timeControl.clock[kWhite] = timeControl.clock[kBlack] = timeControl.baseTime;
  timeControl.movesToGo[kWhite] = timeControl.movesToGo[kBlack] = timeControl.movesPerControl;
  timeControl.lastMoveTick = TickCount();
  timeControl.thinkStartTick = timeControl.lastMoveTick;

  gamePly = 0;
  // A running ponder search belongs to the old position; whether to ponder at all ("hard"/"easy") is the
  // GUI's standing choice and survives set-ups and new games.
  engineState.pondering = false;
  CheckGameState();
}

int GameRepetitionCount() {
  const GamePosition& now = gamePositions[gamePly];
  int back = fiftyHistory[gamePly] < kClaimWindow ? fiftyHistory[gamePly] : kClaimWindow;
  if (back > gamePly) back = gamePly;
  int count = 0;
  for (int p = gamePly - 1; p >= gamePly - back; --p) {
    const GamePosition& then = gamePositions[p];
    if (then.key == now.key && then.castling == now.castling && then.side == now.side &&
        then.epFile == now.epFile)
      ++count;
  }
  return count;
}

int RepetitionCount() {
  const int n = gamePly + Board.makeDepth;
  if (fiftyHistory[n] < 4) return 0;
  int count = 0;
  for (int j = n - 2; j >= 2 && fiftyHistory[j] >= 2;) {
    j -= 2;
    if (keyHistory[j + 1] == Board.key) ++count;
  }
  return count;
}

bool BishopsOnly() {
  bool light = false;
  bool dark = false;
  for (int square = 11; square <= 88; ++square) {
    const int kind = pieceType[Board.squares[square]];
    if (kind == kPawn || kind == kKnight || kind == kRook || kind == kQueen) return false;
    if (kind == kBishop) {
      if ((fileOf[square] + rankOf[square]) % 2 == 1)
        light = true;
      else
        dark = true;
    }
  }
  return !(light && dark);
}

static bool HasBishopOrRook(int side) {
  for (int square = 11; square <= 88; ++square) {
    const int code = Board.squares[square];
    if (code == PieceCode(side, kBishop) || code == PieceCode(side, kRook)) return true;
  }
  return false;
}

bool DrawishMaterial() {
  const int32_t white = Board.pieceMaterial[kWhite];
  const int32_t black = Board.pieceMaterial[kBlack];
  if (Board.pawnMaterial[kWhite] + Board.pawnMaterial[kBlack] > 0) return false;
  if (white > 600 || black > 600 || white + black <= 300) return false;
  if (white == black) return true;
  if (HasBishopOrRook(kWhite) && white > 300) return false;
  if (HasBishopOrRook(kBlack) && black > 300) return false;
  return true;
}

// The switch changes neither the key nor the mode, so the list is rebuilt without the consistency check,
// which would halt on a position whose other side is now in check.
void SetSideToMove(int side) {
  const bool switched = side != Board.side;
  Board.side = side;
  Board.xside = 1 - side;
  // An en-passant right belongs to the opponent of the pawn that just advanced two squares; once the
  // pawn's own side is to move, no capture on the square it passed is possible.
  if (switched) Board.epFile = 0;
  // A halted engine refuses every move, and its board may lack the kings the generator needs.
  if (engineState.mode == EngineMode::Halted) return;
  RebuildLegalMoves(false);
  RecordGamePosition();
  // The new side to move may be mated or stalemated: the game ends here as it would after a move. A game
  // already over keeps its result, which has been announced.
  if (!switched || result != kResultNone) return;
  result = GameEndRule();
  if (result != kResultNone) AnnounceResult();
}

}  // namespace kelb
