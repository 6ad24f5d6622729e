// Shared pieces of the libFuzzer targets: a private working folder wiped for every input, the engine set up
// afresh for every input (so that a finding replays alone), the process ends of the engine turned into an
// exception the target catches, and checks of the engine's own invariants after an input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelb::fuzz {

// Thrown by the program-end hook instead of ending the process; holds the exit code the engine asked for.
struct ProgramEnded {
  int exitCode;
};

// Once per process: the working folder, standard output to /dev/null (unless KELB_FUZZ_OUTPUT is set), the
// program-end hook. Returns 0, as LLVMFuzzerInitialize does.
int InitFuzzing();

// Enters the working folder emptied of every file the previous input left there; LeaveWorkFolder returns to
// the folder the fuzzer was started in (its corpus and artifact paths may be relative).
void EnterWorkFolder();
void LeaveWorkFolder();

// The fuzzer's input as text.
inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

void WriteWorkFile(const std::string& name, std::string_view bytes);

// The book shipped in data/, read once.
const std::string& ShippedBook();

// Builds the KPK bitbase once (slow under the sanitizers) and keeps a copy that StartEngine puts back for
// every input: the engine then runs as after "protover" or "isready", whichever input came before.
void KeepBitbaseReady();

// Start-up as the engine's main does it, with the given kelb701.ini text: a deterministic clock and random
// generator, every front-end global back at its start value, and searches capped at nodeBudget nodes.
void StartEngine(const std::string& iniText, int32_t nodeBudget);

// The set-up of the protocol targets: once per process InitFuzzing, the bitbase kept ready and the shipped
// book read; for every input the emptied working folder with that book in it, StartEngine, and the input
// fed to the channel tamed as TameProtocolBytes does.
int InitProtocolFuzzing();  // returns 0
void StartProtocolInput(const std::string& iniText, int32_t nodeBudget, std::string_view input);
// One input of a protocol target: StartProtocolInput, then the command loop until the input ends or the
// engine ends itself, then CheckGameBoard. Returns 0, as LLVMFuzzerTestOneInput does.
int RunProtocolInput(const std::string& iniText, int32_t nodeBudget, std::string_view input, void (*loop)());

// The set-up of the file targets for every input: the emptied working folder holding the input as the file
// name, then StartEngine (which reads the book and the learning file as the engine's start-up does).
void StartFileInput(const std::string& name, std::string_view input, const std::string& iniText,
                    int32_t nodeBudget);

// A game search to depth 3 for the side to move (the clock steps, so its deadlines come); its move must be
// one of the position's legal moves and the board must pass CheckGameBoard afterwards.
void SearchAndCheckTheMove();

// Rewrites protocol bytes where running them as sent would harm the fuzzing rather than test the engine:
// file names lose every '/' (files stay in the working folder), "setoption name Hash" asks for at most a few
// MB, and UCI "go" lines get a node limit. Every other byte passes unchanged, line ends included.
std::string TameProtocolBytes(std::string_view bytes);

// The board the game stands on must pass the engine's own consistency check, and its key and material must
// match a recount (unless a set-up was refused or an edit dialogue was cut off). Traps otherwise.
void CheckGameBoard();

// Traps (a finding) with a message on standard error.
[[noreturn]] void Fail(const char* what);

}  // namespace kelb::fuzz
