// Developer command registry for kelb701-tool: each command file registers itself.
#pragma once

namespace kelb::tool {

using ToolFunction = int (*)(int argc, char** argv);

struct ToolCommand {
  const char* name;
  const char* usage;
  ToolFunction run;
};

// Registers a command at static-initialisation time; returns a dummy value.
int RegisterTool(const char* name, const char* usage, ToolFunction run);

}  // namespace kelb::tool

// KELB_TOOL(perft, "perft \"<FEN>\" <depth>") { ... }  -- argc/argv hold the words after the command.
#define KELB_TOOL(toolName, toolUsage)                                   \
  static int Tool_##toolName(int argc, char** argv);                     \
  [[maybe_unused]] static const int toolRegistered_##toolName =          \
      ::kelb::tool::RegisterTool(#toolName, toolUsage, Tool_##toolName); \
  static int Tool_##toolName([[maybe_unused]] int argc, [[maybe_unused]] char** argv)
