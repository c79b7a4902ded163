#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>

#include "platform/services/numtext.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

struct Command {
  CommandDecl decl;
  CommandFn fn;
};

std::map<std::string, Command>& Commands() {
  static std::map<std::string, Command> commands;
  return commands;
}

const CommandDecl& HelpDecl() {
  static const CommandDecl decl{
      "help",
      "explains the tool or one of its commands",
      "help [COMMAND]",
      {{"COMMAND", "the command to explain; without it, every command is listed"}},
      {},
      ""};
  return decl;
}

int RunHelp(const ParsedArgs& args) {
  const auto& positional = args.Positionals();
  if (positional.size() > 1) throw UsageError{"help takes at most one command"};
  std::string text;
  if (positional.empty()) {
    text = CommandListText();
  } else {
    auto it = Commands().find(positional[0]);
    if (it == Commands().end()) throw UsageError{"unknown command '" + positional[0] + "'"};
    text = HelpText(it->second.decl);
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitOk;
}

const CommandRegistrar help_registrar(HelpDecl(), &RunHelp);

}  // namespace

CommandRegistrar::CommandRegistrar(CommandDecl decl, CommandFn fn) {
  std::string name = decl.name;
  Commands()[name] = Command{std::move(decl), fn};
}

std::string CommandListText() {
  std::string out =
      "devazoz: looks into and maintains xBase tables, their memo files and their\n"
      "CDX, NTX, NDX and MDX indexes\n\n"
      "usage: devazoz COMMAND [ARGUMENTS]\n\ncommands:\n";
  size_t width = 0;
  for (const auto& [name, cmd] : Commands()) width = std::max(width, name.size());
  for (const auto& [name, cmd] : Commands())
    out += "  " + name + std::string(width + 2 - name.size(), ' ') + cmd.decl.summary + "\n";
  out +=
      "\n\"devazoz help COMMAND\" or \"devazoz COMMAND --help\" explains a command and its\n"
      "options. Exit codes: 0 success, 1 an error of the engine or a check that found\n"
      "problems (message on stderr), 2 a usage error.\n";
  return out;
}

std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string FormatNumber(double value) {
  std::string s = platform::FixedDecimalText(value, 10);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

int WarnStaleIndexes(const std::vector<std::string>& reasons) {
  for (const std::string& why : reasons)
    std::fprintf(stderr, "devazoz: warning: %s\n", why.c_str());
  return reasons.empty() ? kExitOk : kExitEngineError;
}

long ParseCount(const std::string& text, const char* what) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0)
    throw UsageError{std::string("invalid ") + what + ": " + text};
  return v;
}

}  // namespace devazoz_tool

int main(int argc, char** argv) {
  using namespace devazoz_tool;
  if (argc < 2) {
    std::string text = CommandListText();
    std::fwrite(text.data(), 1, text.size(), stderr);
    return kExitUsage;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h") name = "help";
  auto it = Commands().find(name);
  if (it == Commands().end()) {
    std::fprintf(stderr, "devazoz: unknown command '%s' (\"devazoz help\" lists the commands)\n",
                 argv[1]);
    return kExitUsage;
  }
  const Command& command = it->second;
  Args words(argv + 2, argv + argc);
  try {
    ParsedArgs args = ParseArgs(command.decl, words);
    if (args.HelpWanted()) {
      std::string text = HelpText(command.decl);
      std::fwrite(text.data(), 1, text.size(), stdout);
      return kExitOk;
    }
    int rc = command.fn(args);
    std::fflush(stdout);
    return rc;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "devazoz %s: %s\nusage: devazoz %s\n", command.decl.name.c_str(),
                 e.message.c_str(), command.decl.usage.c_str());
    return kExitUsage;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", e.what());
    return kExitEngineError;
  }
}
