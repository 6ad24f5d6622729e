// King and pawn against king. The table is made by backward passes over every placement of the
// two kings and the pawn: first the positions decided on sight (illegal, promoted, pawn lost),
// then twenty passes in which a strong-side position wins if one move reaches a win and a
// weak-side position wins if every legal move does.
#include "eval/lkpk.h"

#include <cassert>
#include <cstdlib>
#include <new>

#include "board/board.h"

namespace kelb {

uint8_t* KpkBitbase = nullptr;
bool kpkReady = false;

// Work table states, two bits per pawn file.
enum : int { kOpen = 0, kWin = 1, kImpossible = 2, kDraw = 3 };

constexpr int kWorkRanks = 7;     // pawn ranks 1..7 (0-based); 7 is a pawn that has just promoted
constexpr int kWorkBytes = 8192;  // per pawn rank
constexpr int kPasses = 20;

// Work tables: [pawnRank-1][kf*1024 + kr*128 + wf*16 + wr*2 + s], state at bits 2*pawnFile.
static uint8_t (*workTables)[kWorkBytes] = nullptr;

static constexpr int WorkIndex(int skf, int skr, int wkf, int wkr, int s) {
  return skf * 1024 + skr * 128 + wkf * 16 + wkr * 2 + s;
}

static constexpr bool WorkIndexLayoutMatches() {
  return WorkIndex(3, 5, 6, 2, 1) == (8 * 3 + 5) * 128 + (8 * 6 + 2) * 2 + 1;
}

static inline int GetState(int pr, int pf, int index) { return (workTables[pr - 1][index] >> (2 * pf)) & 3; }

static inline void SetState(int pr, int pf, int index, int state) {
  uint8_t& b = workTables[pr - 1][index];
  b = static_cast<uint8_t>((b & ~(3 << (2 * pf))) | (state << (2 * pf)));
}

static inline int Distance(int f1, int r1, int f2, int r2) {
  int df = std::abs(f1 - f2), dr = std::abs(r1 - r2);
  return df > dr ? df : dr;
}

// King steps as (file, rank) pairs, diagonals first.
static constexpr int kStepFile[8] = {-1, -1, 1, 1, -1, 0, 0, 1};
static constexpr int kStepRank[8] = {-1, 1, -1, 1, 0, -1, 1, 0};

static constexpr bool OnBoard(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }

static int InitialState(int s, int pr, int pf, int skf, int skr, int wkf, int wkr) {
  if ((skf == wkf && skr == wkr) || (skf == pf && skr == pr) || (wkf == pf && wkr == pr)) return kImpossible;
  if (Distance(skf, skr, wkf, wkr) <= 1) return kImpossible;
  if (s == 0 && wkr == pr + 1 && std::abs(wkf - pf) == 1) return kImpossible;
  if (s == 0 && pr == 7) return kWin;
  if (s == 1 && Distance(wkf, wkr, pf, pr) <= 1 && Distance(skf, skr, pf, pr) > 1) return kDraw;
  return kOpen;
}

// The passes settle the four pawn files side by side: a file's positions only ever look at positions with
// the pawn on the same file, so the byte of a work index holds four independent games, one per two-bit
// lane. The masks below hold one bit per lane, at the lane's low bit.
constexpr unsigned kLanes = 0x55;
static inline unsigned WinLanes(unsigned b) { return b & ~(b >> 1) & kLanes; }
static inline unsigned OpenLanes(unsigned b) { return ~b & ~(b >> 1) & kLanes; }
static inline unsigned DrawLanes(unsigned b) { return b & (b >> 1) & kLanes; }

// The squares a king on square 8 * file + rank (0-based) can step to, in the same numbering: in the work
// index a king square reads as 8 * file + rank, so a step is one lookup away.
struct KingNeighbours {
  uint8_t count;
  uint8_t square[8];
};
struct KingNeighbourTable {
  KingNeighbours of[64];
  constexpr const KingNeighbours& operator[](int square) const { return of[square]; }
};
static constexpr KingNeighbourTable MakeKingNeighbours() {
  KingNeighbourTable t{};
  for (int f = 0; f < 8; f++)
    for (int r = 0; r < 8; r++) {
      KingNeighbours& n = t.of[8 * f + r];
      for (int k = 0; k < 8; k++) {
        const int nf = f + kStepFile[k], nr = r + kStepRank[k];
        if (OnBoard(nf, nr)) n.square[n.count++] = static_cast<uint8_t>(8 * nf + nr);
      }
    }
  return t;
}
static constexpr KingNeighbourTable kKingNeighbours = MakeKingNeighbours();
static_assert(WorkIndexLayoutMatches(), "the work index reads a king square as 8 * file + rank");

// The lane of a pawn file (0..3), none for the files a pawn of the table never stands on.
static inline unsigned FileLane(int file) { return file < 4 ? 1u << (2 * file) : 0u; }

// Strong side to move, all files at once: a win if any move reaches a won position, open while some
// successor is still open, else a draw. The pawn moves only on the files where no king stands in front.
static unsigned StrongToMove(int pr, int skf, int skr, int wkf, int wkr) {
  unsigned win = 0, open = 0;
  auto look = [&](int npr, int nkf, int nkr, unsigned lanes) {
    const unsigned b = workTables[npr - 1][WorkIndex(nkf, nkr, wkf, wkr, 1)];
    win |= WinLanes(b) & lanes;
    open |= OpenLanes(b) & lanes;
  };
  // Files where a king stands on the square at pawn rank r.
  auto blocked = [&](int r) { return (skr == r ? FileLane(skf) : 0u) | (wkr == r ? FileLane(wkf) : 0u); };
  if (pr < 7) {
    const unsigned push = kLanes & ~blocked(pr + 1);
    look(pr + 1, skf, skr, push);
    if (pr == 1) look(pr + 2, skf, skr, push & ~blocked(pr + 2));
  }
  const KingNeighbours& n = kKingNeighbours[8 * skf + skr];
  for (int k = 0; k < n.count; k++) {
    const unsigned b = workTables[pr - 1][n.square[k] * 128 + (8 * wkf + wkr) * 2 + 1];
    win |= WinLanes(b);
    open |= OpenLanes(b);
  }
  open &= ~win;
  const unsigned draw = kLanes & ~win & ~open;
  return win | draw | draw << 1;
}

// Weak side to move, all files at once: a draw if any king move reaches a draw, a win if every legal
// move reaches a win, a stalemate draw without a legal move, else open.
static unsigned WeakToMove(int pr, int skf, int skr, int wkf, int wkr) {
  unsigned draw = 0, open = 0, win = 0;
  const KingNeighbours& n = kKingNeighbours[8 * wkf + wkr];
  const uint8_t* table = workTables[pr - 1] + (8 * skf + skr) * 128;
  for (int k = 0; k < n.count; k++) {
    const unsigned b = table[n.square[k] * 2];
    draw |= DrawLanes(b);
    open |= OpenLanes(b);
    win |= WinLanes(b);
  }
  open &= ~draw;
  win &= ~draw & ~open;
  draw = kLanes & ~win & ~open;  // a draw found, or no legal move
  return win | draw | draw << 1;
}

// Visits every position in the fixed order: weak side to move first, pawn ranks and files and
// then the king coordinates counting down.
template <typename Visit>
static void ForEachPosition(Visit visit) {
  for (int s = 1; s >= 0; s--)
    for (int pr = 7; pr >= 1; pr--)
      for (int pf = 3; pf >= 0; pf--)
        for (int skf = 7; skf >= 0; skf--)
          for (int skr = 7; skr >= 0; skr--)
            for (int wkf = 7; wkf >= 0; wkf--)
              for (int wkr = 7; wkr >= 0; wkr--) visit(s, pr, pf, skf, skr, wkf, wkr);
}

void BuildKpkBitbase() {
  if (kpkReady) return;
  KpkBitbase = new (std::nothrow) uint8_t[kKpkBytes]();
  workTables = new (std::nothrow) uint8_t[kWorkRanks][kWorkBytes]();
  if (KpkBitbase == nullptr || workTables == nullptr) {
    delete[] KpkBitbase;
    delete[] workTables;
    KpkBitbase = nullptr;
    workTables = nullptr;
    return;
  }

  ForEachPosition([](int s, int pr, int pf, int skf, int skr, int wkf, int wkr) {
    SetState(pr, pf, WorkIndex(skf, skr, wkf, wkr, s), InitialState(s, pr, pf, skf, skr, wkf, wkr));
  });

  // Each pass in the order of ForEachPosition, the pawn files side by side: within a file the positions
  // are settled in that same order, so the tables come out as file by file.
  for (int pass = 0; pass < kPasses; pass++)
    for (int s = 1; s >= 0; s--)
      for (int pr = 7; pr >= 1; pr--)
        for (int skf = 7; skf >= 0; skf--)
          for (int skr = 7; skr >= 0; skr--)
            for (int wkf = 7; wkf >= 0; wkf--)
              for (int wkr = 7; wkr >= 0; wkr--) {
                uint8_t& b = workTables[pr - 1][WorkIndex(skf, skr, wkf, wkr, s)];
                const unsigned open = OpenLanes(b);
                if (open == 0) continue;
                const unsigned st =
                    s == 0 ? StrongToMove(pr, skf, skr, wkf, wkr) : WeakToMove(pr, skf, skr, wkf, wkr);
                b = static_cast<uint8_t>(b | (st & (open * 3)));  // open lanes hold 0; an open result keeps 0
              }

  for (int s = 1; s >= 0; s--)
    for (int pr = 6; pr >= 1; pr--)
      for (int pf = 3; pf >= 0; pf--)
        for (int skf = 7; skf >= 0; skf--)
          for (int skr = 7; skr >= 0; skr--)
            for (int wkf = 7; wkf >= 0; wkf--)
              for (int wkr = 7; wkr >= 0; wkr--)
                if (GetState(pr, pf, WorkIndex(skf, skr, wkf, wkr, s)) == kWin)
                  KpkBitbase[(pr - 1) * 4096 + skf * 512 + skr * 64 + wkf * 8 + wkr] |=
                      static_cast<uint8_t>(1 << (2 * pf + s));

  delete[] workTables;
  workTables = nullptr;
  kpkReady = true;
}

void FreeKpkBitbase() {
  if (!kpkReady) return;
  delete[] KpkBitbase;
  KpkBitbase = nullptr;
  kpkReady = false;
}

int KpkBit(int pawnFile, int pawnRank, int strongKingSquare, int weakKingSquare, bool strongToMove) {
  assert(kpkReady && pawnFile >= 1 && pawnFile <= 4 && pawnRank >= 2 && pawnRank <= 7);
  int skf = strongKingSquare / 10, skr = strongKingSquare % 10;
  int wkf = weakKingSquare / 10, wkr = weakKingSquare % 10;
  int byte = (pawnRank - 2) * 4096 + (skf - 1) * 512 + (skr - 1) * 64 + (wkf - 1) * 8 + (wkr - 1);
  return (KpkBitbase[byte] >> (2 * (pawnFile - 1) + (strongToMove ? 0 : 1))) & 1;
}

int ProbeKpk() {
  const int strong = Board.pawnMaterial[kWhite] == 100 ? kWhite : kBlack;
  const int weak = 1 - strong;
  int pawn = 0;
  for (int i = 1; i <= kMaxPawnSlots && pawn == 0; i++) pawn = Board.pawns[strong][i];
  assert(pawn != 0);

  // Normalise: the strong side plays up the board, the pawn on files a..d.
  int pf = fileOf[pawn], pr = rankOf[pawn];
  int skf = fileOf[Board.king[strong]], skr = rankOf[Board.king[strong]];
  int wkf = fileOf[Board.king[weak]], wkr = rankOf[Board.king[weak]];
  if (strong == kBlack) {
    pr = 9 - pr;
    skr = 9 - skr;
    wkr = 9 - wkr;
  }
  if (pf >= 5) {
    pf = 9 - pf;
    skf = 9 - skf;
    wkf = 9 - wkf;
  }
  const int bit = KpkBit(pf, pr, 10 * skf + skr, 10 * wkf + wkr, Board.side == strong);

  // Won or not, prefer the weak king in front of the pawn and the strong king close to both.
  int v =
      600 * bit +
      (std::abs(wkf - pf) + std::abs(wkr - (pr + 1)) - std::abs(skf - wkf) - std::abs(skr - (pr + 1))) / 4 +
      2 * pr;
  if (strong == kBlack) v = -v;
  if (Board.side == kBlack) v = -v;
  return v;
}

}  // namespace kelb
