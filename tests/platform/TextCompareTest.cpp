#include <gtest/gtest.h>

#include "platform/TextCompare.h"

TEST(TextCompare, IgnoresLetterCaseInTheClassicScripts) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  };
  const Case cases[] = {
      {"Docs/", "DOCS/", true},
      {"\xC3\xA4rger", "\xC3\x84RGER", true},            // ärger
      {"\xC5\x81\xC3\xB3" "d\xC5\xBA", "\xC5\x82\xC3\x93" "D\xC5\xB9", true},  // Łódź
      {"\xCE\xB1\xCE\xB2", "\xCE\x91\xCE\x92", true},    // αβ
      {"\xD0\xB4\xD0\xB0", "\xD0\x94\xD0\x90", true},    // да
      {"\xC3\x97", "\xC3\xB7", false},                    // × and ÷ are no pair
      {"notes", "notes.txt", false},
      {"a\x84", "A\x84", true},                           // not UTF-8: bytes kept
      {"a\x84", "a\x85", false},
      {"", "", true},
  };
  for (const Case& c : cases) EXPECT_EQ(EqualsIgnoringCase(c.a, c.b), c.equal) << c.a;
}

TEST(TextCompare, PrefixesIgnoreCase) {
  EXPECT_TRUE(StartsWithIgnoringCase("DOCS/x", "docs/"));
  EXPECT_FALSE(StartsWithIgnoringCase("docs", "docs/"));
  EXPECT_TRUE(StartsWithIgnoringCase("anything", ""));
  // A truncated multi-byte sequence neither crashes nor matches by accident.
  EXPECT_FALSE(StartsWithIgnoringCase("\xC3", "\xC3\xA4"));
}
