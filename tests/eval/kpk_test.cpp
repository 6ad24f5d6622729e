// King and pawn against king: the bitbase against an exact retrograde solution of its own, against
// well-known positions, and the score bands of the probe.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "board/board.h"
#include "eval/eval.h"
#include "eval/lkpk.h"
#include "eval_support.h"

namespace kelb::test {
namespace {

// ---- Exact solution by retrograde iteration to a fixed point ----------------------------------------
// Coordinates 0..7; the pawn (strong side) moves up, files 0..3. Promotion to a queen or a rook wins
// unless the new piece is taken at once or the bare king is stalemated.

struct Oracle {
  // [stm][pawn rank 1..6][pawn file 0..3][strong king 0..63][weak king 0..63]: 1 win, 0 not (yet),
  // -1 illegal.
  std::vector<int8_t> value = std::vector<int8_t>(2 * 7 * 4 * 64 * 64, 0);
  int8_t& At(int stm, int pr, int pf, int sk, int wk) {
    return value[(((stm * 7 + pr) * 4 + pf) * 64 + sk) * 64 + wk];
  }
};

int Dist(int a, int b) {
  int df = std::abs(a / 8 - b / 8), dr = std::abs(a % 8 - b % 8);
  return df > dr ? df : dr;
}
bool PawnAttacks(int pf, int pr, int sq) { return sq % 8 == pr + 1 && std::abs(sq / 8 - pf) == 1; }

bool Legal(int stm, int pr, int pf, int sk, int wk) {
  int p = pf * 8 + pr;
  if (sk == wk || sk == p || wk == p || Dist(sk, wk) <= 1) return false;
  if (stm == 0 && PawnAttacks(pf, pr, wk)) return false;
  return true;
}

// Does a queen (or rook) on q attack square t, with the strong king on sk as the only blocker?
bool SliderAttacks(int q, int t, int sk, bool diagonals) {
  int df = t / 8 - q / 8, dr = t % 8 - q % 8;
  if (df == 0 && dr == 0) return false;
  bool straight = df == 0 || dr == 0, diagonal = std::abs(df) == std::abs(dr);
  if (!straight && !(diagonals && diagonal)) return false;
  int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
  for (int f = q / 8 + sf, r = q % 8 + sr; f != t / 8 || r != t % 8; f += sf, r += sr)
    if (f * 8 + r == sk) return false;
  return true;
}

// The pawn has just promoted on file pf; weak side to move.
bool PromotionWins(int pf, int sk, int wk) {
  const int q = pf * 8 + 7;
  if (Dist(wk, q) <= 1 && Dist(sk, q) > 1) return false;  // the new piece is lost
  for (bool queen : {true, false}) {
    bool check = SliderAttacks(q, wk, sk, queen);
    bool hasMove = false;
    for (int df = -1; df <= 1; df++)
      for (int dr = -1; dr <= 1; dr++) {
        int f = wk / 8 + df, r = wk % 8 + dr;
        if ((df == 0 && dr == 0) || f < 0 || f > 7 || r < 0 || r > 7) continue;
        int t = f * 8 + r;
        if (Dist(t, sk) <= 1) continue;
        if (t != q && SliderAttacks(q, t, sk, queen)) continue;
        hasMove = true;
      }
    if (hasMove || check) return true;  // mate, or a plain won queen/rook ending
  }
  return false;
}

Oracle Solve() {
  Oracle o;
  for (int stm = 0; stm < 2; stm++)
    for (int pr = 1; pr <= 6; pr++)
      for (int pf = 0; pf < 4; pf++)
        for (int sk = 0; sk < 64; sk++)
          for (int wk = 0; wk < 64; wk++)
            if (!Legal(stm, pr, pf, sk, wk)) o.At(stm, pr, pf, sk, wk) = -1;
  for (bool changed = true; changed;) {
    changed = false;
    for (int pr = 6; pr >= 1; pr--)
      for (int pf = 0; pf < 4; pf++)
        for (int sk = 0; sk < 64; sk++)
          for (int wk = 0; wk < 64; wk++) {
            const int p = pf * 8 + pr;
            // Strong side to move: one winning move suffices.
            if (o.At(0, pr, pf, sk, wk) == 0) {
              bool win = false;
              if (sk != p + 1 && wk != p + 1) {
                if (pr == 6)
                  win = PromotionWins(pf, sk, wk);
                else
                  win = o.At(1, pr + 1, pf, sk, wk) == 1;
                if (!win && pr == 1 && sk != p + 2 && wk != p + 2) win = o.At(1, 3, pf, sk, wk) == 1;
              }
              for (int d = 0; d < 9 && !win; d++) {
                int f = sk / 8 + d / 3 - 1, r = sk % 8 + d % 3 - 1;
                if (d == 4 || f < 0 || f > 7 || r < 0 || r > 7) continue;
                if (o.At(1, pr, pf, f * 8 + r, wk) == 1) win = true;
              }
              if (win) o.At(0, pr, pf, sk, wk) = 1, changed = true;
            }
            // Weak side to move: lost when it has a move and every move loses.
            if (o.At(1, pr, pf, sk, wk) == 0) {
              bool anyMove = false, escape = false;
              for (int d = 0; d < 9 && !escape; d++) {
                int f = wk / 8 + d / 3 - 1, r = wk % 8 + d % 3 - 1;
                if (d == 4 || f < 0 || f > 7 || r < 0 || r > 7) continue;
                int t = f * 8 + r;
                if (Dist(t, sk) <= 1 || PawnAttacks(pf, pr, t)) continue;
                anyMove = true;
                if (t == p || o.At(0, pr, pf, sk, t) != 1) escape = true;
              }
              if (anyMove && !escape) o.At(1, pr, pf, sk, wk) = 1, changed = true;
            }
          }
  }
  return o;
}

int Square(int index) { return 10 * (index / 8 + 1) + index % 8 + 1; }

class KpkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildKpkBitbase(); }
};

