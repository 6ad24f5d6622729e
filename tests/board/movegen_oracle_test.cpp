// The generator against a plain reference generator: the same records, field by field and in the same
// order, in positions reached by random play, for the full and the captures-only lists, in check, with the
// checks-only and futility filters, and with hash move, killers, recapture square and history set.
//
// The reference walks every step of every piece against the border and looks up every score the slow way,
// so the generator's shortcuts (destination tables, skipped pieces and lines, whole-record stores, the
// bonus squares tested together) must all end in the very same lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board/attack.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/ordering.h"
#include "support/board_test_util.h"

namespace kelb::test {
namespace {

// The ordering scores the generator gives (see movegen.cpp).
constexpr int32_t kHashMoveScore = 2000, kCaptureUpBonus = 200, kPawnGuardedOffset = 85;
constexpr int32_t kQueenPromotionBonus = 710, kEnPassantScore = 90, kCastlingScore = 1;
constexpr int32_t kRecaptureBonus = 242, kKiller1Bonus = 220, kKiller2Bonus = 200, kKiller3Bonus = 2;

struct Reference {
  bool capturesOnly;
  bool inCheck, checksOnly;
  int futility;
  int recapture;
  int enemyKing;
  SquareArray<uint8_t> evasion, checker;  // 1 on evasion squares; kind bits that check from a square
  std::vector<Move> out;
};

bool IsEnemy(int code) { return code != kEmpty && isBlackPiece[code] != Board.side; }

int SlotOf(int code, int square) {
  const int side = isBlackPiece[code], kind = pieceType[code];
  const int n = kind == kPawn ? kMaxPawnSlots : *PieceCountOf(side, kind);
  for (int i = 1; i <= n; ++i)
    if (PieceList(side, kind)[i] == square) return i;
  return 0;
}

// A quiet move of this kind to this distance from the enemy king passes the futility filter.
bool NearEnemyKing(int kind, int fd, int rd) {
  switch (kind) {
    case kPawn:
      return fd == 1 && rd == 1;
    case kKnight:
      return (fd == 1 && rd == 2) || (fd == 2 && rd == 1) || (fd == rd && fd >= 5);
    case kBishop:
      return fd == rd && fd >= 1;
    case kRook:
      return (fd == 0) != (rd == 0);
    case kQueen:
      return ((fd == 0) != (rd == 0)) || (fd == rd && fd >= 1);
    default:
      return false;
  }
}

void Add(Reference& r, int kind, int from, int to, int promotion, int slot) {
  auto& sq = Board.squares;
  const int piece = sq[from], moverKind = pieceType[piece];
  const int onTo = kind == kNormalMove ? sq[to] : kEmpty;
  const bool queenPromotion = promotion != 0 && pieceType[promotion] == kQueen;
  if (r.inCheck) {
    if (moverKind != kKing && kind != kEnPassant && !r.evasion[to]) return;
    if (r.out.size() < 2 && kind == kNormalMove && promotion == 0) {
      sq[to] = piece;
      sq[from] = kEmpty;
      const bool attacked = IsAttacked(moverKind == kKing ? to : Board.king[Board.side], Board.xside);
      sq[from] = piece;
      sq[to] = onTo;
      if (attacked) return;
    }
  }
  if (r.checksOnly && onTo == kEmpty && !queenPromotion && !(r.checker[to] & (1 << moverKind))) return;
  if (kind == kNormalMove && promotion == 0 && pieceValue[onTo] < r.futility &&
      !NearEnemyKing(moverKind, std::abs(fileOf[to] - fileOf[r.enemyKing]),
                     std::abs(rankOf[to] - rankOf[r.enemyKing])))
    return;

  Move m{};
  m.from = static_cast<uint8_t>(from);
  m.to = static_cast<uint8_t>(to);
  m.promotion = static_cast<uint8_t>(promotion);
  m.piece = static_cast<uint8_t>(piece);
  m.flags = static_cast<uint8_t>(CastlingFlags() | kind);
  m.epBefore = static_cast<uint8_t>(Board.epFile);
  m.pieceSlot = static_cast<uint8_t>(slot);
  int32_t score = 0;
  if (kind == kNormalMove) {
    m.captured = static_cast<uint8_t>(onTo);
    if (onTo != kEmpty) {
      m.capturedSlot = static_cast<uint8_t>(SlotOf(onTo, to));
      score = pieceValue[onTo] - pieceValue[piece] / 10;
      if (pieceValue[onTo] > pieceValue[piece]) score += kCaptureUpBonus;
    }
    const int enemyPawn = PieceCode(Board.xside, kPawn), back = Board.side == kWhite ? -1 : 1;
    if (sq[to - 10 - back] == enemyPawn || sq[to + 10 - back] == enemyPawn)
      score = pieceValue[onTo] - pieceValue[piece] + kPawnGuardedOffset;
    if (queenPromotion) score += kQueenPromotionBonus;
  } else if (kind == kEnPassant) {
    m.captured = static_cast<uint8_t>(sq[SquareAt(fileOf[to], rankOf[from])]);
    m.capturedSlot = static_cast<uint8_t>(fileOf[to]);
    score = kEnPassantScore;
  } else {
    score = kCastlingScore;
  }
  if (to == r.recapture) score += kRecaptureBonus;
  score += history[piece][to] >> historyShift;
  const int ply = Board.ply;
  if (from == hashMoveFrom[ply] && to == hashMoveTo[ply])
    score = kHashMoveScore;
  else if (from == killer1[ply].from && to == killer1[ply].to)
    score += kKiller1Bonus;
  else if (from == killer2[ply].from && to == killer2[ply].to)
    score += kKiller2Bonus;
  else if (from == killer3[ply].from && to == killer3[ply].to)
    score += kKiller3Bonus;
  m.score = score;
  r.out.push_back(m);
}

void AddPawnMove(Reference& r, int from, int to, int slot) {
  const int lastRank = Board.side == kWhite ? 8 : 1;
  if (rankOf[to] != lastRank) return Add(r, kNormalMove, from, to, 0, slot);
  for (int kind : {kQueen, kRook, kBishop, kKnight}) {
    Add(r, kNormalMove, from, to, PieceCode(Board.side, kind), slot);
    if (r.capturesOnly) return;
  }
}

// Along each step: one square for a non-slider, up to the first piece for a slider.
void AddPieceMoves(Reference& r, int from, const int32_t* steps, int nSteps, bool slides, int slot) {
  for (int i = 0; i < nSteps; ++i) {
    for (int to = from + steps[i]; onBoard[to]; to += steps[i]) {
      const int onTo = Board.squares[to];
      if (onTo == kEmpty ? !r.capturesOnly : IsEnemy(onTo)) Add(r, kNormalMove, from, to, 0, slot);
      if (onTo != kEmpty || !slides) break;
    }
  }
}

std::vector<Move> ReferenceMoves(bool capturesOnly) {
  const int side = Board.side, xside = Board.xside, ply = Board.ply;
  Reference r{};
  r.capturesOnly = capturesOnly;
  r.inCheck = inCheck[ply] != 0;
  r.checksOnly = checksOnly[ply] != 0;
  r.futility = futilityThreshold;
  r.enemyKing = Board.king[xside];
  r.recapture = ply >= 2 && currentMove[ply - 1] != nullptr ? currentMove[ply - 1]->to : 0;
  if (r.inCheck) {
    const int d = attackDirection[ply];
    for (int s = d == 0 ? attackerSquare[ply] : Board.king[side] + d;; s += d) {
      r.evasion[s] = 1;
      if (s == attackerSquare[ply]) break;
    }
  }
  for (int i = 0; i < 8; ++i) {
    const uint8_t bits = i < 4 ? (1 << kBishop | 1 << kQueen) : (1 << kRook | 1 << kQueen);
    for (int s = r.enemyKing + kingSteps[i]; onBoard[s]; s += kingSteps[i]) {
      r.checker[s] = bits;
      if (Board.squares[s] != kEmpty) break;
    }
    if (onBoard[r.enemyKing + knightSteps[i]]) r.checker[r.enemyKing + knightSteps[i]] = 1 << kKnight;
  }
  for (int step : side == kWhite ? whitePawnAttackers : blackPawnAttackers)
    if (onBoard[r.enemyKing + step]) r.checker[r.enemyKing + step] |= 1 << kPawn;

  AddPieceMoves(r, Board.king[side], kingSteps, 8, false, 1);
  const int back = side == kWhite ? 1 : 8;
  auto& sq = Board.squares;
  if (!capturesOnly && !r.inCheck) {
    if (!Board.queenSideLost[side] && !sq[SquareAt(2, back)] && !sq[SquareAt(3, back)] &&
        !sq[SquareAt(4, back)] && !IsAttacked(SquareAt(4, back), xside) &&
        !IsAttacked(SquareAt(3, back), xside))
      Add(r, kCastleQueenSide, SquareAt(5, back), SquareAt(3, back), 0, 1);
    if (!Board.kingSideLost[side] && !sq[SquareAt(6, back)] && !sq[SquareAt(7, back)] &&
        !IsAttacked(SquareAt(6, back), xside) && !IsAttacked(SquareAt(7, back), xside))
      Add(r, kCastleKingSide, SquareAt(5, back), SquareAt(7, back), 0, 1);
  }
  for (int i = 1; i <= Board.knightCount[side]; ++i)
    if (Board.knights[side][i]) AddPieceMoves(r, Board.knights[side][i], knightSteps, 8, false, i);
  for (int i = 1; i <= Board.bishopCount[side]; ++i)
    if (Board.bishops[side][i]) AddPieceMoves(r, Board.bishops[side][i], diagonalSteps, 4, true, i);
  for (int i = 1; i <= Board.rookCount[side]; ++i)
    if (Board.rooks[side][i]) AddPieceMoves(r, Board.rooks[side][i], straightSteps, 4, true, i);
  for (int i = 1; i <= Board.queenCount[side]; ++i)
    if (Board.queens[side][i]) AddPieceMoves(r, Board.queens[side][i], kingSteps, 8, true, i);

  const int up = side == kWhite ? 1 : -1;
  for (int i = 1; i <= kMaxPawnSlots; ++i) {
    const int from = Board.pawns[side][i];
    if (!from) continue;
    const bool promotes = rankOf[from + up] == (side == kWhite ? 8 : 1);
    if ((!capturesOnly || promotes) && sq[from + up] == kEmpty) {
      AddPawnMove(r, from, from + up, i);
      if (!promotes && rankOf[from] == (side == kWhite ? 2 : 7) && sq[from + 2 * up] == kEmpty)
        Add(r, kNormalMove, from, from + 2 * up, 0, i);
    }
    for (int step : side == kWhite ? blackPawnAttackers : whitePawnAttackers)
      if (onBoard[from + step] && IsEnemy(sq[from + step])) AddPawnMove(r, from, from + step, i);
    if (Board.epFile && rankOf[from] == (side == kWhite ? 5 : 4) &&
        std::abs(fileOf[from] - Board.epFile) == 1)
      Add(r, kEnPassant, from, SquareAt(Board.epFile, rankOf[from] + up), 0, i);
  }
  return r.out;
}

std::string Describe(const Move& m) {
  return MoveToText(m) + " piece " + std::to_string(m.piece) + " captured " + std::to_string(m.captured) +
         " flags " + std::to_string(m.flags) + " ep " + std::to_string(m.epBefore) + " slots " +
         std::to_string(m.pieceSlot) + "/" + std::to_string(m.capturedSlot) + " score " +
         std::to_string(m.score);
}

// Generates with the engine and with the reference in the current position and search state; the trial
// move of an evasion reruns the attack test, so the attack record is put back before the reference runs.
void ExpectSameLists(bool capturesOnly, const std::string& where) {
  const int ply = Board.ply, level = Board.makeDepth;
  const int32_t attacker = attackerSquare[ply], direction = attackDirection[ply];
  GenerateMoves(capturesOnly);
  attackerSquare[ply] = attacker;
  attackDirection[ply] = direction;
  const std::vector<Move> expected = ReferenceMoves(capturesOnly);
  attackerSquare[ply] = attacker;
  attackDirection[ply] = direction;
  ASSERT_EQ(moveCount[level], static_cast<int>(expected.size())) << where;
  for (int k = 0; k < moveCount[level]; ++k) {
    const Move& got = moveBuffer[moveStart[level] + 1 + k];
    ASSERT_EQ(std::memcmp(&got, &expected[k], sizeof(Move)), 0)
        << where << " move " << k + 1 << ": " << Describe(got) << " expected " << Describe(expected[k]);
  }
}

TEST(GenerateMovesOracle, RandomGamesGiveTheReferenceListsInEveryMode) {
  std::mt19937 random(20261209);
  const char* starts[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
  };
  int positions = 0, inCheckPositions = 0;
  for (int game = 0; game < 40; ++game) {
    ASSERT_TRUE(SetUpPosition(starts[game % 5]));
    ClearHistory();
    for (int moveNumber = 0; moveNumber < 48; ++moveNumber) {
      const int ply = Board.makeDepth + 1;
      Board.ply = ply;
      inCheck[ply] = IsAttacked(Board.king[Board.side], Board.xside);
      inCheckPositions += inCheck[ply];
      // Search state: hash move and killers on squares the side may or may not move between, a history.
      auto square = [&random] { return SquareAt(1 + random() % 8, 1 + random() % 8); };
      hashMoveFrom[ply] = square(), hashMoveTo[ply] = square();
      killer1[ply] = {square(), square()};
      killer2[ply] = {square(), square()};
      killer3[ply] = {square(), square()};
      for (int k = 0; k < 8; ++k) UpdateHistory(1 + random() % 12, square());

      // The plain lists, then each filter: the first generated moves become hash move and killers.
      const std::string where = std::string(starts[game % 5]) + " game " + std::to_string(game) + " move " +
                                std::to_string(moveNumber);
      for (int mode = 0; mode < 4; ++mode) {
        checksOnly[ply] = mode == 1;
        futilityThreshold = mode == 2 ? 200 : mode == 3 ? 600 : 0;
        for (bool capturesOnly : {false, true})
          ExpectSameLists(capturesOnly, where + " mode " + std::to_string(mode));
        if (HasFatalFailure()) return;
        if (moveCount[Board.makeDepth] >= 3) {
          const Move* list = moveBuffer + moveStart[Board.makeDepth];
          hashMoveFrom[ply] = list[1 + random() % moveCount[Board.makeDepth]].from;
          hashMoveTo[ply] = list[1 + random() % moveCount[Board.makeDepth]].to;
          killer1[ply] = {list[1].from, list[1].to};
          killer2[ply] = {list[2].from, list[2].to};
          killer3[ply] = {list[3].from, list[3].to};
        }
      }
      checksOnly[ply] = 0;
      futilityThreshold = 0;
      ++positions;

      // A random legal move, or the game ends.
      GenerateMoves(false);
      const int level = Board.makeDepth, count = moveCount[level];
      std::vector<int> order(count);
      for (int k = 0; k < count; ++k) order[k] = moveStart[level] + 1 + k;
      std::shuffle(order.begin(), order.end(), random);
      bool moved = false;
      for (int index : order) {
        Move& move = moveBuffer[index];
        MakeMove(move);
        if (!IsAttacked(Board.king[Board.xside], Board.side)) {
          moved = true;
          break;
        }
        UnmakeMove(move);
      }
      if (!moved) break;
    }
  }
  ClearHistory();
  ClearKillers();
  std::memset(hashMoveFrom, 0, sizeof hashMoveFrom);
  std::memset(hashMoveTo, 0, sizeof hashMoveTo);
  // Enough positions of every kind were compared, many of them in check.
  EXPECT_GT(positions, 1000);
  EXPECT_GT(inCheckPositions, 30);
}

}  // namespace
}  // namespace kelb::test
