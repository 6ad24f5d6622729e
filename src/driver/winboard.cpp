#include "driver/winboard.h"

#include <climits>
#include <string>

#include "board/attack.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "book/book.h"
#include "book/learn.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "driver/edit.h"
#include "driver/uci.h"
#include "eval/lkpk.h"
#include "records/records.h"
#include "search/think.h"
#include "search/timectl.h"

namespace kelb {

// While Halted (an illegal set-up) only "new" and "edit" may give the engine a mode again; everything else
// that would make it think or move from the refused position leaves it Halted.
static bool Halted() { return engineState.mode == EngineMode::Halted; }

static void SetMode(EngineMode mode) {
  if (!Halted()) engineState.mode = mode;
}

// "white" and "black" change only the side to move, so they can hand the move to a side that could take
// the other king. No search starts from such a position: its root would capture the king.
static bool KingCanBeTaken() { return IsAttacked(Board.king[Board.xside], Board.side); }

static int32_t ClampToInt32(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

// "level" base time: minutes, or minutes:seconds (with more colons the last part is the seconds).
static int32_t LevelBaseTime(const std::string& word) {
  size_t first = word.find(':');
  if (first == std::string::npos) return ClampToInt32(int64_t{60} * IntegerOfWord(word) * 1000);
  int64_t minutes = IntegerOfWord(word.substr(0, first));
  int64_t seconds = IntegerOfWord(word.substr(word.rfind(':') + 1));
  return ClampToInt32((60 * minutes + seconds) * 1000);
}

static void SendFeatures() {
  SendLine("feature done=0");
  // The bitbase takes a moment; "done=0" tells the GUI to wait for it.
  if (!kpkReady) BuildKpkBitbase();
  SendLine("feature ping=1");
  SendLine("feature setboard=1");
  SendLine("feature playother=0");
  SendLine("feature san=0");
  SendLine("feature usermove=0");
  SendLine("feature time=1");
  SendLine("feature draw=1");
  SendLine("feature reuse=1");
  SendLine("feature analyze=1");
  std::string name = "Kelb 7.01";
  if (settings.weakLevel != 0)
    name += " weak=" + std::to_string(settings.weakLevel);
  else if (settings.hashSizeMb == 0)
    name += " hashsize=0";
  SendLine("feature myname=\"" + name + "\"");
  SendLine("feature variants=\"normal\"");
  SendLine("feature colors=1");
  SendLine("feature ics=0");
  SendLine("feature name=0");
  SendLine("feature pause=0");
  SendLine("feature done=1");
}

static void HandleUserMove() {
  Move move = ParseMoveText(CommandWords[2]);
  if (move.from == 0 || Halted() || result != kResultNone) {
    SendLine("Illegal move");
    return;
  }
  PlayGameMove(move);
  if (engineState.mode == EngineMode::NewGame) engineState.mode = EngineMode::Play;
}

// "time" and "otim" give the engine's own clock and the opponent's, and tournament managers send them
// before the "go" that tells the engine its colour: when a command gives the engine the other colour, the
// two clocks change hands with it. (In Auto mode the engine plays both colours; that flip keeps them.)
static void SetEngineSide(int side) {
  TimeControl& tc = timeControl;
  if (side != engineState.engineSide) {
    const int32_t own = tc.clock[engineState.engineSide];
    tc.clock[engineState.engineSide] = tc.clock[side];
    tc.clock[side] = own;
  }
  engineState.engineSide = side;
}

// The engine takes over the side to move, its clock running from now.
static void TakeSideToMove(EngineMode mode) {
  SetMode(mode);
  SetEngineSide(Board.side);
  timeControl.lastMoveTick = TickCount();
}

static void HandleSetboard() {
  std::string fen = CommandWords[2];
  for (int i = 3; i <= kMaxCommandWords; ++i) fen += " " + CommandWords[i];
  SetUpPosition(fen);
}

// A one-ply search whose answer is sent when the next command arrives: the search runs as a ponder search
// and so returns only when a line stops it. Nothing to suggest from a refused or finished position.
static void HintSearch() {
  if (Halted() || legalMoveCount == 0 || KingCanBeTaken()) return;
  TimeControl& tc = timeControl;
  const int side = Board.side;
  const int32_t depthLimit = tc.depthLimit[side];
  tc.depthLimit[side] = 1;
  engineState.pondering = true;
  Think();
  engineState.pondering = false;
  tc.depthLimit[side] = depthLimit;
  SendLine("Hint: " + MoveToText(engineMove));
}

// What each command does. While idle every line comes here. During a search (own move, pondering, hint or
// analysis) the input poll sees the line first:
//   line          idle (this table)                   during a search (PollInput)
//   "draw"        "offer draw" in drawish endings      "offer draw" only after ply 900; search goes on
//   "."           unknown command                      "stat01: ..." in analysis, else silent; goes on
//   "?"           unknown command                      consumed; the search stops and its move is played
//   other lines   handled here                         stop the search once it has a move, then come here
// A stopped search of our own move still sends and plays its move before the stopping line is handled.
void HandleCommand(CommandCode code) {
  TimeControl& tc = timeControl;
  switch (code) {
    case CmdNone:
      IdleStep();
      break;
    case CmdNew:
      NewGame();
      break;
    case CmdQuit:
      Quit();
    case CmdUserMove:
      HandleUserMove();
      break;
    case CmdForce:
      SetMode(EngineMode::Force);
      break;
    case CmdGo:
      TakeSideToMove(EngineMode::Play);
      break;
    case CmdAuto:
      TakeSideToMove(EngineMode::Auto);
      break;
    case CmdEdit:
      EditPosition();
      break;
    case CmdXboard:
      engineState.xboardMode = true;
      break;
    case CmdSd: {
      int32_t depth = IntegerOfWord(CommandWords[2]);
      if (depth > kMaxDepthLimit) depth = kMaxDepthLimit;
      tc.depthLimit[0] = tc.depthLimit[1] = depth;
      break;
    }
    case CmdSt: {
      int32_t seconds = IntegerOfWord(CommandWords[2]);
      if (seconds < 1 || seconds > 32000) seconds = 32000;
      tc.timeMode = kFixedTimePerMove;
      tc.baseTime = 1000 * seconds;
      tc.increment = 0;
      break;
    }
    case CmdLevel:
      tc.movesPerControl = IntegerOfWord(CommandWords[2]);
      tc.baseTime = LevelBaseTime(CommandWords[3]);
      tc.increment = ClampToInt32(int64_t{1000} * IntegerOfWord(CommandWords[4]));
      tc.timeMode = tc.movesPerControl == 0 ? kIncrementalTime : kConventionalTime;
      tc.clock[0] = tc.clock[1] = tc.baseTime;
      tc.movesToGo[0] = tc.movesToGo[1] = tc.movesPerControl;
      break;
    case CmdTime:  // centiseconds
      tc.clock[engineState.engineSide] = ClampToInt32(int64_t{10} * IntegerOfWord(CommandWords[2]));
      break;
    case CmdOtim:
      tc.clock[1 - engineState.engineSide] = ClampToInt32(int64_t{10} * IntegerOfWord(CommandWords[2]));
      break;
    case CmdPing:
      SendLine("pong " + CommandWords[2]);
      break;
    case CmdProtover:
      SendFeatures();
      break;
    case CmdDraw:  // in protocol 2 our "offer draw" accepts the opponent's offer
      if (gamePly > 900 || DrawishMaterial()) SendLine("offer draw");
      break;
    case CmdHard:
      engineState.ponder = true;
      break;
    case CmdEasy:
      engineState.ponder = false;
      break;
    case CmdPost:
      engineState.post = true;
      break;
    case CmdNopost:
      engineState.post = false;
      break;
    case CmdUndo:
      if (gamePly > 0) TakeBack();
      break;
    case CmdRemove:
      if (gamePly > 0) TakeBack();
      if (gamePly > 0) TakeBack();
      break;
    case CmdAnalyze:
    case CmdMultiAnalyze:
      SetMode(EngineMode::Analyze);
      engineState.post = true;
      engineState.multiAnalyze = code == CmdMultiAnalyze;
      break;
    case CmdExit:
      SetMode(EngineMode::Force);
      engineState.multiAnalyze = false;
      break;
    case CmdWhite:
      // The legal moves are rebuilt for the new side to move (a stale list would accept a move of the
      // wrong colour), and a mated or stalemated side gets its result line at once.
      SetSideToMove(kWhite);
      SetEngineSide(kBlack);
      break;
    case CmdBlack:
      SetSideToMove(kBlack);
      SetEngineSide(kWhite);
      break;
    case CmdSetboard:
      HandleSetboard();
      break;
    case CmdLoadpos:
      LoadPosition(CommandWords[2], CommandWords[3]);
      break;
    case CmdSavepos:
      SavePosition(CommandWords[2]);
      break;
    case CmdSavepgn:
      SaveGame(CommandWords[2]);
      break;
    case CmdHint:
      HintSearch();
      break;
    case CmdBk:
      BookMove(true, engineMove);
      break;
    default:  // unknown words were answered by the parser; "random", "accepted", "computer", "result",
              // "rating" need no action
      break;
  }
}

// Move number prefix of the console style: "1. " before White's move, "1. ... " before Black's.
static std::string MoveNumberPrefix() {
  std::string prefix = std::to_string(gamePly / 2 + 1);
  return prefix + (gamePly % 2 == 0 ? ". " : ". ... ");
}

// The engine is to move: book or search, then the move is sent and played.
static void EngineMoves() {
  if (KingCanBeTaken()) {
    SendLine("tellusererror illegal position");
    engineState.mode = EngineMode::Force;
    return;
  }
  AllocateTime();
  BookMove(false, engineMove);
  if (engineMove.from == 0) {
    Think();
    UpdateLearning();
  }
  if (engineMove.from == 0) {  // cannot happen while the game goes on; never play an empty move
    engineState.mode = EngineMode::Force;
    return;
  }
  const std::string text = MoveToText(engineMove);
  SendLine(engineState.xboardMode ? "move " + text : "move " + MoveNumberPrefix() + text);
  PlayGameMove(engineMove);
}

void IdleStep() {
  if (result != kResultNone) {  // the game is over: only commands can change that
    WaitLine();
    return;
  }
  const EngineMode mode = engineState.mode;
  if (mode == EngineMode::Play || mode == EngineMode::Auto) {
    if (engineState.engineSide == Board.side) {
      EngineMoves();
      return;
    }
    if (!engineState.xboardMode) SendLine("Your next?");
    if (engineState.ponder && settings.weakLevel == 0 && !KingCanBeTaken()) {
      // Think on the opponent's time; the opponent's move (or any command) ends it, nothing is sent.
      engineState.pondering = true;
      Think();
      engineState.pondering = false;
    } else {
      WaitLine();
    }
    return;
  }
  if (mode == EngineMode::Analyze && !KingCanBeTaken()) {
    // Endless: the next line ends the analysis, the loop handles it and the next idle step starts anew.
    timeControl.thinkStartTick = TickCount();
    Think();
    return;
  }
  WaitLine();
}

void PlayGameMove(const Move& move) {
  const int engineSide = engineState.engineSide;
  if (PlayMove(move)) UpdateClocksAfterMove(engineSide);
}

void UpdateClocksAfterMove(int engineSide) {
  if (engineState.uciMode) return;
  TimeControl& tc = timeControl;
  int64_t now = TickCount();
  int32_t elapsed = ClampToInt32(now - tc.lastMoveTick);
  int mover = Board.xside;
  tc.lastMoveTick = now;
  if (mover == engineSide) tc.engineTimeUsed[mover] += elapsed;
  EngineMode mode = engineState.mode;
  // The GUI's numbers may be anything a 32-bit word holds ("level", "time"): sums saturate instead of
  // wrapping round.
  if (mode == EngineMode::Force && tc.timeMode == kConventionalTime) {
    // A control completed while moves are only entered starts the next one (the GUI reports the clocks);
    // without this the count would run below zero.
    tc.movesToGo[mover] = ClampToInt32(tc.movesToGo[mover] - int64_t{1});
    if (tc.movesToGo[mover] <= 0) tc.movesToGo[mover] = tc.movesPerControl;
  }
  if (mode != EngineMode::Play && mode != EngineMode::Auto) return;
  switch (tc.timeMode) {
    case kConventionalTime:
      tc.clock[mover] = ClampToInt32(int64_t{tc.clock[mover]} - elapsed);
      tc.movesToGo[mover] = ClampToInt32(tc.movesToGo[mover] - int64_t{1});
      if (tc.movesToGo[mover] <= 0) {
        tc.movesToGo[mover] = tc.movesPerControl;
        tc.clock[mover] = ClampToInt32(int64_t{tc.clock[mover]} + tc.baseTime);
      }
      break;
    case kIncrementalTime:
      tc.clock[mover] = ClampToInt32(int64_t{tc.clock[mover]} - elapsed + tc.increment);
      break;
    case kFixedTimePerMove:
      tc.clock[mover] = tc.baseTime;
      break;
  }
}

void RunWinBoardLoop() {
  for (;;) {
    PollLine();
    CommandCode code = CmdNone;
    if (!InputLine.empty()) {
      std::string line = InputLine.substr(0, kShortStringLength);
      InputLine.clear();
      code = ParseCommand(line);
    }
    if (code == CmdUci) {
      engineState.uciMode = true;
      RunUciLoop();
      Quit();
    }
    HandleCommand(code);
  }
}

}  // namespace kelb
