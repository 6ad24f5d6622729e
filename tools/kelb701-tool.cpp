// kelb701-tool: developer commands kept out of the engine, which ignores its arguments.
#include <cstdio>
#include <cstring>

#include "tool.h"

namespace kelb::tool {

static ToolCommand commands[32];
static int commandCount = 0;

int RegisterTool(const char* name, const char* usage, ToolFunction run) {
  if (commandCount < 32) commands[commandCount++] = ToolCommand{name, usage, run};
  return commandCount;
}

static int Usage() {
  std::fprintf(stderr, "usage: kelb701-tool <command> [arguments]\ncommands:\n");
  for (int i = 0; i < commandCount; i++) std::fprintf(stderr, "  %s\n", commands[i].usage);
  return 2;
}

}  // namespace kelb::tool

int main(int argc, char** argv) {
  using namespace kelb::tool;
  if (argc < 2) return Usage();
  for (int i = 0; i < commandCount; i++)
    if (std::strcmp(argv[1], commands[i].name) == 0) return commands[i].run(argc - 2, argv + 2);
  std::fprintf(stderr, "kelb701-tool: unknown command '%s'\n", argv[1]);
  return Usage();
}
