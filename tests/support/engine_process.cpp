#include "support/engine_process.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace kelb::test {

static int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int Scaled(int ms) {
  static const int scale = [] {
    const char* text = std::getenv("KELB_TIMEOUT_SCALE");
    const int n = text != nullptr ? std::atoi(text) : 1;
    return n < 1 ? 1 : n;
  }();
  const int64_t scaled = static_cast<int64_t>(ms) * scale;
  return scaled > INT32_MAX ? INT32_MAX : static_cast<int>(scaled);
}

// The words of KELB_ENGINE_WRAPPER (split at blanks); empty when it is not set.
static std::vector<std::string> WrapperWords() {
  std::vector<std::string> words;
  const char* text = std::getenv("KELB_ENGINE_WRAPPER");
  std::istringstream in(text != nullptr ? text : "");
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

EngineProcess::EngineProcess() {
  signal(SIGPIPE, SIG_IGN);  // a dead engine must fail the test, not kill it
}

EngineProcess::~EngineProcess() {
  if (pid > 0 && Running()) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  if (toChild >= 0) close(toChild);
  if (fromChild >= 0) close(fromChild);
}

void EngineProcess::WriteFile(const std::string& name, const std::string& content) const {
  dir.Write(name, content);
}

bool EngineProcess::WriteShippedBook() const {
  const std::string book = ShippedBook();
  WriteFile("kelb701.bok", book);
  return !book.empty();
}

std::string EngineProcess::ReadFile(const std::string& name) const { return dir.Read(name); }

bool EngineProcess::FileExists(const std::string& name) const {
  return std::filesystem::exists(dir.PathOf(name));
}

void EngineProcess::Start(const std::string& program, const std::vector<std::string>& args) {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
  // Only the engine runs under the wrapper; the developer tool and other programs run as they are.
  std::vector<std::string> words;
  if (program == KELB_ENGINE_PATH) words = WrapperWords();
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    if (fileSizeLimit >= 0) {
      const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    if (userId >= 0 && (setgroups(0, nullptr) != 0 || setgid(groupId) != 0 || setuid(userId) != 0))
      _exit(126);
    if (chdir(dir.Path().c_str()) != 0) _exit(126);
    if (!errorFile.empty()) {
      int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err < 0) _exit(126);
      dup2(err, 2);
      close(err);
    }
    std::vector<char*> argv;
    for (const auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  toChild = in[1];
  fromChild = out[0];
}

bool EngineProcess::StartXboard() {
  Start();
  WriteLine("xboard");
  return Ping(0);
}

bool EngineProcess::StartUci(bool ready, int readyTimeoutMs) {
  Start();
  WriteLine("uci");
  if (!WaitFor("uciok")) return false;
  return !ready || IsReady(nullptr, readyTimeoutMs);
}

bool EngineProcess::StartUciWith(const std::vector<std::string>& lines, int readyTimeoutMs) {
  if (!StartUci(false)) return false;
  WriteLines(lines);
  return IsReady(nullptr, readyTimeoutMs);
}

int EngineProcess::Quit(int timeoutMs) {
  WriteLine("quit");
  return WaitExit(timeoutMs);
}

bool EngineProcess::Ping(int n, std::vector<std::string>* seen, int timeoutMs) {
  WriteLine("ping " + std::to_string(n));
  std::vector<std::string> lines;
  const bool answered = WaitFor("pong " + std::to_string(n), nullptr, timeoutMs, &lines);
  if (answered) lines.pop_back();
  if (seen != nullptr) seen->insert(seen->end(), lines.begin(), lines.end());
  return answered;
}

bool EngineProcess::IsReady(std::vector<std::string>* seen, int timeoutMs) {
  WriteLine("isready");
  std::vector<std::string> lines;
  const bool answered = WaitFor("readyok", nullptr, timeoutMs, &lines);
  if (answered) lines.pop_back();
  if (seen != nullptr) seen->insert(seen->end(), lines.begin(), lines.end());
  return answered;
}

std::vector<std::string> EngineProcess::LinesBeforePong(int n, int timeoutMs) {
  std::vector<std::string> seen;
  EXPECT_TRUE(Ping(n, &seen, timeoutMs)) << "no pong " << n;
  return seen;
}

std::vector<std::string> EngineProcess::LinesBeforeReady(int timeoutMs) {
  std::vector<std::string> seen;
  EXPECT_TRUE(IsReady(&seen, timeoutMs)) << "no readyok";
  return seen;
}

void EngineProcess::Send(const std::string& bytes) {
  size_t done = 0;
  while (toChild >= 0 && done < bytes.size()) {
    ssize_t n = write(toChild, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;  // the engine has gone; reads will report it
    done += static_cast<size_t>(n);
  }
}

void EngineProcess::WriteLine(const std::string& line) { Send(line + "\n"); }

void EngineProcess::CloseInput() {
  if (toChild >= 0) close(toChild);
  toChild = -1;
}

void EngineProcess::CloseOutput() {
  if (fromChild >= 0) close(fromChild);
  fromChild = -1;
  outputClosed = true;
}

int64_t EngineProcess::CpuTimeMs() const {
  if (pid <= 0) return -1;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The command name in brackets may hold blanks; the fields after it are counted from its end.
  const size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string::npos) return -1;
  std::istringstream fields(text.substr(nameEnd + 1));
  std::string field;
  int64_t utime = -1, stime = -1;
  for (int n = 3; fields >> field; ++n) {  // field 3 is the state letter
    if (n == 14) utime = std::stoll(field);
    if (n == 15) {
      stime = std::stoll(field);
      break;
    }
  }
  if (utime < 0 || stime < 0) return -1;
  const long ticks = sysconf(_SC_CLK_TCK);
  return ticks > 0 ? (utime + stime) * 1000 / ticks : -1;
}

int64_t EngineProcess::ResidentKb() const {
  if (pid <= 0) return -1;
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, 6, "VmRSS:") == 0) return std::atoll(line.c_str() + 6);
  return -1;
}

