// The devazoz tool's argument parser: values, repeats, positionals, errors, help text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/devazoz/args.h"

namespace {
using devazoz_tool::Args;
using devazoz_tool::CommandDecl;
using devazoz_tool::HelpText;
using devazoz_tool::ParseArgs;
using devazoz_tool::ParsedArgs;
using devazoz_tool::UsageError;

const CommandDecl& Decl() {
  static const CommandDecl decl{"demo",
                                "does nothing for the tests",
                                "demo TABLE [options]",
                                {{"TABLE", "a table"}},
                                {{"--index", "FILE", "an index file", true},
                                 {"--tag", "NAME", "a tag"},
                                 {"--range", "LOW HIGH", "a key range"},
                                 {"--unique", "", "one flag"},
                                 {"--ignore-case", "", "another flag", false, "--no-case"}},
                                "A closing note."};
  return decl;
}

std::string ErrorOf(const Args& args) {
  try {
    ParseArgs(Decl(), args);
  } catch (const UsageError& e) {
    return e.message;
  }
  return "";
}

TEST(DevazozArgs, ValuesFlagsAndPositionalsInAnyOrder) {
  ParsedArgs a =
      ParseArgs(Decl(), {"--tag", "TITLE", "T.DBF", "--unique", "--range", "-5", "--x", "EXTRA"});
  EXPECT_EQ(a.Positionals(), (std::vector<std::string>{"T.DBF", "EXTRA"}));
  EXPECT_EQ(a.Value("--tag"), "TITLE");
  EXPECT_TRUE(a.Has("--unique"));
  EXPECT_FALSE(a.Has("--index"));
  EXPECT_EQ(a.Value("--index", "none"), "none");
  // Values are taken as they are, even when they look like options.
  EXPECT_EQ(a.Values("--range"), (std::vector<std::string>{"-5", "--x"}));
  EXPECT_EQ(a.PositionalsBefore("--unique"), 1u);
  EXPECT_EQ(a.PositionalsBefore("--tag"), 0u);
  EXPECT_EQ(a.PositionalsBefore("--index"), 2u);  // absent: all of them
  EXPECT_FALSE(a.HelpWanted());
}

TEST(DevazozArgs, InlineValuesAliasesAndTheEndOfOptions) {
  ParsedArgs a = ParseArgs(Decl(), {"--tag=A=B", "--no-case", "--", "--unique", "-h", "--tag"});
  EXPECT_EQ(a.Value("--tag"), "A=B");
  EXPECT_TRUE(a.Has("--ignore-case"));  // asked for by its name, given by its alias
  EXPECT_FALSE(a.Has("--unique"));
  EXPECT_FALSE(a.HelpWanted());
  EXPECT_EQ(a.Positionals(), (std::vector<std::string>{"--unique", "-h", "--tag"}));
  // Negative numbers, expressions and "--" before a non-letter are positional.
  ParsedArgs b = ParseArgs(Decl(), {"-1", "-TITLE", "--1", "-", "--(A)"});
  EXPECT_EQ(b.Positionals(), (std::vector<std::string>{"-1", "-TITLE", "--1", "-", "--(A)"}));
  EXPECT_EQ(ParseArgs(Decl(), {"--tag="}).Value("--tag", "x"), "");
}

TEST(DevazozArgs, RepeatedOptions) {
  ParsedArgs a =
      ParseArgs(Decl(), {"--index", "A.CDX", "T", "--index", "B.NTX", "--unique", "--unique"});
  EXPECT_EQ(a.All("--index"), (std::vector<std::string>{"A.CDX", "B.NTX"}));
  EXPECT_EQ(a.Count("--index"), 2u);
  EXPECT_EQ(a.Value("--index"), "B.NTX");
  EXPECT_EQ(a.PositionalsBefore("--index"), 0u);  // the first occurrence counts
  EXPECT_EQ(a.Count("--unique"), 2u);             // flags may repeat
  EXPECT_EQ(ErrorOf({"--tag", "A", "--tag", "B"}), "--tag is given more than once");
  EXPECT_EQ(ErrorOf({"--range", "1", "2", "--range", "3", "4"}), "--range is given more than once");
}

TEST(DevazozArgs, ErrorsNameTheOptionAndWhatIsMissing) {
  EXPECT_EQ(ErrorOf({"T", "--bogus"}), "unknown option --bogus (see devazoz help demo)");
  EXPECT_EQ(ErrorOf({"--bogus=1"}), "unknown option --bogus (see devazoz help demo)");
  EXPECT_EQ(ErrorOf({"T", "--tag"}), "--tag needs a value (NAME)");
  EXPECT_EQ(ErrorOf({"--range", "1"}), "--range needs 2 values (LOW HIGH)");
  EXPECT_EQ(ErrorOf({"--unique=yes"}), "--unique takes no value");
  EXPECT_EQ(ErrorOf({"--range=1"}), "--range takes LOW HIGH as separate arguments");
  EXPECT_EQ(ErrorOf({"T", "--index", "A", "--tag", "X"}), "");
}

TEST(DevazozArgs, HelpIsAskedForAnywhere) {
  EXPECT_TRUE(ParseArgs(Decl(), {"T", "--help"}).HelpWanted());
  EXPECT_TRUE(ParseArgs(Decl(), {"-h", "--tag", "X"}).HelpWanted());
  // Help wins over a line that is wrong otherwise, but not after "--".
  EXPECT_TRUE(ParseArgs(Decl(), {"--bogus", "--help"}).HelpWanted());
  EXPECT_TRUE(ParseArgs(Decl(), {"-h", "--range", "1"}).HelpWanted());
  EXPECT_EQ(ErrorOf({"--bogus", "--", "--help"}), "unknown option --bogus (see devazoz help demo)");
  // A value that reads "--help" is a value.
  ParsedArgs a = ParseArgs(Decl(), {"--tag", "--help"});
  EXPECT_FALSE(a.HelpWanted());
  EXPECT_EQ(a.Value("--tag"), "--help");
}

TEST(DevazozArgs, HelpTextExplainsEveryArgumentAndOption) {
  std::string help = HelpText(Decl());
  EXPECT_EQ(
      help.rfind(
          "devazoz demo: does nothing for the tests\n\nusage: devazoz demo TABLE [options]\n", 0),
      0u)
      << help;
  for (const char* line : {"  TABLE                 a table\n",
                           "  --index FILE          an index file (may be repeated)\n",
                           "  --range LOW HIGH      a key range\n",
                           "  --ignore-case, --no-case\n                        another flag\n",
                           "  --help, -h            show this help\n", "\nA closing note.\n"})
    EXPECT_NE(help.find(line), std::string::npos) << line << "\n" << help;
}

}  // namespace
