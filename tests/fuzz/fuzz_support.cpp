#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "board/attack.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/game.h"
#include "board/random.h"
#include "book/book.h"
#include "book/learn.h"
#include "driver/WBinout.h"
#include "driver/clock.h"
#include "driver/config.h"
#include "driver/uci.h"
#include "eval/lkpk.h"
#include "search/hash.h"
#include "search/think.h"
#include "search/timectl.h"

namespace kelb::fuzz {

static std::string workFolder;
static int startFolder = -1;

[[noreturn]] static void ThrowProgramEnded(int exitCode) { throw ProgramEnded{exitCode}; }

static void RemoveWorkFolder() {
  std::error_code ec;
  if (!workFolder.empty()) std::filesystem::remove_all(workFolder, ec);
}

void Fail(const char* what) {
  std::fprintf(stderr, "kelb fuzz check failed: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

int InitFuzzing() {
  if (!workFolder.empty()) return 0;
  char templ[] = "/tmp/kelbfuzz.XXXXXX";
  if (mkdtemp(templ) == nullptr) Fail("no working folder");
  workFolder = templ;
  startFolder = open(".", O_RDONLY | O_DIRECTORY);
  if (startFolder < 0) Fail("cannot keep the start folder");
  std::atexit(RemoveWorkFolder);
  if (std::getenv("KELB_FUZZ_OUTPUT") == nullptr) {
    // The engine talks a lot; libFuzzer reports on standard error.
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) Fail("cannot silence standard output");
    close(devNull);
  }
  programEndHook = ThrowProgramEnded;
  return 0;
}

void EnterWorkFolder() {
  if (chdir(workFolder.c_str()) != 0) Fail("cannot enter the working folder");
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(workFolder, ec))
    std::filesystem::remove_all(entry.path(), ec);
}

void LeaveWorkFolder() {
  if (fchdir(startFolder) != 0) Fail("cannot return to the start folder");
}

void WriteWorkFile(const std::string& name, std::string_view bytes) {
  FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) Fail("cannot write a work file");
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
    Fail("cannot write a work file");
  std::fclose(file);
}

const std::string& ShippedBook() {
  static const std::string book = [] {
    std::ifstream file(KELB_SOURCE_DIR "/data/kelb701.bok", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty()) Fail("shipped book missing");
    return bytes;
  }();
  return book;
}

static std::vector<uint8_t> bitbaseCopy;

void KeepBitbaseReady() {
  BuildKpkBitbase();
  if (!kpkReady) Fail("no bitbase");
  bitbaseCopy.assign(KpkBitbase, KpkBitbase + kKpkBytes);
}

void StartEngine(const std::string& iniText, int32_t nodeBudget) {
  // Whatever the previous input left behind goes first: an open log, the bitbase built on demand.
  CloseLog();
  FreeKpkBitbase();
  if (!bitbaseCopy.empty()) {
    KpkBitbase = new uint8_t[kKpkBytes];
    std::memcpy(KpkBitbase, bitbaseCopy.data(), kKpkBytes);
    kpkReady = true;
  }
  InitChannel();
  StepTicks(50'000'000);
  timeControl.thinkStartTick = TickCount();
  timeControl.lastMoveTick = TickCount();
  WriteWorkFile("kelb701.ini", iniText);
  ReadConfiguration();
  InitEngineState();
  LoadLearning();
  OpenBook();
  NewGame();
  randomSeed = 20050801;
  searchLimits = SearchLimits{};
  searchLimits.nodeLimit = nodeBudget;
  uciElo = 700;
  analysisLines = 1;
  lastPositionLine.clear();
  ClearLearnMarks();
}

// Words of a UCI line as the engine reads them (blanks and '=' separate).
int InitProtocolFuzzing() {
  InitFuzzing();
  KeepBitbaseReady();
  ShippedBook();
  return 0;
}

void StartProtocolInput(const std::string& iniText, int32_t nodeBudget, std::string_view input) {
  EnterWorkFolder();
  WriteWorkFile("kelb701.bok", ShippedBook());
  StartEngine(iniText, nodeBudget);
  FeedInput(TameProtocolBytes(input));
}

