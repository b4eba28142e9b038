// Cleaning item names, and telling fake duplicate entries from real ones.
#include <gtest/gtest.h>

#include "engine/ZipArchive.h"
#include "engine/ZipBytes.h"
#include "streams/Helpers.h"
#include "support/TestSupport.h"

namespace {

TEST(CleanName, ReplacesBothSeparators) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {{"a/b\\c", "a-b-c"}, {"plain", "plain"}, {"x:y", "x:y"},
                        {"//", "--"},         {"", ""},           {"\xC3\xA4/", "\xC3\xA4-"}};
  ZipArchive archive;
  for (const Case& c : cases) {
    EXPECT_EQ(ZipArchiveData::cleanName(c.in), c.out) << c.in;
    EXPECT_EQ(archive.CleanName(c.in), c.out) << c.in;
    EXPECT_EQ(archive.IsValidName(c.in), c.in == c.out) << c.in;
  }
}

TEST(CleanName, KeepsTheEncodingTag) {
  ZipArchive archive;
  TaggedString s{"a/b", Encodings::MacRoman().Code()};
  TaggedString cleaned = archive.CleanName(s);
  EXPECT_EQ(cleaned.bytes, "a-b");
  EXPECT_EQ(GetStringEncoding(cleaned), Encodings::MacRoman().Code());
  TaggedString untagged{"x\\y"};
  EXPECT_EQ(GetStringEncoding(archive.CleanName(untagged)), Encodings::kUnknownCode);
}

TEST(FakeEntry, GivenLocalFlags) {
  struct Case {
    uint16_t central;
    int32_t local;
    bool fake;
  };
  const Case cases[] = {
      {0x0008, 0x0000, true},   // the one difference a fake duplicate has
      {0x0008, 0x0008, false},  // simply equal
      {0x0000, 0x0000, false},  // no bit 3 in the central record
      {0x0809, 0x0801, true},   // other bits must match
      {0x0809, 0x0800, false},
  };
  ZipArchiveData d;
  for (const Case& c : cases) {
    MemoryBlock record(46);
    record.SetLittleEndian(true);
    record.SetUInt16Value(8, c.central);
    EXPECT_EQ(d.isFakeEntry(record, c.local), c.fake) << c.central << " " << c.local;
  }
}

TEST(FakeEntry, LocalFlagsReadFromTheArchive) {
  ziptest::Archive a;
  a.entries.push_back({.name = "a", .data = "aaa"});
  ziptest::Built b = a.Build();
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "t.zip", b.bytes);

  ZipArchiveData d;
  MemoryBlock record(46);
  record.SetLittleEndian(true);
  record.SetUInt16Value(8, 0x0008);
  // No archive stream: nothing to compare with.
  EXPECT_FALSE(d.isFakeEntry(record, -1));

  d.zipStream = BinaryStream::Open(dir / "t.zip", false);
  d.zipStream->SetLittleEndian(true);
  EXPECT_TRUE(d.isFakeEntry(record, -1));
  EXPECT_EQ(d.zipStream->Position(), 8);
  // A local header offset past the end reads as flags 0.
  record.SetUInt32Value(42, 0xFFFFFF00);
  EXPECT_TRUE(d.isFakeEntry(record, -1));
}

}  // namespace
