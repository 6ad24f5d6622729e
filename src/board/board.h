// The one position of the engine on a 10-wide mailbox, the move record, the shared move buffer, the per-ply
// arrays of the search, the game history and the position keys.
//
// Square numbers are 10 * file + rank (a1 = 11, h8 = 88); one step up the board is +1, one file right +10.
// Arrays indexed by square cover -10..109 so that a knight jump from any real square stays inside them.
#pragma once
#include <cstdint>

namespace kelb {

// ---------------------------------------------------------------------------------------------------------
// Geometry and piece codes

constexpr int kFirstSquareIndex = -10;
constexpr int kLastSquareIndex = 109;
constexpr int kSquareArraySize = kLastSquareIndex - kFirstSquareIndex + 1;  // 120

// An array indexed by square number -10..109.
template <typename T>
struct SquareArray {
  T cells[kSquareArraySize];
  constexpr T& operator[](int square) { return cells[square - kFirstSquareIndex]; }
  constexpr const T& operator[](int square) const { return cells[square - kFirstSquareIndex]; }
};

constexpr int kWhite = 0;
constexpr int kBlack = 1;

// Colourless piece kinds; a piece code is 6 * side + kind, 0 is an empty square.
constexpr int kPawn = 1;
constexpr int kKnight = 2;
constexpr int kBishop = 3;
constexpr int kRook = 4;
constexpr int kQueen = 5;
constexpr int kKing = 6;

constexpr int kEmpty = 0;
constexpr int kWhitePawn = 1;
constexpr int kWhiteKnight = 2;
constexpr int kWhiteBishop = 3;
constexpr int kWhiteRook = 4;
constexpr int kWhiteQueen = 5;
constexpr int kWhiteKing = 6;
constexpr int kBlackPawn = 7;
constexpr int kBlackKnight = 8;
constexpr int kBlackBishop = 9;
constexpr int kBlackRook = 10;
constexpr int kBlackQueen = 11;
constexpr int kBlackKing = 12;

constexpr int PieceCode(int side, int kind) { return 6 * side + kind; }
constexpr int SquareAt(int file, int rank) { return 10 * file + rank; }

// Named squares used by castling and set-up.
constexpr int kA1 = 11, kB1 = 21, kC1 = 31, kD1 = 41, kE1 = 51, kF1 = 61, kG1 = 71, kH1 = 81;
constexpr int kA8 = 18, kB8 = 28, kC8 = 38, kD8 = 48, kE8 = 58, kF8 = 68, kG8 = 78, kH8 = 88;

namespace detail {
constexpr bool IsRealSquare(int s) { return s >= 11 && s <= 88 && s % 10 != 0 && s % 10 != 9; }
constexpr SquareArray<int8_t> MakeOnBoard() {
  SquareArray<int8_t> t{};
  for (int s = kFirstSquareIndex; s <= kLastSquareIndex; ++s) t[s] = IsRealSquare(s) ? 1 : 0;
  return t;
}
struct SquareCoordinates {
  int32_t value[110];
};
constexpr SquareCoordinates MakeRankOf() {
  SquareCoordinates t{};
  for (int s = 0; s < 110; ++s) t.value[s] = IsRealSquare(s) ? s % 10 : 0;
  return t;
}
constexpr SquareCoordinates MakeFileOf() {
  SquareCoordinates t{};
  for (int s = 0; s < 110; ++s) t.value[s] = IsRealSquare(s) ? s / 10 : 0;
  return t;
}
constexpr SquareCoordinates kRankOfTable = MakeRankOf();
constexpr SquareCoordinates kFileOfTable = MakeFileOf();
}  // namespace detail

// onBoard[square], square -10..109: 1 for the 64 real squares.
inline constexpr SquareArray<int8_t> onBoard = detail::MakeOnBoard();
// rankOf / fileOf [square 0..109]: rank or file 1..8 of a real square, 0 elsewhere.
inline constexpr const int32_t (&rankOf)[110] = detail::kRankOfTable.value;
inline constexpr const int32_t (&fileOf)[110] = detail::kFileOfTable.value;

// Indexed by piece code 0..12: empty, white P N B R Q K, black p n b r q k.
inline constexpr int32_t pieceType[13] = {0, 1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6};
inline constexpr int8_t isWhitePiece[13] = {0, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0};
inline constexpr int8_t isBlackPiece[13] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1};
inline constexpr int32_t pieceValue[13] = {0, 100, 300, 300, 500, 900, 0, 100, 300, 300, 500, 900, 0};

