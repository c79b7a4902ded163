// The devazoz tool's argument parser, shared by every command. A command declares
// its options (name, the values it takes, whether it may repeat, a line of help) and
// its positional arguments; the parser checks the command line against them and
// renders the command's help text from the same declaration.
//
// Rules:
// - "--name" is an option; "--name=VALUE" gives a one-value option its value.
// - An option's values are the arguments that follow it, taken as they are (a value
//   may begin with "-").
// - "--help" and "-h" ask for the command's help wherever they stand.
// - "--" ends the options: every later argument is positional.
// - Anything else is positional, including "-1" or "-TITLE" (numbers and expressions)
//   and "--" followed by a non-letter ("--1").
// - An unknown option, a missing value, or a one-off option given twice is a
//   UsageError (exit code 2). Options without a value may repeat freely.
#ifndef TOOLS_DEVAZOZ_ARGS_H_
#define TOOLS_DEVAZOZ_ARGS_H_

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace devazoz_tool {

// Thrown by a command for bad arguments; main prints it with the usage and exits 2.
struct UsageError {
  std::string message;
};

using Args = std::vector<std::string>;

struct OptionDecl {
  OptionDecl(std::string name_, std::string values_, std::string help_, bool repeatable_ = false,
             std::string alias_ = "")
      : name(std::move(name_)),
        values(std::move(values_)),
        help(std::move(help_)),
        repeatable(repeatable_),
        alias(std::move(alias_)) {}
  std::string name;    // "--index"
  std::string values;  // names of the values, blank-separated ("FILE", "LOW HIGH"); "" for a flag
  std::string help;    // what the option does
  bool repeatable = false;  // may be given more than once (all values are kept)
  std::string alias;        // another name for the same option, or ""
};

struct PositionalDecl {
  std::string name;  // "TABLE"
  std::string help;
};

struct CommandDecl {
  std::string name;     // "dump"
  std::string summary;  // one line
  std::string usage;    // the synopsis after "devazoz "
  std::vector<PositionalDecl> positionals;
  std::vector<OptionDecl> options;
  std::string notes;  // further lines of help (output format, exit codes), or ""
};

// The command line checked against a command's declaration.
class ParsedArgs {
 public:
  // True when the option was given (by its name or its alias).
  bool Has(const std::string& name) const;
  // How many times the option was given.
  size_t Count(const std::string& name) const;
  // The values of the option's last occurrence (empty when absent).
  std::vector<std::string> Values(const std::string& name) const;
  // The first value of the last occurrence, or fallback when absent.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  // The first value of every occurrence, in order.
  std::vector<std::string> All(const std::string& name) const;
  // Positional arguments before the option's first occurrence (all when absent).
  size_t PositionalsBefore(const std::string& name) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }
  bool HelpWanted() const { return help_; }

 private:
  friend ParsedArgs ParseArgs(const CommandDecl& decl, const Args& args);
  friend ParsedArgs Parse(const CommandDecl& decl, const Args& args);
  struct Occurrence {
    std::vector<std::string> values;
    size_t positionals_before = 0;
  };
  std::map<std::string, std::vector<Occurrence>> options_;
  std::vector<std::string> positionals_;
  bool help_ = false;
};

// Parses args (the words after the command's name). Raises UsageError.
ParsedArgs ParseArgs(const CommandDecl& decl, const Args& args);

// The full help of a command: summary, usage, arguments, options, notes.
std::string HelpText(const CommandDecl& decl);

}  // namespace devazoz_tool

#endif  // TOOLS_DEVAZOZ_ARGS_H_
