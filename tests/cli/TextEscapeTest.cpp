// What reaches the terminal and the JSON output of text from an archive.
#include <gtest/gtest.h>

#include "cli/Args.h"
#include "cli/JsonReader.h"
#include "cli/TextEscape.h"

namespace {

struct EscapeCase {
  std::string in;
  std::string terminal;
  std::string json;  // with its quotes
};

TEST(TextEscape, TerminalAndJson) {
  const EscapeCase cases[] = {
      {"plain name.txt", "plain name.txt", "\"plain name.txt\""},
      {"", "", "\"\""},
      {"tab\there", "tab\\x09here", "\"tab\\there\""},
      {"line\nbreak\r", "line\\x0Abreak\\x0D", "\"line\\nbreak\\r\""},
      {"esc\x1b[2J", "esc\\x1B[2J", "\"esc\\u001b[2J\""},
      {"del\x7f", "del\\x7F", "\"del\\u007f\""},
      {std::string("nul\0x", 5), "nul\\x00x", "\"nul\\u0000x\""},
      {"back\\slash", "back\\\\slash", "\"back\\\\slash\""},
      {"quote\"d", "quote\"d", "\"quote\\\"d\""},
      // UTF-8 passes; a C1 control (U+009B, a terminal's CSI) does not.
      {"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC",
       "\"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC\""},
      {"c1\xC2\x9B", "c1\\xC2\\x9B", "\"c1\\u009b\""},
      // Bytes that are not UTF-8: code page 437's ä, a cut-off sequence, an
      // overlong slash.
      {"\x84.txt", "\\x84.txt", "\"\xEF\xBF\xBD.txt\""},
      {"cut\xE2\x82", "cut\\xE2\\x82", "\"cut\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xC0\xAF", "\\xC0\\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(cli::EscapeForTerminal(c.in), c.terminal) << c.in;
    EXPECT_EQ(cli::JsonString(c.in), c.json) << c.in;
    EXPECT_TRUE(jsontest::Parse(c.json)) << c.json;
  }
}

TEST(TextEscape, JsonObject) {
  cli::JsonObject o;
  o.AddString("name", "a\"b").AddNumber("n", -5).AddBool("yes", true).AddNull("none");
  EXPECT_EQ(o.Text(), "{\"name\": \"a\\\"b\", \"n\": -5, \"yes\": true, \"none\": null}");
  EXPECT_EQ(cli::JsonObject().Text(), "{}");
}

TEST(Arguments, FormsOfOptions) {
  const std::vector<cli::OptionSpec> known = {{"--json"}, {"-d", true}, {"--macbinary", true}};
  cli::Arguments a;
  std::string error;
  ASSERT_TRUE(cli::ParseArguments({"x.zip", "--json", "-d", "out", "--macbinary=smart", "-", "--",
                                   "--json", "-d"},
                                  known, a, error))
      << error;
  EXPECT_EQ(a.positional, (std::vector<std::string>{"x.zip", "-", "--json", "-d"}));
  EXPECT_TRUE(a.Has("--json"));
  EXPECT_EQ(a.Value("-d"), "out");
  EXPECT_EQ(a.Value("--macbinary"), "smart");
  EXPECT_FALSE(a.Has("--other"));

  struct Bad {
    std::vector<std::string> args;
    std::string error;
  };
  const Bad bad[] = {{{"--nope"}, "unknown option \"--nope\""},
                     {{"--json=1"}, "option --json takes no value"},
                     {{"x", "-d"}, "option -d needs a value"}};
  for (const Bad& b : bad) {
    cli::Arguments parsed;
    std::string message;
    EXPECT_FALSE(cli::ParseArguments(b.args, known, parsed, message));
    EXPECT_EQ(message, b.error);
  }
}

}  // namespace
