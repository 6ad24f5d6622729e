#include "search/think.h"

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

// The first pass: every legal move, replies searched to quiescence. Returns false when the search ends.
static bool FirstPass(int32_t* list, int count, int& legalCount, int32_t& alpha) {
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
    const int32_t score = -Search(-beta, -alpha, 0);
    if (engineState.stopRequested) {
      UnmakeMove(m);
      return false;
    }
    m.score = score;
    if (score > alpha) {
      alpha = score;
      SetBest(m, score);
      engineState.searchInterruptible = true;
    }
    UnmakeMove(m);
    if (rootScore >= kInfinity) {
      PrintThinking(1, true);
      return false;
    }
  }
  if (legalCount == 0) {
    rootScore = inCheck[1] ? kNotSearched : 0;
    engineState.searchInterruptible = true;
  }
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
    if (!(m.flags & kFlagSearchedLegal)) continue;
    if (!RootMoveAllowed(m)) continue;
    searched++;
    SetStatusText(depth, legalCount, searched, m);
    if (engineState.uciMode) PrintCurrentMove(MoveToText(m).c_str(), searched);

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
    // A clear drop against the previous iteration buys time up to the hard deadline.
    if (settings.weakLevel == 0 && engineState.mode != EngineMode::Analyze &&
        rootScore - iterationScore[depth - 1] > -60 && !engineState.pondering && !engineState.uciPonder &&
        TickCount() > timeControl.softDeadline)
      return false;
    first = false;
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

  // 4-5. First pass.
  int legalCount = 0;
  int32_t alpha = -kInfinity;
  if (FirstPass(list, count, legalCount, alpha)) {
    // 6-12. Iterations.
    int32_t limit = tc.depthLimit[Board.side];
    if (limit > kMaxDepthLimit) limit = kMaxDepthLimit;
    for (int32_t depth = 2; depth <= limit; depth++) {
      iterationDepth = depth;
      lastIteration = depth - 1;
      iterationScore[depth - 1] = rootScore;
      if (!TimeChecksOff() && TickCount() > tc.iterationDeadline) break;
      if (!Iterate(depth, list, count, legalCount, alpha)) break;
      if (rootScore >= kMateBound || rootScore <= -kMateBound) {
        if (!mateSearchMode)
          mateSearchMode = true;
        else if (rootScore >= 32766 - 1 - (depth - 1) || rootScore <= 1 - 32766 + (depth - 2))
          break;  // no shorter mate can exist
      }
    }
  }

  // 13-15.
  FinishSearch();
}

}  // namespace kelb