void EngineProcess::Signal(int sig) {
  if (pid > 0 && Running()) kill(pid, sig);
}

bool EngineProcess::FillBuffer(int timeoutMs) {
  if (outputClosed || fromChild < 0) return false;
  pollfd pfd{fromChild, POLLIN, 0};
  int r = poll(&pfd, 1, timeoutMs < 0 ? 0 : timeoutMs);
  if (r <= 0) return false;
  char chunk[4096];
  ssize_t n = read(fromChild, chunk, sizeof chunk);
  if (n <= 0) {
    outputClosed = true;
    return false;
  }
  buffer.append(chunk, static_cast<size_t>(n));
  return true;
}

bool EngineProcess::ReadLine(std::string& line, int timeoutMs) {
  return ReadLineUnscaled(line, Scaled(timeoutMs));
}

bool EngineProcess::ReadLineUnscaled(std::string& line, int timeoutMs) {
  int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    size_t nl = buffer.find('\n');
    if (nl != std::string::npos) {
      line = buffer.substr(0, nl);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      buffer.erase(0, nl + 1);
      return true;
    }
    int64_t left = deadline - NowMs();
    if (left <= 0 || outputClosed) {
      if (outputClosed && !buffer.empty()) {  // a last line without a line end
        line = buffer;
        buffer.clear();
        return true;
      }
      return false;
    }
    FillBuffer(static_cast<int>(left));
  }
}

bool EngineProcess::WaitFor(const std::string& prefix, std::string* found, int timeoutMs,
                            std::vector<std::string>* seen) {
  int64_t deadline = NowMs() + Scaled(timeoutMs);
  std::string line;
  for (;;) {
    int64_t left = deadline - NowMs();
    if (left <= 0) return false;
    if (!ReadLineUnscaled(line, static_cast<int>(left))) return false;
    if (seen) seen->push_back(line);
    if (line.compare(0, prefix.size(), prefix) == 0) {
      if (found) *found = line;
      return true;
    }
  }
}

