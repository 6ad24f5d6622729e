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

// The last move captured back what the move before it captured, on the same square, piece for piece.
static bool IsEqualRecapture(const Move* last, const Move* before) {
  return last->to == before->to && pieceValue[last->captured] == pieceValue[before->captured];
}

// Step 7: lines that must not be cut short get one more ply.
static bool ExtendNode(int ply, int32_t depth) {
  const Move* last = currentMove[ply - 1];
  if (singleReply[ply] && ply < 4 * iterationDepth) return true;
  if ((depth == 0 || depth == 1) && IsEqualRecapture(last, currentMove[ply - 2])) return true;
  if (Board.pieceMaterial[kWhite] == 0 && Board.pieceMaterial[kBlack] == 0 &&
      pieceValue[last->captured] >= 300)
    return true;  // just went into a pawn ending
  if (pieceType[last->piece] == kPawn) {
    const int rank = rankOf[last->to];
    if (rank == 7 || rank == 2) return true;
    if (depth >= 1) {
      // A passer two steps from promotion that the opponent's few pieces may not stop.
      if (last->piece == kBlackPawn && rank == 3 && Board.pieceMaterial[kBlack] <= 300 &&
          Board.squares[last->to - 1] != kWhitePawn)
        return true;
      if (last->piece == kWhitePawn && rank == 6 && Board.pieceMaterial[kWhite] <= 300 &&
          Board.squares[last->to + 1] != kBlackPawn)
        return true;
    }
  }
  return false;
}

