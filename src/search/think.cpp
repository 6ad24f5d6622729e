#include "search/think.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/attack.h"
#include "board/game.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/random.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "driver/poll.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "search/output.h"
#include "search/search.h"
#include "search/weak.h"

namespace kelb {

Move engineMove;
int32_t rootScore = -kInfinity;
int32_t lastIteration = 0;
int32_t iterationScore[kMaxDepthLimit + 2];
char statusText[kStatusTextSize];
bool resigned = false;
SearchLimits searchLimits;

bool RootMoveAllowed(const Move& move) {
  if (searchLimits.rootMoveCount == 0) return true;
  for (int i = 0; i < searchLimits.rootMoveCount; ++i) {
    const Move& listed = searchLimits.rootMoves[i];
    if (listed.from == move.from && listed.to == move.to && listed.promotion == move.promotion) return true;
  }
  return false;
}

// The root's move becomes the best one: remember it with its line.
static void SetBest(const Move& move, int32_t score) {
  engineMove = move;
  rootScore = score;
  pvLine[1][1] = PvCode(move);
  const int end = pvEnd[2];
  for (int p = 2; p <= end; p++) pvLine[1][p] = pvLine[2][p];
  pvEnd[1] = end > 1 ? end : 1;
}

// Multi-line analysis keeps every root move's own line, by the move's place in the root's generated list.
struct RootLine {
  int32_t depth;  // of the search that gave the line; 0 while the move has none
  int32_t score;  // exact: the move was searched with the full window
  int32_t length;
  int32_t pv[kMaxPly];
};
static RootLine rootLines[kMaxListMoves + 1];
static int32_t rootBase;   // move number before the root's first move
static bool linesChanged;  // a line was recorded since the lines were last shown

// Remembers the line the search of the root move just found: the move and the line of ply 2.
static void RecordLine(int32_t moveNumber, const Move& move, int32_t depth, int32_t score) {
  RootLine& line = rootLines[moveNumber - rootBase];
  line.depth = depth;
  line.score = score;
  line.pv[0] = PvCode(move);
  int length = 1;
  // At most what pvLine[1][1..] can take when the line is played.
  for (int p = 2; p <= pvEnd[2] && length < kMaxPly - 1; p++) line.pv[length++] = pvLine[2][p];
  line.length = length;
  linesChanged = true;
}

// Shows the best `shown` root moves with their lines, best first, and makes line 1 the move played. After a
// stop inside an iteration, the moves that finished the new depth rank before those still at the previous
// one: every line shown is exact at its own depth, as the engine plays the best move of the newest depth.
static void PrintLines(const int32_t* list, int count, int shown) {
  int order[kMaxListMoves];
  int n = 0;
  for (int k = 1; k <= count; k++)
    if (rootLines[list[k] - rootBase].depth > 0) order[n++] = list[k] - rootBase;
  std::stable_sort(order, order + n, [](int a, int b) {
    const RootLine& x = rootLines[a];
    const RootLine& y = rootLines[b];
    return x.depth != y.depth ? x.depth > y.depth : x.score > y.score;
  });
  linesChanged = false;
  if (n == 0) return;
  const RootLine& best = rootLines[order[0]];
  engineMove = moveBuffer[rootBase + order[0]];
  rootScore = best.score;
  for (int p = 0; p < best.length; p++) pvLine[1][p + 1] = best.pv[p];
  pvEnd[1] = best.length;
  if (n > shown) n = shown;
  for (int i = 0; i < n; i++) {
    const RootLine& line = rootLines[order[i]];
    PrintAnalysisLine(line.depth, i + 1, line.score, line.pv, line.length);
  }
}

static bool TimeChecksOff() {
  return engineState.mode == EngineMode::Analyze || settings.weakLevel != 0 || engineState.pondering ||
         engineState.uciPonder;
}

static void SetStatusText(int depth, int legalCount, int searched, const Move& move) {
  const std::string text = MoveToText(move);
  std::snprintf(statusText, sizeof statusText, " %d %d %d %s", depth, legalCount - searched, legalCount,
                text.c_str());
}

void ResignOrOfferDraw() {
  if (settings.resignEnabled && !resigned && !engineState.pondering && !engineState.uciPonder &&
      !engineState.uciMode && engineState.mode != EngineMode::Analyze && settings.weakLevel == 0) {
    if (gamePly > 0 && rootScore > -kMateBound && rootScore < -800) {
      resigned = true;
      SendLine("resign");
    }
    // The game record is nearly full: settle the game while it can still be recorded.
    if (gamePly == 997 || gamePly == 998) {
      if (rootScore < -200) {
        resigned = true;
        SendLine("resign");
      } else {
        SendLine("offer draw");
      }
    }
  }
}

// Analysis and pondering never end on their own; a weak level may have to wait for its time.
static void FinishSearch() {
  bool timed = true;
  if (engineState.mode == EngineMode::Analyze || engineState.pondering || engineState.uciPonder) {
    // The node limit of a weak level ends the tree search, not the wait for the command.
    if (nodeLimitStop) engineState.stopRequested = false;
    while (!engineState.stopRequested &&
           (engineState.mode == EngineMode::Analyze || engineState.pondering || engineState.uciPonder)) {
      PollInput();
      WaitMs(1);
    }
    timed = !engineState.stopRequested;  // "ponderhit" turned the ponder search into a timed one
  }
  // A search bounded only by depth, nodes or a mate length would stop at once at full strength too, so
  // without a time budget there is no time to imitate.
  if (timed && settings.weakDelay && settings.weakLevel != 0 && timeControl.timeBudget) {
    // The delay only imitates thinking time, so the input is served as during a search: "isready" is
    // answered and a command ends it. A long control can put the deadline minutes away.
    if (nodeLimitStop) engineState.stopRequested = false;
    while (!engineState.stopRequested && TickCount() <= timeControl.iterationDeadline) {
      if (pollDuringSearch) PollInput();
      WaitMs(1);
    }
  }

  ResignOrOfferDraw();
  if (settings.logEnabled) LogCheckpoint();
}

// The first pass: every legal move, replies searched to quiescence. Returns false when the search ends. For
// analysis lines every move gets the full window, and a mate in one ends the search only after the pass.
static bool FirstPass(int32_t* list, int count, int& legalCount, int32_t& alpha, bool lines) {
  rootScore = -kInfinity;
  alpha = -kInfinity;
  const int32_t beta = kInfinity;
  legalCount = 0;
  for (int k = 1; k <= count; k++) {
    Move& m = moveBuffer[list[k]];
    MakeMove(m);
    if (IsAttacked(Board.king[Board.xside], Board.side)) {
      m.flags |= kFlagSearchedIllegal;
      m.score = kNotSearched;
      UnmakeMove(m);
      continue;
    }
    m.flags |= kFlagSearchedLegal;
    legalCount++;
    if (!RootMoveAllowed(m)) {
      m.score = kNotSearched;  // not asked for: never chosen, and kept behind the listed moves
      UnmakeMove(m);
      continue;
    }
    const int32_t score = -Search(-beta, lines ? kInfinity : -alpha, 0);
    if (engineState.stopRequested) {
      UnmakeMove(m);
      return false;
    }
    m.score = score;
    if (lines) RecordLine(list[k], m, 1, score);
    if (score > alpha) {
      alpha = score;
      SetBest(m, score);
      engineState.searchInterruptible = true;
    }
    UnmakeMove(m);
    if (rootScore >= kInfinity && !lines) {
      PrintThinking(1, true);
      return false;
    }
  }
  if (legalCount == 0) {
    rootScore = inCheck[1] ? kNotSearched : 0;
    engineState.searchInterruptible = true;
  }
  return !(lines && rootScore >= kInfinity);
}

// Gives up the rest of an iteration when the soft deadline has passed, unless the score dropped clearly
// against the previous iteration: that buys time up to the hard deadline.
static bool OutOfTimeAfterRootMove(int32_t depth) {
  return settings.weakLevel == 0 && engineState.mode != EngineMode::Analyze &&
         rootScore - iterationScore[depth - 1] > -60 && !engineState.pondering && !engineState.uciPonder &&
         TickCount() > timeControl.softDeadline;
}

// A legal root move the front end allows is counted and announced (status line, UCI currmove) before it is
// searched; false for a move to pass over.
static bool StartRootMove(const Move& m, int32_t depth, int legalCount, int& searched) {
  if (!(m.flags & kFlagSearchedLegal) || !RootMoveAllowed(m)) return false;
  searched++;
  SetStatusText(depth, legalCount, searched, m);
  if (engineState.uciMode) PrintCurrentMove(MoveToText(m).c_str(), searched);
  return true;
}

// One iteration at `depth`. Returns false when the search ends.
static bool Iterate(int32_t depth, int32_t* list, int count, int legalCount, int32_t& alpha) {
  const bool multi = engineState.multiAnalyze;
  if (multi)
    SortFirst(list, 5);
  else
    BestToFront(list);

  const int32_t prev = alpha;
  int32_t beta;
  if (mateSearchMode) {
    alpha = -kInfinity;
    beta = kInfinity;
  } else {
    alpha = prev - 30;
    beta = prev + 30;
  }

  bool first = true;
  int searched = 0;
  for (int k = 1; k <= count; k++) {
    Move& m = moveBuffer[list[k]];
    if (multi) {
      alpha = -kInfinity;
      beta = kInfinity;
    }
    onLeftmostLine[1] = k == 1 || multi;
    if (!StartRootMove(m, depth, legalCount, searched)) continue;

    MakeMove(m);
    int32_t score = -Search(-beta, -alpha, depth - 1);
    if (engineState.stopRequested) {
      UnmakeMove(m);
      return false;
    }
    if (score >= beta || (first && score <= alpha)) {
      m.score = score;
      SetBest(m, score);
      PrintThinking(depth, false);
      if (score >= beta) {
        if (!TimeChecksOff() && TickCount() > timeControl.softDeadline) {
          UnmakeMove(m);
          return false;  // out of time: the fail-high move is played
        }
        onLeftmostLine[1] = 1;
        score = -Search(-32765, -(beta - 1), depth - 1);
      } else {
        score = -Search(-(alpha + 1), kInfinity, depth - 1);
      }
      if (engineState.stopRequested) {
        UnmakeMove(m);
        return false;
      }
    }
    m.score = score;
    if (score > alpha || first) {
      alpha = score;
      SetBest(m, score);
      PrintThinking(depth, true);
    }
    beta = alpha + 1;
    if (!mateSearchMode && prev < kMateBound && prev + 20 > beta) beta = prev + 20;
    UnmakeMove(m);
    if (OutOfTimeAfterRootMove(depth)) return false;
    first = false;
  }
  return true;
}

// One iteration of multi-line analysis: the full window for every root move, so that each gets an exact
// score and its own line; the best of them is the move played. Returns false when the search ends.
static bool IterateLines(int32_t depth, int32_t* list, int count, int legalCount, int32_t& alpha) {
  SortFirst(list, 5);
  int searched = 0;
  for (int k = 1; k <= count; k++) {
    Move& m = moveBuffer[list[k]];
    onLeftmostLine[1] = 1;
    if (!StartRootMove(m, depth, legalCount, searched)) continue;

    MakeMove(m);
    const int32_t score = -Search(-kInfinity, kInfinity, depth - 1);
    if (engineState.stopRequested) {
      UnmakeMove(m);
      return false;
    }
    m.score = score;
    RecordLine(list[k], m, depth, score);
    if (searched == 1 || score > alpha) {
      alpha = score;
      SetBest(m, score);
    }
    UnmakeMove(m);
    if (OutOfTimeAfterRootMove(depth)) return false;
  }
  return true;
}

void Think() {
  TimeControl& tc = timeControl;
  RunDeferredWork();  // the learned positions start-up left for later must be in the table

  // 1-2. Fresh search state.
  tc.nodeLimit = WeakNodeLimit(settings.weakLevel);
  if (searchLimits.nodeLimit < tc.nodeLimit) tc.nodeLimit = searchLimits.nodeLimit;
  lastIteration = 0;
  Board.ply = 1;
  iterationDepth = 1;
  onLeftmostLine[1] = 1;
  inCheck[1] = IsAttacked(Board.king[Board.side], Board.xside);
  singleReply[2] = 0;
  checksOnly[0] = checksOnly[1] = checksOnly[2] = 0;
  tc.nodeCount = 0;
  tc.pollInterval = kFirstPollInterval;
  pvEnd[1] = 0;
  engineState.stopRequested = false;
  engineState.searchInterruptible = false;
  mateSearchMode = false;
  nodeLimitStop = false;
  PrepareEvaluationNoise();
  estEval[1] = -SearchEvaluate();
  std::snprintf(statusText, sizeof statusText, " 1 1 2");
  HashTable.freshWrites = 0;
  ClearHistory();

  // 3. Root moves; a weak level shuffles them.
  futilityThreshold = 0;
  GenerateMoves(false);
  int count = moveCount[0];
  if (count > kMaxListMoves) count = kMaxListMoves;
  int32_t* list = nodeList[1];
  for (int k = 1; k <= count; k++) {
    list[k] = moveStart[0] + k;
    if (settings.weakLevel != 0) moveBuffer[list[k]].score += static_cast<int32_t>(NextRandom(600));
  }
  SortFirst(list, 1000);
  const int shownLines = settings.weakLevel != 0 ? 1 : searchLimits.lineCount;
  const bool lines = shownLines > 1;
  if (lines) {
    rootBase = moveStart[0];
    for (int k = 1; k <= count; k++) rootLines[k].depth = 0;
    linesChanged = false;
  }

  // 4-5. First pass.
  int legalCount = 0;
  int32_t alpha = -kInfinity;
  if (FirstPass(list, count, legalCount, alpha, lines)) {
    if (lines) PrintLines(list, count, shownLines);
    // 6-12. Iterations.
    int32_t limit = tc.depthLimit[Board.side];
    if (limit > kMaxDepthLimit) limit = kMaxDepthLimit;
    for (int32_t depth = 2; depth <= limit; depth++) {
      iterationDepth = depth;
      lastIteration = depth - 1;
      iterationScore[depth - 1] = rootScore;
      if (!TimeChecksOff() && TickCount() > tc.iterationDeadline) break;
      if (lines) {
        if (!IterateLines(depth, list, count, legalCount, alpha)) break;
        PrintLines(list, count, shownLines);
      } else if (!Iterate(depth, list, count, legalCount, alpha)) {
        break;
      }
      if (rootScore >= kMateBound || rootScore <= -kMateBound) {
        if (!mateSearchMode)
          mateSearchMode = true;
        else if (rootScore >= 32766 - 1 - (depth - 1) || rootScore <= 1 - 32766 + (depth - 2))
          break;  // no shorter mate can exist
      }
    }
  }

  // A search that ended inside an iteration shows what it found there.
  if (lines && linesChanged) PrintLines(list, count, shownLines);

  // 13-15.
  FinishSearch();
}

}  // namespace kelb
