#include "board/movegen.h"

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "board/attack.h"
#include "search/ordering.h"

namespace kelb {

SquareArray<uint8_t> evasionMask{};
SquareArray<uint8_t> checkMask{};

// Indexed by the code on a destination square, for white / black movers: 1 own piece (blocked),
// -2 enemy piece (capture, a slider stops), entry 0 set per generation: -1 quiet move, 0 nothing.
static int8_t whiteTargets[13] = {-1, 1, 1, 1, 1, 1, 1, -2, -2, -2, -2, -2, -2};
static int8_t blackTargets[13] = {-1, -2, -2, -2, -2, -2, -2, 1, 1, 1, 1, 1, 1};

// pieceValueTenth[code 0..12]: the mover's share in the capture score.
static constexpr int32_t pieceValueTenth[13] = {0, 10, 30, 30, 50, 90, 0, 10, 30, 30, 50, 90, 0};

// Ordering scores, highest searched first. The hash move replaces every other score: it was best here
// before. Captures count the victim's value less a tenth of the mover's (the cheapest capturer of equal
// victims first) and gain a bonus when the victim is worth more than the mover, since such a capture wins
// material even if the mover is lost. A move to a square an enemy pawn guards expects to lose the mover.
// The queen promotion comes ahead of most captures; a recapture on the square the opponent just moved to
// is searched early, as are the killers (quiet refutations of sibling lines, the latest first).
static constexpr int32_t kHashMoveScore = 2000;
static constexpr int32_t kCaptureUpBonus = 200;    // victim worth more than the mover
static constexpr int32_t kPawnGuardedOffset = 85;  // to a pawn-guarded square: victim - mover + this
static constexpr int32_t kQueenPromotionBonus = 710;
static constexpr int32_t kEnPassantScore = 90;  // as a pawn taking a pawn: 100 less a tenth of 100
static constexpr int32_t kCastlingScore = 1;    // just ahead of a quiet move without history
static constexpr int32_t kRecaptureBonus = 242;
static constexpr int32_t kKiller1Bonus = 220;  // the latest cut-off at this ply
static constexpr int32_t kKiller2Bonus = 200;  // the cut-off before it
static constexpr int32_t kKiller3Bonus = 2;    // a move that raised alpha without a cut-off

// Bits of checkMask: bit 1 << kind is set where a piece of that kind would give direct check. Along the
// diagonals of the enemy king a bishop or a queen checks, along its lines a rook or a queen.
static constexpr uint8_t KindBit(int kind) { return static_cast<uint8_t>(1 << kind); }
static constexpr uint8_t kDiagonalCheckers = KindBit(kBishop) | KindBit(kQueen);
static constexpr uint8_t kStraightCheckers = KindBit(kRook) | KindBit(kQueen);
static constexpr uint8_t kKnightChecker = KindBit(kKnight);
static constexpr uint8_t kPawnChecker = KindBit(kPawn);

// checkProximity[kind][file distance][rank distance]: 1 where a quiet move of that kind to that distance from
// the enemy king passes the futility filter (the lines it attacks along; knights also the long diagonal).
struct ProximityTable {
  uint8_t cell[7][8][8];
};
static constexpr ProximityTable MakeCheckProximity() {
  ProximityTable t{};
  t.cell[kPawn][1][1] = 1;
  t.cell[kKnight][1][2] = t.cell[kKnight][2][1] = 1;
  t.cell[kKnight][5][5] = t.cell[kKnight][6][6] = t.cell[kKnight][7][7] = 1;
  for (int d = 1; d <= 7; ++d) {
    t.cell[kBishop][d][d] = 1;
    t.cell[kRook][0][d] = t.cell[kRook][d][0] = 1;
    t.cell[kQueen][0][d] = t.cell[kQueen][d][0] = t.cell[kQueen][d][d] = 1;
  }
  return t;
}
static constexpr ProximityTable checkProximity = MakeCheckProximity();

namespace {

// What every stored candidate of one generation needs to know, gathered once.
struct GenContext {
  Move* out;     // record before the first of this level
  Move* last;    // the last record written so far (out while none)
  int capacity;  // moves that still fit into the buffer
  int ply;
  bool inCheck;
  bool checksOnly;
  int32_t futility;
  int ownKing;
  int enemyKing;
  int recaptureSquare;  // destination of the previous ply's move, 0 if none (also a bit of specialTo)
  // Hash move and killers as from | to << 8 (0 = none: no real move has from 0).
  uint32_t hashPair, killerPair1, killerPair2, killerPair3;
  int shift;
  // flags (castling rights) and epBefore in place in the first word of a Move
  uint64_t recordBits;
  uint64_t pawnGuarded;  // squares an enemy pawn attacks
  // Destinations of the hash move, the killers and the recapture square: only moves there get a bonus.
  uint64_t specialTo;
  uint64_t evasionSet;  // the squares of evasionMask as a set (in check only)
};

// Moves stored so far: every candidate is written, those beyond the capacity into the buffer's slack, and
// GenerateMoves drops them at the end.
inline int StoredCount(const GenContext& g) {
  const int written = static_cast<int>(g.last - g.out);
  return written < g.capacity ? written : g.capacity;
}

inline uint32_t PackSquares(int from, int to) { return static_cast<uint32_t>(from | to << 8); }

// AddMove writes a Move as two 64-bit words, each field at its byte offset within its word (the first word
// holds bytes 0..7, the second 8..15), so the shifts below follow the record's layout; the asserts pin the
// layout those two stores and PackSquares (from in byte 0, to in byte 1) were written for.
static_assert(std::endian::native == std::endian::little, "the record is packed byte by byte, low first");
static_assert(offsetof(Move, from) == 0 && offsetof(Move, to) == 1, "PackSquares gives the first two bytes");
static_assert(offsetof(Move, promotion) == 2 && offsetof(Move, piece) == 3 && offsetof(Move, captured) == 4 &&
                  offsetof(Move, flags) == 5 && offsetof(Move, epBefore) == 6 &&
                  offsetof(Move, pieceSlot) == 7,
              "the first word holds the move and the state it undoes");
static_assert(offsetof(Move, capturedSlot) == 8 && offsetof(Move, replyFrom) == 9 &&
                  offsetof(Move, replyTo) == 10 && offsetof(Move, unused) == 11 &&
                  offsetof(Move, score) == 12,
              "the second word holds the captured slot, no reply yet, and the score in its upper half");
static_assert(sizeof(Move::score) == 4 && sizeof(Move) == 16, "two words, the score a 32-bit value");
// The shift of a field at byte `offset` within its word.
constexpr int RecordShift(std::size_t offset) { return static_cast<int>(8 * (offset % 8)); }

// The parts of a record that stay the same for every move of one piece: the castling rights and en-passant
// file before the move, the mover and its slot.
inline uint64_t PieceBits(const GenContext& g, int piece, int pieceSlot) {
  return g.recordBits | static_cast<uint64_t>(piece) << RecordShift(offsetof(Move, piece)) |
         static_cast<uint64_t>(pieceSlot) << RecordShift(offsetof(Move, pieceSlot));
}

// The slot of the enemy piece of the given code on square.
inline int CapturedSlot(int code, int square) {
  const int side = isBlackPiece[code];
  const int kind = pieceType[code];
  const int32_t* list = PieceList(side, kind);
  const int n = kind == kPawn ? kMaxPawnSlots : *PieceCountOf(side, kind);
  for (int i = 1; i <= n; ++i) {
    if (list[i] == square) return i;
  }
  return 0;
}

// Stores the move of `piece` from -> to (onTo = what stands on `to`) unless a filter of this generation
// drops it, with its ordering score. Kind is the move kind, a template argument so that each caller keeps
// only its own branches. pieceBits are the PieceBits of the mover.
template <int Side, int Kind, bool Filters>
inline __attribute__((always_inline)) void AddMove(GenContext& g, int from, int to, int piece, int onTo,
                                                   int promotion, uint64_t pieceBits) {
  auto& sq = Board.squares;
  const int moverKind = pieceType[piece];
  assert(onBoard[from] && onBoard[to] && from != to);
  assert(sq[from] == piece && piece != kEmpty && isBlackPiece[piece] == Side);
  assert(onTo == sq[to] || Kind != kNormalMove);

  const bool queenPromotion = promotion != 0 && pieceType[promotion] == kQueen;
  if (Filters) {
    if (g.inCheck) {
      if (moverKind != kKing && Kind != kEnPassant && !evasionMask[to]) return;
      if (StoredCount(g) < 2 && Kind == kNormalMove && promotion == 0) {
        sq[to] = piece;
        sq[from] = kEmpty;
        const bool attacked = IsAttacked(moverKind == kKing ? to : g.ownKing, 1 - Side);
        sq[from] = piece;
        sq[to] = onTo;
        if (attacked) return;
      }
    }
    if (g.checksOnly && onTo == kEmpty && !queenPromotion) {
      if (!(checkMask[to] & (1 << moverKind))) return;
    }
    if (Kind == kNormalMove && promotion == 0 && pieceValue[onTo] < g.futility) {
      const int fd = std::abs(fileOf[to] - fileOf[g.enemyKing]);
      const int rd = std::abs(rankOf[to] - rankOf[g.enemyKing]);
      if (!checkProximity.cell[moverKind][fd][rd]) return;
    }
  }
  int captured, capturedSlot;
  int32_t score;
  if (Kind == kNormalMove) {
    captured = onTo;
    capturedSlot = 0;
    score = 0;
    if (onTo != kEmpty) {
      capturedSlot = CapturedSlot(onTo, to);
      score = pieceValue[onTo] - pieceValueTenth[piece];
      if (pieceValue[onTo] > pieceValue[piece]) score += kCaptureUpBonus;
    }
    // A destination guarded by an enemy pawn: expect to lose the mover.
    if (g.pawnGuarded & SquareBit(to)) score = pieceValue[onTo] - pieceValue[piece] + kPawnGuardedOffset;
    if (queenPromotion) score += kQueenPromotionBonus;
  } else if (Kind == kEnPassant) {
    captured = sq[SquareAt(fileOf[to], rankOf[from])];
    capturedSlot = fileOf[to];
    score = kEnPassantScore;
  } else {
    captured = 0;
    capturedSlot = 0;
    score = kCastlingScore;
  }

  score += history[piece][to] >> g.shift;
  const uint32_t pair = PackSquares(from, to);
  if (g.specialTo & SquareBit(to)) {
    if (to == g.recaptureSquare) score += kRecaptureBonus;
    if (pair == g.hashPair)
      score = kHashMoveScore;
    else if (pair == g.killerPair1)
      score += kKiller1Bonus;
    else if (pair == g.killerPair2)
      score += kKiller2Bonus;
    else if (pair == g.killerPair3)
      score += kKiller3Bonus;
  }

  // The record in two stores: from, to, promotion, piece, captured, flags, epBefore, pieceSlot; then
  // capturedSlot, no reply yet, the unused byte and the score (the layout checked at RecordShift).
  const uint64_t first = static_cast<uint64_t>(pair) |
                         static_cast<uint64_t>(promotion) << RecordShift(offsetof(Move, promotion)) |
                         static_cast<uint64_t>(captured) << RecordShift(offsetof(Move, captured)) |
                         pieceBits | static_cast<uint64_t>(Kind) << RecordShift(offsetof(Move, flags));
  const uint64_t second = static_cast<uint64_t>(capturedSlot) << RecordShift(offsetof(Move, capturedSlot)) |
                          static_cast<uint64_t>(static_cast<uint32_t>(score))
                              << RecordShift(offsetof(Move, score));
  Move& m = *++g.last;
  std::memcpy(reinterpret_cast<char*>(&m), &first, 8);
  std::memcpy(reinterpret_cast<char*>(&m) + 8, &second, 8);
}

// The destinations of the knight's and of the king's steps from every real square that stay on the board,
// in the order of knightSteps / kingSteps, a 0 after the last: the step generator walks only real squares.
struct StepDestinations {
  int8_t to[89][9];
};
static constexpr StepDestinations MakeStepDestinations(const int32_t* steps) {
  StepDestinations t{};
  for (int from = 11; from <= 88; ++from) {
    if (!onBoard[from]) continue;
    int n = 0;
    for (int i = 0; i < 8; ++i)
      if (onBoard[from + steps[i]]) t.to[from][n++] = static_cast<int8_t>(from + steps[i]);
  }
  return t;
}
static constexpr StepDestinations knightDestinations = MakeStepDestinations(knightSteps);
static constexpr StepDestinations kingDestinations = MakeStepDestinations(kingSteps);

// Moves of a non-sliding piece to its destinations (a row of knightDestinations or kingDestinations).
template <int Side, bool Filters>
inline void GenerateSteps(GenContext& g, const int8_t* targets, int from, const int8_t* destinations,
                          int pieceSlot) {
  const auto& sq = Board.squares;
  const int piece = sq[from];
  const uint64_t pieceBits = PieceBits(g, piece, pieceSlot);
  for (const int8_t* d = destinations; *d != 0; ++d) {
    const int to = *d;
    const int onTo = sq[to];
    const int t = targets[onTo];
    if (t == -1)
      AddMove<Side, kNormalMove, Filters>(g, from, to, piece, kEmpty, 0, pieceBits);
    else if (t == -2)
      AddMove<Side, kNormalMove, Filters>(g, from, to, piece, onTo, 0, pieceBits);
  }
}

// Moves of a sliding piece along steps[0..nSteps), for the full generation (every empty square a quiet
// move): the empty squares up to the first piece, then that piece if it is an enemy. The border numbers read
// as empty and stop the walk by onBoard.
template <int Side, bool Filters>
inline void GenerateSlides(GenContext& g, const int8_t* targets, int from, const int32_t* steps, int nSteps,
                           int pieceSlot) {
  const auto& sq = Board.squares;
  const int piece = sq[from];
  const uint64_t pieceBits = PieceBits(g, piece, pieceSlot);
  for (int i = 0; i < nSteps; ++i) {
    const int d = steps[i];
    int to = from + d;
    int onTo;
    for (; (onTo = sq[to]) == kEmpty && onBoard[to]; to += d)
      AddMove<Side, kNormalMove, Filters>(g, from, to, piece, kEmpty, 0, pieceBits);
    if (onTo != kEmpty && targets[onTo] == -2)
      AddMove<Side, kNormalMove, Filters>(g, from, to, piece, onTo, 0, pieceBits);
  }
}

// Captures of a sliding piece along kingSteps[firstDir .. firstDir + nSteps): only the first piece on each
// line matters, so the walk passes the empty squares without consulting the target table (the border numbers
// read as empty and stop it by onBoard). A line with no enemy piece anywhere on it is not walked at all.
template <int Side, bool Filters>
inline void GenerateSlideCaptures(GenContext& g, const int8_t* targets, int from, int firstDir, int nSteps,
                                  int pieceSlot, uint64_t enemies) {
  const auto& sq = Board.squares;
  const int piece = sq[from];
  const uint64_t pieceBits = PieceBits(g, piece, pieceSlot);
  for (int i = firstDir; i < firstDir + nSteps; ++i) {
    if (!(kAttackSets.ray[i][from] & enemies)) continue;
    const int d = kingSteps[i];
    int to = from + d;
    int onTo;
    while ((onTo = sq[to]) == kEmpty && onBoard[to]) to += d;
    if (onTo != kEmpty && targets[onTo] == -2)
      AddMove<Side, kNormalMove, Filters>(g, from, to, piece, onTo, 0, pieceBits);
  }
}

template <int Side, bool Filters>
inline void AddPromotions(GenContext& g, int from, int to, int onTo, bool capturesOnly, uint64_t pieceBits) {
  constexpr int pawn = PieceCode(Side, kPawn);
  AddMove<Side, kNormalMove, Filters>(g, from, to, pawn, onTo, PieceCode(Side, kQueen), pieceBits);
  if (capturesOnly) return;
  AddMove<Side, kNormalMove, Filters>(g, from, to, pawn, onTo, PieceCode(Side, kRook), pieceBits);
  AddMove<Side, kNormalMove, Filters>(g, from, to, pawn, onTo, PieceCode(Side, kBishop), pieceBits);
  AddMove<Side, kNormalMove, Filters>(g, from, to, pawn, onTo, PieceCode(Side, kKnight), pieceBits);
}

template <int Side, bool Filters>
void Generate(GenContext& g, bool capturesOnly) {
  const auto& sq = Board.squares;
  const int8_t* targets = Side == kWhite ? whiteTargets : blackTargets;
  constexpr int xside = 1 - Side;

  // Every enemy piece: a capture generation skips the pieces and lines that cannot reach one (the lists and
  // their order are those of the full walk).
  const uint64_t* sets = Board.pieceSet;
  constexpr int firstEnemy = PieceCode(xside, kPawn);
  const uint64_t enemies = (sets[firstEnemy] | sets[firstEnemy + 1] | sets[firstEnemy + 2]) |
                           (sets[firstEnemy + 3] | sets[firstEnemy + 4] | sets[firstEnemy + 5]);

  if (!capturesOnly || (kAttackSets.king[Board.king[Side]] & enemies))
    GenerateSteps<Side, Filters>(g, targets, Board.king[Side], kingDestinations.to[Board.king[Side]], 1);

  if (!capturesOnly && !g.inCheck) {
    constexpr int back = Side == kWhite ? 1 : 8;  // back rank
    if (!Board.queenSideLost[Side] && sq[SquareAt(2, back)] == kEmpty && sq[SquareAt(3, back)] == kEmpty &&
        sq[SquareAt(4, back)] == kEmpty && !IsAttacked(SquareAt(4, back), xside) &&
        !IsAttacked(SquareAt(3, back), xside))
      AddMove<Side, kCastleQueenSide, Filters>(g, SquareAt(5, back), SquareAt(3, back), sq[SquareAt(5, back)],
                                               kEmpty, 0, PieceBits(g, sq[SquareAt(5, back)], 1));
    if (!Board.kingSideLost[Side] && sq[SquareAt(6, back)] == kEmpty && sq[SquareAt(7, back)] == kEmpty &&
        !IsAttacked(SquareAt(6, back), xside) && !IsAttacked(SquareAt(7, back), xside))
      AddMove<Side, kCastleKingSide, Filters>(g, SquareAt(5, back), SquareAt(7, back), sq[SquareAt(5, back)],
                                              kEmpty, 0, PieceBits(g, sq[SquareAt(5, back)], 1));
  }

  // In check every move of a piece other than the king must end on an evasion square: a piece whose lines
  // or jumps reach none of them has no move to keep and is not walked.
  auto mayEvade = [&g](uint64_t reach) { return !Filters || !g.inCheck || (reach & g.evasionSet) != 0; };
  const auto& attacks = kAttackSets;
  if (capturesOnly) {
    for (int i = 1; i <= Board.knightCount[Side]; ++i) {
      const int from = Board.knights[Side][i];
      if (from && (attacks.knight[from] & enemies) && mayEvade(attacks.knight[from]))
        GenerateSteps<Side, Filters>(g, targets, from, knightDestinations.to[from], i);
    }
    for (int i = 1; i <= Board.bishopCount[Side]; ++i) {
      const int from = Board.bishops[Side][i];
      if (from && mayEvade(attacks.anyDiagonal[from]))
        GenerateSlideCaptures<Side, Filters>(g, targets, from, 0, 4, i, enemies);
    }
    for (int i = 1; i <= Board.rookCount[Side]; ++i) {
      const int from = Board.rooks[Side][i];
      if (from && mayEvade(attacks.anyStraight[from]))
        GenerateSlideCaptures<Side, Filters>(g, targets, from, 4, 4, i, enemies);
    }
    for (int i = 1; i <= Board.queenCount[Side]; ++i) {
      const int from = Board.queens[Side][i];
      if (from && mayEvade(attacks.anyDiagonal[from] | attacks.anyStraight[from]))
        GenerateSlideCaptures<Side, Filters>(g, targets, from, 0, 8, i, enemies);
    }
  } else {
    for (int i = 1; i <= Board.knightCount[Side]; ++i) {
      const int from = Board.knights[Side][i];
      if (from && mayEvade(attacks.knight[from]))
        GenerateSteps<Side, Filters>(g, targets, from, knightDestinations.to[from], i);
    }
    for (int i = 1; i <= Board.bishopCount[Side]; ++i) {
      const int from = Board.bishops[Side][i];
      if (from && mayEvade(attacks.anyDiagonal[from]))
        GenerateSlides<Side, Filters>(g, targets, from, diagonalSteps, 4, i);
    }
    for (int i = 1; i <= Board.rookCount[Side]; ++i) {
      const int from = Board.rooks[Side][i];
      if (from && mayEvade(attacks.anyStraight[from]))
        GenerateSlides<Side, Filters>(g, targets, from, straightSteps, 4, i);
    }
    for (int i = 1; i <= Board.queenCount[Side]; ++i) {
      const int from = Board.queens[Side][i];
      if (from && mayEvade(attacks.anyDiagonal[from] | attacks.anyStraight[from]))
        GenerateSlides<Side, Filters>(g, targets, from, kingSteps, 8, i);
    }
  }

  constexpr int pawn = PieceCode(Side, kPawn);
  constexpr int up = Side == kWhite ? 1 : -1;
  constexpr int startRank = Side == kWhite ? 2 : 7;
  constexpr int lastRankBefore = Side == kWhite ? 7 : 2;  // a push from here promotes
  constexpr int epRank = Side == kWhite ? 5 : 4;
  const int32_t* captureSteps = Side == kWhite ? blackPawnAttackers : whitePawnAttackers;
  const int epFile = Board.epFile;
  if (capturesOnly && !epFile) {
    // No pawn that can take anything or promote: nothing to look at. Pawns stand on ranks 2 to 7, so the
    // shifts never carry a capture over into the next file's column.
    const uint64_t pawns = sets[pawn];
    const uint64_t attacked = Side == kWhite ? (pawns << 9 | pawns >> 7) : (pawns << 7 | pawns >> 9);
    constexpr uint64_t promotingRank = uint64_t{0x0101010101010101} << (lastRankBefore - 1);
    if (!(attacked & enemies) && !(pawns & promotingRank)) return;
  }
  if (Filters && g.inCheck && !epFile) {
    // In check, with no en passant (the one pawn move the evasion mask lets through), the pawns are looked
    // at only if one of them could step, jump or take onto an evasion square.
    const uint64_t pawns = sets[pawn];
    constexpr uint64_t startingRank = uint64_t{0x0101010101010101} << (startRank - 1);
    const uint64_t reach = Side == kWhite
                               ? (pawns << 1 | (pawns & startingRank) << 2 | pawns << 9 | pawns >> 7)
                               : (pawns >> 1 | (pawns & startingRank) >> 2 | pawns << 7 | pawns >> 9);
    if (!(reach & g.evasionSet)) return;
  }
  for (int i = 1; i <= kMaxPawnSlots; ++i) {
    const int from = Board.pawns[Side][i];
    if (!from) continue;
    const int rank = rankOf[from];
    const uint64_t pawnBits = PieceBits(g, pawn, i);
    if ((!capturesOnly || rank == lastRankBefore) && sq[from + up] == kEmpty) {
      if (rank == lastRankBefore) {
        AddPromotions<Side, Filters>(g, from, from + up, kEmpty, capturesOnly, pawnBits);
      } else {
        AddMove<Side, kNormalMove, Filters>(g, from, from + up, pawn, kEmpty, 0, pawnBits);
        if (rank == startRank && sq[from + 2 * up] == kEmpty)
          AddMove<Side, kNormalMove, Filters>(g, from, from + 2 * up, pawn, kEmpty, 0, pawnBits);
      }
    }
    // Most pawns have nothing to take: the capture squares are looked at only when an enemy piece stands on
    // one of them (the shifts carry nothing into the next file's column, as above).
    const uint64_t fromBit = SquareBit(from);
    const uint64_t reach = Side == kWhite ? (fromBit << 9 | fromBit >> 7) : (fromBit << 7 | fromBit >> 9);
    if (reach & enemies) {
      for (int c = 0; c < 2; ++c) {
        const int to = from + captureSteps[c];
        const int onTo = sq[to];
        if (onBoard[to] && targets[onTo] == -2) {
          if (rank == lastRankBefore)
            AddPromotions<Side, Filters>(g, from, to, onTo, capturesOnly, pawnBits);
          else
            AddMove<Side, kNormalMove, Filters>(g, from, to, pawn, onTo, 0, pawnBits);
        }
      }
    }
    if (epFile && rank == epRank && (fileOf[from] == epFile - 1 || fileOf[from] == epFile + 1)) {
      const int to = SquareAt(epFile, epRank + up);
      AddMove<Side, kEnPassant, Filters>(g, from, to, pawn, sq[to], 0, pawnBits);
    }
  }
}

// Returns the same squares as a set.
uint64_t BuildEvasionMask(int ply, int ownKing) {
  std::memset(evasionMask.cells, 0, sizeof evasionMask.cells);
  const int d = attackDirection[ply];
  if (d == 0) {
    evasionMask[attackerSquare[ply]] = 1;
    return SquareBit(attackerSquare[ply]);
  }
  uint64_t set = 0;
  for (int s = ownKing + d;; s += d) {
    evasionMask[s] = 1;
    set |= SquareBit(s);
    if (s == attackerSquare[ply]) break;
  }
  return set;
}

void BuildCheckMask(int side, int enemyKing) {
  std::memset(checkMask.cells, 0, sizeof checkMask.cells);
  const auto& sq = Board.squares;
  for (int i = 0; i < 8; ++i) {
    const int d = kingSteps[i];
    const uint8_t bits = i < 4 ? kDiagonalCheckers : kStraightCheckers;
    for (int s = enemyKing + d; onBoard[s]; s += d) {
      checkMask[s] = bits;
      if (sq[s] != kEmpty) break;
    }
  }
  for (int i = 0; i < 8; ++i) {
    const int s = enemyKing + knightSteps[i];
    if (onBoard[s]) checkMask[s] = kKnightChecker;
  }
  const int32_t* pawnFrom = side == kWhite ? whitePawnAttackers : blackPawnAttackers;
  for (int i = 0; i < 2; ++i) {
    const int s = enemyKing + pawnFrom[i];
    if (onBoard[s]) checkMask[s] |= kPawnChecker;
  }
}

}  // namespace

void GenerateMoves(bool capturesOnly) {
  const int level = Board.makeDepth;
  const int ply = Board.ply;
  assert(level >= 0 && level < kMaxPly && ply >= 0 && ply < kMaxPly);
  const int side = Board.side;
  GenContext g;
  g.ply = ply;
  g.inCheck = inCheck[ply] != 0;
  g.checksOnly = checksOnly[ply] != 0;
  g.futility = futilityThreshold;
  g.ownKing = Board.king[side];
  g.enemyKing = Board.king[1 - side];
  g.evasionSet = g.inCheck ? BuildEvasionMask(ply, g.ownKing) : 0;
  if (g.checksOnly) BuildCheckMask(side, g.enemyKing);

  const int start = level == 0 ? 0 : moveStart[level - 1] + moveCount[level - 1];
  moveStart[level] = start;
  g.out = moveBuffer + start;
  g.last = g.out;
  g.capacity = kMoveBufferSize - start;
  if (g.capacity < 0) g.capacity = 0;
  g.recaptureSquare = 0;
  if (ply >= 2 && currentMove[ply - 1] != nullptr) g.recaptureSquare = currentMove[ply - 1]->to;
  g.hashPair = PackSquares(hashMoveFrom[ply], hashMoveTo[ply]);
  g.killerPair1 = PackSquares(killer1[ply].from, killer1[ply].to);
  g.killerPair2 = PackSquares(killer2[ply].from, killer2[ply].to);
  g.killerPair3 = PackSquares(killer3[ply].from, killer3[ply].to);
  g.shift = historyShift;
  // The bit of a hash or killer destination; 0 stands for none, and any other number is a real square.
  auto toBit = [](int square) { return square > 0 && square <= kLastSquareIndex ? SquareBit(square) : 0; };
  g.specialTo = toBit(hashMoveTo[ply]) | toBit(killer1[ply].to) | toBit(killer2[ply].to) |
                toBit(killer3[ply].to) | toBit(g.recaptureSquare);
  // Enemy pawns stand on ranks 2 to 7: their capture steps never carry over into the next file's column.
  const uint64_t enemyPawns = Board.pieceSet[PieceCode(1 - side, kPawn)];
  g.pawnGuarded = side == kWhite ? (enemyPawns << 7 | enemyPawns >> 9) : (enemyPawns << 9 | enemyPawns >> 7);
  g.recordBits = static_cast<uint64_t>(CastlingFlags()) << RecordShift(offsetof(Move, flags)) |
                 static_cast<uint64_t>(Board.epFile & 0xff) << RecordShift(offsetof(Move, epBefore));

  // Most generations run with every filter off (not in check, all moves kept, no futility: a piece value
  // is never below a threshold of 0 or less); they get a generator without the filter tests.
  const bool filters = g.inCheck || g.checksOnly || g.futility > 0;
  if (side == kWhite) {
    whiteTargets[0] = capturesOnly ? 0 : -1;
    if (filters)
      Generate<kWhite, true>(g, capturesOnly);
    else
      Generate<kWhite, false>(g, capturesOnly);
  } else {
    blackTargets[0] = capturesOnly ? 0 : -1;
    if (filters)
      Generate<kBlack, true>(g, capturesOnly);
    else
      Generate<kBlack, false>(g, capturesOnly);
  }
  // The candidates beyond the capacity sit in the slack behind the buffer: they are dropped.
  int count = static_cast<int>(g.last - g.out);
  if (count > g.capacity) {
    moveBufferOverflows += count - g.capacity;
    count = g.capacity;
  }
  moveCount[level] = count;
}

}  // namespace kelb
