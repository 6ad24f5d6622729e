// The pawn-structure entry and the pawn parts of the shelters, worked out on the pawn sets, must equal the
// square-by-square reference in every field, over many random pawn structures with kings, bishops and rooks
// around them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "eval/eval.h"
#include "eval/pawn_cache.h"
#include "pawn_oracle.h"

namespace kelb::test {
namespace {

// A random position: up to eight pawns a side on ranks 2-7 (1-8 when backRanks, which a FEN may hold),
// drawn towards the home ranks on half of the boards so that shelters and doubled pawns come up often; both
// kings and a few bishops and rooks (two rook slots kept, as the board keeps them). The lists are put in
// square order, the order the set-based fill meets the pawns in. Returns the position as a FEN.
std::string RandomPawnPosition(std::mt19937& rng, bool backRanks) {
  char board[8][8];  // [rank - 1][file - 1]
  std::memset(board, 0, sizeof board);
  auto place = [&](char piece, int lowRank, int highRank) {
    for (;;) {
      const int f = static_cast<int>(rng() % 8),
                r = lowRank + static_cast<int>(rng() % (highRank - lowRank + 1));
      if (board[r - 1][f] == 0) {
        board[r - 1][f] = piece;
        return;
      }
    }
  };
  const bool nearHome = rng() % 2 == 0;
  for (int side = 0; side < 2; side++) {
    const int count = static_cast<int>(rng() % 9);
    for (int i = 0; i < count; i++) {
      int low = backRanks ? 1 : 2, high = backRanks ? 8 : 7;
      if (nearHome && rng() % 3 != 0) {
        if (side == 0)
          high = 4;
        else
          low = 5;
      }
      place(side == 0 ? 'P' : 'p', low, high);
    }
  }
  place('K', 1, 8);
  place('k', 1, 8);
  const char pieces[] = {'B', 'b', 'R', 'r'};
  for (char piece : pieces)
    for (int n = static_cast<int>(rng() % 3); n > 0; n--) place(piece, 1, 8);
  // Straight onto the Board: the consistency check of a FEN set-up would refuse pawns on the back ranks and
  // kings in check, which the terms take as they come.
  for (int sq = 0; sq <= 99; sq++)
    if (onBoard[sq]) Board.squares[sq] = kEmpty;
  for (int side = kWhite; side <= kBlack; side++)
    for (int i = 0; i <= kMaxPawnSlots; i++) Board.pawns[side][i] = 0;
  for (int side = kWhite; side <= kBlack; side++)
    for (int i = 0; i <= kMaxListSlots; i++) Board.rooks[side][i] = Board.bishops[side][i] = 0;
  int pawns[2] = {0, 0}, rooks[2] = {0, 0}, bishops[2] = {0, 0};
  // Ascending squares: file by file, rank by rank.
  for (int f = 1; f <= 8; f++) {
    for (int r = 1; r <= 8; r++) {
      const int sq = SquareAt(f, r);
      switch (board[r - 1][f - 1]) {
        case 'P':
          Board.squares[sq] = kWhitePawn;
          Board.pawns[kWhite][++pawns[kWhite]] = sq;
          break;
        case 'p':
          Board.squares[sq] = kBlackPawn;
          Board.pawns[kBlack][++pawns[kBlack]] = sq;
          break;
        case 'R':
          Board.squares[sq] = kWhiteRook;
          Board.rooks[kWhite][++rooks[kWhite]] = sq;
          break;
        case 'r':
          Board.squares[sq] = kBlackRook;
          Board.rooks[kBlack][++rooks[kBlack]] = sq;
          break;
        case 'B':
          Board.squares[sq] = kWhiteBishop;
          Board.bishops[kWhite][++bishops[kWhite]] = sq;
          break;
        case 'b':
          Board.squares[sq] = kBlackBishop;
          Board.bishops[kBlack][++bishops[kBlack]] = sq;
          break;
        case 'K':
          Board.squares[sq] = kWhiteKing;
          Board.king[kWhite] = sq;
          break;
        case 'k':
          Board.squares[sq] = kBlackKing;
          Board.king[kBlack] = sq;
          break;
        default:
          break;
      }
    }
  }
  for (int side = kWhite; side <= kBlack; side++) {
    Board.rookCount[side] = rooks[side] < 2 ? 2 : rooks[side];
    Board.bishopCount[side] = bishops[side];
  }
  Board.side = rng() % 2 == 0 ? kWhite : kBlack;
  Board.xside = 1 - Board.side;
  Board.queenSideLost[kWhite] = Board.queenSideLost[kBlack] = Board.kingSideLost[kWhite] =
      Board.kingSideLost[kBlack] = 1;
  Board.epFile = 0;
  RebuildPieceSets();
  return WriteFen();
}

void ExpectSameSide(const PawnCacheSide& a, const PawnCacheSide& b, const std::string& what) {
  EXPECT_EQ(a.start.count, b.start.count) << what;
  EXPECT_EQ(a.start.squareSum, b.start.squareSum) << what;
  EXPECT_EQ(a.start.structureSum, b.start.structureSum) << what;
  EXPECT_EQ(a.start.bestPassed, b.start.bestPassed) << what;
  EXPECT_EQ(a.start.darkCount, b.start.darkCount) << what;
  EXPECT_EQ(a.start.lightCount, b.start.lightCount) << what;
  EXPECT_EQ(a.start.lowFile, b.start.lowFile) << what;
  EXPECT_EQ(a.start.highFile, b.start.highFile) << what;
  EXPECT_EQ(a.structure[0], b.structure[0]) << what;
  EXPECT_EQ(a.structure[1], b.structure[1]) << what;
  EXPECT_EQ(a.attacked, b.attacked) << what;
  EXPECT_EQ(a.attackedTwice, b.attackedTwice) << what;
  EXPECT_EQ(a.frontSet, b.frontSet) << what;
  EXPECT_EQ(a.forkSet, b.forkSet) << what;
  EXPECT_EQ(a.candidateCount[0], b.candidateCount[0]) << what;
  EXPECT_EQ(a.candidateCount[1], b.candidateCount[1]) << what;
  EXPECT_EQ(0, std::memcmp(a.candidateFiles, b.candidateFiles, sizeof a.candidateFiles)) << what;
  ASSERT_EQ(a.passerCount, b.passerCount) << what;
  for (int i = 0; i < kMaxPawnSlots; i++) {
    const PawnCachePasser &p = a.passers[i], &q = b.passers[i];
    const std::string which = what + " passer " + std::to_string(i);
    EXPECT_EQ(p.square, q.square) << which;
    EXPECT_EQ(p.file, q.file) << which;
    EXPECT_EQ(p.rank, q.rank) << which;
    EXPECT_EQ(p.undoubled, q.undoubled) << which;
    EXPECT_EQ(p.noEnemyPawnOnFile, q.noEnemyPawnOnFile) << which;
    EXPECT_EQ(p.base[0], q.base[0]) << which;
    EXPECT_EQ(p.base[1], q.base[1]) << which;
    EXPECT_EQ(p.connected, q.connected) << which;
  }
}

// Both fills into entries of different junk, so that a field the fill leaves unset shows.
void ExpectSameEntry(const std::string& fen) {
  const uint64_t white = Board.pieceSet[kWhitePawn], black = Board.pieceSet[kBlackPawn];
  static PawnCacheEntry filled, reference;
  std::memset(&filled, 0xa5, sizeof filled);
  std::memset(&reference, 0x5a, sizeof reference);
  FillPawnEntry(filled, white, black);
  OracleFillPawnEntry(reference, white, black);
  EXPECT_EQ(filled.pawns[kWhite], reference.pawns[kWhite]) << fen;
  EXPECT_EQ(filled.pawns[kBlack], reference.pawns[kBlack]) << fen;
  EXPECT_EQ(0, std::memcmp(filled.rear, reference.rear, sizeof filled.rear)) << fen;
  for (int side = kWhite; side <= kBlack; side++)
    for (int i = 0; i < kCachedWeightCount; i++)
      ASSERT_EQ(filled.weights[side][i], reference.weights[side][i])
          << fen << " side " << side << " square " << i + kCachedWeightFirst;
  for (int side = kWhite; side <= kBlack; side++) {
    for (int wing = 0; wing < 2; wing++) {
      EXPECT_EQ(filled.wingShelter[side][wing].knightPawnHome, kWingShelterUnknown) << fen;
      EXPECT_EQ(filled.wingShelter[side][wing].value, reference.wingShelter[side][wing].value) << fen;
      EXPECT_EQ(filled.wingShelter[side][wing].coverPawnsHome,
                reference.wingShelter[side][wing].coverPawnsHome)
          << fen;
    }
    EXPECT_EQ(filled.homeShelter[side].covered, kHomeShelterUnknown) << fen;
    EXPECT_EQ(filled.kingRing[side].square, 0) << fen;  // no king's ring worked out yet
    EXPECT_EQ(filled.homeShelter[side].value, reference.homeShelter[side].value) << fen;
    ExpectSameSide(filled.side[side], reference.side[side], fen + (side == kWhite ? " white" : " black"));
  }
}

// The shelter parts read the file arrays of the evaluation, the pawns and, for KingShelter, the bishops in
// front and the rooks of a back-rank king: every square of a king of either side.
void ExpectSameShelters(const std::string& fen) {
  static PawnCacheEntry reference;
  OracleFillPawnEntry(reference, Board.pieceSet[kWhitePawn], Board.pieceSet[kBlackPawn]);
  EvalContext e{};
  std::memcpy(e.rear, reference.rear, sizeof e.rear);
  for (int side = kWhite; side <= kBlack; side++) {
    for (int wing = 0; wing < 2; wing++) {
      const WingPawnShelter w = WingShelterFromPawns(e, side, wing),
                            o = OracleWingShelterFromPawns(e, side, wing);
      EXPECT_EQ(w.value, o.value) << fen << " side " << side << " wing " << wing;
      EXPECT_EQ(w.knightPawnHome, o.knightPawnHome) << fen << " side " << side << " wing " << wing;
      EXPECT_EQ(w.coverPawnsHome, o.coverPawnsHome) << fen << " side " << side << " wing " << wing;
    }
    const HomePawnShelter h = HomeShelterFromPawns(e, side), o = OracleHomeShelterFromPawns(e, side);
    EXPECT_EQ(h.value, o.value) << fen << " side " << side;
    EXPECT_EQ(h.covered, o.covered) << fen << " side " << side;
    for (int f = 1; f <= 8; f++)
      for (int r = 1; r <= 8; r++)
        ASSERT_EQ(KingShelter(e, side, SquareAt(f, r)), OracleKingShelter(e, side, SquareAt(f, r)))
            << fen << " side " << side << " king on " << SquareAt(f, r);
  }
}

TEST(PawnFill, EntryEqualsTheSquareBySquareFill) {
  std::mt19937 rng(7011);
  int passers = 0, candidates = 0;
  for (int n = 0; n < 20000; n++) {
    const std::string fen = RandomPawnPosition(rng, n % 8 == 7);
    ExpectSameEntry(fen);
    if (HasFatalFailure()) return;
    static PawnCacheEntry entry;
    FillPawnEntry(entry, Board.pieceSet[kWhitePawn], Board.pieceSet[kBlackPawn]);
    passers += entry.side[kWhite].passerCount + entry.side[kBlack].passerCount;
    candidates += entry.side[kWhite].candidateCount[1] + entry.side[kBlack].candidateCount[1];
  }
  // The structures reach the rarer terms, not only the common ones.
  EXPECT_GT(passers, 10000);
  EXPECT_GT(candidates, 1000);
}

TEST(PawnFill, SheltersEqualTheSquareBySquareOnes) {
  std::mt19937 rng(7012);
  for (int n = 0; n < 5000; n++) {
    const std::string fen = RandomPawnPosition(rng, n % 8 == 7);
    ExpectSameShelters(fen);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace kelb::test
