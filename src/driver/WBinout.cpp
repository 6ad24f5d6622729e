#include "driver/WBinout.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/config.h"

namespace kelb {

std::string InputLine;

static constexpr int kPipeBufferSize = 5000;
static constexpr char kLogName[] = "kelb701.log";

static std::string pendingText;  // start of a line whose line feed has not arrived yet
static char pipeBuffer[kPipeBufferSize];
static int pipeCount = 0;           // unconsumed bytes at the front of pipeBuffer
static bool inputEnded = false;     // read() reported the end of standard input
static bool quitDelivered = false;  // the end of input has been handed out once as "quit"
static FILE* logFile = nullptr;
static bool fedInput = false;  // the bytes of FeedInput stand in for standard input
static std::string fedBytes;
static size_t fedPosition = 0;

void (*programEndHook)(int exitCode) = nullptr;
void (*deferredWork)() = nullptr;
static bool lineTaken = false;  // a line has come from the GUI
static bool answered = false;   // and a line has been sent after it

void RunDeferredWork() {
  void (*work)() = deferredWork;
  deferredWork = nullptr;
  if (work != nullptr) work();
}

void* AllocateTableMemory(size_t bytes) {
  constexpr size_t kLargePage = size_t{2} << 20;
  // Room to move the start up to the next large-page boundary and to keep the block's address before it.
  constexpr size_t kSlack = kLargePage + sizeof(void*);
  if (bytes > SIZE_MAX - kSlack - kLargePage) return nullptr;
  const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
  // calloc clears only memory that was used before; a block fresh from the system is zero already and stays
  // untouched until the search writes to it.
  void* block = std::calloc(1, rounded + kSlack);
  if (block == nullptr) return nullptr;
  const uintptr_t start =
      (reinterpret_cast<uintptr_t>(block) + sizeof(void*) + kLargePage - 1) & ~uintptr_t{kLargePage - 1};
  void* memory = reinterpret_cast<void*>(start);
  static_cast<void**>(memory)[-1] = block;
#ifdef MADV_HUGEPAGE
  madvise(memory, rounded, MADV_HUGEPAGE);  // only advice: small pages work too
#endif
  return memory;
}

void FreeTableMemory(void* memory) {
  if (memory != nullptr) std::free(static_cast<void**>(memory)[-1]);
}

void EndProgram(int exitCode, bool orderly) {
  if (programEndHook != nullptr) programEndHook(exitCode);
  if (orderly) std::exit(exitCode);
  std::_Exit(exitCode);
}

// A failed write to the GUI cannot be reported to it: stop. The log still gets what was written so far, for
// a post-mortem.
[[noreturn]] static void OutputFailed() {
  std::fprintf(stderr, "Runtime error: cannot write to standard output\n");
  if (logFile != nullptr) std::fclose(logFile);
  ReleaseTables();
  EndProgram(1, false);
}

static constexpr char kNotRegularFile[] = "not a regular file";

FILE* OpenDataFile(const char* name, DataFileMode mode, std::string* why) {
  int flags = O_RDONLY;
  const char* streamMode = "rb";
  if (mode == DataFileMode::Create) {
    flags = O_WRONLY | O_CREAT | O_TRUNC;
    streamMode = "wb";
  } else if (mode == DataFileMode::Append) {
    flags = O_WRONLY | O_CREAT | O_APPEND;
    streamMode = "ab";
  }
  // Not blocking, a FIFO opens at once for reading and fails at once (ENXIO) for writing without a reader;
  // the type is then taken from what was opened, so nothing can be swapped in between.
  int fd;
  do {
    fd = open(name, flags | O_NONBLOCK | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (why != nullptr) *why = errno == ENXIO ? kNotRegularFile : std::strerror(errno);
    return nullptr;
  }
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    if (why != nullptr) *why = kNotRegularFile;
    return nullptr;
  }
  const int statusFlags = fcntl(fd, F_GETFL);
  if (statusFlags >= 0) fcntl(fd, F_SETFL, statusFlags & ~O_NONBLOCK);
  FILE* file = fdopen(fd, streamMode);
  if (file == nullptr) {
    if (why != nullptr) *why = std::strerror(errno);
    close(fd);
  }
  return file;
}

void TellUser(const std::string& text) {
  SendLine((engineState.uciMode ? "info string " : "telluser ") + text);
}

static std::string logNotice;  // why logging was switched off; empty while the log works

static std::string WriteErrorReason() { return errno != 0 ? std::strerror(errno) : "write failed"; }

// The log can no longer be written: logging stops for the rest of the run (so the user is told only once),
// and the game goes on.
static void LogUnusable(const std::string& why, bool tellNow) {
  if (logFile != nullptr) std::fclose(logFile);  // a second failure here changes nothing
  logFile = nullptr;
  settings.logEnabled = false;
  logNotice = std::string("Cannot write ") + kLogName + " (" + why + "); logging is off for this run";
  if (tellNow) SendLogNotice();
}

void SendLogNotice() {
  if (!logNotice.empty()) TellUser(logNotice);
}

static void LogEntry(const char* prefix, const std::string& text) {
  if (!settings.logEnabled || logFile == nullptr) return;
  errno = 0;
  if (std::fputs(prefix, logFile) == EOF ||
      std::fwrite(text.data(), 1, text.size(), logFile) != text.size() || std::fputs("\r\n", logFile) == EOF)
    LogUnusable(WriteErrorReason(), true);
}

void InitChannel() {
  // A terminal in canonical mode hands over whole lines and reports them to poll() only once Enter is
  // pressed, so one reading logic serves a pipe and a terminal alike.
  settings.logEnabled = false;
  InputLine.clear();
  pendingText.clear();
  pipeCount = 0;
  inputEnded = false;
  quitDelivered = false;
  fedInput = false;
  fedBytes.clear();
  fedPosition = 0;
  lineTaken = answered = false;
  // GUIs of the xboard family send SIGINT to "interrupt" an engine behind a pipe; the default action would
  // kill us mid-game. At a terminal Ctrl-C keeps its usual meaning.
  if (!isatty(STDIN_FILENO)) signal(SIGINT, SIG_IGN);
  // A GUI that closes our output must not kill us silently: the failed write is seen and reported.
  signal(SIGPIPE, SIG_IGN);
  // Nor a file-size limit: a write beyond it then fails like one to a full disk.
  signal(SIGXFSZ, SIG_IGN);
}

// Moves the first complete line of pipeBuffer into InputLine, or, without a line feed, everything into
// pendingText. Carriage returns are dropped wherever they are.
static void SplitPipeBuffer() {
  int p = 0;
  while (p < pipeCount && pipeBuffer[p] != '\n') ++p;
  if (p == pipeCount) {
    for (int i = 0; i < pipeCount; ++i)
      if (pipeBuffer[i] != '\r') pendingText.push_back(pipeBuffer[i]);
    pipeCount = 0;
    return;
  }
  InputLine = pendingText;
  pendingText.clear();
  for (int i = 0; i < p; ++i)
    if (pipeBuffer[i] != '\r') InputLine.push_back(pipeBuffer[i]);
  int rest = pipeCount - (p + 1);
  for (int i = 0; i < rest; ++i) pipeBuffer[i] = pipeBuffer[p + 1 + i];
  pipeCount = rest;
}

void FeedInput(std::string_view bytes) {
  fedInput = true;
  fedBytes.assign(bytes);
  fedPosition = 0;
}

// One read of whatever standard input holds (blocking until at least one byte when nothing is there).
static void ReadInput() {
  if (fedInput) {
    // Fed bytes arrive a line per read, as from a GUI that writes its lines one by one: reading and
    // splitting being separate steps, the engine gets an idle step or a stretch of search between lines.
    const size_t lineFeed = fedBytes.find('\n', fedPosition);
    const size_t lineEnd = lineFeed == std::string::npos ? fedBytes.size() : lineFeed + 1;
    const size_t n = std::min(lineEnd - fedPosition, static_cast<size_t>(kPipeBufferSize));
    for (size_t i = 0; i < n; ++i) pipeBuffer[i] = fedBytes[fedPosition + i];
    fedPosition += n;
    pipeCount = static_cast<int>(n);
    if (n == 0) inputEnded = true;
    return;
  }
  ssize_t n;
  do {
    n = read(STDIN_FILENO, pipeBuffer, kPipeBufferSize);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    pipeCount = static_cast<int>(n);
  } else {
    // End of input, or an input that can no longer be read: nothing more will ever come.
    inputEnded = true;
  }
}

// After the end of input a last line without a line feed still counts as a line.
static bool TakePendingAfterEnd() {
  if (pendingText.empty()) return false;
  InputLine = pendingText;
  pendingText.clear();
  return true;
}

void PollLine() {
  if (!InputLine.empty()) return;
  if (pipeCount > 0) {
    SplitPipeBuffer();
  } else if (inputEnded) {
    if (!TakePendingAfterEnd()) {
      // The GUI has gone: end as for "quit" (not logged, the GUI never sent it).
      InputLine = "quit";
      quitDelivered = true;
      return;
    }
  } else if (fedInput) {
    ReadInput();  // fed bytes are always there
  } else {
    pollfd pfd{STDIN_FILENO, POLLIN, 0};
    int ready = poll(&pfd, 1, 0);
    // A failed peek leads to an ordinary read attempt; a hang-up must be read to learn of the end.
    if (ready != 0) ReadInput();
  }
  if (!InputLine.empty()) {
    lineTaken = true;
    LogEntry("from WB> ", InputLine);
  }
}

void WaitLine() {
  if (!InputLine.empty()) return;
  if (pipeCount > 0) {
    SplitPipeBuffer();
  } else if (inputEnded) {
    if (!TakePendingAfterEnd()) {
      // A reader that passed over the "quit" of the end of input (the edit dialogue) would wait forever.
      if (quitDelivered) Quit();
      InputLine = "quit";
      quitDelivered = true;
      return;
    }
  } else {
    if (answered) RunDeferredWork();  // the GUI has its answer and nothing else waits: time for it now
    ReadInput();
  }
  if (!InputLine.empty()) {
    lineTaken = true;
    LogEntry("from WB> ", InputLine);
  }
}

bool InputEnded() { return inputEnded; }

void SendLine(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fputc('\n', stdout) == EOF ||
      std::fflush(stdout) == EOF)
    OutputFailed();
  answered = answered || lineTaken;
  LogEntry("into WB< ", text);
}

void OpenLog() {
  logNotice.clear();
  if (!settings.logEnabled) return;
  std::string why;
  logFile = OpenDataFile(kLogName, DataFileMode::Create, &why);
  if (logFile == nullptr) LogUnusable(why, false);
}

void LogLine(const std::string& text) { LogEntry("", text); }

void CloseLog() {
  if (logFile == nullptr) return;
  FILE* file = logFile;
  logFile = nullptr;
  errno = 0;
  if (std::fclose(file) != 0) LogUnusable(WriteErrorReason(), true);
}

void LogCheckpoint() {
  if (!settings.logEnabled || logFile == nullptr) return;
  FILE* file = logFile;
  logFile = nullptr;
  errno = 0;
  if (std::fclose(file) != 0) {
    LogUnusable(WriteErrorReason(), true);
    return;
  }
  std::string why;
  logFile = OpenDataFile(kLogName, DataFileMode::Append, &why);
  if (logFile == nullptr) LogUnusable(why, true);
}

}  // namespace kelb
