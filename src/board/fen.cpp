#include "board/fen.h"

#include <cstdio>
#include <cstdlib>

#include "board/attack.h"
#include "board/board.h"
#include "board/game.h"
#include "driver/WBinout.h"
#include "driver/config.h"
#include "search/timectl.h"

namespace kelb {

static int PieceFromLetter(char c) {
  switch (c) {
    case 'P':
      return kWhitePawn;
    case 'N':
      return kWhiteKnight;
    case 'B':
      return kWhiteBishop;
    case 'R':
      return kWhiteRook;
    case 'Q':
      return kWhiteQueen;
    case 'K':
      return kWhiteKing;
    case 'p':
      return kBlackPawn;
    case 'n':
      return kBlackKnight;
    case 'b':
      return kBlackBishop;
    case 'r':
      return kBlackRook;
    case 'q':
      return kBlackQueen;
    case 'k':
      return kBlackKing;
    default:
      return kEmpty;
  }
}

// Piece letters by code: P N B R Q K white, p n b r q k black.
static constexpr char kPieceLetters[14] = " PNBRQKpnbrqk";

void ReadFen(std::string_view text, bool& illegal) {
  illegal = true;
  // A copy of at most 120 characters padded with blanks: reading past the end of a short text yields blanks
  // (the spare blanks keep the look-ahead of the side and en-passant fields inside the copy).
  constexpr int kFenCopyLength = 120;
  char fen[kFenCopyLength + 8];
  const int used = text.size() < kFenCopyLength ? static_cast<int>(text.size()) : kFenCopyLength;
  for (int i = 0; i < kFenCopyLength + 8; ++i) fen[i] = i < used ? text[i] : ' ';

  for (int s = 0; s <= 99; ++s) Board.squares[s] = kEmpty;
  int pos = 0;
  int file = 1;
  int rank = 8;
  while (rank >= 1) {
    const char c = fen[pos++];
    if (c == '/') {
      if (file != 1) return;
      continue;
    }
    if (c >= '1' && c <= '8') {
      const int skip = c - '0';
      if (file + skip - 1 > 8) return;
      file += skip;
    } else {
      const int code = PieceFromLetter(c);
      if (code == kEmpty) return;
      Board.squares[SquareAt(file, rank)] = code;
      ++file;
    }
    if (file > 8) {
      file = 1;
      --rank;
    }
  }

  if (fen[pos] != ' ') return;
  if (fen[pos + 1] == 'w')
    Board.side = kWhite;
  else if (fen[pos + 1] == 'b')
    Board.side = kBlack;
  else
    return;
  if (fen[pos + 2] != ' ') return;
  Board.xside = 1 - Board.side;
  pos += 3;

  Board.queenSideLost[kWhite] = Board.queenSideLost[kBlack] = 1;
  Board.kingSideLost[kWhite] = Board.kingSideLost[kBlack] = 1;
  for (;;) {
    const char c = fen[pos++];
    if (c == ' ') break;
    switch (c) {
      case 'K':
        Board.kingSideLost[kWhite] = 0;
        break;
      case 'Q':
        Board.queenSideLost[kWhite] = 0;
        break;
      case 'k':
        Board.kingSideLost[kBlack] = 0;
        break;
      case 'q':
        Board.queenSideLost[kBlack] = 0;
        break;
      case '-':
        break;
      default:
        return;
    }
  }

  const char ep = fen[pos];
  if (ep == '-') {
    Board.epFile = 0;
  } else {
    if (ep < 'a' || ep > 'h') return;
    const char epRank = fen[pos + 1];
    if (epRank != (Board.side == kBlack ? '3' : '6')) return;
    Board.epFile = ep - 'a' + 1;
  }
  illegal = false;
}

static void SwapSlots(int32_t* list, int a, int b) {
  const int32_t t = list[a];
  list[a] = list[b];
  list[b] = t;
}

// Appends a square to a list; false when the list is full.
static bool AppendToList(int32_t* list, int32_t& count, int capacity, int square) {
  if (count >= capacity) return false;
  list[++count] = square;
  return true;
}

// The en-passant file is kept only when the pawn of the side that just moved stands where the double step
// ended and both squares it passed are empty; otherwise no capture could be legal and the generator would
// rely on a pawn that is not there.
static void ValidateEnPassantFile() {
  if (Board.epFile == 0) return;
  const int mover = Board.xside;
  const int file = Board.epFile;
  const int landRank = mover == kWhite ? 4 : 5;
  const int passRank = mover == kWhite ? 3 : 6;
  const int startRank = mover == kWhite ? 2 : 7;
  if (Board.squares[SquareAt(file, landRank)] != PieceCode(mover, kPawn) ||
      Board.squares[SquareAt(file, passRank)] != kEmpty || Board.squares[SquareAt(file, startRank)] != kEmpty)
    Board.epFile = 0;
}

int32_t CapturableEnPassantFile() {
  if (Board.epFile == 0) return 0;
  const int mover = Board.xside;
  const int landing = SquareAt(Board.epFile, mover == kWhite ? 4 : 5);
  const int capturer = PieceCode(Board.side, kPawn);
  if (Board.squares[landing] != PieceCode(mover, kPawn)) return 0;
  return Board.squares[landing - 10] == capturer || Board.squares[landing + 10] == capturer ? Board.epFile
                                                                                            : 0;
}

void BuildPieceLists(bool& illegal) {
  illegal = true;
  RebuildPieceSets();  // the sets read only the squares, so they are right even for a refused position
  for (int s = 0; s < 2; ++s) {
    for (int i = 0; i <= kMaxPawnSlots; ++i) Board.pawns[s][i] = 0;
    for (int i = 0; i <= kMaxListSlots; ++i) {
      Board.knights[s][i] = Board.bishops[s][i] = Board.rooks[s][i] = Board.queens[s][i] = 0;
    }
    Board.knightCount[s] = Board.bishopCount[s] = Board.rookCount[s] = Board.queenCount[s] = 0;
    Board.king[s] = 0;
  }

  int32_t pawnCount[2] = {0, 0};
  for (int square = 0; square <= 99; ++square) {
    if (!onBoard[square]) continue;
    const int code = Board.squares[square];
    if (code == kEmpty) continue;
    if (code < 0 || code > 12) return;
    const int s = isBlackPiece[code];
    bool fits = true;
    switch (pieceType[code]) {
      case kPawn:
        fits = AppendToList(Board.pawns[s], pawnCount[s], kMaxPawnSlots, square);
        break;
      case kKnight:
        fits = AppendToList(Board.knights[s], Board.knightCount[s], kMaxPieceSlots, square);
        break;
      case kBishop:
        fits = AppendToList(Board.bishops[s], Board.bishopCount[s], kMaxPieceSlots, square);
        break;
      case kRook:
        fits = AppendToList(Board.rooks[s], Board.rookCount[s], kMaxPieceSlots, square);
        break;
      case kQueen:
        fits = AppendToList(Board.queens[s], Board.queenCount[s], kMaxQueenSlots, square);
        break;
      default:
        fits = Board.king[s] == 0;
        Board.king[s] = square;
        break;
    }
    if (!fits) return;
  }
  if (Board.king[kWhite] == 0 || Board.king[kBlack] == 0) return;

  // Rook slot 1 holds the queen-side rook, slot 2 the king-side rook, and slot 2 always exists.
  for (int s = 0; s < 2; ++s) {
    if (Board.rookCount[s] == 1) Board.rookCount[s] = 2;
    const int qCorner = s == kWhite ? kA1 : kA8;
    const int kCorner = s == kWhite ? kH1 : kH8;
    for (int i = 1; i <= Board.rookCount[s]; ++i) {
      if (Board.rooks[s][i] == qCorner) SwapSlots(Board.rooks[s], i, 1);
    }
    for (int i = 1; i <= Board.rookCount[s]; ++i) {
      if (Board.rooks[s][i] == kCorner) SwapSlots(Board.rooks[s], i, 2);
    }
  }

  // A pawn on its start rank sits in the slot of its file, so that a double step and an en-passant capture
  // find it without a search.
  for (int s = 0; s < 2; ++s) {
    const int startRank = s == kWhite ? 2 : 7;
    bool changed = true;
    while (changed) {
      changed = false;
      for (int i = 1; i <= kMaxPawnSlots; ++i) {
        const int square = Board.pawns[s][i];
        if (square != 0 && rankOf[square] == startRank && fileOf[square] != i) {
          SwapSlots(Board.pawns[s], i, fileOf[square]);
          changed = true;
        }
      }
    }
  }

  ValidateEnPassantFile();
  if (Board.epFile != 0) {
    const int mover = Board.xside;
    const int landRank = mover == kWhite ? 4 : 5;
    for (int i = 1; i <= kMaxPawnSlots; ++i) {
      const int square = Board.pawns[mover][i];
      if (square != 0 && fileOf[square] == Board.epFile && rankOf[square] == landRank) {
        SwapSlots(Board.pawns[mover], i, Board.epFile);
        break;
      }
    }
  }

  CheckConsistency();
  illegal = engineState.mode == EngineMode::Halted;
}

// The consistency check's failures, numbered as the log has always shown them ("errcode=").
enum Inconsistency : int {
  kConsistent = 0,
  kBadSquareCode = 20,    // an off-board number not empty, or a code outside 0..12
  kKingMisplaced = 21,    // a king square without that king on it
  kPawnListWrong = 22,    // a pawn slot on a square without that pawn
  kKnightListWrong = 23,  // the same for the knights (or their count out of range)
  kBishopListWrong = 24,
  kRookListWrong = 25,
  kQueenListWrong = 26,
  kPawnOnBackRank = 27,      // a pawn on the first or last rank
  kListedCountWrong = 31,    // the lists hold more or fewer pieces than the squares
  kSideOrKingsWrong = 32,    // side and xside not White and Black, or a king missing
  kKingCapturable = 35,      // the side not to move stands in check
  kWhiteStartPawnSlot = 41,  // a pawn on its start rank outside the slot of its file
  kBlackStartPawnSlot = 42,
  kWhiteQueenSideRookGone = 431,  // castling kept without the rook in its corner and slot
  kWhiteKingSideRookGone = 432,
  kBlackQueenSideRookGone = 433,
  kBlackKingSideRookGone = 434,
  kCastlingKingGone = 44,  // castling kept without the king on its start square
};

// Writes the board and the failing test into the log, for a post-mortem of a corrupted position.
static void DumpInconsistency(Inconsistency errorCode) {
  if (!settings.logEnabled) return;
  LogLine("         !!");
  for (int file = 1; file <= 8; ++file) {
    std::string line;
    for (int rank = 1; rank <= 8; ++rank) {
      char field[16];
      std::snprintf(field, sizeof field, "%3d", static_cast<int>(Board.squares[SquareAt(file, rank)]));
      line += field;
    }
    LogLine(line);
  }
  LogLine("t=" + std::to_string(gamePly) + " coh=" + std::to_string(Board.side) +
          " acoh=" + std::to_string(Board.xside) + " errcode=" + std::to_string(static_cast<int>(errorCode)) +
          " n=" + std::to_string(Board.ply));
  LogCheckpoint();
}

static bool IsInsideBoardRange(int square) { return square >= 11 && square <= 88; }

// Every non-zero slot 1..count lies on the board and holds that piece.
static bool ListMatches(const int32_t* list, int count, int code) {
  for (int i = 1; i <= count; ++i) {
    const int square = list[i];
    if (square == 0) continue;
    if (!IsInsideBoardRange(square) || Board.squares[square] != code) return false;
  }
  return true;
}

static int CountListed(const int32_t* list, int count) {
  int n = 0;
  for (int i = 1; i <= count; ++i) n += list[i] != 0;
  return n;
}

// Returns the first failing test, kConsistent when the Board is consistent.
static Inconsistency FirstInconsistency(bool capturableKing) {
  int piecesOnBoard = 0;
  for (int square = 0; square <= 99; ++square) {
    const int code = Board.squares[square];
    const bool bad = onBoard[square] ? (code < 0 || code > 12) : code != 0;
    if (bad) {
      std::printf("d[%d]=%d\n", square, code);
      std::fflush(stdout);
      return kBadSquareCode;
    }
    if (onBoard[square] && code != kEmpty) ++piecesOnBoard;
  }
  for (int s = 0; s < 2; ++s) {
    const int k = Board.king[s];
    if (k != 0 && (!IsInsideBoardRange(k) || Board.squares[k] != PieceCode(s, kKing))) return kKingMisplaced;
  }
  for (int s = 0; s < 2; ++s) {
    if (!ListMatches(Board.pawns[s], kMaxPawnSlots, PieceCode(s, kPawn))) return kPawnListWrong;
  }
  for (int s = 0; s < 2; ++s) {
    if (Board.knightCount[s] < 0 || Board.knightCount[s] > kMaxListSlots ||
        !ListMatches(Board.knights[s], Board.knightCount[s], PieceCode(s, kKnight)))
      return kKnightListWrong;
    if (Board.bishopCount[s] < 0 || Board.bishopCount[s] > kMaxListSlots ||
        !ListMatches(Board.bishops[s], Board.bishopCount[s], PieceCode(s, kBishop)))
      return kBishopListWrong;
    if (Board.rookCount[s] < 0 || Board.rookCount[s] > kMaxListSlots ||
        !ListMatches(Board.rooks[s], Board.rookCount[s], PieceCode(s, kRook)))
      return kRookListWrong;
    if (Board.queenCount[s] < 0 || Board.queenCount[s] > kMaxListSlots ||
        !ListMatches(Board.queens[s], Board.queenCount[s], PieceCode(s, kQueen)))
      return kQueenListWrong;
  }
  // A pawn on the first or last rank could be pushed off the board by the generator.
  for (int file = 1; file <= 8; ++file) {
    for (int rank : {1, 8}) {
      if (pieceType[Board.squares[SquareAt(file, rank)]] == kPawn) return kPawnOnBackRank;
    }
  }
  int listed = 0;
  for (int s = 0; s < 2; ++s) {
    listed += (Board.king[s] != 0) + CountListed(Board.pawns[s], kMaxPawnSlots) +
              CountListed(Board.knights[s], Board.knightCount[s]) +
              CountListed(Board.bishops[s], Board.bishopCount[s]) +
              CountListed(Board.rooks[s], Board.rookCount[s]) +
              CountListed(Board.queens[s], Board.queenCount[s]);
  }
  if (listed != piecesOnBoard) return kListedCountWrong;
  if ((Board.side != kWhite && Board.side != kBlack) || Board.side + Board.xside != 1 ||
      Board.king[kWhite] == 0 || Board.king[kBlack] == 0)
    return kSideOrKingsWrong;
  if (!capturableKing && IsAttacked(Board.king[Board.xside], Board.side)) return kKingCapturable;
  for (int i = 1; i <= kMaxPawnSlots; ++i) {
    const int square = Board.pawns[kWhite][i];
    if (square != 0 && rankOf[square] == 2 && fileOf[square] != i) return kWhiteStartPawnSlot;
  }
  for (int i = 1; i <= kMaxPawnSlots; ++i) {
    const int square = Board.pawns[kBlack][i];
    if (square != 0 && rankOf[square] == 7 && fileOf[square] != i) return kBlackStartPawnSlot;
  }
  if (!Board.queenSideLost[kWhite] && (Board.squares[kA1] != kWhiteRook || Board.rooks[kWhite][1] != kA1))
    return kWhiteQueenSideRookGone;
  if (!Board.kingSideLost[kWhite] && (Board.squares[kH1] != kWhiteRook || Board.rooks[kWhite][2] != kH1))
    return kWhiteKingSideRookGone;
  if (!Board.queenSideLost[kBlack] && (Board.squares[kA8] != kBlackRook || Board.rooks[kBlack][1] != kA8))
    return kBlackQueenSideRookGone;
  if (!Board.kingSideLost[kBlack] && (Board.squares[kH8] != kBlackRook || Board.rooks[kBlack][2] != kH8))
    return kBlackKingSideRookGone;
  if ((!Board.queenSideLost[kWhite] || !Board.kingSideLost[kWhite]) &&
      (Board.squares[kE1] != kWhiteKing || Board.king[kWhite] != kE1))
    return kCastlingKingGone;
  if ((!Board.queenSideLost[kBlack] || !Board.kingSideLost[kBlack]) &&
      (Board.squares[kE8] != kBlackKing || Board.king[kBlack] != kE8))
    return kCastlingKingGone;
  return kConsistent;
}

// The state kept beside the squares and the lists: every listed square once, the piece sets, the material,
// the key, the castling and en-passant fields, and the search's own counters.
static bool DerivedStateIsOk() {
  uint64_t sets[13] = {};
  int32_t pawnMaterial[2] = {0, 0};
  int32_t pieceMaterial[2] = {0, 0};
  for (int square = 11; square <= 88; ++square) {
    const int code = Board.squares[square];
    if (code == kEmpty || !onBoard[square]) continue;
    sets[code] |= SquareBit(square);
    (pieceType[code] == kPawn ? pawnMaterial : pieceMaterial)[isBlackPiece[code]] += pieceValue[code];
  }
  for (int code = 1; code <= 12; ++code) {
    if (Board.pieceSet[code] != sets[code]) return false;
  }
  for (int s = 0; s < 2; ++s) {
    if (Board.pawnMaterial[s] != pawnMaterial[s] || Board.pieceMaterial[s] != pieceMaterial[s]) return false;
  }
  // Each occupied square in exactly one slot (the counts alone would miss a piece listed twice).
  SquareArray<int8_t> listed{};
  bool once = true;
  auto mark = [&](const int32_t* list, int count) {
    for (int i = 1; i <= count; ++i) {
      if (list[i] != 0) once = once && listed[list[i]]++ == 0;
    }
  };
  for (int s = 0; s < 2; ++s) {
    if (Board.king[s] != 0) once = once && listed[Board.king[s]]++ == 0;
    mark(Board.pawns[s], kMaxPawnSlots);
    mark(Board.knights[s], Board.knightCount[s]);
    mark(Board.bishops[s], Board.bishopCount[s]);
    mark(Board.rooks[s], Board.rookCount[s]);
    mark(Board.queens[s], Board.queenCount[s]);
  }
  if (!once) return false;
  // A "white" or "black" switch keeps the key, so the side's part of it may be the other side's.
  const uint32_t pieceKeys = KeyFromScratch() ^ (Board.side == kBlack ? sideKey : 0);
  if (Board.key != pieceKeys && Board.key != (pieceKeys ^ sideKey)) return false;
  for (int s = 0; s < 2; ++s) {
    if ((Board.queenSideLost[s] | Board.kingSideLost[s]) & ~1) return false;
  }
  // An en-passant file always belongs to a pawn of the side that just moved, standing where it landed.
  if (Board.epFile < 0 || Board.epFile > 8) return false;
  if (Board.epFile != 0 &&
      Board.squares[SquareAt(Board.epFile, Board.xside == kWhite ? 4 : 5)] != PieceCode(Board.xside, kPawn))
    return false;
  if (Board.makeDepth < 0 || Board.makeDepth >= kMaxPly || Board.ply < 0 || Board.ply >= kMaxPly)
    return false;
  if (gamePly < 0 || gamePly > kMaxGameMoves) return false;
  return fiftyHistory[gamePly + Board.makeDepth] >= 0;
}

bool BoardIsOk() { return FirstInconsistency(true) == kConsistent && DerivedStateIsOk(); }

void CheckConsistency(bool capturableKing) {
  const Inconsistency errorCode = FirstInconsistency(capturableKing);
  if (errorCode == kConsistent) return;
  DumpInconsistency(errorCode);
  engineState.mode = EngineMode::Halted;
}

bool PlaceFenAtRoot(std::string_view fen) {
  bool illegal = false;
  ReadFen(fen, illegal);
  if (!illegal) BuildPieceLists(illegal);
  if (illegal) return false;
  CountMaterial();
  ComputeKey();
  Board.makeDepth = 0;
  Board.ply = 1;
  return true;
}

std::string WriteFen() {
  std::string fen;
  for (int rank = 8; rank >= 1; --rank) {
    int emptyRun = 0;
    for (int file = 1; file <= 8; ++file) {
      const int code = Board.squares[SquareAt(file, rank)];
      if (code == kEmpty) {
        ++emptyRun;
        continue;
      }
      if (emptyRun > 0) fen += static_cast<char>('0' + emptyRun);
      emptyRun = 0;
      fen += kPieceLetters[code];
    }
    if (emptyRun > 0) fen += static_cast<char>('0' + emptyRun);
    if (rank > 1) fen += '/';
  }
  fen += Board.side == kWhite ? " w " : " b ";
  const size_t castlingStart = fen.size();
  if (!Board.kingSideLost[kWhite]) fen += 'K';
  if (!Board.queenSideLost[kWhite]) fen += 'Q';
  if (!Board.kingSideLost[kBlack]) fen += 'k';
  if (!Board.queenSideLost[kBlack]) fen += 'q';
  if (fen.size() == castlingStart) fen += '-';
  if (Board.epFile == 0) {
    fen += " -";
  } else {
    fen += ' ';
    fen += fileLetters[Board.epFile];
    fen += Board.side == kBlack ? '3' : '6';
  }
  return fen;
}

void NewGame() {
  engineState.mode = EngineMode::NewGame;
  bool illegal = false;
  ReadFen(kStartFen, illegal);
  if (!illegal) BuildPieceLists(illegal);
  if (illegal) {
    std::fputs("start position refused\n", stderr);
    std::abort();
  }
  engineState.engineSide = kBlack;
  gameFromStartPosition = true;
  startFen.clear();
  timeControl.depthLimit[kWhite] = timeControl.depthLimit[kBlack] = kMaxDepthLimit;
  ResetGame();
}

}  // namespace kelb