inline constexpr int32_t knightSteps[8] = {-21, -19, -12, -8, 8, 12, 19, 21};
// The first four are the diagonal steps, the last four the straight ones.
inline constexpr int32_t kingSteps[8] = {-11, -9, 9, 11, -10, -1, 1, 10};
inline constexpr const int32_t* diagonalSteps = kingSteps;
inline constexpr const int32_t* straightSteps = kingSteps + 4;
// A black pawn attacking square s stands on s - 9 or s + 11 (also a white pawn's capture steps).
inline constexpr int32_t blackPawnAttackers[2] = {-9, 11};
// A white pawn attacking square s stands on s - 11 or s + 9 (also a black pawn's capture steps).
inline constexpr int32_t whitePawnAttackers[2] = {-11, 9};
// fileLetters[file], file 1..8.
inline constexpr char fileLetters[10] = " abcdefgh";

// ---------------------------------------------------------------------------------------------------------
// The position

// A set-up position holds at most 8 pawns, 10 knights, bishops or rooks and 9 queens per side. Promotions
// append to a list behind every slot used so far, so a list can grow by up to 8 more slots.
constexpr int kMaxPawnSlots = 8;
constexpr int kMaxPieceSlots = 10;                             // knights, bishops, rooks at set-up
constexpr int kMaxQueenSlots = 9;                              // queens at set-up
constexpr int kMaxListSlots = kMaxPieceSlots + kMaxPawnSlots;  // slots a list can ever reach

struct BoardRecord {
  SquareArray<int32_t> squares;           // piece code per square, 0 on every off-board number
  int32_t queenSideLost[2];               // 1 = castling with the a-file rook no longer allowed
  int32_t kingSideLost[2];                // 1 = castling with the h-file rook no longer allowed
  int32_t epFile;                         // 0, or the file of a pawn that has just advanced two squares
  int32_t ply;                            // search ply of the current node; 1 at the root and at game level
  int32_t side;                           // side to move
  int32_t xside;                          // 1 - side
  int32_t king[2];                        // king squares (0 only while setting up)
  int32_t pawns[2][kMaxPawnSlots + 1];    // slots 1..8, 0 = empty slot
  int32_t knights[2][kMaxListSlots + 1];  // slots 1..count
  int32_t bishops[2][kMaxListSlots + 1];
  int32_t rooks[2]
               [kMaxListSlots + 1];  // slot 1 queen-side rook, slot 2 king-side rook while castling is kept
  int32_t queens[2][kMaxListSlots + 1];
  int32_t knightCount[2];  // highest slot in use, not the number of pieces
  int32_t bishopCount[2];
  int32_t rookCount[2];
  int32_t queenCount[2];
  int32_t pawnMaterial[2];   // 100 per pawn
  int32_t pieceMaterial[2];  // knights, bishops, rooks and queens by pieceValue
  uint32_t key;              // 32-bit position key, top bit always clear
  int32_t makeDepth;         // moves made by MakeMove and not yet unmade
  // The same placement as sets: bit 8 * (file - 1) + rank - 1 of pieceSet[code] for every square holding
  // that piece code. Kept by make and unmake beside the squares.
  uint64_t pieceSet[13];  // [0] is scratch for make and unmake, never read
};

extern BoardRecord Board;

