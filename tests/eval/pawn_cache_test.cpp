// The pawn-structure cache must never change a value: an evaluation that finds the pawns' entry filled by
// another position (other pieces, kings, side to move, material) or by another structure in the same slot
// equals the evaluation with an empty cache, and the order of the pawns in their lists does not matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "board/attack.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "eval/eval.h"
#include "eval/lkpk.h"
#include "eval_support.h"

namespace kelb::test {
namespace {

int ColdEval(const std::string& fen) {
  ClearPawnCache();
  return EvalFen(fen);
}

// The starts of the random games: the opening, middle games and pawn endings.
const char* const kStarts[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8",
    "2r3k1/pp3ppp/4p3/3pP3/3P4/P4N2/1P3PPP/2R3K1 w - - 0 25",
    "8/5pk1/6p1/3P4/5P2/6PK/8/8 w - - 0 1",
    "4k3/1p3p2/8/2P1P3/8/8/5PP1/4K3 b - - 0 1",
};

// Positions from random legal games: many share their pawns while pieces, kings and the side to move
// differ, which is where a cached value that reads more than the pawns would show.
std::vector<std::string> RandomGamePositions(unsigned seed, int games, int plies) {
  std::mt19937 rng(seed);
  std::vector<std::string> out;
  for (int g = 0; g < games; g++) {
    EXPECT_TRUE(SetUpFen(kStarts[g % 5]));
    for (int ply = 0; ply < plies; ply++) {
      const std::string next = RandomMoveFen(rng);
      if (next.empty()) break;
      out.push_back(next);
      EXPECT_TRUE(SetUpFen(next));
    }
  }
  return out;
}

TEST(PawnCache, WarmEvaluationsEqualColdOnes) {
  BuildKpkBitbase();
  const std::vector<std::string> positions = RandomGamePositions(12, 40, 60);
  ASSERT_GT(positions.size(), 1000u);
  std::vector<int> cold;
  for (const std::string& fen : positions) cold.push_back(ColdEval(fen));
  // Forwards and backwards through the same list: every entry is reused by its neighbours.
  ClearPawnCache();
  for (size_t i = 0; i < positions.size(); i++) ASSERT_EQ(EvalFen(positions[i]), cold[i]) << positions[i];
  for (size_t i = positions.size(); i-- > 0;) ASSERT_EQ(EvalFen(positions[i]), cold[i]) << positions[i];
}

TEST(PawnCache, SameStructureWithOtherPiecesKingsAndSideToMove) {
  BuildKpkBitbase();
  // One pawn structure with passers, a candidate, doubled and weak pawns; around it the pieces, kings,
  // material and side to move change.
  const char* const kFens[] = {
      "4k3/1p3pp1/p7/2P1P2p/1P6/7P/5PP1/4K3 w - - 0 1",
      "4k3/1p3pp1/p7/2P1P2p/1P6/7P/5PP1/4K3 b - - 0 1",
      "3rk3/1p3pp1/p7/2P1P2p/1P6/7P/5PP1/2R1K3 w - - 0 1",
      "3qk2r/1p3pp1/p7/2P1P2p/1P6/7P/5PP1/R2QK3 b - - 0 1",
      "r3k3/1p3pp1/p2n4/2P1P2p/1P1b4/2N4P/5PP1/4KB1R w - - 0 1",
      "6k1/1p3pp1/p7/2P1P2p/1P6/7P/5PPK/8 w - - 0 1",
      "8/1p3ppk/p7/2P1P2p/1P6/7P/5PP1/6K1 b - - 0 1",
      "1n2k3/1p3pp1/p2R4/2P1P2p/1P6/7P/5PP1/4K3 w - - 0 1",
  };
  std::vector<int> cold;
  for (const char* fen : kFens) cold.push_back(ColdEval(fen));
  ClearPawnCache();
  for (int round = 0; round < 2; round++)
    for (size_t i = 0; i < cold.size(); i++) EXPECT_EQ(EvalFen(kFens[i]), cold[i]) << kFens[i];
}

TEST(PawnCache, KingRingWeightsFollowEachKing) {
  BuildKpkBitbase();
  // The same pawns while the kings walk, come back and swap wings, with pieces off so that activity counts;
  // squares next to pawns, to passers' front squares and to the edge.
  const char* const kFens[] = {
      "4k3/1p3pp1/p7/2P1P2p/1P6/7P/5PP1/3RK3 w - - 0 1", "4k3/1p3pp1/p7/2P1P2p/1P6/7P/3K1PP1/3R4 b - - 0 1",
      "8/1p2kpp1/p7/2P1P2p/1P6/7P/3K1PP1/3R4 w - - 0 1", "8/1p2kpp1/p7/2P1P2p/1P6/7P/5PP1/3RK3 b - - 0 1",
      "4k3/1p3pp1/p7/2P1P2p/1P6/7P/5PP1/3RK3 w - - 0 1", "8/1p2kpp1/p7/2P1P2p/1PK5/7P/5PP1/3R4 w - - 0 1",
      "8/1p3pp1/p7/2P1P2p/1P6/k6P/5PP1/3R3K w - - 0 1",  "7k/1p3pp1/p7/2P1P2p/1P6/7P/5PP1/K2R4 b - - 0 1",
  };
  std::vector<int> cold;
  for (const char* fen : kFens) cold.push_back(ColdEval(fen));
  ClearPawnCache();
  for (int round = 0; round < 2; round++)
    for (size_t i = 0; i < cold.size(); i++) EXPECT_EQ(EvalFen(kFens[i]), cold[i]) << kFens[i];
  for (size_t i = cold.size(); i-- > 0;) EXPECT_EQ(EvalFen(kFens[i]), cold[i]) << kFens[i];
}

// The shelter of a king that can still castle, through the entry of another position with the same pawns.
int ShelterAfterKings(const std::string& fen, int side) {
  const EvalContext e = AfterKings(fen);
  return side == kWhite ? e.whiteShelter : e.blackShelter;
}

TEST(PawnCache, HomeShelterTakesTheBishopAndRooksOfEachPosition) {
  BuildKpkBitbase();
  // The same pawns; a bishop in front of the king and the back-rank rooks come and go.
  const char* const kFens[] = {
      "r2qk2r/pppp1ppp/4p3/8/8/4P3/PPPP1PPP/R2QK2R w KQkq - 0 1",
      "r2qk2r/ppppbppp/4p3/8/8/4P3/PPPPBPPP/R2QK2R w KQkq - 0 1",
      "r2qk3/ppppbppp/4p3/8/8/4P3/PPPPBPPP/3QK2R b Kq - 0 1",
      "3qk3/pppp1ppp/4p3/8/8/4P3/PPPPBPPP/3QK3 w - - 0 1",
      "3qk2r/ppppbppp/4p3/8/8/4P3/PPPP1PPP/R2QK3 b Qk - 0 1",
  };
  std::vector<int> cold[2];
  for (const char* fen : kFens)
    for (int side = kWhite; side <= kBlack; side++) {
      ClearPawnCache();
      cold[side].push_back(ShelterAfterKings(fen, side));
    }
  ClearPawnCache();
  for (int round = 0; round < 2; round++)
    for (size_t i = 0; i < std::size(kFens); i++)
      for (int side = kWhite; side <= kBlack; side++)
        EXPECT_EQ(ShelterAfterKings(kFens[i], side), cold[side][i]) << kFens[i] << " side " << side;
  // The pieces do change the shelter here, so an entry that kept them would show.
  EXPECT_NE(cold[kWhite][0], cold[kWhite][1]);
  EXPECT_NE(cold[kBlack][0], cold[kBlack][1]);
}

TEST(PawnCache, ACollidingStructureIsRecomputed) {
  BuildKpkBitbase();
  // Two different structures that share a slot: the second must not take the first one's entry.
  const std::vector<std::string> positions = RandomGamePositions(7, 30, 50);
  std::vector<std::pair<uint32_t, std::string>> slots;
  for (const std::string& fen : positions) {
    ASSERT_TRUE(SetUpFen(fen));
    slots.emplace_back(PawnCacheSlot(), fen);
  }
  int pairs = 0;
  for (size_t i = 0; i < slots.size() && pairs < 20; i++)
    for (size_t j = i + 1; j < slots.size() && pairs < 20; j++) {
      if (slots[i].first != slots[j].first) continue;
      const std::string& a = slots[i].second;
      const std::string& b = slots[j].second;
      const int coldB = ColdEval(b);
      ClearPawnCache();
      EvalFen(a);
      EXPECT_EQ(EvalFen(b), coldB) << a << " then " << b;
      pairs++;
    }
  EXPECT_GT(pairs, 0) << "no two positions shared a slot";
}

TEST(PawnCache, ThreeStructuresOfOneSlotTakeTurns) {
  BuildKpkBitbase();
  // A slot keeps two structures; a third replaces one of them. Rotating through three structures of one
  // slot replaces an entry at every step, and each evaluation must still equal its cold value.
  const std::vector<std::string> positions = RandomGamePositions(11, 40, 60);
  std::map<uint32_t, std::vector<std::pair<std::pair<uint64_t, uint64_t>, std::string>>> bySlot;
  for (const std::string& fen : positions) {
    ASSERT_TRUE(SetUpFen(fen));
    const std::pair<uint64_t, uint64_t> pawns{Board.pieceSet[kWhitePawn], Board.pieceSet[kBlackPawn]};
    auto& list = bySlot[PawnCacheSlot()];
    if (std::none_of(list.begin(), list.end(), [&](const auto& p) { return p.first == pawns; }))
      list.emplace_back(pawns, fen);
  }
  int groups = 0;
  for (const auto& [slot, list] : bySlot) {
    if (list.size() < 3 || groups == 10) continue;
    int cold[3];
    for (int i = 0; i < 3; i++) cold[i] = ColdEval(list[i].second);
    ClearPawnCache();
    // In turn (each step replaces the entry used longest ago), then back and forth between two while the
    // third comes in between.
    static constexpr int kOrder[] = {0, 1, 2, 0, 1, 2, 0, 1, 0, 2, 0, 1, 1, 2, 2, 0};
    for (int i : kOrder) EXPECT_EQ(EvalFen(list[i].second), cold[i]) << list[i].second;
    groups++;
  }
  EXPECT_GT(groups, 0) << "no three structures shared a slot";
}

TEST(PawnCache, OrderOfThePawnListsDoesNotMatter) {
  BuildKpkBitbase();
  const std::vector<std::string> positions = RandomGamePositions(3, 10, 40);
  std::mt19937 rng(5);
  for (const std::string& fen : positions) {
    const int cold = ColdEval(fen);
    ASSERT_TRUE(SetUpFen(fen));
    for (int side = kWhite; side <= kBlack; side++)
      std::shuffle(Board.pawns[side] + 1, Board.pawns[side] + 1 + kMaxPawnSlots, rng);
    EXPECT_EQ(Evaluate(), cold) << fen;  // the entry of the original order
    ClearPawnCache();
    EXPECT_EQ(Evaluate(), cold) << fen;  // an entry built from the shuffled order
  }
}

}  // namespace
}  // namespace kelb::test
