#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FolderItem.h"
#include "support/TestSupport.h"

using testsupport::TempDir;
using testsupport::WriteFile;

TEST(FolderItem, ListsAFolderInByteOrder) {
  TempDir tmp;
  for (const char* name : {"b", "B", "a", "\xC3\xA4", "Z"}) WriteFile(tmp / name, "");
  FolderItem dir(tmp.path());
  ASSERT_EQ(dir.Count(), 5);
  std::vector<std::string> names;
  for (const auto& item : dir.Items()) names.push_back(item.Name());
  EXPECT_EQ(names, (std::vector<std::string>{"B", "Z", "a", "b", "\xC3\xA4"}));
  EXPECT_EQ(dir.Item(0), FolderItem());
  EXPECT_EQ(dir.Item(6), FolderItem());
  EXPECT_EQ(FolderItem(tmp / "a").Count(), 0);
}

TEST(FolderItem, ReportsKindsAndAttributes) {
  TempDir tmp;
  WriteFile(tmp / "file", "12345");
  ASSERT_EQ(symlink("file", (tmp / "link").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (tmp / "dangling").c_str()), 0);
  FolderItem file(tmp / "file"), link(tmp / "link"), dangling(tmp / "dangling");
  EXPECT_TRUE(file.Exists());
  EXPECT_FALSE(file.Directory());
  EXPECT_FALSE(file.Alias());
  EXPECT_EQ(file.Length(), 5);
  EXPECT_TRUE(link.Alias());
  EXPECT_EQ(link.ResolvedAlias().Name(), "file");
  EXPECT_TRUE(dangling.Exists());
  EXPECT_TRUE(dangling.Alias());
  EXPECT_FALSE(FolderItem(tmp / "none").Exists());
  EXPECT_TRUE(FolderItem(tmp.path()).Directory());
  EXPECT_TRUE(file.Visible());
  EXPECT_FALSE(FolderItem(tmp / ".hidden").Visible());
  EXPECT_EQ(file.Parent()->Path(), tmp.path());
  EXPECT_EQ(FolderItem(tmp.path()).Child("file"), file);
}

TEST(FolderItem, NamesAreTheLastComponent) {
  const struct {
    const char* path;
    const char* name;
  } cases[] = {
      {"/a/b.txt", "b.txt"}, {"/a/b/", "b"}, {"/a//", "a"}, {"rel", "rel"},
      {"/", ""},             {"//", ""},     {"", ""},      {"a/..", ".."},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderItem(c.path).Name(), c.name) << c.path;
}

// What a folder walk learns without a look at each item: the listing's kinds
// and inode numbers, and from opening a file, what the open file is.
TEST(FolderItem, ListingsTellKindsAndOpeningTellsTheRest) {
  TempDir tmp;
  WriteFile(tmp / "f", "12345");
  ASSERT_EQ(mkdir((tmp / "d").c_str(), 0700), 0);
  ASSERT_EQ(symlink("f", (tmp / "l").c_str()), 0);
  ASSERT_EQ(mkfifo((tmp / "p").c_str(), 0600), 0);
  FolderItem dir(tmp.path());
  ASSERT_EQ(dir.Count(), 4);  // d f l p
  const auto d = dir.ListedKindOf(1), f = dir.ListedKindOf(2), l = dir.ListedKindOf(3);
  ASSERT_TRUE(d && f && l);
  EXPECT_TRUE(d->directory && !d->file && !d->alias);
  EXPECT_TRUE(f->file && !f->directory && !f->alias);
  EXPECT_EQ(f->fileID, FolderItem(tmp / "f").DirectoryID());
  EXPECT_TRUE(l->alias && !l->file);
  if (const auto p = dir.ListedKindOf(4)) {
    EXPECT_FALSE(p->file || p->directory || p->alias);
  }
  EXPECT_FALSE(dir.ListedKindOf(0));
  EXPECT_FALSE(dir.ListedKindOf(5));

  FolderItem::Status status;
  BinaryStreamPtr opened = FolderItem(tmp / "f").OpenForReading(status);
  ASSERT_TRUE(opened);
  EXPECT_TRUE(status.exists && status.file);
  EXPECT_EQ(status.length, 5);
  const FolderItem::Status looked = FolderItem(tmp / "f").GetStatus(true);
  EXPECT_EQ(status.fileID, looked.fileID);
  EXPECT_EQ(status.volumeID, looked.volumeID);
  EXPECT_EQ(status.modified.UnixTime(), looked.modified.UnixTime());
  EXPECT_EQ(opened->Read(100), "12345");
  // A pipe is not waited on; what it is comes from a look at the path.
  EXPECT_FALSE(FolderItem(tmp / "p").OpenForReading(status));
  EXPECT_TRUE(status.exists);
  EXPECT_FALSE(status.file);
  EXPECT_FALSE(FolderItem(tmp / "d").OpenForReading(status));
  EXPECT_TRUE(status.directory);
  EXPECT_FALSE(FolderItem(tmp / "gone").OpenForReading(status));
  EXPECT_FALSE(status.exists);
}