// The bit of a square in the sets: bit 8 * (file - 1) + rank - 1 (a1 = 0, a2 = 1, b1 = 8, h8 = 63), none
// for a border number.
namespace detail {
struct SquareBitTable {
  uint64_t bit[kSquareArraySize];
};
constexpr SquareBitTable MakeSquareBits() {
  SquareBitTable t{};
  for (int s = kFirstSquareIndex; s <= kLastSquareIndex; ++s)
    if (IsRealSquare(s)) t.bit[s - kFirstSquareIndex] = uint64_t{1} << (8 * (s / 10 - 1) + s % 10 - 1);
  return t;
}
inline constexpr SquareBitTable kSquareBitTable = MakeSquareBits();
}  // namespace detail
inline constexpr uint64_t SquareBit(int square) {
  return detail::kSquareBitTable.bit[square - kFirstSquareIndex];
}
// The mailbox square of bit index i (0..63).
inline constexpr int SquareOfBit(int i) { return 10 * (i / 8 + 1) + i % 8 + 1; }

// Number of squares in a set; the sets the evaluation counts hold a few squares at most.
inline int CountSquares(uint64_t set) {
#if defined(__POPCNT__)
  return __builtin_popcountll(set);
#else
  int n = 0;
  for (; set != 0; set &= set - 1) ++n;
  return n;
#endif
}

// Sets pieceSet from the squares.
void RebuildPieceSets();

// Every occupied square; put together when asked, which is far rarer than a move made or unmade.
inline uint64_t OccupiedSquares() {
  const uint64_t* sets = Board.pieceSet;
  return (sets[1] | sets[2] | sets[3] | sets[4] | sets[5] | sets[6]) |
         (sets[7] | sets[8] | sets[9] | sets[10] | sets[11] | sets[12]);
}

// The slot list and its count for a piece kind of a side (pawns have the fixed count 8).
inline int32_t* PieceList(int side, int kind) {
  switch (kind) {
    case kPawn:
      return Board.pawns[side];
    case kKnight:
      return Board.knights[side];
    case kBishop:
      return Board.bishops[side];
    case kRook:
      return Board.rooks[side];
    default:
      return Board.queens[side];
  }
}
inline int32_t* PieceCountOf(int side, int kind) {
  switch (kind) {
    case kKnight:
      return &Board.knightCount[side];
    case kBishop:
      return &Board.bishopCount[side];
    case kRook:
      return &Board.rookCount[side];
    default:
      return &Board.queenCount[side];
  }
}

// ---------------------------------------------------------------------------------------------------------
// Moves

// Move kinds in the low two bits of Move::flags.
constexpr uint8_t kNormalMove = 0;
constexpr uint8_t kEnPassant = 1;
constexpr uint8_t kCastleQueenSide = 2;
constexpr uint8_t kCastleKingSide = 3;
constexpr uint8_t kMoveKindMask = 3;
// Set by the search once it has made the move and found it legal or illegal.
constexpr uint8_t kFlagSearchedLegal = 4;
constexpr uint8_t kFlagSearchedIllegal = 8;
// The castling rights before the move.
constexpr uint8_t kFlagBlackKingSideLost = 16;
constexpr uint8_t kFlagBlackQueenSideLost = 32;
constexpr uint8_t kFlagWhiteKingSideLost = 64;
constexpr uint8_t kFlagWhiteQueenSideLost = 128;

struct Move {
  uint8_t from;          // 0 = no move
  uint8_t to;            // for castling the king's destination
  uint8_t promotion;     // code of the new piece, 0 if none
  uint8_t piece;         // code of the moving piece
  uint8_t captured;      // code of the captured piece (en passant: the pawn beside)
  uint8_t flags;         // kind in bits 0..1, search marks in bits 2..3, castling rights before in 4..7
  uint8_t epBefore;      // epFile before the move
  uint8_t pieceSlot;     // slot of the mover in its list (1 for the king)
  uint8_t capturedSlot;  // slot of the captured piece (en passant: its file)
  uint8_t replyFrom;     // best reply found below this move, handed on as the next ply's hash move
  uint8_t replyTo;
  uint8_t unused;
  int32_t score;  // ordering score
};
static_assert(sizeof(Move) == 16, "Move must stay a 16-byte record");

inline uint8_t MoveKind(const Move& m) { return m.flags & kMoveKindMask; }

