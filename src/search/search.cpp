#include "search/search.h"

#include <cassert>
#include <cstring>

#include "board/attack.h"
#include "board/game.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "driver/config.h"
#include "driver/poll.h"
#include "eval/lkpk.h"
#include "search/exchange.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "search/quiesce.h"
#include "search/timectl.h"
#include "search/weak.h"

namespace kelb {

int32_t fullEval[kMaxPly];
int32_t estEval[kMaxPly];
int32_t nodeDepth[kMaxPly];
int32_t childDepthHint[kMaxPly];
uint8_t onLeftmostLine[kMaxPly];
uint8_t certainFailLow[kMaxPly];
uint8_t singleReply[kMaxPly];
int32_t repetitionCount[kMaxPly];
int32_t pvLine[kMaxPly][kMaxPly];
int32_t pvEnd[kMaxPly];
int32_t nodeList[kMaxPly][kMaxListMoves + 1];

bool noNullMove = false;
int32_t iterationDepth = 1;
bool mateSearchMode = false;
bool nodeLimitStop = false;
bool pollDuringSearch = true;

// The node counter stays below the int32 limit: near it, it steps back by a round number.
static constexpr int32_t kNodeCountCeiling = 2147483646;
static constexpr int32_t kNodeCountStepBack = 1000000;
// Quiescence never goes deeper than this below the horizon: a line of checks and captures ends there.
static constexpr int32_t kDeepestQuiescence = -14;
// At most a minor piece: with no pawns, nobody can mate with that.
static constexpr int32_t kMinorPiece = 300;
// A bare king loses against a lone rook, or against pieces and twice the pawns worth this much.
static constexpr int32_t kLoneRook = 500;
static constexpr int32_t kClearlyWinning = 800;
// Bare-king endings are certain fail lows once alpha is no worse than a pawn down.
static constexpr int32_t kPawnDown = -100;
// The KPK bitbase's scores (lkpk.h): a win 601..617 for the side to move, a loss -617..-601, a draw
// -17..17. A won or lost score settles every window that lies beyond the band's edge.
static constexpr int32_t kKpkWinLow = 601, kKpkWinHigh = 617, kKpkDrawBand = 17;
static constexpr int32_t kKpkWinEdge = 600;
// The material of a lone pawn: king and pawn against king.
static constexpr int32_t kLonePawn = 100;
// The estimate of a promotion's gain before the evaluation sees it: the new piece less this.
static constexpr int32_t kPromotionEstimate = 190;
// Null move: shallow nodes try it only with a sizeable army and a static margin over beta; the
// reduction grows with the depth and when far ahead against few enemy pieces.
static constexpr int32_t kNullMovePieces = 1200;  // own pieces (no pawns) for a null move at depth 1-2
static constexpr int32_t kNullMoveMarginDepth2 = 26;
static constexpr int32_t kNullMoveMarginDepth1 = 601;
static constexpr int32_t kNullMoveReduction = 3;
static constexpr int32_t kNullMoveSmallReduction = 2;  // depth 3 against at most kNullMovePieces
static constexpr int32_t kNullMoveBigReduction = 4;    // far ahead, at depth 5 and more
static constexpr int32_t kNullMoveBigLead = 600;
static constexpr int32_t kNullMoveBigDepth = 5;
static constexpr int32_t kNullMoveBigArmy = 900;     // own pieces, and below it zugzwang is likely
static constexpr int32_t kNullMoveFewEnemies = 300;  // enemy pieces at most a minor
// Internal iterative deepening skips to the last passes once the search has this many nodes per
// megabyte of table: the table then holds the earlier passes' moves anyway.
static constexpr int32_t kNodesPerHashMb = 300000;
// A score at or beyond kMateInReach - ply - (pass - 1) is a mate this pass cannot shorten (kInfinity's
// value, 2 below kMateBase).
static constexpr int32_t kMateInReach = kMateBase - 2;
// A trivial ending that scores below this for the side to move is lost for it: a certain fail low.
static constexpr int32_t kLostByMore = -800;

// Board.ply is raised when a node starts and lowered again on every way out of it.
namespace {
struct PlyGuard {
  PlyGuard() = default;
  PlyGuard(const PlyGuard&) = delete;
  PlyGuard& operator=(const PlyGuard&) = delete;
  ~PlyGuard() { Board.ply--; }
};
}  // namespace

// The last move captured back what the move before it captured, on the same square, piece for piece.
static bool IsEqualRecapture(const Move* last, const Move* before) {
  return last->to == before->to && pieceValue[last->captured] == pieceValue[before->captured];
}

// Step 6: lines that must not be cut short get one more ply.
static bool ExtendNode(int ply, int32_t depth) {
  const Move* last = currentMove[ply - 1];
  if (singleReply[ply] && ply < 4 * iterationDepth) return true;
  if ((depth == 0 || depth == 1) && IsEqualRecapture(last, currentMove[ply - 2])) return true;
  if (Board.pieceMaterial[kWhite] == 0 && Board.pieceMaterial[kBlack] == 0 &&
      pieceValue[last->captured] >= kMinorPiece)
    return true;  // just went into a pawn ending
  if (pieceType[last->piece] == kPawn) {
    const int rank = rankOf[last->to];
    if (rank == 7 || rank == 2) return true;
    if (depth >= 1) {
      // A passer two steps from promotion that the opponent's few pieces may not stop.
      if (last->piece == kBlackPawn && rank == 3 && Board.pieceMaterial[kBlack] <= kMinorPiece &&
          Board.squares[last->to - 1] != kWhitePawn)
        return true;
      if (last->piece == kWhitePawn && rank == 6 && Board.pieceMaterial[kWhite] <= kMinorPiece &&
          Board.squares[last->to + 1] != kBlackPawn)
        return true;
    }
  }
  return false;
}

// The key after a normal move of `piece` that arrives on `to` as `arriving`, taking `captured` (kEmpty for
// none), for prefetching its table bucket before the move is made (en passant and castling get a near
// miss, which costs nothing but the hint). The row of kEmpty is all zeros: no capture needs no test.
static inline uint32_t KeyAfter(int piece, int arriving, int from, int to, int captured) {
  return Board.key ^ sideKey ^ pieceKey[piece][from] ^ pieceKey[arriving][to] ^ pieceKey[captured][to];
}

static inline uint32_t ChildKey(const Move& m) {
  return KeyAfter(m.piece, m.promotion != 0 ? m.promotion : m.piece, m.from, m.to, m.captured);
}

// The same for the table's move given by its squares, read before the moves are generated.
static inline uint32_t HashMoveChildKey(int from, int to) {
  return KeyAfter(Board.squares[from], Board.squares[from], from, to, Board.squares[to]);
}

// Takes the selection steps of the node's sort up to list position k; `sorted` counts the steps taken, and
// jumps to count once the sort has ended. Most nodes cut off after a move or two, so sorting as far as the
// loop reads saves the rest of the selection without changing the order.
static inline void SortThrough(int32_t* list, int count, int k, int& sorted) {
  while (sorted < k) {
    if (!SortStep(list, ++sorted, count)) sorted = count;
  }
}

// Appends the child's line to this ply's line behind the move.
static void CopyPv(int ply, const Move& move) {
  pvLine[ply][ply] = PvCode(move);
  const int end = pvEnd[ply + 1];
  for (int p = ply + 1; p <= end; p++) pvLine[ply][p] = pvLine[ply + 1][p];
  pvEnd[ply] = end;
}

int32_t Search(int32_t alpha, int32_t beta, int32_t depth) {
  // 1. Enter the node.
  const int ply = ++Board.ply;
  const PlyGuard plyGuard;
  assert(ply >= 2 && ply < kMaxPly && alpha < beta);
  pvEnd[ply] = ply - 1;
  TimeControl& tc = timeControl;
  if (++tc.nodeCount >= kNodeCountCeiling) tc.nodeCount -= kNodeCountStepBack;

  // 2. Node limit of the weak levels, and the input poll.
  if (engineState.searchInterruptible && tc.nodeCount >= tc.nodeLimit) {
    engineState.stopRequested = true;
    nodeLimitStop = true;
    return alpha;
  }
  if (tc.nodeCount % tc.pollInterval == 0 && pollDuringSearch) {
    PollInput();
    if (engineState.stopRequested) {
      return alpha;
    }
  }

  // 3. Too deep: the line ends here.
  if (ply >= kMaxSearchPly || depth < kDeepestQuiescence) {
    return -SearchEvaluate();
  }

  // 4. Material draws.
  const int side = Board.side, xside = Board.xside;
  bool trivial = false;
  if (Board.pawnMaterial[kWhite] == 0 && Board.pawnMaterial[kBlack] == 0 &&
      Board.pieceMaterial[kWhite] <= kMinorPiece && Board.pieceMaterial[kBlack] <= kMinorPiece) {
    if (Board.pieceMaterial[kWhite] + Board.pieceMaterial[kBlack] <= kMinorPiece) {
      if (alpha >= 0) certainFailLow[ply] = 1;
      return 0;
    }
    if (alpha >= 0) trivial = true;  // a minor piece each
  }
  if (Board.pawnMaterial[side] == 0 && Board.pieceMaterial[side] <= kMinorPiece) {
    if (Board.pieceMaterial[side] == 0) {
      if (alpha >= 0) {
        certainFailLow[ply] = 1;  // a bare king cannot win
        return 0;
      }
    } else if (alpha >= 0) {
      trivial = true;
    }
  }

  // 5. Repetitions: once is enough deep in the tree, near the root it takes two.
  repetitionCount[ply] = RepetitionCount();
  if (repetitionCount[ply] >= 2 || (repetitionCount[ply] == 1 && ply > 4)) {
    if (alpha >= 0) certainFailLow[ply] = 1;
    return 0;
  }

  // 6. Extensions.
  int32_t d = depth;
  if (ply >= 3 && depth >= 0 && ExtendNode(ply, depth)) d = depth + 1;

  // 7. King and pawn against king: the bitbase knows the result.
  if (kpkReady && Board.pawnMaterial[kWhite] + Board.pawnMaterial[kBlack] + Board.pieceMaterial[kWhite] +
                          Board.pieceMaterial[kBlack] ==
                      kLonePawn) {
    const int32_t v = ProbeKpk();
    if (v >= -kKpkWinHigh && v <= -kKpkWinLow) {
      if (alpha >= kKpkWinEdge) {
        certainFailLow[ply] = 1;
        return v;
      }
    } else if (v >= -kKpkDrawBand && v <= kKpkDrawBand) {
      if (alpha >= kKpkDrawBand) {
        certainFailLow[ply] = 1;
        return v;
      }
      if (beta <= -kKpkDrawBand) {
        return v;
      }
    } else if (v >= kKpkWinLow && v <= kKpkWinHigh) {
      if (beta <= kKpkWinEdge) {
        return v;
      }
    }
    if (d >= 1) d = depth - 1;
  }

  // 8. Transposition table.
  int32_t best = kNotSearched;
  if (ply <= 2) hashMoveFrom[ply] = hashMoveTo[ply] = 0;
  noNullMove = false;
  fullEval[ply] = kNoStaticEval;
  const int32_t storeDepth = d;
  {
    int32_t hashScore;
    if (ProbeHash(alpha, beta, d, repetitionCount[ply], hashScore)) {
      return hashScore;
    }
  }

  // 9. Window, check, quiescence.
  onLeftmostLine[ply] = onLeftmostLine[ply - 1];
  int32_t a = alpha, b = beta;
  const Move* last = currentMove[ply - 1];
  const bool afterNullMove = last->piece == 0;
  inCheck[ply] = afterNullMove ? 0 : InCheckAfter(*last);
  const bool quiescence = !inCheck[ply] && d < 1;
  if (inCheck[ply] && depth >= 0) d = depth + 1;

  // 10. Endings a bare king cannot lose by more, or cannot be won by the side to move.
  if (Board.pawnMaterial[side] == 0 && Board.pieceMaterial[side] == 0 &&
      (Board.pieceMaterial[xside] == kLoneRook ||
       Board.pieceMaterial[xside] + 2 * Board.pawnMaterial[xside] >= kClearlyWinning) &&
      alpha >= kPawnDown)
    trivial = true;
  if (trivial) {
    if (d >= 1)
      d = 1;
    else
      trivial = false;
  }

  // 11. Evaluation: full where pruning needs it, else estimated from the parent.
  if (fullEval[ply] != kNoStaticEval) {
    estEval[ply] = fullEval[ply];
  } else if (!inCheck[ply] && d >= 2) {
    estEval[ply] = fullEval[ply] = -SearchEvaluate();
  } else {
    int32_t estimate = -estEval[ply - 1] - pieceValue[last->captured];
    if (last->promotion != 0) estimate += kPromotionEstimate - pieceValue[last->promotion];
    estEval[ply] = estimate;
  }

  int32_t lastScore = kNotSearched;  // stand pat or the last child's score, for the store depth
  bool nodeEnds = false;

  // 12. Stand pat.
  if (quiescence) {
    const StandPatResult r = StandPat(a, b, best);
    lastScore = best;
    if (r == StandPatResult::ReturnAtOnce) {
      return best;
    }
    nodeEnds = r == StandPatResult::NodeEnds;
  }

  // 13. Null move.
  int32_t verificationDepth = 0;
  bool verify = false;
  if (!nodeEnds && d >= 1) {
    const int32_t ownPieces = Board.pieceMaterial[side];
    const bool deepEnough =
        d >= 3 || (d == 2 && ownPieces >= kNullMovePieces && estEval[ply] - kNullMoveMarginDepth2 >= b) ||
        (d == 1 && ownPieces >= kNullMovePieces && estEval[ply] - kNullMoveMarginDepth1 >= b);
    if (deepEnough && !inCheck[ply] && ownPieces > 0 && !noNullMove && !afterNullMove &&
        !onLeftmostLine[ply - 1]) {
      int32_t R = (Board.pieceMaterial[xside] <= kNullMovePieces && d == 3) ? kNullMoveSmallReduction
                                                                            : kNullMoveReduction;
      int32_t vd = d - kNullMoveReduction;
      if (estEval[ply] > kNullMoveBigLead && d >= kNullMoveBigDepth && ownPieces >= kNullMoveBigArmy &&
          Board.pieceMaterial[xside] <= kNullMoveFewEnemies) {
        R = kNullMoveBigReduction;
        vd = d - kNullMoveBigDepth;
      }
      if (vd <= 0 && ownPieces < kNullMoveBigArmy && d >= 3)
        vd = 1;  // few pieces: zugzwang is likely, verify
      checksOnly[ply + 1] = (d >= 2 && d - R <= 0);
      singleReply[ply + 1] = 0;
      MakeNullMove();
      PrefetchHash(Board.key);
      hashMoveFrom[ply + 1] = hashMoveTo[ply + 1] = 0;
      const int32_t score = -Search(-b, -b + 1, d - R);
      UnmakeNullMove();
      if (engineState.stopRequested) {
        return alpha;
      }
      if (score >= b && !mateSearchMode) {
        if (vd <= 0) {
          return b;
        }
        verificationDepth = vd;
        verify = true;
      }
    }
  }

  if (!nodeEnds) {
    // 14. Generate and order.
    futilityThreshold = quiescence ? QuiescenceFutilityThreshold(a) : 0;
    // The expected first move is the table's: start loading its child's bucket while the moves are
    // generated.
    if (const int from = hashMoveFrom[ply], to = hashMoveTo[ply]; from != 0 && Board.squares[from] != kEmpty)
      PrefetchHash(HashMoveChildKey(from, to));
    GenerateMoves(quiescence && !checksOnly[ply]);
    const int level = Board.makeDepth;
    const int count = moveCount[level];
    assert(count <= kMaxListMoves);
    int32_t* list = nodeList[ply];
    for (int k = 1; k <= count; k++) list[k] = moveStart[level] + k;
    singleReply[ply + 1] = inCheck[ply] && count == 1;
    checksOnly[ply + 1] = 0;
    int sorted = 0;
    certainFailLow[ply + 1] = 0;
    childDepthHint[ply + 1] = d >= 2 ? d - 1 : 1;

    // 15. Internal iterative deepening over the node's own depth.
    int legal = 0;
    const int32_t passes = d >= 1 ? d : 1;
    for (int32_t n = 1; n <= passes; n++) {
      if (n > 1 && tc.nodeCount > settings.hashSizeMb * kNodesPerHashMb && n == d - 1) n = d;
      int failHighMove = 0;

      // 16. The moves.
      for (int k = 1; k <= count; k++) {
        if (k == 1) {
          // The first child is probed soonest: start its load before the second selection step.
          SortThrough(list, count, 1, sorted);
          PrefetchHash(ChildKey(moveBuffer[list[1]]));
        }
        SortThrough(list, count, k < count ? k + 1 : k, sorted);  // one ahead for the prefetch
        Move& m = moveBuffer[list[k]];
        if (k < count) PrefetchHash(ChildKey(moveBuffer[list[k + 1]]));
        onLeftmostLine[ply] = k == 1 && onLeftmostLine[ply - 1];
        if (m.flags & kFlagSearchedIllegal) continue;
        if (quiescence && pieceType[m.piece] != kKing && !checksOnly[ply] && MoveKind(m) == kNormalMove &&
            m.promotion == 0 && BadCapture(m.from, m.to))
          continue;
        MakeMove(m);
        if (!(m.flags & kFlagSearchedLegal)) {
          if (MoveLeftKingAttacked(m, inCheck[ply])) {  // our king, with the opponent to move
            m.flags |= kFlagSearchedIllegal;
            m.score = kNotSearched;
            UnmakeMove(m);
            continue;
          }
          m.flags |= kFlagSearchedLegal;
          legal++;
        }
        hashMoveFrom[ply + 1] = m.replyFrom;
        hashMoveTo[ply + 1] = m.replyTo;

        int32_t score;
        if (d <= 0) {
          score = -Search(-b, -a, d - 1);
        } else if (d >= 3 && n == d && storeDepth == depth && k > 3 && !onLeftmostLine[ply - 1] &&
                   m.captured == 0 && !mateSearchMode && !IsNewMove(m)) {
          // Late quiet moves that were already possible a move ago are tried one ply shallower first.
          score = -Search(-b, -a, n - 2);
          if (!engineState.stopRequested && score > a) score = -Search(-b, -a, n - 1);
        } else {
          score = -Search(-b, -a, n - 1);
        }
        if (engineState.stopRequested) {
          UnmakeMove(m);
          return alpha;
        }

        m.replyFrom = static_cast<uint8_t>(hashMoveFrom[ply + 1]);
        m.replyTo = static_cast<uint8_t>(hashMoveTo[ply + 1]);
        m.score = score;
        lastScore = score;
        if (score > best) best = score;
        if (score > a) {
          a = score;
          hashMoveFrom[ply] = m.from;
          hashMoveTo[ply] = m.to;
          RecordGoodMove(m, score >= b);
          CopyPv(ply, m);
        }
        UnmakeMove(m);
        if (score >= kMateInReach - ply - (n - 1) || (!mateSearchMode && score >= kMateBound) ||
            certainFailLow[ply + 1]) {
          nodeEnds = true;
          break;
        }
        if (score >= b) {
          failHighMove = k;
          break;
        }
      }
      if (nodeEnds) break;

      if (!quiescence && legal == 0) {
        best = inCheck[ply] ? ply - kMateBase : 0;
        break;
      }
      if (n < d) {
        if (best <= ply + (n - 1) - kMateInReach || (!mateSearchMode && best <= -kMateBound) ||
            (verify && n == verificationDepth && best >= beta))
          break;
        SortThrough(list, count, count, sorted);  // the next pass reorders the whole list
        if (failHighMove != 0)
          MoveToFront(list, failHighMove);
        else
          BestToFront(list);
        a = alpha;
        b = beta;
        best = kNotSearched;
      }
    }
  }

  // 17. Store depth; quiescence results count as depth 0 or -1.
  nodeDepth[ply] = depth;
  int32_t sd;
  if (storeDepth > 0) {
    sd = storeDepth;
  } else if (inCheck[ply]) {
    if (storeDepth < 0) {
      return best;
    }
    sd = -1;
  } else if (lastScore >= b && hashMoveTo[ply] != 0 &&
             !(hashMoveTo[ply] == last->to &&
               pieceValue[Board.squares[hashMoveTo[ply]]] == pieceValue[last->captured])) {
    sd = 1;  // a cut-off by a real gain, not a mere recapture, counts as a one-ply result
  } else {
    sd = checksOnly[ply] ? 0 : -1;
  }

  // 18. Store the result; a trivial ending that failed low is certain to.
  if (!engineState.stopRequested) StoreHash(best, alpha, beta, sd, repetitionCount[ply]);
  if (trivial && ((alpha >= 0 && best <= 0) || (alpha >= kPawnDown && best < kLostByMore)))
    certainFailLow[ply] = 1;
  return best;
}

}  // namespace kelb
