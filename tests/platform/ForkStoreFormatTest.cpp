// The on-disk layouts of the two real stores: what they write, what they
// read from other tools, and what they do with files they can't parse.
#include <gtest/gtest.h>

#include "platform/AppleDoubleStore.h"
#include "platform/ExtfsStore.h"
#include "platform/FolderItem.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

uint32_t get32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s.at(at))) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(s.at(at + 1))) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s.at(at + 2))) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s.at(at + 3)));
}

std::string finderInfoBytes(const std::string& type, const std::string& creator, uint16_t flags) {
  std::string fi = type + creator;
  fi += static_cast<char>(flags >> 8);
  fi += static_cast<char>(flags);
  fi.resize(32, '\0');
  return fi;
}

struct Entry {
  uint32_t id;
  std::string data;
};

// An AppleDouble file with the entries' data in the order given.
std::string sidecar(const std::vector<Entry>& entries, const std::string& filler = "Mac OS X        ",
                    uint32_t version = 0x00020000) {
  std::string out = be32(0x00051607) + be32(version) + filler;
  out += static_cast<char>(entries.size() >> 8);
  out += static_cast<char>(entries.size());
  uint32_t offset = static_cast<uint32_t>(26 + 12 * entries.size());
  for (const Entry& e : entries) {
    out += be32(e.id) + be32(offset) + be32(static_cast<uint32_t>(e.data.size()));
    offset += static_cast<uint32_t>(e.data.size());
  }
  for (const Entry& e : entries) out += e.data;
  return out;
}

// The extended-attribute block macOS keeps behind the Finder info, with one
// attribute, for a Finder info entry that starts at `entryOffset`.
std::string attributeBlock(uint32_t entryOffset, const std::string& name, const std::string& value) {
  uint32_t start = entryOffset + 32;
  std::string record = be32(0) + be32(static_cast<uint32_t>(value.size())) + std::string(2, '\0');
  record += static_cast<char>(name.size() + 1);
  record += name + '\0';
  record.resize((record.size() + 3) & ~size_t(3), '\0');
  uint32_t dataStart = start + 38 + static_cast<uint32_t>(record.size());
  uint32_t end = dataStart + static_cast<uint32_t>(value.size());
  std::string block(2, '\0');
  block += "ATTR" + be32(0) + be32(end) + be32(dataStart) + be32(static_cast<uint32_t>(value.size()));
  block += std::string(12, '\0') + std::string(1, '\0') + std::string(1, '\0');
  block += '\0';
  block += '\1';  // one attribute
  std::string patched = record;
  patched.replace(0, 4, be32(dataStart));
  return block + patched + value;
}

class AppleDoubleFormat : public ::testing::Test {
 protected:
  void SetUp() override { ForkStore::Install(store); }
  void TearDown() override { ForkStore::Install(nullptr); }

  OSErr writeFork(const FolderItem& f, const std::string& bytes) {
    int16_t ref = 0;
    if (OSErr err = store->OpenRF(f.Path(), fsRdWrShPerm, ref)) return err;
    store->SetEOF(ref, 0);
    int32_t count = static_cast<int32_t>(bytes.size());
    store->FSWrite(ref, count, bytes.data());
    return store->FSClose(ref);
  }

  std::string readFork(const FolderItem& f) {
    int16_t ref = 0;
    if (store->OpenRF(f.Path(), fsCurPerm, ref)) return "<open failed>";
    std::string bytes(1000, '\0');
    int32_t count = 1000;
    store->FSRead(ref, count, bytes.data());
    store->FSClose(ref);
    return bytes.substr(0, static_cast<size_t>(count));
  }

  testsupport::TempDir dir;
  std::shared_ptr<AppleDoubleStore> store = std::make_shared<AppleDoubleStore>();
};

}  // namespace