void EngineProcess::WriteLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) WriteLine(line);
}

bool EngineProcess::Ask(const std::vector<std::string>& commands, const std::string& prefix,
                        std::string* found, int timeoutMs, std::vector<std::string>* seen) {
  WriteLines(commands);
  return WaitFor(prefix, found, timeoutMs, seen);
}

std::string EngineProcess::AskBestMove(const std::vector<std::string>& commands, int timeoutMs) {
  std::string line;
  return Ask(commands, "bestmove", &line, timeoutMs) ? line : "";
}

std::vector<std::string> EngineProcess::Drain(int quietMs) {
  std::vector<std::string> lines;
  std::string line;
  while (ReadLine(line, quietMs)) lines.push_back(line);
  return lines;
}

std::vector<std::string> EngineProcess::ReadToEnd(int timeoutMs, bool* closed) {
  std::vector<std::string> lines;
  const int64_t deadline = NowMs() + Scaled(timeoutMs);
  std::string line;
  for (int64_t left; (left = deadline - NowMs()) > 0 && ReadLineUnscaled(line, static_cast<int>(left));)
    lines.push_back(line);
  if (closed != nullptr) *closed = outputClosed && buffer.empty();
  return lines;
}

bool EngineProcess::Running() {
  if (pid <= 0) return false;
  if (exitCode >= 0) return false;
  int status = 0;
  pid_t r = waitpid(pid, &status, WNOHANG);
  if (r == pid) {
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return r == 0;
}

int EngineProcess::WaitExit(int timeoutMs) {
  int64_t deadline = NowMs() + Scaled(timeoutMs);
  while (Running()) {
    if (NowMs() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      exitCode = -1;
      pid = -1;
      return -1;
    }
    // keep the pipe drained so a chatty engine cannot block on a full pipe
    if (!FillBuffer(10)) usleep(5000);
  }
  return exitCode;
}

std::string BestMoveOf(const std::string& line) {
  const size_t end = line.find(' ', 9);
  return line.substr(9, end == std::string::npos ? std::string::npos : end - 9);
}

std::string MoveWord(const std::string& line) { return line.substr(line.rfind(' ') + 1); }

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& l : lines)
    if (l.rfind(prefix, 0) == 0) found.push_back(l);
  return found;
}

int CountLines(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<int>(LinesStartingWith(lines, prefix).size());
}

int IndexOf(const std::vector<std::string>& lines, const std::string& prefix) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  return -1;
}

int RunTool(const std::vector<std::string>& args, std::string& out, int timeoutMs) {
  EngineProcess p;
  p.Start(KELB_TOOL_PATH, args);
  p.CloseInput();
  out.clear();
  std::string line;
  int64_t deadline = NowMs() + timeoutMs;
  while (NowMs() < deadline && p.ReadLine(line, static_cast<int>(deadline - NowMs()))) out += line + "\n";
  return p.WaitExit(static_cast<int>(std::max<int64_t>(deadline - NowMs(), 1000)));
}

bool EngineProcess::WaitUntilSearching(std::vector<std::string>* seen, int timeoutMs) {
  const int64_t deadline = NowMs() + Scaled(timeoutMs);
  while (NowMs() < deadline) {
    WriteLine("isready");
    std::string line;
    for (;;) {
      const int64_t left = deadline - NowMs();
      if (left <= 0 || !ReadLineUnscaled(line, static_cast<int>(left))) return false;
      if (line == "readyok") return true;
      if (line == "Error (unknown command): isready") break;
      if (seen != nullptr) seen->push_back(line);
    }
    usleep(20000);  // idle still: the search has not begun
  }
  return false;
}

}  // namespace kelb::test
