#include "board/makemove.h"

#include <cassert>
#include <cstddef>
#include <cstring>

#include "board/fen.h"

namespace kelb {

// The piece sets change by the same exclusive-or both ways, so make and unmake share these.
static inline void ToggleNormalMoveSets(const Move& move) {
  const uint64_t fromBit = SquareBit(move.from), toBit = SquareBit(move.to);
  uint64_t* sets = Board.pieceSet;
  // The arriving piece is the mover or its promotion.
  const int arriving = move.promotion != 0 ? move.promotion : move.piece;
  sets[move.piece] ^= fromBit;
  sets[arriving] ^= toBit;
  sets[move.captured] ^= toBit;  // pieceSet[kEmpty] takes the bit of a plain move and is never read
}

static inline void ToggleEnPassantSets(const Move& move) {
  const uint64_t fromBit = SquareBit(move.from), toBit = SquareBit(move.to);
  const uint64_t victimBit = SquareBit(SquareAt(move.capturedSlot, Board.side == kWhite ? 5 : 4));
  Board.pieceSet[move.piece] ^= fromBit | toBit;
  Board.pieceSet[move.captured] ^= victimBit;
}

static inline void ToggleCastlingSets(const Move& move, int rookFrom, int rookTo) {
  const uint64_t kingBits = SquareBit(move.from) | SquareBit(move.to);
  const uint64_t rookBits = SquareBit(rookFrom) | SquareBit(rookTo);
  Board.pieceSet[move.piece] ^= kingBits;
  Board.pieceSet[PieceCode(Board.side, kRook)] ^= rookBits;
}

// The slot list of each piece code but the kings': the captured piece's list and, in the unmake, the mover's
// are found by one load instead of a switch on the kind.
static int32_t* const kListOfCode[13] = {nullptr,
                                         Board.pawns[kWhite],
                                         Board.knights[kWhite],
                                         Board.bishops[kWhite],
                                         Board.rooks[kWhite],
                                         Board.queens[kWhite],
                                         nullptr,
                                         Board.pawns[kBlack],
                                         Board.knights[kBlack],
                                         Board.bishops[kBlack],
                                         Board.rooks[kBlack],
                                         Board.queens[kBlack],
                                         nullptr};

// Inlined into MakeMove / UnmakeMove, the innermost operations of the search.
static inline __attribute__((always_inline)) void ApplyMove(const Move& move, int historyIndex,
                                                            bool anyDoubleStepSetsEp) {
  auto& sq = Board.squares;
  const int side = Board.side;
  const int xside = Board.xside;
  const int from = move.from;
  const int to = move.to;
  const int piece = move.piece;

  switch (MoveKind(move)) {
    case kNormalMove: {
      ToggleNormalMoveSets(move);
      switch (pieceType[piece]) {
        case kPawn:
          fiftyHistory[historyIndex] = 0;
          if (move.promotion == 0) {
            Board.pawns[side][move.pieceSlot] = to;
            if (to - from == 2 || from - to == 2) {
              const int enemyPawn = PieceCode(xside, kPawn);
              if (anyDoubleStepSetsEp || sq[to - 10] == enemyPawn || sq[to + 10] == enemyPawn)
                Board.epFile = fileOf[to];
            }
          } else {
            Board.pawns[side][move.pieceSlot] = 0;
            const int kind = pieceType[move.promotion];
            int32_t* count = PieceCountOf(side, kind);
            assert(*count < kMaxListSlots);
            PieceList(side, kind)[++*count] = to;
          }
          break;
        case kKnight:
          Board.knights[side][move.pieceSlot] = to;
          break;
        case kBishop:
          Board.bishops[side][move.pieceSlot] = to;
          break;
        case kQueen:
          Board.queens[side][move.pieceSlot] = to;
          break;
        case kRook:
          Board.rooks[side][move.pieceSlot] = to;
          if (move.pieceSlot == 1) Board.queenSideLost[side] = 1;
          if (move.pieceSlot == 2) Board.kingSideLost[side] = 1;
          break;
        default:
          Board.king[side] = to;
          Board.queenSideLost[side] = 1;
          Board.kingSideLost[side] = 1;
          break;
      }
      const int captured = move.captured;
      if (captured != kEmpty) {
        fiftyHistory[historyIndex] = 0;
        Board.key ^= pieceKey[captured][to];
        const int kind = pieceType[captured];
        kListOfCode[captured][move.capturedSlot] = 0;
        if (kind == kPawn) {
          Board.pawnMaterial[xside] -= 100;
        } else {
          Board.pieceMaterial[xside] -= pieceValue[captured];
          // A rook taken on its corner takes its side's castling right with it.
          if (kind == kRook) {
            if (to == (xside == kWhite ? kA1 : kA8)) Board.queenSideLost[xside] = 1;
            if (to == (xside == kWhite ? kH1 : kH8)) Board.kingSideLost[xside] = 1;
          }
        }
      }
      if (move.promotion != 0) {
        sq[to] = move.promotion;
        Board.key ^= pieceKey[piece][from] ^ pieceKey[move.promotion][to];
        Board.pawnMaterial[side] -= 100;
        Board.pieceMaterial[side] += pieceValue[move.promotion];
      } else {
        sq[to] = piece;
        Board.key ^= pieceKey[piece][from] ^ pieceKey[piece][to];
      }
      sq[from] = kEmpty;
      break;
    }
    case kEnPassant: {
      ToggleEnPassantSets(move);
      fiftyHistory[historyIndex] = 0;
      const int victim = SquareAt(move.capturedSlot, side == kWhite ? 5 : 4);
      Board.key ^= pieceKey[piece][from] ^ pieceKey[piece][to] ^ pieceKey[move.captured][victim];
      sq[to] = sq[from];
      sq[from] = kEmpty;
      sq[victim] = kEmpty;
      Board.pawns[side][move.pieceSlot] = to;
      Board.pawns[xside][move.capturedSlot] = 0;
      Board.pawnMaterial[xside] -= 100;
      break;
    }
    default: {  // castling
      const bool kingSide = MoveKind(move) == kCastleKingSide;
      const int back = side == kWhite ? 1 : 8;
      const int rookFrom = SquareAt(kingSide ? 8 : 1, back);
      const int rookTo = SquareAt(kingSide ? 6 : 4, back);
      const int rook = PieceCode(side, kRook);
      ToggleCastlingSets(move, rookFrom, rookTo);
      Board.key ^=
          pieceKey[piece][from] ^ pieceKey[piece][to] ^ pieceKey[rook][rookFrom] ^ pieceKey[rook][rookTo];
      Board.king[side] = to;
      Board.rooks[side][kingSide ? 2 : 1] = rookTo;
      Board.queenSideLost[side] = 1;
      Board.kingSideLost[side] = 1;
      sq[from] = kEmpty;
      sq[to] = piece;
      sq[rookFrom] = kEmpty;
      sq[rookTo] = rook;
      break;
    }
  }
}

static inline __attribute__((always_inline)) void RetractMove(const Move& move) {
  auto& sq = Board.squares;
  const int side = Board.side;
  const int xside = Board.xside;
  const int from = move.from;
  const int to = move.to;
  const int piece = move.piece;

  switch (MoveKind(move)) {
    case kEnPassant: {
      ToggleEnPassantSets(move);
      const int victim = SquareAt(move.capturedSlot, side == kWhite ? 5 : 4);
      sq[from] = piece;
      sq[to] = kEmpty;
      sq[victim] = move.captured;
      Board.pawns[xside][move.capturedSlot] = victim;
      Board.pawns[side][move.pieceSlot] = from;
      Board.pawnMaterial[xside] += 100;
      break;
    }
    case kCastleQueenSide:
    case kCastleKingSide: {
      const bool kingSide = MoveKind(move) == kCastleKingSide;
      const int back = side == kWhite ? 1 : 8;
      const int rookFrom = SquareAt(kingSide ? 8 : 1, back);
      const int rookTo = SquareAt(kingSide ? 6 : 4, back);
      ToggleCastlingSets(move, rookFrom, rookTo);
      Board.king[side] = from;
      Board.rooks[side][kingSide ? 2 : 1] = rookFrom;
      sq[from] = piece;
      sq[rookFrom] = PieceCode(side, kRook);
      sq[to] = kEmpty;
      sq[rookTo] = kEmpty;
      break;
    }
    default: {
      ToggleNormalMoveSets(move);
      const int kind = pieceType[piece];
      if (kind == kKing)
        Board.king[side] = from;
      else
        kListOfCode[piece][move.pieceSlot] = from;
      if (move.promotion != 0) {
        Board.pieceMaterial[side] -= pieceValue[move.promotion];
        Board.pawnMaterial[side] += 100;
        const int newKind = pieceType[move.promotion];
        int32_t* count = PieceCountOf(side, newKind);
        assert(*count >= 1 && PieceList(side, newKind)[*count] == to);
        PieceList(side, newKind)[*count] = 0;
        --*count;
      }
      const int captured = move.captured;
      if (captured != kEmpty) {
        kListOfCode[captured][move.capturedSlot] = to;
        if (pieceType[captured] == kPawn)
          Board.pawnMaterial[xside] += 100;
        else
          Board.pieceMaterial[xside] += pieceValue[captured];
      }
      sq[from] = piece;
      sq[to] = captured;
      break;
    }
  }
}

void ApplyMoveToBoard(const Move& move, int historyIndex, bool anyDoubleStepSetsEp) {
  ApplyMove(move, historyIndex, anyDoubleStepSetsEp);
}

void RetractMoveFromBoard(const Move& move) { RetractMove(move); }

// The four castling flags of every value of a move's rights bits (flags >> 4), laid out as the Board keeps
// them: queenSideLost[White], queenSideLost[Black], kingSideLost[White], kingSideLost[Black]. Every unmake
// restores them, so one 16-byte copy replaces four bit extractions and stores.
struct CastlingRightsRecord {
  int32_t lost[4];
};
static_assert(offsetof(BoardRecord, kingSideLost) ==
                  offsetof(BoardRecord, queenSideLost) + 2 * sizeof(int32_t),
              "the castling flags of both sides lie together, queen side first");
// bits: 8 White queen side, 4 White king side, 2 Black queen side, 1 Black king side (Move::flags >> 4).
struct CastlingRightsTable {
  CastlingRightsRecord of[16];
};
static constexpr CastlingRightsTable MakeRightsTable() {
  CastlingRightsTable t{};
  for (int bits = 0; bits < 16; ++bits)
    t.of[bits] = CastlingRightsRecord{{(bits >> 3) & 1, (bits >> 1) & 1, (bits >> 2) & 1, bits & 1}};
  return t;
}
static constexpr CastlingRightsTable kRightsOfFlags = MakeRightsTable();

static void RestoreCastlingRights(uint8_t flags) {
  std::memcpy(Board.queenSideLost, kRightsOfFlags.of[flags >> 4].lost, sizeof(CastlingRightsRecord));
}

// The move record fits the Board it is made on: squares on the board, the mover of the side to move on its
// from-square and in its slot, the captured piece where the record says, the rights and en-passant file the
// unmake will restore equal to the present ones. For asserts only.
[[maybe_unused]] static bool MoveFitsBoard(const Move& move) {
  const int from = move.from, to = move.to, piece = move.piece, captured = move.captured;
  if (!onBoard[from] || !onBoard[to] || from == to) return false;
  if (piece < kWhitePawn || piece > kBlackKing || isBlackPiece[piece] != Board.side) return false;
  if (Board.squares[from] != piece || captured > kBlackKing || pieceType[captured] == kKing) return false;
  if (captured != kEmpty && isBlackPiece[captured] != Board.xside) return false;
  if ((move.flags & 0xf0) != CastlingFlags() || move.epBefore != Board.epFile) return false;
  if (move.pieceSlot < 1 || move.pieceSlot > kMaxListSlots || move.capturedSlot > kMaxListSlots) return false;
  const int kind = pieceType[piece];
  if (kind == kKing ? Board.king[Board.side] != from : PieceList(Board.side, kind)[move.pieceSlot] != from)
    return false;
  switch (MoveKind(move)) {
    case kNormalMove:
      if (Board.squares[to] != captured) return false;
      if (captured != kEmpty && PieceList(Board.xside, pieceType[captured])[move.capturedSlot] != to)
        return false;
      if (move.promotion != 0) {
        const int newKind = pieceType[move.promotion];
        if (kind != kPawn || isBlackPiece[move.promotion] != Board.side || newKind == kPawn ||
            newKind == kKing || *PieceCountOf(Board.side, newKind) >= kMaxListSlots)
          return false;
      }
      return true;
    case kEnPassant:
      return kind == kPawn && Board.squares[to] == kEmpty && captured == PieceCode(Board.xside, kPawn) &&
             move.capturedSlot == fileOf[to] && move.capturedSlot == Board.epFile &&
             Board.pawns[Board.xside][move.capturedSlot] == SquareAt(fileOf[to], rankOf[from]);
    default:
      return kind == kKing && captured == kEmpty && move.promotion == 0;
  }
}

void MakeMove(Move& move) {
  assert(Board.makeDepth + 1 < kMaxPly);
  assert(Board.ply >= 0 && Board.ply < kMaxPly);
  assert(MoveFitsBoard(move));
  Board.epFile = 0;
  const int n = gamePly + ++Board.makeDepth;
  keyHistory[n] = Board.key;
  fiftyHistory[n] = fiftyHistory[n - 1] + 1;
  ApplyMove(move, n, false);
  Board.key ^= sideKey;
  Board.side = Board.xside;
  Board.xside = 1 - Board.side;
  currentMove[Board.ply] = &move;
  assert(BoardIsOk());
}

void UnmakeMove(const Move& move) {
  assert(Board.makeDepth > 0);
  assert(Board.squares[move.to] ==
         (MoveKind(move) == kNormalMove && move.promotion != 0 ? move.promotion : move.piece));
  Board.side = Board.xside;
  Board.xside = 1 - Board.side;
  RetractMove(move);
  RestoreCastlingRights(move.flags);
  Board.epFile = move.epBefore;
  Board.key = keyHistory[gamePly + Board.makeDepth];
  --Board.makeDepth;
  assert(BoardIsOk());
}

void MakeNullMove() {
  const int level = Board.makeDepth;
  const int start = level == 0 ? 0 : moveStart[level - 1] + moveCount[level - 1];
  moveStart[level] = start;
  Move& null = moveBuffer[start + 1];
  null = Move{};
  null.flags = CastlingFlags();
  null.epBefore = static_cast<uint8_t>(Board.epFile);
  null.pieceSlot = 1;
  moveCount[level] = 1;
  currentMove[Board.ply] = &null;

  assert(Board.makeDepth + 1 < kMaxPly);
  Board.epFile = 0;
  const int n = gamePly + ++Board.makeDepth;
  keyHistory[n] = Board.key;
  fiftyHistory[n] = fiftyHistory[n - 1] + 1;
  Board.key ^= sideKey;
  Board.side = Board.xside;
  Board.xside = 1 - Board.side;
  assert(BoardIsOk());
}

void UnmakeNullMove() {
  assert(Board.makeDepth > 0 && currentMove[Board.ply] != nullptr);
  Board.side = Board.xside;
  Board.xside = 1 - Board.side;
  const Move& null = *currentMove[Board.ply];
  RestoreCastlingRights(null.flags);
  Board.epFile = null.epBefore;
  Board.key = keyHistory[gamePly + Board.makeDepth];
  --Board.makeDepth;
  assert(BoardIsOk());
}

}  // namespace kelb
