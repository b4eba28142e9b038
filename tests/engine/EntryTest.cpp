// What an entry answers about itself, and the few things that change it.
#include <gtest/gtest.h>

#include "engine/ZipArchive.h"
#include "engine/ZipBytes.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"

namespace {

struct Record {
  uint16_t method = 0;
  uint16_t flags = 0;
  uint16_t time = 0;
  uint16_t date = 0;
  uint32_t crc = 0;
  uint32_t compressed = 0;
  uint32_t size = 0;
  uint16_t internal = 0;
  uint8_t host = 0;
};

MemoryBlockPtr recordBlock(const Record& r) {
  auto h = MemoryBlock::Make(46, true);
  h->SetUInt32Value(0, 0x02014B50);
  h->SetByte(4, 20);
  h->SetByte(5, r.host);
  h->SetUInt16Value(6, 20);
  h->SetUInt16Value(8, r.flags);
  h->SetUInt16Value(10, r.method);
  h->SetUInt16Value(12, r.time);
  h->SetUInt16Value(14, r.date);
  h->SetUInt32Value(16, r.crc);
  h->SetUInt32Value(20, r.compressed);
  h->SetUInt32Value(24, r.size);
  h->SetUInt16Value(36, r.internal);
  return h;
}

ZipEntryPtr entry(const std::string& name, const Record& r = {},
                  ZipArchiveDataPtr d = std::make_shared<ZipArchiveData>()) {
  return std::make_shared<ZipEntry>(d, recordBlock(r), name, nullptr, "");
}

// --- Paths ----------------------------------------------------------------

struct PathCase {
  std::string name;
  std::vector<std::string> components;
  bool folder;
};

class Paths : public ::testing::TestWithParam<PathCase> {};

TEST_P(Paths, SplitIntoComponents) {
  const PathCase& c = GetParam();
  // Names pass as they are, so that the cases can be written in UTF-8.
  auto d = std::make_shared<ZipArchiveData>();
  d->setArchiveEncoding(std::nullopt);
  ZipEntryPtr e = entry(c.name, {}, d);
  std::vector<std::string> list = {"left", "over", "from", "before", "here"};
  e->GetPath(list);
  EXPECT_EQ(list, c.components);
  EXPECT_EQ(e->IsDirectory(), c.folder);
  EXPECT_EQ(e->RawPath(), c.name);
  EXPECT_EQ(e->Name(), c.components.empty() ? "" : c.components.back());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Paths,
    ::testing::Values(PathCase{"docs/b.txt", {"docs", "b.txt"}, false},
                      PathCase{"docs/", {"docs"}, true},
                      PathCase{"Photos/", {"Photos"}, true},
                      PathCase{"a/b/c.txt", {"a", "b", "c.txt"}, false},
                      // The root placeholder entry: one empty component.
                      PathCase{"/", {""}, true},
                      PathCase{"a//b", {"a", "", "b"}, false},
                      PathCase{"./a", {"a"}, false},
                      PathCase{"a/.", {"a", "."}, false},
                      PathCase{"../up.txt", {"..", "up.txt"}, false},
                      PathCase{"x:y", {"x-y"}, false},
                      PathCase{"", {}, false},
                      PathCase{"./", {}, true},
                      PathCase{"Gr\xC3\xBC\xC3\x9F" "e/\xC3\xA4", {"Gr\xC3\xBC\xC3\x9F" "e", "\xC3\xA4"},
                               false}));

// --- Attributes -----------------------------------------------------------

TEST(EntryAttributes, ReadFromTheRecord) {
  Record r;
  r.method = 8;
  r.crc = 0xCAFEBABE;
  r.compressed = 12;
  r.size = 40;
  r.internal = 0x0003;
  r.host = 3;
  ZipEntryPtr e = entry("f", r);
  EXPECT_EQ(e->CompressionMethod(), 8);
  EXPECT_EQ(e->CRC32(), 0xCAFEBABEu);
  EXPECT_EQ(e->CompressedSize(), 12);
  EXPECT_EQ(e->Size(), 40);
  EXPECT_TRUE(e->IsTextFile());
  EXPECT_EQ(e->OSMadeBy(), 3);
  EXPECT_FALSE(e->IsEncrypted());
}

TEST(EntryAttributes, SizesOf2GBAndMoreAreNegative) {
  Record r;
  r.compressed = 0x80000000;
  r.size = 0xFFFFFFFF;
  ZipEntryPtr e = entry("big", r);
  EXPECT_EQ(e->CompressedSize(), INT32_MIN);
  EXPECT_EQ(e->Size(), -1);
}

struct ExtractCase {
  const char* what;
  std::string name;
  uint16_t method;
  uint16_t flags;
  bool canExtract;
};

class Extractable : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(Extractable, MethodEncryptionAndFolders) {
  const ExtractCase& c = GetParam();
  Record r;
  r.method = c.method;
  r.flags = c.flags;
  ZipEntryPtr e = entry(c.name, r);
  EXPECT_EQ(e->CanExtract(), c.canExtract);
  EXPECT_EQ(e->IsEncrypted(), (c.flags & 1) != 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Extractable,
                         ::testing::Values(ExtractCase{"stored", "a", 0, 0, true},
                                           ExtractCase{"deflated", "a", 8, 0, true},
                                           ExtractCase{"bzip2", "a", 12, 0, false},
                                           ExtractCase{"encrypted", "a", 8, 1, false},
                                           ExtractCase{"other_flags", "a", 8, 0x0806, true},
                                           ExtractCase{"folder", "Photos/", 0, 0, false}),
                         [](const auto& param) { return std::string(param.param.what); });

struct TimeCase {
  uint16_t time;
  uint16_t date;
  int year, month, day, hour, minute, second;
};

TEST(EntryAttributes, DosTimeAndDate) {
  EXPECT_FALSE(entry("t")->Time().has_value());
  const TimeCase cases[] = {
      {0, 33, 1980, 1, 1, 0, 0, 0},
      // 23:59:59 is stored as 49021: odd seconds are lost.
      {49021, (2004 - 1980) * 512 + 2 * 32 + 29, 2004, 2, 29, 23, 59, 58},
      {(13 << 11) | (45 << 5) | 5, (2107 - 1980) * 512 + 12 * 32 + 31, 2107, 12, 31, 13, 45, 10},
  };
  for (const TimeCase& c : cases) {
    Record r;
    r.time = c.time;
    r.date = c.date;
    std::optional<Date> t = entry("t", r)->Time();
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->Year(), c.year);
    EXPECT_EQ(t->Month(), c.month);
    EXPECT_EQ(t->Day(), c.day);
    EXPECT_EQ(t->Hour(), c.hour);
    EXPECT_EQ(t->Minute(), c.minute);
    EXPECT_EQ(t->Second(), c.second);
  }
}

// --- Changes ----------------------------------------------------------------

TEST(EntryChanges, TextFlagAndHostSystemLeaveTheRestAndTheDirtyFlag) {
  auto d = std::make_shared<ZipArchiveData>();
  Record r;
  r.internal = 0x0004;
  r.host = 3;
  ZipEntryPtr e = entry("f", r, d);
  e->SetTextFileFlag(true);
  EXPECT_TRUE(e->IsTextFile());
  EXPECT_EQ(e->z_Header()->UInt16Value(36), 0x0005);
  e->SetTextFileFlag(false);
  EXPECT_EQ(e->z_Header()->UInt16Value(36), 0x0004);
  e->SetOSMadeBy(0x107);
  EXPECT_EQ(e->OSMadeBy(), 7);
  EXPECT_EQ(e->z_Header()->Byte(4), 20);
  EXPECT_FALSE(d->dirty);
}

TEST(EntryChanges, CommentIsStoredInTheArchiveEncoding) {
  auto d = std::make_shared<ZipArchiveData>();
  ZipEntryPtr e = entry("f", {}, d);
  e->SetComment("\xC3\xA4");
  EXPECT_EQ(e->Comment(), "\xC3\xA4");
  EXPECT_EQ(e->z_origEncodedComment(), "\x84");
  EXPECT_TRUE(d->dirty);

  Record utf8;
  utf8.flags = 0x0800;
  ZipEntryPtr u = entry("g", utf8, d);
  u->SetComment("\xC3\xA4");
  EXPECT_EQ(u->z_origEncodedComment(), "\xC3\xA4");
}

TEST(EntryChanges, SameRawPathIgnoresCaseOnly) {
  ZipEntryPtr e = entry("Docs/Read Me.txt");
  EXPECT_TRUE(e->SameRawPath("docs/read me.TXT"));
  EXPECT_FALSE(e->SameRawPath("docs/read me.txt2"));
  EXPECT_FALSE(e->SameRawPath("docs/readme.txt"));
  // Compared as stored: the UTF-8 text is encoded before comparing.
  ZipEntryPtr dos = entry("\x84.txt");
  EXPECT_TRUE(dos->SameRawPath("\xC3\xA4.txt"));
  EXPECT_FALSE(dos->SameRawPath("\x84.txt2"));
}

TEST(EntryChanges, ReplacingTheCentralExtraField) {
  auto d = std::make_shared<ZipArchiveData>();
  ZipEntryPtr e = entry("f", {}, d);
  ASSERT_TRUE(e->ExtraFieldInCentralDir()->IsLocked());
  EXPECT_EQ(e->ExtraFieldInCentralDir()->AsData(), "");

  auto x = std::make_shared<ZipExtraField>(d, ziptest::MacShortBlock("TEXT", "ttxt"));
  EXPECT_FALSE(x->IsLocked());
  e->SetExtraFieldInCentralDir(x);
  EXPECT_TRUE(x->IsLocked());
  EXPECT_EQ(e->ExtraFieldInCentralDir(), x);
  EXPECT_EQ(e->z_Header()->UInt16Value(30), 16);
  EXPECT_TRUE(d->dirty);

  e->SetExtraFieldInCentralDir(nullptr);
  EXPECT_EQ(e->ExtraFieldInCentralDir()->AsData(), "");
  EXPECT_TRUE(e->ExtraFieldInCentralDir()->IsLocked());
  EXPECT_EQ(e->z_Header()->UInt16Value(30), 0);
}

// --- The local extra field ----------------------------------------------------

class LocalExtraField : public ::testing::Test {
 protected:
  void open(const std::string& bytes) {
    testsupport::WriteFile(dir_ / "t.zip", bytes);
    ASSERT_TRUE(archive_.Open(FolderItem(dir_ / "t.zip"), false)) << archive_.ErrorMessage();
  }
  ziptest::Archive twoEntries() {
    ziptest::Archive a;
    a.entries.push_back({.name = "a", .data = "aaa", .extra = ziptest::Block(0x5455, "central"),
                         .localExtra = ziptest::MacShortBlock("TEXT", "ttxt")});
    a.entries.push_back({.name = "b", .data = "bbb"});
    return a;
  }
  testsupport::TempDir dir_;
  ZipArchive archive_;
};

TEST_F(LocalExtraField, ReadFromTheLocalHeader) {
  open(twoEntries().Build().bytes);
  ZipEntryPtr e = archive_.Entry(1);
  EXPECT_EQ(e->ExtraFieldInCentralDir()->AsData(), ziptest::Block(0x5455, "central"));
  ZipExtraFieldPtr local = e->ExtraField();
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->AsData(), ziptest::MacShortBlock("TEXT", "ttxt"));
  EXPECT_TRUE(local->IsLocked());
  EXPECT_EQ(local->MacBlockOffset(), 0);
  ZipExtraFieldPtr none = archive_.Entry(2)->ExtraField();
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->AsData(), "");
}