// The key after a normal move, for prefetching its table bucket before the move is made (en passant and
// castling get a near miss, which costs nothing but the hint).
static inline uint32_t ChildKey(const Move& m) {
  const int arriving = m.promotion != 0 ? m.promotion : m.piece;
  uint32_t key = Board.key ^ sideKey ^ pieceKey[m.piece][m.from] ^ pieceKey[arriving][m.to];
  if (m.captured != 0) key ^= pieceKey[m.captured][m.to];
  return key;
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
  pvEnd[ply] = ply - 1;
  TimeControl& tc = timeControl;
  if (++tc.nodeCount >= 2147483646) tc.nodeCount -= 1000000;

  // 2-3. Node limit of the weak levels, and the input poll.
  if (engineState.searchInterruptible && tc.nodeCount >= tc.nodeLimit) {
    engineState.stopRequested = true;
    nodeLimitStop = true;
    Board.ply--;
    return alpha;
  }
  if (tc.nodeCount % tc.pollInterval == 0 && pollDuringSearch) {
    PollInput();
    if (engineState.stopRequested) {
      Board.ply--;
      return alpha;
    }
  }

  // 4. Too deep: the line ends here.
  if (ply >= kMaxSearchPly || depth < -14) {
    Board.ply--;
    return -SearchEvaluate();
  }

  // 5. Material draws.
  const int side = Board.side, xside = Board.xside;
  bool trivial = false;
  if (Board.pawnMaterial[kWhite] == 0 && Board.pawnMaterial[kBlack] == 0 &&
      Board.pieceMaterial[kWhite] <= 300 && Board.pieceMaterial[kBlack] <= 300) {
    if (Board.pieceMaterial[kWhite] + Board.pieceMaterial[kBlack] <= 300) {
      if (alpha >= 0) certainFailLow[ply] = 1;
      Board.ply--;
      return 0;
    }
    if (alpha >= 0) trivial = true;  // a minor piece each
  }
  if (Board.pawnMaterial[side] == 0 && Board.pieceMaterial[side] <= 300) {
    if (Board.pieceMaterial[side] == 0) {
      if (alpha >= 0) {
        certainFailLow[ply] = 1;  // a bare king cannot win
        Board.ply--;
        return 0;
      }
    } else if (alpha >= 0) {
      trivial = true;
    }
  }

  // 6. Repetitions: once is enough deep in the tree, near the root it takes two.
  repetitionCount[ply] = RepetitionCount();
  if (repetitionCount[ply] >= 2 || (repetitionCount[ply] == 1 && ply > 4)) {
    if (alpha >= 0) certainFailLow[ply] = 1;
    Board.ply--;
    return 0;
  }

  // 7. Extensions.
  int32_t d = depth;
  if (ply >= 3 && depth >= 0 && ExtendNode(ply, depth)) d = depth + 1;

  // 8. King and pawn against king: the bitbase knows the result.
  if (kpkReady && Board.pawnMaterial[kWhite] + Board.pawnMaterial[kBlack] + Board.pieceMaterial[kWhite] +
                          Board.pieceMaterial[kBlack] ==
                      100) {
    const int32_t v = ProbeKpk();
    if (v >= -617 && v <= -601) {
      if (alpha >= 600) {
        certainFailLow[ply] = 1;
        Board.ply--;
        return v;
      }
    } else if (v >= -17 && v <= 17) {
      if (alpha >= 17) {
        certainFailLow[ply] = 1;
        Board.ply--;
        return v;
      }
      if (beta <= -17) {
        Board.ply--;
        return v;
      }
    } else if (v >= 601 && v <= 617) {
      if (beta <= 600) {
        Board.ply--;
        return v;
      }
    }
    if (d >= 1) d = depth - 1;
  }

  // 9. Transposition table.
  int32_t best = kNotSearched;
  if (ply <= 2) hashMoveFrom[ply] = hashMoveTo[ply] = 0;
  noNullMove = false;
  fullEval[ply] = kNoStaticEval;
  const int32_t storeDepth = d;
  {
    int32_t hashScore;
    if (ProbeHash(alpha, beta, d, repetitionCount[ply], hashScore)) {
      Board.ply--;
      return hashScore;
    }
  }

  // 10-12. Window, check, quiescence.
  onLeftmostLine[ply] = onLeftmostLine[ply - 1];
  int32_t a = alpha, b = beta;
  const Move* last = currentMove[ply - 1];
  const bool afterNullMove = last->piece == 0;
  inCheck[ply] = afterNullMove ? 0 : InCheckAfter(*last);
  const bool quiescence = !inCheck[ply] && d < 1;
  if (inCheck[ply] && depth >= 0) d = depth + 1;

  // 13. Endings a bare king cannot lose by more, or cannot be won by the side to move.
  if (Board.pawnMaterial[side] == 0 && Board.pieceMaterial[side] == 0 &&
      (Board.pieceMaterial[xside] == 500 ||
       Board.pieceMaterial[xside] + 2 * Board.pawnMaterial[xside] >= 800) &&
      alpha >= -100)
    trivial = true;
  if (trivial) {
    if (d >= 1)
      d = 1;
    else
      trivial = false;
  }

  // 14. Evaluation: full where pruning needs it, else estimated from the parent.
  if (fullEval[ply] != kNoStaticEval) {
    estEval[ply] = fullEval[ply];
  } else if (!inCheck[ply] && d >= 2) {
    estEval[ply] = fullEval[ply] = -SearchEvaluate();
  } else {
    int32_t estimate = -estEval[ply - 1] - pieceValue[last->captured];
    if (last->promotion != 0) estimate += 190 - pieceValue[last->promotion];
    estEval[ply] = estimate;
  }

  int32_t lastScore = kNotSearched;  // stand pat or the last child's score, for the store depth
  bool nodeEnds = false;

  // 15. Stand pat.
  if (quiescence) {
    const StandPatResult r = StandPat(a, b, best);
    lastScore = best;
    if (r == StandPatResult::ReturnAtOnce) {
      Board.ply--;
      return best;
    }
    nodeEnds = r == StandPatResult::NodeEnds;
  }

  // 16. Null move.
  int32_t verificationDepth = 0;
  bool verify = false;
  if (!nodeEnds && d >= 1) {
    const int32_t ownPieces = Board.pieceMaterial[side];
    const bool deepEnough = d >= 3 || (d == 2 && ownPieces >= 1200 && estEval[ply] - 26 >= b) ||
                            (d == 1 && ownPieces >= 1200 && estEval[ply] - 601 >= b);
    if (deepEnough && !inCheck[ply] && ownPieces > 0 && !noNullMove && !afterNullMove &&
        !onLeftmostLine[ply - 1]) {
      int32_t R = (Board.pieceMaterial[xside] <= 1200 && d == 3) ? 2 : 3;
      int32_t vd = d - 3;
      if (estEval[ply] > 600 && d >= 5 && ownPieces >= 900 && Board.pieceMaterial[xside] <= 300) {
        R = 4;
        vd = d - 5;
      }
      if (vd <= 0 && ownPieces < 900 && d >= 3) vd = 1;  // few pieces: zugzwang is likely, verify
      checksOnly[ply + 1] = (d >= 2 && d - R <= 0);
      singleReply[ply + 1] = 0;
      MakeNullMove();
      PrefetchHash(Board.key);
      hashMoveFrom[ply + 1] = hashMoveTo[ply + 1] = 0;
      const int32_t score = -Search(-b, -b + 1, d - R);
      UnmakeNullMove();
      if (engineState.stopRequested) {
        Board.ply--;
        return alpha;
      }
      if (score >= b && !mateSearchMode) {
        if (vd <= 0) {
          Board.ply--;
          return b;
        }
        verificationDepth = vd;
        verify = true;
      }
    }
  }

  if (!nodeEnds) {
    // 17. Generate and order.
    futilityThreshold = quiescence ? QuiescenceFutilityThreshold(a) : 0;
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

    // 18. Internal iterative deepening over the node's own depth.
    int legal = 0;
    const int32_t passes = d >= 1 ? d : 1;
    for (int32_t n = 1; n <= passes; n++) {
      if (n > 1 && tc.nodeCount > settings.hashSizeMb * 300000 && n == d - 1) n = d;
      int failHighMove = 0;

      // 19. The moves.
      for (int k = 1; k <= count; k++) {
        SortThrough(list, count, k < count ? k + 1 : k, sorted);  // one ahead for the prefetch
        Move& m = moveBuffer[list[k]];
        if (k < count) PrefetchHash(ChildKey(moveBuffer[list[k + 1]]));
        onLeftmostLine[ply] = k == 1 && onLeftmostLine[ply - 1];
        if (m.flags & kFlagSearchedIllegal) continue;
        if (quiescence && pieceType[m.piece] != kKing && !checksOnly[ply] && MoveKind(m) == kNormalMove &&
            m.promotion == 0 && BadCapture(m.from, m.to))
          continue;
        MakeMove(m);
        if (k == 1) PrefetchHash(Board.key);
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
          Board.ply--;
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
        if (score >= 32766 - ply - (n - 1) || (!mateSearchMode && score >= kMateBound) ||
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
        if (best <= ply + (n - 1) - 32766 || (!mateSearchMode && best <= -kMateBound) ||
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

  // 20. Store depth; quiescence results count as depth 0 or -1.
  nodeDepth[ply] = depth;
  int32_t sd;
  if (storeDepth > 0) {
    sd = storeDepth;
  } else if (inCheck[ply]) {
    if (storeDepth < 0) {
      Board.ply--;
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

  // 21-23.
  if (!engineState.stopRequested) StoreHash(best, alpha, beta, sd, repetitionCount[ply]);
  if (trivial && ((alpha >= 0 && best <= 0) || (alpha >= -100 && best < -800))) certainFailLow[ply] = 1;
  Board.ply--;
  return best;
}

}  // namespace kelb