TEST_F(AppleDoubleFormat, WritesTheLayoutMacOSWrites) {
  testsupport::WriteFile(dir / "doc", "data");
  FolderItem f(dir / "doc");
  FinderInfo info;
  info.SetType("TEXT");
  info.SetCreator("R*ch");
  info.SetFlags(0x0100);
  ASSERT_TRUE(f.SetFinderInfo(info));
  ASSERT_EQ(writeFork(f, "RSRC"), ForkErr::noErr);

  std::string expected = be32(0x00051607) + be32(0x00020000) + "Mac OS X        " + '\0' + '\2' +
                         be32(9) + be32(0x32) + be32(32) + be32(2) + be32(0x52) + be32(4) +
                         finderInfoBytes("TEXT", "R*ch", 0x0100) + "RSRC";
  EXPECT_EQ(testsupport::ReadFile(dir / "._doc"), expected);

  // A creation date the file system can't hold adds the dates entry
  // (seconds since 2000 UTC, signed) between the two.
  std::time_t created = 946684800 - 86400;  // 31 December 1999, 00:00 UTC
  ASSERT_TRUE(f.SetCreationDate(Date::FromUnixTime(created)));
  std::string ad = testsupport::ReadFile(dir / "._doc");
  ASSERT_EQ(ad.size(), 0x3Eu + 32 + 16 + 4);
  EXPECT_EQ(ad.substr(24, 2), std::string("\0\3", 2));
  EXPECT_EQ(ad.substr(26, 36), be32(9) + be32(0x3E) + be32(32) + be32(8) + be32(0x5E) + be32(16) +
                                   be32(2) + be32(0x6E) + be32(4));
  EXPECT_EQ(ad.substr(0x3E, 32), finderInfoBytes("TEXT", "R*ch", 0x0100));
  EXPECT_EQ(static_cast<int32_t>(get32(ad, 0x5E)), -86400);
  EXPECT_EQ(get32(ad, 0x5E + 8), 0x80000000u) << "the backup date is unknown";
  EXPECT_EQ(ad.substr(0x6E), "RSRC");
  EXPECT_EQ(f.CreationDate().UnixTime(), created);

  // Changing the date again changes it where it is.
  ASSERT_TRUE(f.SetCreationDate(Date::FromUnixTime(created + 60)));
  EXPECT_EQ(testsupport::ReadFile(dir / "._doc").size(), ad.size());
  EXPECT_EQ(f.CreationDate().UnixTime(), created + 60);
}

