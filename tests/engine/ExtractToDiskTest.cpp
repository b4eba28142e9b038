// Extracting entries into files and folders: what lands where, what is
// restored, what is refused, and that nothing is ever written outside the
// chosen folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/ExtractSupport.h"
#include "platform/ForkStore.h"
#include "streams/RsrcForkReader.h"

namespace fs = std::filesystem;

namespace {

using extracttest::MacBinaryStream;
using extracttest::OpenArchive;
using extracttest::RawDeflate;

// 2024-01-02 13:45:10 as DOS time and date.
constexpr uint16_t kTime = 13 << 11 | 45 << 5 | 10 / 2;
constexpr uint16_t kDate = (2024 - 1980) << 9 | 1 << 5 | 2;

ziptest::Entry deflated(const std::string& name, const std::string& data) {
  return {.name = name, .data = RawDeflate(data), .method = 8, .time = kTime, .date = kDate,
          .crc = ziptest::Crc32(data), .size = static_cast<uint32_t>(data.size())};
}

std::string resourceFork(const fs::path& file) {
  RsrcForkReader r{FolderItem(file)};
  if (!r.Open()) return "<none>";
  std::string all;
  for (std::string piece; !(piece = r.Read(65536)).empty();) all += piece;
  r.Close();
  return all;
}

bool sidecarExists(const fs::path& file) {
  return fs::exists(fs::symlink_status(file.parent_path() / ("._" + file.filename().string())));
}

class ExtractToDisk : public ::testing::Test {
 protected:
  void SetUp() override { ForkStore::Select("appledouble"); }
  fs::path out(const std::string& name) const { return dest / name; }
  testsupport::TempDir dest;
};

TEST_F(ExtractToDisk, FileGetsDataTimeAndFinderInformation) {
  ziptest::Archive a;
  ziptest::Entry withBlock = deflated("tool", "binary");
  withBlock.extra = ziptest::MacShortBlock("APPL", "abcd");
  a.entries.push_back(withBlock);
  a.entries.push_back(deflated("notes.txt", "some text"));
  const std::string mac =
      MacBinaryStream("data fork", "resource fork", extracttest::MacBinaryFields{.name = "Mac File"});
  a.entries.push_back(deflated("Mac File", mac));
  // Named by its archive path in a way the header's name can't be.
  a.entries.push_back(deflated("mac.bin", mac));
  OpenArchive z(a);

  ASSERT_TRUE(z.Entry(1)->Extract(FolderItem(out("tool")))) << z.Entry(1)->ErrorMessage();
  EXPECT_EQ(testsupport::ReadFile(out("tool")), "binary");
  EXPECT_EQ(FolderItem(out("tool")).MacType(), "APPL");
  EXPECT_EQ(FolderItem(out("tool")).MacCreator(), "abcd");
  EXPECT_TRUE(FolderItem(out("tool")).ModificationDate() == Date::FromComponents(2024, 1, 2, 13, 45, 10));

  // The name tells type and creator: nothing needs storing beside the file.
  ASSERT_TRUE(z.Entry(2)->Extract(FolderItem(out("notes.txt"))));
  EXPECT_EQ(FolderItem(out("notes.txt")).MacType(), "TEXT");
  EXPECT_FALSE(sidecarExists(out("notes.txt")));

  ASSERT_TRUE(z.Entry(3)->Extract(FolderItem(out("Mac File")), true)) << z.Entry(3)->ErrorMessage();
  EXPECT_EQ(testsupport::ReadFile(out("Mac File")), "data fork");
  EXPECT_EQ(resourceFork(out("Mac File")), "resource fork");
  EXPECT_EQ(FolderItem(out("Mac File")).MacType(), "TEXT");
  EXPECT_EQ(FolderItem(out("Mac File")).MacCreator(), "ttxt");

  // Without splitting, the MacBinary stream is the data.
  ASSERT_TRUE(z.Entry(3)->Extract(FolderItem(out("whole")), false));
  EXPECT_EQ(testsupport::ReadFile(out("whole")), mac);

  // The header's name is the file's own.
  ASSERT_TRUE(FolderItem(out("Mac File")).Delete());
  ASSERT_TRUE(z.Entry(4)->Extract(FolderItem(out("mac.bin")), true)) << z.Entry(4)->ErrorMessage();
  EXPECT_FALSE(fs::exists(out("mac.bin")));
  EXPECT_EQ(testsupport::ReadFile(out("Mac File")), "data fork");
}

TEST_F(ExtractToDisk, FailureLeavesNoFileBehind) {
  const std::string mac = MacBinaryStream("data fork", "resource fork");
  ziptest::Archive a;
  ziptest::Entry badPlain = deflated("plain", "some text that is long enough");
  badPlain.crc = *badPlain.crc ^ 1;
  ziptest::Entry badMac = deflated("mac", mac);
  badMac.crc = *badMac.crc ^ 1;
  a.entries.push_back(badPlain);
  a.entries.push_back(badMac);
  a.entries.push_back({.name = "stored", .data = "flipped", .crc = ziptest::Crc32("flipper")});
  OpenArchive z(a);

  // A file that was there is overwritten, so it goes too.
  testsupport::WriteFile(out("stored"), "old contents");
  for (int32_t i = 1; i <= 3; ++i) {
    ZipEntryPtr e = z.Entry(i);
    const fs::path target = out(e->Name());
    EXPECT_FALSE(e->Extract(FolderItem(target))) << i;
    EXPECT_EQ(e->ErrorMessage(),
              i == 3 ? "Data appears to be corrupted" : "An error -3 occured while deflation");
    EXPECT_FALSE(fs::exists(fs::symlink_status(target))) << i;
    EXPECT_FALSE(sidecarExists(target)) << i;
  }
}

TEST_F(ExtractToDisk, EntryRefusedBeforeWritingLeavesAnExistingFileAlone) {
  ziptest::Archive a;
  a.entries.push_back({.name = "first", .data = "x"});
  a.entries.push_back({.name = "odd", .data = "data", .method = 12});
  a.entries.push_back({.name = "secret", .data = "????", .flags = 1});
  OpenArchive z(a);
  for (int32_t i : {2, 3}) {
    testsupport::WriteFile(out("existing"), "precious");
    EXPECT_FALSE(z.Entry(i)->Extract(FolderItem(out("existing"))));
    EXPECT_EQ(testsupport::ReadFile(out("existing")), "precious");
    EXPECT_FALSE(z.Entry(i)->Extract(FolderItem(out("new"))));
    EXPECT_FALSE(fs::exists(out("new")));
  }
}

TEST_F(ExtractToDisk, FoldersAndFilesDontReplaceEachOther) {
  ziptest::Archive a;
  a.entries.push_back({.name = "folder/"});
  a.entries.push_back(deflated("file", "data"));
  OpenArchive z(a);
  ZipEntryPtr folder = z.Entry(1);
  ZipEntryPtr file = z.Entry(2);

  EXPECT_TRUE(folder->Extract(FolderItem(out("new folder"))));
  EXPECT_TRUE(fs::is_directory(out("new folder")));
  testsupport::WriteFile(out("new folder") / "inside", "kept");
  EXPECT_TRUE(folder->Extract(FolderItem(out("new folder"))));
  EXPECT_EQ(testsupport::ReadFile(out("new folder") / "inside"), "kept");

  testsupport::WriteFile(out("a file"), "kept");
  EXPECT_FALSE(folder->Extract(FolderItem(out("a file"))));
  EXPECT_EQ(folder->ErrorMessage(),
            "Archive entry is a folder but a file exists at the destination already. Won't "
            "replace that.");
  EXPECT_FALSE(file->Extract(FolderItem(out("new folder"))));
  EXPECT_EQ(file->ErrorMessage(),
            "Archive entry is a file but a folder exists at the destination already. Won't "
            "replace that.");
  EXPECT_EQ(testsupport::ReadFile(out("new folder") / "inside"), "kept");
  EXPECT_EQ(testsupport::ReadFile(out("a file")), "kept");

  EXPECT_FALSE(folder->Extract(FolderItem(out("missing") / "deeper")));
  EXPECT_EQ(folder->ErrorMessage(), "Folder creation failed");
  EXPECT_FALSE(file->Extract(FolderItem(out("missing") / "file")));
  EXPECT_EQ(file->ErrorMessage(), "Creating destination file failed");
  EXPECT_FALSE(file->Extract(std::nullopt));
  EXPECT_EQ(file->ErrorMessage(), "No destination given");
}

TEST_F(ExtractToDisk, ReplacesFilesButNeverWritesThroughALink) {
  testsupport::TempDir elsewhere;
  testsupport::WriteFile(elsewhere / "victim", "precious");
  fs::create_symlink(elsewhere / "victim", out("file"));
  testsupport::WriteFile(out("old"), "old contents that are longer");
  testsupport::WriteFile(out("locked"), "locked contents");
  ASSERT_TRUE(FolderItem(out("locked")).SetLocked(true));

  ziptest::Archive a;
  a.entries.push_back(deflated("file", "new"));
  OpenArchive z(a);
  ZipEntryPtr e = z.Entry(1);
  EXPECT_TRUE(e->Extract(FolderItem(out("file"))));
  EXPECT_FALSE(fs::is_symlink(out("file")));
  EXPECT_EQ(testsupport::ReadFile(out("file")), "new");
  EXPECT_EQ(testsupport::ReadFile(elsewhere / "victim"), "precious");

  EXPECT_TRUE(e->Extract(FolderItem(out("old"))));
  EXPECT_EQ(testsupport::ReadFile(out("old")), "new");

  EXPECT_FALSE(e->Extract(FolderItem(out("locked"))));
  EXPECT_EQ(e->ErrorMessage(), "Destination file is write protected");
  FolderItem(out("locked")).SetLocked(false);
  EXPECT_EQ(testsupport::ReadFile(out("locked")), "locked contents");
}

TEST_F(ExtractToDisk, ClosedArchive) {
  ziptest::Archive a;
  a.entries.push_back(deflated("file", "data"));
  OpenArchive z(a);
  ZipEntryPtr e = z.Entry(1);
  z.archive.Close();
  EXPECT_FALSE(e->Extract(FolderItem(out("file"))));
  EXPECT_EQ(e->ErrorMessage(), "Archive is closed");
  EXPECT_FALSE(fs::exists(out("file")));
}

// --- Destinations ------------------------------------------------------------

struct DestinationCase {
  std::string name;
  // Below the base; empty for none.
  std::string expected;
  std::string problem;
};

class Destinations : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(Destinations, StayInsideTheBase) {
  const DestinationCase& c = GetParam();
  ziptest::Archive a;
  a.entries.push_back({.name = c.name, .flags = 0x0800});
  OpenArchive z(a);
  testsupport::TempDir base;
  std::string problem = "stale";
  std::optional<FolderItem> got = z.Entry(1)->MakeDestination(FolderItem(base.path()), false,
                                                               problem);
  if (c.expected.empty()) {
    EXPECT_FALSE(got.has_value()) << got->NativePath();
    EXPECT_EQ(problem, c.problem);
  } else {
    ASSERT_TRUE(got.has_value()) << problem;
    EXPECT_EQ(got->Path(), base.path() / c.expected);
    EXPECT_EQ(problem, "");
    // The folders on the way exist; the entry's own item does not yet.
    EXPECT_TRUE(fs::is_directory(got->Path().parent_path()));
    EXPECT_FALSE(fs::exists(got->Path()));
  }
}

const char kLeaves[] = "Entry path leads outside the destination folder";

INSTANTIATE_TEST_SUITE_P(
    Cases, Destinations,
    ::testing::Values(DestinationCase{"a/b/c.txt", "a/b/c.txt", ""},
                      DestinationCase{"folder/", "folder", ""},
                      DestinationCase{"/etc/passwd", "etc/passwd", ""},
                      DestinationCase{"a//b", "a/b", ""},
                      DestinationCase{"./a/./b", "a/b", ""},
                      DestinationCase{"c:\\x", "c-\\x", ""},
                      DestinationCase{"../escape", "", kLeaves},
                      DestinationCase{"a/../../escape", "", kLeaves},
                      DestinationCase{"a/b/../c", "", kLeaves},
                      DestinationCase{std::string("nul\0name", 8), "",
                                      "Entry name holds a NUL byte, which file names can't hold"},
                      DestinationCase{"d/" + std::string(256, 'n'), "",
                                      "Entry name is longer than the file system allows (255 "
                                      "bytes)"},
                      DestinationCase{std::string(255, 'n'), std::string(255, 'n'), ""}));

TEST(DestinationLinks, LinksInTheBaseAreNotFollowedOut) {
  testsupport::TempDir base, elsewhere;
  fs::create_directory(base / "inside");
  fs::create_directory_symlink(elsewhere.path(), base / "out");
  fs::create_directory_symlink(base / "inside", base / "in");
  ziptest::Archive a;
  a.entries.push_back({.name = "out/planted"});
  a.entries.push_back({.name = "in/fine"});
  a.entries.push_back({.name = "out"});
  OpenArchive z(a);

  std::string problem;
  EXPECT_FALSE(z.Entry(1)->MakeDestination(FolderItem(base.path()), false, problem));
  EXPECT_EQ(problem,
            "Entry path leads through an alias (symbolic link) in the destination; won't follow it");
  EXPECT_FALSE(z.Entry(1)->MakeDestination(FolderItem(base.path()), true, problem));
  EXPECT_EQ(problem, kLeaves);
  // Followed on request, as long as it stays inside.
  std::optional<FolderItem> fine = z.Entry(2)->MakeDestination(FolderItem(base.path()), true);
  ASSERT_TRUE(fine);
  EXPECT_EQ(fine->Path(), fs::canonical(base.path()) / "inside" / "fine");
  // A link to a folder as the entry itself counts as a folder: a file
  // entry won't replace it, and nothing goes through it.
  std::optional<FolderItem> last = z.Entry(3)->MakeDestination(FolderItem(base.path()), false);
  ASSERT_TRUE(last);
  EXPECT_FALSE(z.Entry(3)->Extract(*last));
  EXPECT_TRUE(fs::is_symlink(base / "out"));
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

}  // namespace