TEST_F(LocalExtraField, DamagedLocalHeadersFail) {
  const std::string kBad =
      "Invalid Local File Header signature (archive appears to be severely corrupted)";
  ziptest::Built b = twoEntries().Build();
  ziptest::Put32(b.bytes, b.recordOffsets[0] + 42, 0xFFFFFFF0);  // offset past the end
  b.bytes[b.localOffsets[1]] = 'X';                              // no signature
  open(b.bytes);
  for (int32_t i : {1, 2}) {
    ZipEntryPtr e = archive_.Entry(i);
    EXPECT_EQ(e->ExtraField(), nullptr) << i;
    EXPECT_EQ(e->ErrorMessage(), kBad) << i;
  }
}

TEST_F(LocalExtraField, ExtraLengthPastTheEndFails) {
  ziptest::Built b = twoEntries().Build();
  ziptest::Put16(b.bytes, b.localOffsets[1] + 28, 0xFFFF);
  open(b.bytes);
  EXPECT_EQ(archive_.Entry(2)->ExtraField(), nullptr);
  EXPECT_NE(archive_.Entry(1)->ExtraField(), nullptr);
}

TEST(LocalExtraFieldStream, PositionIsKeptWhateverTheOutcome) {
  testsupport::TempDir dir;
  ziptest::Archive a;
  a.entries.push_back({.name = "a", .data = "aaa", .extra = ziptest::MacShortBlock("TEXT", "ttxt")});
  ziptest::Built b = a.Build();
  testsupport::WriteFile(dir / "t.zip", b.bytes);
  auto d = std::make_shared<ZipArchiveData>();
  d->zipStream = BinaryStream::Open(dir / "t.zip", false);
  d->zipStream->SetLittleEndian(true);
  auto good = MemoryBlock::FromString(b.bytes.substr(b.recordOffsets[0], 46), true);
  auto bad = MemoryBlock::FromString(b.bytes.substr(b.recordOffsets[0], 46), true);
  bad->SetUInt32Value(42, 1);
  for (const MemoryBlockPtr& header : {good, bad}) {
    ZipEntry e(d, header, "a", nullptr, "");
    d->zipStream->SetPosition(7);
    ZipExtraFieldPtr x = e.ExtraField();
    EXPECT_EQ(x != nullptr, header == good);
    EXPECT_EQ(d->zipStream->Position(), 7);
  }
}

}  // namespace