TEST_F(KpkTest, AgreesWithAnExactRetrogradeSolution) {
  ASSERT_TRUE(kpkReady);
  Oracle o = Solve();
  int compared = 0, wins = 0, impossibleWins = 0;
  std::vector<std::string> mismatches;
  for (int stm = 0; stm < 2; stm++)
    for (int pr = 1; pr <= 6; pr++)
      for (int pf = 0; pf < 4; pf++)
        for (int sk = 0; sk < 64; sk++)
          for (int wk = 0; wk < 64; wk++) {
            int v = o.At(stm, pr, pf, sk, wk);
            int bit = KpkBit(pf + 1, pr + 1, Square(sk), Square(wk), stm == 0);
            if (v < 0) {  // no win is ever recorded for an impossible placement: every bit is accounted for
              impossibleWins += bit;
              continue;
            }
            compared++;
            wins += v;
            if (bit != v && mismatches.size() < 20)
              mismatches.push_back("stm " + std::to_string(stm) + " pawn " + std::to_string(pf + 1) + "/" +
                                   std::to_string(pr + 1) + " sk " + std::to_string(Square(sk)) + " wk " +
                                   std::to_string(Square(wk)) + " oracle " + std::to_string(v));
          }
  EXPECT_GT(compared, 150000);
  EXPECT_GT(wins, 50000);
  EXPECT_EQ(impossibleWins, 0);
  for (const std::string& m : mismatches) ADD_FAILURE() << m;
}

// FEN with a white king, a black king and one pawn (code kWhitePawn or kBlackPawn) on mailbox squares.
std::string KpkFen(int whiteKing, int blackKing, int pawn, int pawnCode, bool whiteToMove) {
  char grid[8][8];
  std::memset(grid, 0, sizeof grid);
  auto put = [&](int sq, char c) { grid[sq % 10 - 1][sq / 10 - 1] = c; };
  put(whiteKing, 'K');
  put(blackKing, 'k');
  put(pawn, pawnCode == kWhitePawn ? 'P' : 'p');
  std::string fen;
  for (int r = 7; r >= 0; r--) {
    int empty = 0;
    for (int f = 0; f < 8; f++) {
      if (grid[r][f] == 0) {
        empty++;
        continue;
      }
      if (empty) fen += static_cast<char>('0' + empty);
      empty = 0;
      fen += grid[r][f];
    }
    if (empty) fen += static_cast<char>('0' + empty);
    if (r) fen += '/';
  }
  return fen + (whiteToMove ? " w - - 0 1" : " b - - 0 1");
}

enum Expect { kStrongWins, kDrawn };

void ExpectKpk(const std::string& fen, Expect expect) {
  ASSERT_TRUE(SetUpFen(fen)) << fen;
  const int strong = Board.pawnMaterial[kWhite] == 100 ? kWhite : kBlack;
  const int v = ProbeKpk();
  if (expect == kDrawn) {
    EXPECT_GE(v, -17) << fen;
    EXPECT_LE(v, 17) << fen;
  } else if (Board.side == strong) {
    EXPECT_GE(v, 601) << fen;
    EXPECT_LE(v, 617) << fen;
  } else {
    EXPECT_GE(v, -617) << fen;
    EXPECT_LE(v, -601) << fen;
  }
  EXPECT_EQ(Evaluate(), -v) << fen;
}

