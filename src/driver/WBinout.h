// The console channel: protocol lines in from standard input (a pipe or a terminal) without blocking or
// blocking, protocol lines out to standard output, and the optional protocol log kelb701.log.
#pragma once
#include <string>

namespace kelb {

// The line read and not yet consumed; empty means none is waiting. Readers inspect and clear it directly.
extern std::string InputLine;

// Sets up the channel; runs before anything else.
void InitChannel();

// Never blocks: if no line waits, takes at most one step towards one (split buffered bytes, or read what
// standard input already holds). The caller then looks at InputLine.
void PollLine();

// Blocks until standard input delivers bytes (or splits buffered ones). May return with InputLine still
// empty: the caller's loop calls again.
void WaitLine();

// Writes one line to standard output, flushes it and copies it into the log.
void SendLine(const std::string& text);

// Log entries: the log opened afresh (settings.logEnabled is switched off when that fails), an extra line
// such as a board dump (written only while logging), and the log closed.
void OpenLog();
void LogLine(const std::string& text);
void CloseLog();

// Makes everything logged so far reach the disk (close and reopen for appending).
void LogCheckpoint();

// True once standard input has reached its end (the channel then delivers "quit").
bool InputEnded();

}  // namespace kelb