TEST_F(AppleDoubleFormat, ReadsSidecarsOfOtherWriters) {
  std::string fi = finderInfoBytes("APPL", "abcd", 0x2000);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"macOS", sidecar({{9, fi}, {2, "fork"}})},
      {"zero filler, fork first", sidecar({{2, "fork"}, {9, fi}}, std::string(16, '\0'))},
      {"version 1", sidecar({{9, fi}, {2, "fork"}}, "Unix            ", 0x00010000)},
      {"with a real name and dates", sidecar({{3, "doc"}, {8, std::string(16, '\0')}, {9, fi}, {2, "fork"}})},
      {"Finder info with extended attributes", sidecar({{9, fi + attributeBlock(0x32, "com.x", "v")},
                                                        {2, "fork"}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::WriteFile(dir / "doc", "");
    testsupport::WriteFile(dir / "._doc", c.bytes);
    FolderItem f(dir / "doc");
    EXPECT_EQ(f.ResourceForkLength(), 4);
    EXPECT_EQ(readFork(f), "fork");
    EXPECT_EQ(f.MacType(), "APPL");
    EXPECT_EQ(f.MacCreator(), "abcd");
    EXPECT_EQ(f.FinderFlags(), 0x2000);

    // Rewritten in our layout, it keeps what we don't use.
    ASSERT_TRUE(f.SetCreationDate(Date::FromUnixTime(1000000000))) << ForkStore::LastErrorText();
    std::string ad = testsupport::ReadFile(dir / "._doc");
    EXPECT_EQ(ad.substr(8, 16), "Mac OS X        ");
    EXPECT_EQ(readFork(f), "fork");
    EXPECT_EQ(f.MacCreator(), "abcd");
    if (c.bytes.find("doc") != std::string::npos) {
      EXPECT_NE(ad.find("doc"), std::string::npos);
    }
    ASSERT_TRUE(f.Delete());
  }
}

TEST_F(AppleDoubleFormat, ExtendedAttributesMoveWithTheFinderInfo) {
  testsupport::WriteFile(dir / "doc", "");
  std::string fi(32, '\0');
  testsupport::WriteFile(dir / "._doc",
                         sidecar({{9, fi + attributeBlock(0x32, "com.apple.test", "hello")}, {2, ""}}));
  FolderItem f(dir / "doc");
  // Adding the dates entry moves the Finder info 12 bytes on.
  ASSERT_TRUE(f.SetCreationDate(Date::FromUnixTime(1000000000)));
  std::string ad = testsupport::ReadFile(dir / "._doc");
  ASSERT_EQ(get32(ad, 26), 9u);
  uint32_t entry = get32(ad, 30);
  EXPECT_EQ(entry, 0x3Eu);
  size_t block = entry + 32;
  ASSERT_EQ(ad.substr(block + 2, 4), "ATTR");
  uint32_t dataStart = get32(ad, block + 14);
  uint32_t valueAt = get32(ad, block + 38);
  EXPECT_EQ(dataStart, valueAt);
  EXPECT_EQ(ad.substr(valueAt, 5), "hello");
  EXPECT_EQ(get32(ad, block + 10), valueAt + 5) << "end of the attribute area";

  // Finder information that goes back to zero leaves the attributes.
  ASSERT_TRUE(f.SetMacType("TEXT"));
  ASSERT_TRUE(f.SetMacType(""));
  EXPECT_TRUE(fs::exists(dir / "._doc"));
}

TEST_F(AppleDoubleFormat, DamagedSidecarsReadAsAbsentAndAreNeverOverwritten) {
  std::string fi = finderInfoBytes("APPL", "abcd", 0);
  std::string good = sidecar({{9, fi}, {2, "fork"}});
  auto with = [&](size_t at, const std::string& bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"wrong magic", with(0, be32(0x00051600))},
      {"unknown version", with(4, be32(0x00030000))},
      {"entry table past the end", with(24, std::string("\0\x40", 2))},
      {"entry offset past the end", with(26 + 12 + 4, be32(0x1000))},
      {"entry length past the end", with(26 + 12 + 8, be32(0x1000))},
      {"overlapping entries", with(26 + 12 + 4, be32(0x40))},
      {"entry over the entry table", with(26 + 4, be32(0x20))},
      {"the same entry twice", with(26 + 12, be32(9))},
      {"shorter than a header", good.substr(0, 20)},
      {"too many entries", with(24, std::string("\xFF\xFF", 2)) + std::string(65535 * 12, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::WriteFile(dir / "doc.txt", "data");
    testsupport::WriteFile(dir / "._doc.txt", c.bytes);
    FolderItem f(dir / "doc.txt");
    EXPECT_EQ(f.ResourceForkLength(), 0);
    EXPECT_EQ(readFork(f), "");
    EXPECT_EQ(f.MacType(), "TEXT") << "the name's codes, as for a file without a sidecar";
    int64_t length = -1;
    FinderInfo info;
    f.GetFileForkInfo(true, length, info);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(info.Type(), "TEXT");

    EXPECT_EQ(writeFork(f, "new"), ForkErr::ioErr);
    EXPECT_NE(ForkStore::LastErrorText().find("damaged AppleDouble file"), std::string::npos)
        << ForkStore::LastErrorText();
    EXPECT_FALSE(f.SetMacCreator("R*ch"));
    EXPECT_FALSE(f.SetCreationDate(Date::FromUnixTime(1000000000)));
    EXPECT_EQ(testsupport::ReadFile(dir / "._doc.txt"), c.bytes);
    EXPECT_EQ(FolderItem(dir.path()).Count(), 1);
  }
}

TEST_F(AppleDoubleFormat, NamesTooLongForASidecarFailCleanly) {
  std::string name(254, 'n');
  testsupport::WriteFile(dir / name, "");
  FolderItem f(dir / name);
  EXPECT_EQ(f.ResourceForkLength(), 0);
  EXPECT_EQ(f.MacType(), std::string(4, '\0'));
  EXPECT_FALSE(f.SetMacType("TEXT"));
  EXPECT_EQ(writeFork(f, "fork"), ForkErr::bdNamErr);
  EXPECT_EQ(readFork(f), "");
  EXPECT_EQ(FolderItem(dir.path()).Count(), 1);
}

TEST(ExtfsFormat, KeepsTheRawForkAndFinderInfoInTheirFolders) {
  testsupport::TempDir dir;
  ForkStore::Install(std::make_shared<ExtfsStore>());
  testsupport::WriteFile(dir / "doc", "data");
  FolderItem f(dir / "doc");
  FinderInfo info;
  info.SetType("TEXT");
  info.SetCreator("R*ch");
  ASSERT_TRUE(f.SetFinderInfo(info));
  int16_t ref = 0;
  ASSERT_EQ(ForkStore::Current()->OpenRF(f.Path(), fsRdWrShPerm, ref), ForkErr::noErr);
  int32_t count = 4;
  ForkStore::Current()->FSWrite(ref, count, "RSRC");
  ASSERT_EQ(ForkStore::Current()->FSClose(ref), ForkErr::noErr);
  EXPECT_EQ(testsupport::ReadFile(dir / ".rsrc" / "doc"), "RSRC");
  EXPECT_EQ(testsupport::ReadFile(dir / ".finf" / "doc"), finderInfoBytes("TEXT", "R*ch", 0));

  // Earlier emulator versions wrote only the first 16 bytes.
  testsupport::WriteFile(dir / ".finf" / "doc", finderInfoBytes("APPL", "abcd", 0).substr(0, 16));
  EXPECT_EQ(f.MacCreator(), "abcd");

  // Back to nothing: the files and their folders go.
  ASSERT_TRUE(f.SetFinderInfo(FinderInfo()));
  ASSERT_EQ(ForkStore::Current()->OpenRF(f.Path(), fsRdWrShPerm, ref), ForkErr::noErr);
  ForkStore::Current()->SetEOF(ref, 0);
  ASSERT_EQ(ForkStore::Current()->FSClose(ref), ForkErr::noErr);
  EXPECT_FALSE(fs::exists(dir / ".rsrc"));
  EXPECT_FALSE(fs::exists(dir / ".finf"));
  ForkStore::Install(nullptr);
}