TEST(FolderItem, LockingClearsTheOwnerWriteBit) {
  TempDir tmp;
  WriteFile(tmp / "f", "x");
  FolderItem f(tmp / "f");
  EXPECT_FALSE(f.Locked());
  ASSERT_TRUE(f.SetLocked(true));
  EXPECT_TRUE(f.Locked());
  ASSERT_TRUE(f.SetLocked(false));
  EXPECT_FALSE(f.Locked());
}

TEST(FolderItem, CreatesAndDeletes) {
  TempDir tmp;
  FolderItem dir(tmp / "sub");
  EXPECT_TRUE(dir.CreateAsFolder());
  EXPECT_FALSE(dir.CreateAsFolder());
  auto bs = dir.Child("f").CreateBinaryFile("application/zip");
  ASSERT_TRUE(bs);
  bs->Write("abc");
  bs->Close();
  EXPECT_EQ(dir.Child("f").Length(), 3);
  EXPECT_FALSE(dir.Delete());  // not empty
  EXPECT_TRUE(dir.Child("f").Delete());
  EXPECT_TRUE(dir.Delete());
  EXPECT_FALSE(dir.Exists());
}

TEST(FolderItem, ModificationDateRoundTrips) {
  TempDir tmp;
  WriteFile(tmp / "f", "x");
  FolderItem f(tmp / "f");
  Date when = Date::FromComponents(1991, 5, 13, 10, 20, 30);
  ASSERT_TRUE(f.SetModificationDate(when));
  EXPECT_EQ(f.ModificationDate().TotalSeconds(), when.TotalSeconds());
}

TEST(FolderItem, ClassicNamesAndFileSpecificationsFitTheClassicLimits) {
  TempDir tmp;
  struct Case {
    std::string name;
    std::string classic;   // empty: no classic name (longer than 31 or not Mac Roman)
    std::string specName;  // empty: no file specification
  };
  const std::string a31(31, 'a'), a32(32, 'a'), a63(63, 'a'), a64(64, 'a');
  const Case cases[] = {
      {"Read Me", "Read Me", "Read Me"},
      {"caf\xC3\xA9", "caf\x8E", "caf\x8E"},
      {a31, a31, a31},
      {a32, "", a32},
      {a63, "", a63},
      {a64, "", ""},
      {"\xE2\x82\xAC uro", "\xDB uro", "\xDB uro"},  // the euro sign is in Mac Roman
      {"\xE4\xB8\xAD", "", ""},                      // a CJK character is not
      {"a:b", "a/b", "a/b"},
  };
  const int32_t parentID = static_cast<int32_t>(FolderItem(tmp.path()).DirectoryID() & 0x7FFFFFFF);
  for (const Case& c : cases) {
    FolderItem f(tmp / c.name);
    EXPECT_EQ(f.MacClassicName(), c.classic) << c.name;
    auto spec = f.MacFSSpec();
    ASSERT_EQ(spec != nullptr, !c.specName.empty()) << c.name;
    if (!spec) continue;
    EXPECT_EQ(spec->Size(), 70);
    EXPECT_EQ(spec->Int32Value(2), parentID);
    EXPECT_EQ(spec->PString(6), c.specName);
  }
}
