#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>

#include "platform/numtext.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
namespace {

struct Command {
  CommandFn fn;
  const char* usage;
};

std::map<std::string, Command>& Commands() {
  static std::map<std::string, Command> commands;
  return commands;
}

void PrintUsage() {
  std::fprintf(stderr, "usage:\n");
  for (const auto& [name, cmd] : Commands()) std::fprintf(stderr, "  devazoz %s\n", cmd.usage);
}

}  // namespace

CommandRegistrar::CommandRegistrar(const char* name, CommandFn fn, const char* usage) {
  Commands()[name] = Command{fn, usage};
}

std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
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
    PrintUsage();
    return kExitUsage;
  }
  auto it = Commands().find(argv[1]);
  if (it == Commands().end()) {
    std::fprintf(stderr, "devazoz: unknown command '%s'\n", argv[1]);
    PrintUsage();
    return kExitUsage;
  }
  Args args(argv + 2, argv + argc);
  try {
    int rc = it->second.fn(args);
    std::fflush(stdout);
    return rc;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "devazoz: %s\nusage: devazoz %s\n", e.message.c_str(), it->second.usage);
    return kExitUsage;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", e.what());
    return kExitEngineError;
  }
}
