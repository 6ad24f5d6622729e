// The console channel: protocol lines in from standard input (a pipe or a terminal) without blocking or
// blocking, protocol lines out to standard output, and the optional protocol log kelb701.log.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

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

// A notice for the user in the form of the protocol in use: "info string " + text under UCI, "telluser "
// + text otherwise.
void TellUser(const std::string& text);

// Log entries: the log opened afresh, an extra line such as a board dump (written only while logging), and
// the log closed. The log is a side record, not the game: when it cannot be created or written, logging is
// switched off for the rest of the run, the user is told (TellUser) and the game goes on.
void OpenLog();
void LogLine(const std::string& text);
void CloseLog();

// Makes everything logged so far reach the disk (close and reopen for appending).
void LogCheckpoint();

// The notice of a log that could not be used (nothing while it can). A log that cannot be created is
// found before the start-up lines are sent and before the GUI has chosen its protocol: start-up sends the
// notice after its own lines, and the UCI front end once more in its own form.
void SendLogNotice();

// The engine's own files (kelb701.ini, .bok, .epd, .log) count only when they are regular files: the open
// never blocks (a FIFO of that name would wait for a partner for ever) and anything else is refused as if it
// were missing. Returns nullptr when the file cannot be used, with the reason in why (if given).
enum class DataFileMode { Read, Create, Append };
FILE* OpenDataFile(const char* name, DataFileMode mode, std::string* why = nullptr);

// True once standard input has reached its end (the channel then delivers "quit").
bool InputEnded();

// Makes the channel read these bytes instead of standard input, until InitChannel sets it up again; their
// end counts as the end of input. They arrive a line per read, so that the engine thinks between two lines
// as with a GUI that writes them one by one. A harness drives the real line handling this way without a
// pipe, and nothing it feeds can ever block.
void FeedInput(std::string_view bytes);

// Start-up work that can wait until the GUI's first command has been answered: loading the learning file
// costs a page fault of the table per learned position, which with a large table and a long file adds up to
// a delay GUIs do not wait for in the handshake. It runs once: the first time the channel would wait for
// input after it has answered a command, or earlier through RunDeferredWork when a search needs it. nullptr
// when nothing waits.
extern void (*deferredWork)();
void RunDeferredWork();

// Ends the process with the exit code. An orderly end runs the C library's exit handlers (streams are
// flushed); otherwise the process stops at once. Every deliberate end of the program passes here.
[[noreturn]] void EndProgram(int exitCode, bool orderly);

// Called by EndProgram before the process ends, if set. The engine never sets it; a harness that must
// outlive the engine's ends (the fuzz targets) installs one that does not return, e.g. by throwing.
extern void (*programEndHook)(int exitCode);

// Zeroed memory for the transposition table, nullptr when there is not enough. Memory fresh from the system
// is zero already and is not cleared again, so a large table costs nothing until the search touches it; only
// memory used before is cleared. It starts on a large-page boundary and the kernel is asked to back it with
// large pages: the table is probed at random, and with small pages nearly every probe would also miss the
// processor's address-translation cache. Freed by FreeTableMemory (which takes nullptr).
void* AllocateTableMemory(size_t bytes);
void FreeTableMemory(void* memory);

}  // namespace kelb
