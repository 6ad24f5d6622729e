// End-to-end harness: runs the built engine in a fresh temporary working directory and talks to it through
// pipes. Every read has a deadline, so a test can fail but never hang.
//
// Two environment variables serve slow runs (the memory checker, see `make valgrind`):
//   KELB_ENGINE_WRAPPER  a command line put in front of the engine, e.g. "valgrind --error-exitcode=99 -q";
//   KELB_TIMEOUT_SCALE   a whole number every deadline of this harness is multiplied by (default 1).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/files.h"

namespace kelb::test {

class EngineProcess {
 public:
  // Creates a fresh temporary directory; files may be put there before Start().
  EngineProcess();
  ~EngineProcess();  // kills the engine if still running, removes the directory
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  const std::string& Dir() const { return dir.Path(); }
  void WriteFile(const std::string& name, const std::string& content) const;
  std::string ReadFile(const std::string& name) const;  // empty if missing
  bool FileExists(const std::string& name) const;
  // Puts the opening book of the source tree into Dir(); false when there is none to copy.
  bool WriteShippedBook() const;

  // Starts the engine (or another program) in Dir().
  void Start(const std::string& program = KELB_ENGINE_PATH, const std::vector<std::string>& args = {});

  // The handshakes, each read with a deadline; false when an answer does not come. WinBoard: "xboard" and a
  // ping whose pong follows the start-up lines. UCI: "uci" up to "uciok", then (with ready) "isready" up to
  // "readyok", which builds the KPK bitbase first.
  bool StartXboard();
  bool StartUci(bool ready = true, int readyTimeoutMs = 20000);
  // UCI as a GUI sets the engine up: "uci" up to "uciok", these lines (options, a position), then "isready"
  // up to "readyok".
  bool StartUciWith(const std::vector<std::string>& lines, int readyTimeoutMs = 20000);
  // "quit" and the exit code once the engine has ended (-1 when it did not end in time and was killed).
  int Quit(int timeoutMs = 5000);

  // Sends text followed by "\n" (or raw bytes with Send).
  void WriteLine(const std::string& line);
  void Send(const std::string& bytes);
  void WriteLines(const std::vector<std::string>& lines);
  void CloseInput();
  // Closes our end of the engine's standard output, as a GUI that stops reading would.
  void CloseOutput();
  void Signal(int sig);  // sends a signal to the running engine
  // Standard error of the next Start() goes to this file in Dir() (otherwise it is the test's own).
  void SetErrorFile(const std::string& name) { errorFile = name; }
  // The next Start() runs the program with this limit on the size of the files it writes (bytes), as a
  // user's "ulimit -f" would.
  void SetFileSizeLimit(int64_t bytes) { fileSizeLimit = bytes; }
  // The next Start() runs the program as this user and group: a test running as root can then see file
  // permissions bind the engine as they bind anybody else. Root only.
  void SetUser(int uid, int gid) {
    userId = uid;
    groupId = gid;
  }
  // Processor time the running engine has used so far (user + system, ms); -1 when it cannot be read.
  int64_t CpuTimeMs() const;
  // Memory of the running engine resident in RAM (kB); -1 when it cannot be read.
  int64_t ResidentKb() const;

  // Next line of standard output without its line end; false when the deadline passes or output ends.
  bool ReadLine(std::string& line, int timeoutMs = 5000);
  // Reads lines until one starts with prefix; all lines read are appended to seen (if given).
  bool WaitFor(const std::string& prefix, std::string* found = nullptr, int timeoutMs = 10000,
               std::vector<std::string>* seen = nullptr);
  // Sends the commands, one a line, then reads as WaitFor does up to the answer that starts with prefix.
  bool Ask(const std::vector<std::string>& commands, const std::string& prefix, std::string* found = nullptr,
           int timeoutMs = 10000, std::vector<std::string>* seen = nullptr);
  // UCI: sends the commands and returns the "bestmove" line that answers them ("" when none came in time).
  std::string AskBestMove(const std::vector<std::string>& commands, int timeoutMs = 10000);
  // Reads every line that arrives within quietMs of the previous one.
  std::vector<std::string> Drain(int quietMs = 300);

  // Reads every line until the engine closes its output (normally: it has ended), at most timeoutMs.
  // closed tells whether the end was seen.
  std::vector<std::string> ReadToEnd(int timeoutMs = 10000, bool* closed = nullptr);

  // WinBoard liveness: "ping n", true when "pong n" came; the lines before it, the pong not among them,
  // are appended to seen (if given).
  bool Ping(int n, std::vector<std::string>* seen = nullptr, int timeoutMs = 10000);
  // UCI liveness: "isready", true when "readyok" came; the lines before it are appended to seen (if given).
  bool IsReady(std::vector<std::string>* seen = nullptr, int timeoutMs = 10000);
  // The same as a test's check: a missing answer fails the test; returns the lines before the answer.
  std::vector<std::string> LinesBeforePong(int n, int timeoutMs = 10000);
  std::vector<std::string> LinesBeforeReady(int timeoutMs = 10000);

  // WinBoard: waits until the engine is inside a search (its own move, pondering, a hint or analysis). A
  // search answers "isready" at once while the idle loop calls it an unknown command, so the probe is
  // repeated until the search has begun. Other lines read meanwhile are appended to seen (if given). False
  // when no search began within timeoutMs.
  bool WaitUntilSearching(std::vector<std::string>* seen = nullptr, int timeoutMs = 10000);

  // Waits for the process to end; returns its exit code, or -1 on timeout (the process is then killed),
  // or 128+signal when killed by a signal.
  int WaitExit(int timeoutMs = 5000);
  bool Running();

 private:
  bool FillBuffer(int timeoutMs);
  bool ReadLineUnscaled(std::string& line, int timeoutMs);
  TempDir dir;
  int pid = -1;
  int toChild = -1;
  int fromChild = -1;
  bool outputClosed = false;
  int exitCode = -1;
  std::string buffer;
  std::string errorFile;
  int64_t fileSizeLimit = -1;
  int userId = -1;
  int groupId = -1;
};

// Runs kelb701-tool with the arguments; returns its exit code, output in out (deadline in ms).
int RunTool(const std::vector<std::string>& args, std::string& out, int timeoutMs = 60000);

// The move of an engine line: "bestmove X [ponder Y]" gives X; "move X", "Hint: X" or "move 1. ... X" the
// last word.
std::string BestMoveOf(const std::string& line);
std::string MoveWord(const std::string& line);
// The lines that start with prefix, how many there are, and the index of the first (-1 when none).
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix);
int CountLines(const std::vector<std::string>& lines, const std::string& prefix);
int IndexOf(const std::vector<std::string>& lines, const std::string& prefix);

// A deadline in milliseconds stretched by KELB_TIMEOUT_SCALE, for tests that measure time themselves.
int Scaled(int ms);

}  // namespace kelb::test
