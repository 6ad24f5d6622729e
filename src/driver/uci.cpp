#include "driver/uci.h"

#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/movetext.h"
#include "book/book.h"
#include "book/learn.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "eval/lkpk.h"
#include "records/records.h"
#include "search/hash.h"
#include "search/ordering.h"
#include "search/output.h"
#include "search/think.h"
#include "search/timectl.h"

namespace kelb {

int32_t uciElo = 700;
std::string lastPositionLine;
int analysisLines = 1;

static bool IsSeparator(char c) { return c == ' ' || c == '='; }

std::string NextWord(const std::string& line, size_t& position) {
  while (position < line.size() && IsSeparator(line[position])) ++position;
  size_t start = position;
  while (position < line.size() && !IsSeparator(line[position])) ++position;
  return line.substr(start, position - start);
}

static int32_t EloToWeakLevel(int32_t elo) { return (2100 - elo) / 28; }

void UciSetOption(const std::string& line) {
  size_t pos = 0;
  NextWord(line, pos);  // "setoption"
  NextWord(line, pos);  // "name"
  std::string name = NextWord(line, pos);
  if (name == "Clear") {  // the button "Clear Hash": learned entries survive
    InvalidateHash();
    return;
  }
  if (name == "Ponder") return;
  NextWord(line, pos);  // "value"
  std::string value = NextWord(line, pos);
  if (name == "Hash") {
    int32_t mb;
    // The size in effect is what the option line announced: a GUI that sends the shown values back keeps
    // the table, and with it the learned entries loaded at start-up.
    if (ParseInteger(value, mb) && mb >= 2 && mb <= 1023 && mb != settings.hashSizeMb) {
      CancelScheduledLearning();  // learned entries go with the old table
      FreeHashTable();
      settings.hashSizeMb = mb;
      AllocateHashTable(settings.hashSizeMb);
    }
  } else if (name == "OwnBook") {
    settings.bookEnabled = value == "true";
  } else if (name == "Learning") {
    settings.learnEnabled = value == "true";
  } else if (name == "DelayOnWeakLevels") {
    settings.weakDelay = value == "true";
  } else if (name == "UCI_LimitStrength") {
    settings.weakLevel = value == "true" ? EloToWeakLevel(uciElo) : 0;
  } else if (name == "MultiPV") {
    int32_t lines;
    if (ParseInteger(value, lines) && lines >= 1 && lines <= kMaxAnalysisLines) analysisLines = lines;
  } else if (name == "UCI_Elo") {
    int32_t elo;
    uciElo = ParseInteger(value, elo) && elo >= 700 && elo <= 2000 ? elo : 700;
    if (settings.weakLevel != 0) settings.weakLevel = EloToWeakLevel(uciElo);
  }
}

void UciPosition(const std::string& line) {
  // A line that repeats the previous one with more moves continues the same game: keep its learning marks.
  bool continued = lastPositionLine.size() > 5 &&
                   line.find(lastPositionLine.substr(0, lastPositionLine.size() - 5)) != std::string::npos;
  if (!continued) ClearLearnMarks();

  // A "position" line describes the whole game, so each one starts afresh: a FEN refused earlier must not
  // keep the engine halted for the next, legal one.
  NewGame();
  size_t pos = 0;
  NextWord(line, pos);  // "position"
  std::string word = NextWord(line, pos);
  if (word == "startpos") word = NextWord(line, pos);
  if (word == "fen") {
    std::string fen;
    for (word = NextWord(line, pos); !word.empty() && word != "moves"; word = NextWord(line, pos)) {
      if (!fen.empty()) fen += ' ';
      fen += word;
    }
    SetUpPosition(fen);
  }
  if (word == "moves") {
    // The move list ends at the first word that is not a legal move; nothing is played from a refused
    // position or after the game has ended.
    for (word = NextWord(line, pos); !word.empty(); word = NextWord(line, pos)) {
      if (engineState.mode == EngineMode::Halted || result != kResultNone) break;
      Move move = ParseMoveText(word);
      if (move.from == 0) break;
      PlayMove(move);
    }
  }
  lastPositionLine = line.substr(0, kShortStringLength);
}

void UciNewGame() {
  InvalidateHash();
  ClearKillers();
  ClearLearnMarks();
  lastPositionLine.clear();
}

// Reads the "go" parameters into the time control and the search limits.
static void ReadGoParameters(const std::string& line) {
  TimeControl& tc = timeControl;
  size_t pos = 0;
  NextWord(line, pos);  // "go"
  std::string word = NextWord(line, pos);
  while (!word.empty()) {
    std::string next;
    if (word == "searchmoves") {
      // Legal move texts follow; the first other word is the next parameter. Entries beyond the list's room
      // are read and dropped.
      for (next = NextWord(line, pos); !next.empty(); next = NextWord(line, pos)) {
        const Move move = ParseMoveText(next);
        if (move.from == 0) break;
        if (searchLimits.rootMoveCount < kMaxSearchMoves)
          searchLimits.rootMoves[searchLimits.rootMoveCount++] = move;
      }
      word = next;
      continue;
    }
    if (word == "ponder") {
      engineState.uciPonder = true;
    } else if (word == "infinite") {
      engineState.mode = EngineMode::Analyze;
    } else if (word == "wtime" || word == "btime" || word == "winc" || word == "binc" ||
               word == "movestogo" || word == "depth" || word == "nodes" || word == "mate" ||
               word == "movetime") {
      int32_t value = IntegerOfWord(NextWord(line, pos));
      if (word == "wtime" || word == "btime") {
        const int clockSide = word == "wtime" ? kWhite : kBlack;
        tc.clock[clockSide] = value;
        if (clockSide == engineState.engineSide) tc.timeBudget = true;
      } else if (word == "winc" || word == "binc")
        tc.increment = value;  // one increment for both sides
      else if (word == "movestogo") {
        tc.movesPerControl = value;
        tc.timeMode = kConventionalTime;
        tc.movesToGo[0] = tc.movesToGo[1] = value;
      } else if (word == "depth") {
        tc.depthLimit[0] = tc.depthLimit[1] = value > kMaxDepthLimit ? kMaxDepthLimit : value;
      } else if (word == "nodes") {
        searchLimits.nodeLimit = value < 1 ? 1 : value;
      } else if (word == "movetime") {
        tc.baseTime = value;
        tc.timeMode = kFixedTimePerMove;
        tc.increment = 0;
        tc.timeBudget = true;
      }
    }
    word = NextWord(line, pos);
  }
}

// With nothing to search, an endless or ponder search still owes its answer only to the command that ends
// it: wait for that line (answering "isready"), and leave it for the loop unless it is "ponderhit".
static void WaitForEndOfSearch() {
  for (;;) {
    PollLine();
    if (InputLine.empty()) {
      WaitLine();
      continue;
    }
    if (InputLine == "isready") {
      InputLine.clear();
      SendLine("readyok");
    } else if (InputLine == "ponderhit" && engineState.uciPonder) {
      InputLine.clear();
      engineState.uciPonder = false;
      return;
    } else if (InputLine == "ponderhit") {
      InputLine.clear();
    } else {
      return;
    }
  }
}

void UciGo(const std::string& line) {
  TimeControl& tc = timeControl;
  tc.lastMoveTick = TickCount();
  searchLimits = SearchLimits{};
  searchLimits.lineCount = analysisLines;
  engineState.uciPonder = false;
  tc.clock[0] = tc.clock[1] = 100000000;
  tc.baseTime = 100000000;
  tc.increment = 0;
  tc.movesPerControl = 0;
  tc.timeMode = kIncrementalTime;
  tc.depthLimit[0] = tc.depthLimit[1] = kMaxDepthLimit;
  tc.nodeLimit = kMaxNodeLimit;
  tc.timeBudget = false;  // until the line gives our clock or a time per move
  // A refused position is not searched: the board does not hold what the GUI asked for.
  bool refused = engineState.mode == EngineMode::Halted;
  if (!refused) engineState.mode = EngineMode::Play;
  engineState.engineSide = Board.side;
  ReadGoParameters(line);
  InputLine.clear();
  ponderMoveText[0] = '\0';
  if (refused || legalMoveCount == 0) {
    // Nothing to search: the null move tells the GUI so.
    if (engineState.mode == EngineMode::Analyze || engineState.uciPonder) WaitForEndOfSearch();
    engineState.uciPonder = false;
    SendLine("bestmove 0000");
    return;
  }
  if (engineState.mode == EngineMode::Analyze) {
    tc.thinkStartTick = TickCount();
    Think();  // ends only on a command
  } else {
    AllocateTime();
    // A ponder search must not answer before "ponderhit" or "stop": no book move then.
    engineMove.from = 0;
    if (!engineState.uciPonder) BookMove(false, engineMove);
    // A search restricted by "searchmoves" plays a book move only when the GUI listed it.
    if (engineMove.from != 0 && !RootMoveAllowed(engineMove)) engineMove = Move{};
    if (engineMove.from == 0) {
      Think();
      UpdateLearning();
    }
  }
  std::string answer = "bestmove " + (engineMove.from == 0 ? std::string("0000") : MoveToText(engineMove));
  if (ponderMoveText[0] != '\0') answer += std::string(" ponder ") + ponderMoveText;
  SendLine(answer);
}

void RunUciLoop() {
  SendLine("id name Kelb 7.01");
  SendLine("id author P.Dervotin");
  SendLine("option name Ponder type check default false");
  // The table in effect (the ini's "hashsize") is the default a GUI shows; without a table, the smallest.
  const int32_t hashDefault = settings.hashSizeMb < 2 ? 2 : settings.hashSizeMb;
  SendLine("option name Hash type spin default " + std::to_string(hashDefault) + " min 2 max 1023");
  SendLine("option name UCI_Elo type spin default 700 min 700 max 2000");
  SendLine("option name UCI_LimitStrength type check default false");
  SendLine("option name DelayOnWeakLevels type check default true");
  SendLine("option name OwnBook type check default true");
  SendLine("option name Clear Hash type button");
  SendLine("option name Learning type check default true");
  SendLine("option name MultiPV type spin default 1 min 1 max " + std::to_string(kMaxAnalysisLines));
  SendLine("uciok");
  if (!engineState.bookOpen) SendLine("info string Opening book (kelb701.bok) not found!");
  SendLogNotice();  // start-up told it before the protocol was known
  settings.weakLevel = 0;
  settings.weakDelay = true;
  uciElo = 700;
  analysisLines = 1;
  settings.bookEnabled = true;
  settings.learnEnabled = true;
  settings.resignEnabled = false;  // never resign under UCI

  for (;;) {
    PollLine();
    if (InputLine.empty()) WaitLine();  // may return without a complete line: the pass then finds no word
    size_t pos = 0;
    std::string word = NextWord(InputLine, pos);
    if (word == "quit") return;
    if (word == "isready") {
      if (!kpkReady) BuildKpkBitbase();
      SendLine("readyok");
    } else if (word == "setoption") {
      UciSetOption(InputLine.substr(0, kShortStringLength));
    } else if (word == "position") {
      UciPosition(InputLine);  // the one command read at full length: long games make long lines
    } else if (word == "ucinewgame") {
      UciNewGame();
    } else if (word == "go") {
      // UciGo consumed its line; a line that stopped the search waits in InputLine for the next pass.
      UciGo(InputLine.substr(0, kShortStringLength));
      continue;
    }
    InputLine.clear();
  }
}

}  // namespace kelb
