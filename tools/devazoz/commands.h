// The devazoz tool's subcommands. Each subcommand lives in its own file and
// registers itself with a CommandRegistrar; main dispatches on the first argument.
// Exit codes: 0 success, 1 engine error (message on stderr), 2 usage error.
#ifndef TOOLS_DEVAZOZ_COMMANDS_H_
#define TOOLS_DEVAZOZ_COMMANDS_H_

#include <string>
#include <vector>

namespace devazoz_tool {

constexpr int kExitOk = 0;
constexpr int kExitEngineError = 1;
constexpr int kExitUsage = 2;

// Thrown by a subcommand for bad arguments; main prints the usage and exits 2.
struct UsageError {
  std::string message;
};

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);

struct CommandRegistrar {
  CommandRegistrar(const char* name, CommandFn fn, const char* usage);
};

// Value text for the tool's tab-separated output: backslash, tab, CR and LF
// written as \\, \t, \r, \n; other bytes as they are.
std::string Escape(const std::string& text);
// Up to 10 significant decimals, no trailing zeros.
std::string FormatNumber(double value);
// Whole non-negative number from an argument, or UsageError.
long ParseCount(const std::string& text, const char* what);

}  // namespace devazoz_tool

#endif  // TOOLS_DEVAZOZ_COMMANDS_H_