int RunProtocolInput(const std::string& iniText, int32_t nodeBudget, std::string_view input, void (*loop)()) {
  StartProtocolInput(iniText, nodeBudget, input);
  try {
    loop();
  } catch (const ProgramEnded&) {
  }
  CheckGameBoard();
  LeaveWorkFolder();
  return 0;
}

void StartFileInput(const std::string& name, std::string_view input, const std::string& iniText,
                    int32_t nodeBudget) {
  EnterWorkFolder();
  WriteWorkFile(name, input);
  StartEngine(iniText, nodeBudget);
}

void SearchAndCheckTheMove() {
  timeControl.depthLimit[0] = timeControl.depthLimit[1] = 3;
  engineState.mode = EngineMode::Play;
  engineState.engineSide = Board.side;
  AllocateTime();
  Think();
  bool legal = false;
  for (int k = 1; k <= legalMoveCount; ++k)
    legal = legal || (legalMoves[k].from == engineMove.from && legalMoves[k].to == engineMove.to);
  if (!legal) Fail("the search chose a move that is not legal");
  engineState.mode = EngineMode::Force;
  CheckGameBoard();
}

static std::string UciWord(const std::string& line, int index) {
  size_t position = 0;
  std::string word;
  for (int i = 0; i <= index; ++i) word = NextWord(line, position);
  return word;
}

static std::string FirstBlankWord(const std::string& line) {
  size_t start = line.find_first_not_of(' ');
  if (start == std::string::npos) return "";
  size_t end = line.find(' ', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

static std::string TameLine(const std::string& raw) {
  std::string line;
  for (char c : raw)
    if (c != '\r') line.push_back(c);
  const std::string first = FirstBlankWord(line);
  if (first == "savepos" || first == "savepgn" || first == "loadpos") {
    std::string tamed = raw;
    for (char& c : tamed)
      if (c == '/') c = '_';
    return tamed;
  }
  if (UciWord(line, 0) == "setoption" && UciWord(line, 2) == "Hash") {
    int32_t mb = 0;
    if (ParseInteger(UciWord(line, 4), mb) && mb > 4) return "setoption name Hash value 4";
    return raw;
  }
  if (UciWord(line, 0) == "go") return line + " nodes 5000";
  return raw;
}

std::string TameProtocolBytes(std::string_view bytes) {
  std::string out;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    const bool lastLine = end == std::string_view::npos;
    if (lastLine) end = bytes.size();
    out += TameLine(std::string(bytes.substr(start, end - start)));
    if (lastLine) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

void CheckGameBoard() {
  if (engineState.mode == EngineMode::Halted || engineState.mode == EngineMode::Edit) return;
  if (Board.king[kWhite] == 0 || Board.king[kBlack] == 0) Fail("a king is missing from the game board");
  // "white" and "black" change the side to move and nothing else: the king of the side not to move may
  // stand in check (which the check refuses) and the key keeps the old side.
  const bool sideSwitched = IsAttacked(Board.king[Board.xside], Board.side);
  if (!sideSwitched) {
    CheckConsistency();
    if (engineState.mode == EngineMode::Halted) Fail("the game board fails its consistency check");
  }
  const uint32_t key = KeyFromScratch();
  if (Board.key != key && Board.key != (key ^ sideKey)) Fail("the game board's key differs from a recount");
  const int32_t pawns[2] = {Board.pawnMaterial[0], Board.pawnMaterial[1]};
  const int32_t pieces[2] = {Board.pieceMaterial[0], Board.pieceMaterial[1]};
  CountMaterial();
  for (int s = 0; s < 2; ++s)
    if (pawns[s] != Board.pawnMaterial[s] || pieces[s] != Board.pieceMaterial[s])
      Fail("the game board's material differs from a recount");
  if (Board.makeDepth != 0) Fail("moves made on the game board were not unmade");
}

}  // namespace kelb::fuzz
