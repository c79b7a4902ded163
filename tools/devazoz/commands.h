// The devazoz tool's subcommands. Each subcommand lives in its own file and
// registers itself and its declared arguments (args.h) with a CommandRegistrar;
// main dispatches on the first argument, parses the rest against the declaration
// and answers "help" and "--help" from it.
// Exit codes: 0 success, 1 engine error (message on stderr), 2 usage error.
#ifndef TOOLS_DEVAZOZ_COMMANDS_H_
#define TOOLS_DEVAZOZ_COMMANDS_H_

#include <string>
#include <vector>

#include "tools/devazoz/args.h"

namespace devazoz_tool {

constexpr int kExitOk = 0;
constexpr int kExitEngineError = 1;
constexpr int kExitUsage = 2;

using CommandFn = int (*)(const ParsedArgs& args);

struct CommandRegistrar {
  CommandRegistrar(CommandDecl decl, CommandFn fn);
};

// The text of "devazoz help": every command with its one-line summary.
std::string CommandListText();

// Value text for the tool's tab-separated output: backslash, tab, CR and LF
// written as \\, \t, \r, \n; other bytes as they are.
std::string Escape(const std::string& text);
// Up to 10 significant decimals, no trailing zeros.
std::string FormatNumber(double value);
// Whole non-negative number from an argument, or UsageError.
long ParseCount(const std::string& text, const char* what);
// After a walk in an index's order: each reason an open index is known not to
// match its table (keys naming records past its end were left out) goes to stderr
// as a warning. kExitEngineError when there was one, else kExitOk.
int WarnStaleIndexes(const std::vector<std::string>& reasons);

}  // namespace devazoz_tool

#endif  // TOOLS_DEVAZOZ_COMMANDS_H_