TEST_F(KpkTest, KnowsTheClassicalWinsAndDraws) {
  ExpectKpk("4k3/8/4K3/4P3/8/8/8/8 w - - 0 1", kStrongWins);  // king on the sixth in front of the pawn
  ExpectKpk("3k4/8/3K4/8/4P3/8/8/8 b - - 0 1", kStrongWins);  // king on a key square
  ExpectKpk("3k4/8/3K4/8/4P3/8/8/8 w - - 0 1", kStrongWins);
  ExpectKpk("8/4k3/8/4K3/4P3/8/8/8 w - - 0 1", kDrawn);       // the defender has the opposition
  ExpectKpk("8/4k3/8/4K3/4P3/8/8/8 b - - 0 1", kStrongWins);  // ... and loses it with the move
  ExpectKpk("k7/8/P7/1K6/8/8/8/8 w - - 0 1", kDrawn);         // rook pawn, king in the corner
  ExpectKpk("7k/8/8/6KP/8/8/8/8 w - - 0 1", kDrawn);
  ExpectKpk("k7/P7/1K6/8/8/8/8/8 b - - 0 1", kDrawn);       // stalemate
  ExpectKpk("4k3/4P3/4K3/8/8/8/8/8 b - - 0 1", kDrawn);     // stalemate
  ExpectKpk("8/8/8/8/3kP3/8/8/K7 b - - 0 1", kDrawn);       // the pawn is taken
  ExpectKpk("8/8/8/8/4P3/k7/8/K7 w - - 0 1", kStrongWins);  // outside the square of the pawn
  ExpectKpk("8/8/8/8/4P3/k7/8/K7 b - - 0 1", kDrawn);       // inside it
  // The same with Black's pawn.
  ExpectKpk("8/8/8/8/4p3/4k3/8/4K3 w - - 0 1", kStrongWins);
  ExpectKpk("8/8/8/4p3/4k3/8/4K3/8 b - - 0 1", kDrawn);
  ExpectKpk("8/8/8/4p3/4k3/8/4K3/8 w - - 0 1", kStrongWins);
  ExpectKpk("8/8/8/8/1k6/8/p7/K7 w - - 0 1", kDrawn);
}

TEST_F(KpkTest, ProbeNormalisesFilesAndColours) {
  // An e-pawn reads the d-file entry with the kings mirrored in file.
  ASSERT_TRUE(SetUpFen("4k3/8/4K3/4P3/8/8/8/8 w - - 0 1"));
  EXPECT_EQ(KpkBit(4, 5, SquareAt(4, 6), SquareAt(4, 8), true), 1);
  EXPECT_EQ(ProbeKpk(), 610);  // e5 pawn, its king on e6 in front of it, Black's on e8: a won ending
  // Black's pawn on a2 reads the entry of a white pawn on a7 with the kings mirrored in rank.
  ASSERT_TRUE(SetUpFen("8/8/8/8/8/2k5/p7/7K b - - 0 1"));
  const int black = ProbeKpk();
  ASSERT_TRUE(SetUpFen("7k/P7/2K5/8/8/8/8/8 w - - 0 1"));
  EXPECT_EQ(ProbeKpk(), black);
  EXPECT_EQ(KpkBit(1, 7, SquareAt(3, 6), SquareAt(8, 8), true), 1);
}

TEST_F(KpkTest, ProbeBandsOverRandomPositions) {
  std::srand(7);
  int checked = 0;
  while (checked < 3000) {
    const int pawnCode = std::rand() % 2 ? kWhitePawn : kBlackPawn;
    const int pawn = SquareAt(1 + std::rand() % 8, 2 + std::rand() % 6);
    const int wk = SquareAt(1 + std::rand() % 8, 1 + std::rand() % 8);
    const int bk = SquareAt(1 + std::rand() % 8, 1 + std::rand() % 8);
    if (wk == bk || wk == pawn || bk == pawn) continue;
    if (std::abs(fileOf[wk] - fileOf[bk]) <= 1 && std::abs(rankOf[wk] - rankOf[bk]) <= 1) continue;
    if (!SetUpFen(KpkFen(wk, bk, pawn, pawnCode, std::rand() % 2 == 0)))
      continue;  // side not to move in check
    const int strong = pawnCode == kWhitePawn ? kWhite : kBlack;
    const int v = ProbeKpk();
    const bool strongToMove = Board.side == strong;
    if (v > 17 || v < -17) {
      EXPECT_TRUE(strongToMove ? (v >= 601 && v <= 617) : (v >= -617 && v <= -601)) << v;
    } else {
      // A draw is scored for the strong side, 1..17.
      EXPECT_TRUE(strongToMove ? (v >= 1 && v <= 17) : (v >= -17 && v <= -1)) << v;
    }
    EXPECT_EQ(Evaluate(), -v);
    checked++;
  }
}

TEST(KpkLifecycle, GeneralEvaluationUntilTheBitbaseIsBuilt) {
  FreeKpkBitbase();
  EXPECT_FALSE(kpkReady);
  ASSERT_TRUE(SetUpFen("4k3/8/4K3/4P3/8/8/8/8 w - - 0 1"));
  EvalTrace trace;
  EvaluateTraced(&trace);
  EXPECT_FALSE(trace.kpk);
  EXPECT_TRUE(trace.reached[kStageKings]);
  BuildKpkBitbase();
  EXPECT_TRUE(kpkReady);
  EvaluateTraced(&trace);
  EXPECT_TRUE(trace.kpk);
  EXPECT_EQ(trace.result, -ProbeKpk());
}

}  // namespace
}  // namespace kelb::test