// The castling rights of the Board packed as in Move::flags.
inline uint8_t CastlingFlags() {
  return static_cast<uint8_t>((Board.queenSideLost[kWhite] << 7) | (Board.kingSideLost[kWhite] << 6) |
                              (Board.queenSideLost[kBlack] << 5) | (Board.kingSideLost[kBlack] << 4));
}

// ---------------------------------------------------------------------------------------------------------
// Move buffer and per-ply arrays

// Search lines never go this deep: per-ply arrays are indexed by ply 0..kMaxPly-1 (the search uses 1..41),
// move-list levels by makeDepth 0..kMaxPly-1.
constexpr int kMaxPly = 64;

// Moves of all levels of the current line, numbered from 1. Level L owns records
// moveStart[L] + 1 .. moveStart[L] + moveCount[L]. Real search lines stay far inside it; should a freak
// line fill it, the generator drops the moves that do not fit instead of writing past the end.
constexpr int kMoveBufferSize = 3000;
// Behind the last record, room for every candidate of one generation (at most 63 pieces of a side with 27
// moves or fewer each): the generator writes each candidate without testing for room and drops those beyond
// the buffer afterwards. Never part of any level's list.
constexpr int kMoveBufferSlack = 64 * 27;
extern Move moveBuffer[kMoveBufferSize + 1 + kMoveBufferSlack];
extern int32_t moveStart[kMaxPly];
extern int32_t moveCount[kMaxPly];
// Number of generated moves dropped because the buffer was full (stays 0 in every sane search).
extern int32_t moveBufferOverflows;

extern int32_t attackerSquare[kMaxPly];   // where the attack found by IsAttacked comes from
extern int32_t attackDirection[kMaxPly];  // slider step from the attacked square towards it, else 0
extern uint8_t inCheck[kMaxPly];          // the side to move at that ply is in check
extern uint8_t checksOnly[kMaxPly];       // keep only captures, queen promotions and checks
extern Move* currentMove[kMaxPly];        // the move being searched at that ply (set by MakeMove)
extern int32_t futilityThreshold;         // 0 = futility filter off

constexpr int kMaxLegalMoves = 700;
extern Move legalMoves[kMaxLegalMoves + 1];  // 1-based, legal moves of the game position
extern int32_t legalMoveCount;

// ---------------------------------------------------------------------------------------------------------
// Game history

constexpr int kMaxGameMoves = 1000;
constexpr int kHistorySize = kMaxGameMoves + kMaxPly + 8;  // indexed by gamePly + makeDepth

extern int32_t gamePly;
extern Move gameMoves[kMaxGameMoves + 1];   // gameMoves[n] is the n-th move of the game
extern uint32_t keyHistory[kHistorySize];   // key of the position before the n-th move
extern int32_t fiftyHistory[kHistorySize];  // reversible half-moves after the n-th move
extern int32_t result;                      // game result code 0..7

// Result codes.
constexpr int kResultNone = 0;
constexpr int kResultWhiteMates = 1;
constexpr int kResultBlackMates = 2;
constexpr int kResultStalemate = 3;
constexpr int kResultFiftyMoves = 4;
constexpr int kResultRepetition = 5;
constexpr int kResultMaterial = 6;
constexpr int kResultTooManyMoves = 7;

// ---------------------------------------------------------------------------------------------------------
// Position keys

// pieceKey[code 1..12][square 11..88]; entries of border numbers exist but are never used. The row of
// kEmpty stays all zeros, so a key step for a capture of nothing changes nothing. Rows of 128 so
// that a code's row is found by a shift: make, unmake and the prefetch keys look up two or three a move.
constexpr int kPieceKeyRow = 128;
extern uint32_t pieceKey[13][kPieceKeyRow];
extern uint32_t sideKey;

// Makes the key tables from the program's generator started at seed 0 (same keys in every run), then
// reseeds the generator from the clock.
void InitKeys();
// Sets Board.key from scratch.
void ComputeKey();
// Recounts pawnMaterial and pieceMaterial from the squares, and rebuilds the piece sets.
void CountMaterial();
// Key of the current squares and side, from scratch, without touching Board.key.
uint32_t KeyFromScratch();

}  // namespace kelb
