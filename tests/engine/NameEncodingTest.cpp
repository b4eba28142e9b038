// How stored names become UTF-8: flag bit 11, the Unicode path field that
// Info-ZIP writes, names from Unix hosts, and code page 437 for the rest.
#include <gtest/gtest.h>

#include "engine/ZipArchive.h"
#include "engine/ZipBytes.h"
#include "support/TestSupport.h"

using namespace ziptest;

namespace {
const std::string kCafeUTF8 = "caf\xC3\xA9";
const std::string kCafe437 = "caf\x82";

std::string unicodePathField(const std::string& storedName, const std::string& utf8,
                             uint8_t version = 1) {
  return Block(0x7075, std::string(1, static_cast<char>(version)) + Le32(Crc32(storedName)) + utf8);
}

std::string openAndName(const Entry& e) {
  testsupport::TempDir tmp;
  Archive a;
  a.entries.push_back(e);
  testsupport::WriteFile(tmp / "a.zip", a.Build().bytes);
  ZipArchive z;
  EXPECT_TRUE(z.Open(FolderItem(tmp / "a.zip"), false)) << z.ErrorMessage();
  return z.Entry(1)->RawPath();
}
}  // namespace

TEST(NameEncoding, StoredNamesBecomeUTF8) {
  struct Case {
    const char* what;
    Entry entry;
    std::string expected;
  };
  const uint16_t dos = 20, unix_ = 3 << 8 | 30, osx = 19 << 8 | 30;
  const Case cases[] = {
      {"code page 437 by default", {.name = kCafe437, .versionMadeBy = dos}, kCafeUTF8},
      {"flag bit 11", {.name = kCafeUTF8, .flags = 0x0800, .versionMadeBy = dos}, kCafeUTF8},
      {"UTF-8 from a Unix host", {.name = kCafeUTF8, .versionMadeBy = unix_}, kCafeUTF8},
      {"UTF-8 from macOS", {.name = kCafeUTF8, .versionMadeBy = osx}, kCafeUTF8},
      // The same bytes from a DOS host are code page 437 text.
      {"UTF-8 bytes from DOS", {.name = kCafeUTF8, .versionMadeBy = dos}, "caf\xE2\x94\x9C\xE2\x8C\x90"},
      // Not UTF-8 from a Unix host: still code page 437.
      {"437 from a Unix host", {.name = kCafe437, .versionMadeBy = unix_}, kCafeUTF8},
      {"Unicode path field",
       {.name = "caf_", .versionMadeBy = dos, .extra = unicodePathField("caf_", kCafeUTF8)},
       kCafeUTF8},
      {"stale Unicode path field",
       {.name = "cafe", .versionMadeBy = dos, .extra = unicodePathField("other", kCafeUTF8)},
       "cafe"},
      {"unknown field version",
       {.name = "cafe", .versionMadeBy = dos, .extra = unicodePathField("cafe", kCafeUTF8, 2)},
       "cafe"},
      {"truncated field", {.name = "cafe", .versionMadeBy = dos, .extra = Block(0x7075, "\x01\x02")},
       "cafe"},
  };
  for (const Case& c : cases) EXPECT_EQ(openAndName(c.entry), c.expected) << c.what;
}

TEST(NameEncoding, SameRawPathIgnoresCaseBeyondASCII) {
  testsupport::TempDir tmp;
  Archive a;
  a.entries.push_back({.name = "\x8E" "rger"});  // Ärger in code page 437
  testsupport::WriteFile(tmp / "a.zip", a.Build().bytes);
  ZipArchive z;
  ASSERT_TRUE(z.Open(FolderItem(tmp / "a.zip"), false));
  EXPECT_TRUE(z.Entry(1)->SameRawPath("\xC3\xA4RGER"));
  EXPECT_FALSE(z.Entry(1)->SameRawPath("arger"));
}
