// Test helper: runs a driver routine with standard input fed from a pipe, standard output captured in a
// pipe, and the working directory in a fresh temporary folder; restores all three afterwards.
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/WBinout.h"
#include "driver/config.h"
#include "support/files.h"

namespace kelb::test {

// Failures are printed to standard output, which these tests capture: repeat them on standard error.
class StderrFailurePrinter : public ::testing::EmptyTestEventListener {
  void OnTestPartResult(const ::testing::TestPartResult& r) override {
    if (r.failed())
      std::fprintf(stderr, "%s:%d: Failure\n%s\n", r.file_name() ? r.file_name() : "?", r.line_number(),
                   r.message());
  }
};
inline const bool stderrFailuresInstalled = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new StderrFailurePrinter);
  return true;
}();

class StdioRedirect {
 public:
  StdioRedirect() {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) std::abort();
    std::fflush(stdout);
    savedIn = dup(0);
    savedOut = dup(1);
    dup2(in[0], 0);
    close(in[0]);
    feed = in[1];
    dup2(out[1], 1);
    close(out[1]);
    capture = out[0];
    fcntl(capture, F_SETFL, O_NONBLOCK);
  }
  ~StdioRedirect() {
    std::fflush(stdout);
    dup2(savedIn, 0);
    dup2(savedOut, 1);
    close(savedIn);
    close(savedOut);
    if (feed >= 0) close(feed);
    close(capture);
  }

  // Bytes for the engine's standard input.
  void Feed(const std::string& bytes) {
    if (write(feed, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
  }
  void CloseFeed() {
    close(feed);
    feed = -1;
  }
  // Everything written to standard output so far.
  std::string Output() {
    std::fflush(stdout);
    char buf[4096];
    ssize_t n;
    while ((n = read(capture, buf, sizeof buf)) > 0) captured.append(buf, static_cast<size_t>(n));
    std::string all = captured;
    captured.clear();
    return all;
  }
  void WriteFile(const std::string& name, const std::string& content) { test::WriteFile(name, content); }
  std::string ReadFile(const std::string& name) { return test::ReadFile(name); }

 private:
  InTempDir folder{"kelbdrv"};  // first made, last removed: the working folder of the whole redirection
  int savedIn = -1, savedOut = -1, feed = -1, capture = -1;
  std::string captured;
};

// A fresh channel on redirected standard streams; at the end the log is closed and switched off again, so
// that no later test writes into it.
class ChannelFixture : public ::testing::Test {
 protected:
  void SetUp() override { InitChannel(); }
  void TearDown() override {
    CloseLog();
    settings.logEnabled = false;
  }
  StdioRedirect io;
};

// One PollLine; returns the line it delivered (and consumes it).
inline std::string PollOnce() {
  PollLine();
  std::string line = InputLine;
  InputLine.clear();
  return line;
}

}  // namespace kelb::test
