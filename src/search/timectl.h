// Clock state, limits and the three deadlines of one search.
#pragma once
#include <cstdint>

namespace kelb {

// How the clock runs out (the values are those the front ends have always stored).
enum TimeMode : uint8_t {
  kConventionalTime = 0,  // a number of moves per control ("level 40 5 0", UCI "movestogo")
  kIncrementalTime = 1,   // the whole game or the rest of it, with or without an increment (sudden death)
  kFixedTimePerMove = 2,  // the same time for every move ("st", UCI "movetime")
};

// Everything the front ends know about the clocks, and the deadlines derived from it. Times in ms,
// ticks from TickCount().
struct TimeControl {
  int32_t movesToGo[2];       // moves left until the next control, per side (conventional mode)
  int32_t depthLimit[2];      // deepest iteration for a search with that side to move (1..35)
  int32_t clock[2];           // remaining time of White and Black
  int32_t engineTimeUsed[2];  // thinking time the engine has spent as White / Black
  uint8_t timeMode;           // a TimeMode
  int32_t movesPerControl;
  int32_t baseTime;   // time per control; in mode 2 the time per move
  int32_t increment;  // per move, both sides
  int64_t lastMoveTick;
  int64_t lastPollTick;
  int64_t thinkStartTick;
  int64_t softDeadline;       // root stops between root moves and at a root fail high after it
  int64_t iterationDeadline;  // no new iteration after it; end of the weak-level delay
  int64_t deadlineTick;       // the input poll stops the search after it
  int32_t nodeCount;
  int32_t nodeLimit;  // kMaxNodeLimit means none
  int32_t pollInterval;
  // The GUI gave the engine time to spend on this move: a clock, a time control or a fixed time per move.
  // Under WinBoard there always is one (the start-up clock until "level" or "st"); under UCI only a "go"
  // with the clock of the side to move or "movetime". A weak level waits for its time only then.
  bool timeBudget;
};

inline constexpr int32_t kMaxDepthLimit = 35;
inline constexpr int32_t kMaxNodeLimit = 2147483646;
inline constexpr int32_t kFirstPollInterval = 250;

extern TimeControl timeControl;

// Puts the time control into its start-up state (incremental, 100 s, no increment, depth 35).
void InitTimeControl();

// Sets thinkStartTick and the three deadlines for the side engineSide, as if the clock read `now`.
// uciPonder selects the shorter iteration deadline used when a ponder search gets its ponderhit.
void AllocateTimeAt(int64_t now, int engineSide, bool uciPonder);

// AllocateTimeAt with the current tick and the front end's engine side and ponder flag.
void AllocateTime();

// Nearest integer, exact halves to the even neighbour.
int64_t RoundHalfEven(double x);

}  // namespace kelb
