// Colour symmetry: a position and its colour-flipped twin must evaluate the same, over positions
// reached by random legal play from several openings and endings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
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

// Positions whose literal scoring depends on list order or absolute shades (tested on their own):
// three or more rooks or bishops, or two queens, of one side sharing a file; pawnless endings with
// one bishop and a knight against a bare king, or two armed sides close in material.
bool KnownAsymmetric() {
  for (int side = kWhite; side <= kBlack; side++) {
    struct Kind {
      const int32_t* list;
      int count;
      int limit;
    };
    const Kind kinds[3] = {{Board.rooks[side], Board.rookCount[side], 3},
                           {Board.bishops[side], Board.bishopCount[side], 3},
                           {Board.queens[side], Board.queenCount[side], 2}};
    for (const Kind& k : kinds) {
      int used = 0;
      for (int i = 1; i <= k.count; i++) used += k.list[i] != 0;
      if (used < k.limit) continue;
      for (int i = 1; i <= k.count; i++)
        for (int j = i + 1; j <= k.count; j++)
          if (k.list[i] != 0 && k.list[j] != 0 && fileOf[k.list[i]] == fileOf[k.list[j]]) return true;
    }
  }
  if (Board.pawnMaterial[kWhite] + Board.pawnMaterial[kBlack] == 0) {
    int adjusted[2];
    for (int side = kWhite; side <= kBlack; side++) {
      int bishops = 0;
      for (int i = 1; i <= Board.bishopCount[side]; i++) bishops += Board.bishops[side][i] != 0;
      adjusted[side] = Board.pieceMaterial[side] - 50 * bishops;
      if (Board.pieceMaterial[side] == 600 && bishops == 1 && Board.pieceMaterial[1 - side] == 0) return true;
    }
    if (Board.pieceMaterial[kWhite] > 0 && Board.pieceMaterial[kBlack] > 0 &&
        std::abs(adjusted[kWhite] - adjusted[kBlack]) < 150)
      return true;
  }
  return false;
}

std::vector<std::string> RandomPositions(int playoutsPerStart, unsigned seed) {
  static const char* const starts[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
      "rnbqk2r/ppp1bppp/4pn2/3p4/2PP4/2N2N2/PP2PPPP/R1BQKB1R w KQkq - 4 5",
      "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8",
      "2kr3r/ppp2ppp/2n1bn2/2b1p3/4P3/2NP1N2/PPP1BPPP/R1B2RK1 w - - 3 10",
      "4k3/pp3ppp/2p5/8/8/2P5/PP3PPP/4K3 w - - 0 1",
      "r3k3/1p3pp1/8/8/8/8/1P3PP1/4K2R b Kq - 0 1",
      "8/5pk1/6p1/8/2b5/8/3B1PPK/8 w - - 0 1",
      "3qk3/8/2n5/8/8/5N2/8/3QK3 w - - 0 1",
      "6k1/5ppp/8/8/8/8/5PPP/1R4K1 w - - 0 1",
  };
  std::mt19937 rng(seed);
  std::vector<std::string> out;
  for (const char* start : starts) {
    for (int p = 0; p < playoutsPerStart; p++) {
      std::string fen = start;
      const int length = 2 + static_cast<int>(rng() % 90);
      for (int ply = 0; ply < length; ply++) {
        if (!SetUpFen(fen)) break;
        std::string next = RandomMoveFen(rng);
        if (next.empty()) break;
        fen = next;
        if (ply % 9 == 8) out.push_back(fen);
      }
      out.push_back(fen);
    }
  }
  return out;
}

void ExpectSymmetric(const std::vector<std::string>& positions, int& checked) {
  for (const std::string& fen : positions) {
    ASSERT_TRUE(SetUpFen(fen)) << fen;
    if (KnownAsymmetric()) continue;
    const int v = Evaluate();
    const std::string twin = FlipFen(fen);
    ASSERT_TRUE(SetUpFen(twin)) << twin;
    EXPECT_EQ(v, Evaluate()) << fen << "  vs  " << twin;
    checked++;
  }
}

TEST(EvalSymmetry, RandomPlayoutsEvaluateLikeTheirColourTwins) {
  FreeKpkBitbase();
  int checked = 0;
  ExpectSymmetric(RandomPositions(12, 20051), checked);
  EXPECT_GE(checked, 300);
}

TEST(EvalSymmetry, HoldsWithTheBitbaseBuilt) {
  BuildKpkBitbase();
  std::vector<std::string> positions = {
      "8/8/8/4k3/8/8/3PK3/8 w - - 0 1",  "8/8/8/4k3/8/8/3PK3/8 b - - 0 1",  "8/p7/8/8/8/1k6/8/K7 w - - 0 1",
      "8/8/1k6/8/8/8/6P1/6K1 b - - 0 1", "8/8/8/3k4/8/3K4/3P4/8 w - - 0 1", "7k/8/6K1/7P/8/8/8/8 w - - 0 1",
  };
  int checked = 0;
  ExpectSymmetric(positions, checked);
  EXPECT_EQ(checked, 6);
}

TEST(EvalSymmetry, EvaluateLeavesTheBoardAlone) {
  for (const char* fen : {"r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 8",
                          "8/8/8/4k3/8/8/3PK3/8 w - - 0 1", "4k3/8/8/8/8/8/8/R3K3 b - - 0 1"}) {
    ASSERT_TRUE(SetUpFen(fen));
    const BoardRecord before = Board;
    Evaluate();
    EXPECT_EQ(std::memcmp(&before, &Board, sizeof Board), 0) << fen;
  }
}

TEST(EvalSymmetry, FlipFenMirrorsEveryField) {
  EXPECT_EQ(FlipFen("r3k2r/p6p/8/3pP3/8/8/P6P/R3K3 w Qkq d6 0 1"), "r3k3/p6p/8/8/3Pp3/8/P6P/R3K2R b KQq d3");
}

}  // namespace
}  // namespace kelb::test
