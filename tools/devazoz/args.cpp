#include "tools/devazoz/args.h"

#include <cctype>
#include <sstream>

namespace devazoz_tool {
namespace {

size_t ValueCount(const OptionDecl& option) {
  std::istringstream words(option.values);
  size_t n = 0;
  for (std::string w; words >> w;) ++n;
  return n;
}

bool LooksLikeOption(const std::string& arg) {
  return arg.size() > 2 && arg[0] == '-' && arg[1] == '-' &&
         std::isalpha(static_cast<unsigned char>(arg[2]));
}

const OptionDecl* FindOption(const CommandDecl& decl, const std::string& name) {
  for (const OptionDecl& o : decl.options)
    if (o.name == name || (!o.alias.empty() && o.alias == name)) return &o;
  return nullptr;
}

}  // namespace

bool ParsedArgs::Has(const std::string& name) const { return Count(name) > 0; }

size_t ParsedArgs::Count(const std::string& name) const {
  auto it = options_.find(name);
  return it == options_.end() ? 0 : it->second.size();
}

std::vector<std::string> ParsedArgs::Values(const std::string& name) const {
  auto it = options_.find(name);
  return it == options_.end() ? std::vector<std::string>{} : it->second.back().values;
}

std::string ParsedArgs::Value(const std::string& name, const std::string& fallback) const {
  std::vector<std::string> v = Values(name);
  return v.empty() ? fallback : v.front();
}

std::vector<std::string> ParsedArgs::All(const std::string& name) const {
  std::vector<std::string> out;
  auto it = options_.find(name);
  if (it != options_.end())
    for (const Occurrence& o : it->second)
      if (!o.values.empty()) out.push_back(o.values.front());
  return out;
}

size_t ParsedArgs::PositionalsBefore(const std::string& name) const {
  auto it = options_.find(name);
  return it == options_.end() ? positionals_.size() : it->second.front().positionals_before;
}

namespace {

// Asks for help: "--help" or "-h" before any "--", wherever it stands.
bool HelpAsked(const Args& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

}  // namespace

// The parse proper; ParseArgs answers help in its stead when this finds fault.
ParsedArgs Parse(const CommandDecl& decl, const Args& args);

ParsedArgs ParseArgs(const CommandDecl& decl, const Args& args) {
  try {
    return Parse(decl, args);
  } catch (const UsageError&) {
    // Help is given even when the rest of the line is wrong.
    if (!HelpAsked(args)) throw;
    ParsedArgs help;
    help.help_ = true;
    return help;
  }
}

ParsedArgs Parse(const CommandDecl& decl, const Args& args) {
  ParsedArgs parsed;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended) {
      parsed.positionals_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      parsed.help_ = true;
      continue;
    }
    if (!LooksLikeOption(arg)) {
      parsed.positionals_.push_back(arg);
      continue;
    }
    std::string name = arg;
    std::string inline_value;
    bool has_inline = false;
    if (size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      inline_value = arg.substr(eq + 1);
      has_inline = true;
    }
    const OptionDecl* option = FindOption(decl, name);
    if (!option)
      throw UsageError{"unknown option " + name + " (see devazoz help " + decl.name + ")"};
    size_t wanted = ValueCount(*option);
    ParsedArgs::Occurrence occurrence;
    occurrence.positionals_before = parsed.positionals_.size();
    if (has_inline) {
      if (wanted == 0) throw UsageError{option->name + " takes no value"};
      if (wanted > 1)
        throw UsageError{option->name + " takes " + option->values + " as separate arguments"};
      occurrence.values.push_back(inline_value);
    } else {
      for (size_t k = 0; k < wanted; ++k) {
        if (i + 1 >= args.size()) {
          std::string how_many = wanted == 1 ? "a value" : std::to_string(wanted) + " values";
          throw UsageError{option->name + " needs " + how_many + " (" + option->values + ")"};
        }
        occurrence.values.push_back(args[++i]);
      }
    }
    std::vector<ParsedArgs::Occurrence>& list = parsed.options_[option->name];
    if (!list.empty() && wanted > 0 && !option->repeatable)
      throw UsageError{option->name + " is given more than once"};
    list.push_back(std::move(occurrence));
  }
  return parsed;
}

namespace {

// The words of text (blanks and line ends alike separate them) filled into lines of
// at most kWidth columns, the first starting at column start, the others at indent.
constexpr size_t kWidth = 80;

std::string Wrap(const std::string& text, size_t start, size_t indent) {
  std::istringstream words(text);
  std::string out;
  size_t column = start;
  bool first = true;
  for (std::string word; words >> word;) {
    if (!first && column + 1 + word.size() > kWidth) {
      out += '\n';
      out.append(indent, ' ');
      column = indent;
    } else if (!first) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    first = false;
  }
  return out;
}

}  // namespace

std::string HelpText(const CommandDecl& decl) {
  const size_t kColumn = 24;
  std::string out = "devazoz " + decl.name + ": " + decl.summary +
                    "\n\nusage: " + Wrap("devazoz " + decl.usage, 7, 9) + "\n";
  auto column = [&](const std::string& left, const std::string& help) {
    std::string line = "  " + left;
    if (line.size() + 2 > kColumn)
      line += "\n" + std::string(kColumn, ' ');
    else
      line += std::string(kColumn - line.size(), ' ');
    return line + Wrap(help, kColumn, kColumn) + "\n";
  };
  if (!decl.positionals.empty()) {
    out += "\narguments:\n";
    for (const PositionalDecl& p : decl.positionals) out += column(p.name, p.help);
  }
  out += "\noptions:\n";
  for (const OptionDecl& o : decl.options) {
    std::string left = o.name + (o.values.empty() ? "" : " " + o.values);
    if (!o.alias.empty()) left += ", " + o.alias;
    out += column(left, o.help + (o.repeatable ? " (may be repeated)" : ""));
  }
  out += column("--help, -h", "show this help");
  if (!decl.notes.empty()) out += "\n" + decl.notes + (decl.notes.back() == '\n' ? "" : "\n");
  return out;
}

}  // namespace devazoz_tool
