// Writing the central directory at Flush and Close, the root placeholder of
// an empty archive, and what happens when the directory can't be written.
#include <gtest/gtest.h>

#include "engine/WriteTestSupport.h"
#include "platform/Exceptions.h"

using namespace writetest;

namespace {

const std::string kReadOnly = "Archive was opened read-only";

class DirectoryWrite : public ::testing::Test {
 protected:
  std::filesystem::path zip() const { return tmp / "a.zip"; }
  std::string bytes() const { return testsupport::ReadFile(zip()); }
  testsupport::TempDir tmp;
};

TEST_F(DirectoryWrite, ANewArchiveClosedEmptyHoldsOnlyThePlaceholder) {
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    ASSERT_TRUE(a.Close()) << a.ErrorMessage();
    // Closing a closed archive does nothing.
    EXPECT_TRUE(a.Close());
  }
  // Local header with the name "/" (31 bytes), its record (47), the end
  // record (22): exactly what the byte builder makes of one empty entry "/".
  ziptest::Archive expected;
  expected.entries.push_back({.name = "/"});
  EXPECT_EQ(bytes(), expected.Build().bytes);
  EXPECT_EQ(bytes().size(), 100u);
  // Nothing to extract: unzip would stop at the name "/" ("stripped absolute
  // path spec"), but the tests pass.
  ExpectOtherToolsAgree(zip(), {});
}

TEST_F(DirectoryWrite, RewritesAnUnchangedArchiveWithTheSameBytes) {
  ziptest::Archive built;
  built.entries.push_back({.name = "first.txt", .data = "hello", .comment = "first"});
  built.entries.push_back({.name = "dir/", .versionMadeBy = 3 << 8 | 30});
  built.entries.push_back({.name = "dir/b.txt", .data = "bye", .extra = ziptest::MacShortBlock("TEXT", "ttxt")});
  built.comment = "archive comment \xff\x01";
  const std::string original = built.Build().bytes;
  testsupport::WriteFile(zip(), original);
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  ASSERT_TRUE(a.Flush());
  EXPECT_EQ(bytes(), original);
  ASSERT_TRUE(a.Close());
  EXPECT_EQ(bytes(), original);
}

TEST_F(DirectoryWrite, CutsTheFileBehindTheEndRecordAndItsComment) {
  ziptest::Archive built;
  built.entries.push_back({.name = "a.txt", .data = "aaa"});
  built.entries.push_back({.name = "b.txt", .data = "bbb"});
  testsupport::WriteFile(zip(), built.Build().bytes + "trailing garbage");
  const std::string comment = "a comment of some length";
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  ASSERT_TRUE(a.RemoveEntry(2));
  ASSERT_TRUE(a.SetComment(comment));
  ASSERT_TRUE(a.Close());
  const std::string b = bytes();
  const Layout l = ReadLayout(b);
  EXPECT_EQ(l.count, 1);
  EXPECT_EQ(l.comment, comment);
  EXPECT_EQ(b.substr(b.size() - comment.size()), comment);
}

TEST_F(DirectoryWrite, FlushWritesADirectoryThatLaterAddsMoveOn) {
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  ASSERT_EQ(AddBytes(a, "one.txt", "first"), 1);
  ASSERT_TRUE(a.Flush()) << a.ErrorMessage();
  {
    ZipArchive reader;
    ASSERT_TRUE(reader.Open(FolderItem(zip()), false)) << reader.ErrorMessage();
    EXPECT_EQ(reader.EntryCount(), 1);
  }
  ASSERT_EQ(AddBytes(a, "two.txt", "second"), 2);
  ASSERT_TRUE(a.Close());
  ExpectOtherToolsAgree(zip(), {{"one.txt", "first"}, {"two.txt", "second"}});
  // A closed archive can't be flushed.
  EXPECT_THROW(a.Flush(), RuntimeException);
  ASSERT_TRUE(a.Open(FolderItem(zip()), false));
  EXPECT_FALSE(a.Flush());
  EXPECT_EQ(a.ErrorMessage(), kReadOnly);
}

TEST_F(DirectoryWrite, LeavesThePlaceholderOutOnceTheArchiveHoldsSomethingElse) {
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    ASSERT_TRUE(a.Close());
  }
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    ASSERT_EQ(a.EntryCount(), 1);
    ASSERT_GT(AddBytes(a, "a.txt", TextBytes(1000)), 0);
    ASSERT_TRUE(a.Close());
  }
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), false));
    ASSERT_EQ(a.EntryCount(), 1);
    EXPECT_EQ(a.Entry(1)->RawPath(), "a.txt");
  }
  // Info-ZIP unzip would stop at an entry "/" with status 2.
  ExpectOtherToolsAgree(zip(), {{"a.txt", TextBytes(1000)}});
  // The placeholder's bytes are free space until compacted.
  EXPECT_EQ(ReadLayout(bytes()).entries.at(0).localOffset, 31u);
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  ASSERT_TRUE(a.Compact());
  ASSERT_TRUE(a.Close());
  EXPECT_EQ(ReadLayout(bytes()).entries.at(0).localOffset, 0u);
  ExpectOtherToolsAgree(zip(), {{"a.txt", TextBytes(1000)}});
}

TEST_F(DirectoryWrite, DoesNotWriteOnAnArchiveOpenedReadOnly) {
  ziptest::Archive built;
  built.entries.push_back({.name = "a.txt", .data = "aaa"});
  const std::string original = built.Build().bytes;
  testsupport::WriteFile(zip(), original);
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), false));
  EXPECT_FALSE(a.SetComment("new"));
  EXPECT_EQ(a.ErrorMessage(), kReadOnly);
  // An entry's comment can be changed on any archive, and makes it dirty.
  a.Entry(1)->SetComment("changed");
  EXPECT_FALSE(a.Close());
  EXPECT_EQ(a.ErrorMessage(), kReadOnly);
  EXPECT_FALSE(a.IsOpen());
  EXPECT_EQ(bytes(), original);
}

TEST_F(DirectoryWrite, ANewArchiveThatCannotBeClosedIsDeleted) {
  const struct {
    const char* what;
    bool created;
  } cases[] = {{"created", true}, {"existing", false}};
  for (const auto& c : cases) {
    if (!c.created) {
      ZipArchive a;
      ASSERT_TRUE(a.Open(FolderItem(zip()), true));
      ASSERT_TRUE(a.Close());
    }
    {
      ZipArchive a;
      ASSERT_TRUE(a.Open(FolderItem(zip()), true));
      const int32_t index = AddBytes(a, "x.txt", "x");
      ASSERT_GT(index, 0);
      // A record whose extra field length doesn't match its extra field.
      a.Entry(index)->z_Header()->SetUInt16Value(30, 3);
    }
    EXPECT_EQ(std::filesystem::exists(zip()), !c.created) << c.what;
    std::filesystem::remove(zip());
  }
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  ASSERT_GT(AddBytes(a, "x.txt", "x"), 0);
  a.Entry(1)->z_Header()->SetUInt16Value(30, 3);
  EXPECT_FALSE(a.Close());
  EXPECT_EQ(a.ErrorMessage(), "Internal error (extra field length mismatch)");
  EXPECT_FALSE(a.IsOpen());
}

TEST_F(DirectoryWrite, ADirectoryThatCannotBeWrittenFailsTheClose) {
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    ASSERT_GT(AddBytes(a, "n.bin", NoiseBytes(50000)), 0);
    // The disk is full from here on: the directory doesn't fit.
    FileSizeLimit limit(static_cast<int64_t>(std::filesystem::file_size(zip())));
    EXPECT_FALSE(a.Close());
    EXPECT_EQ(a.ErrorMessage(), "Write error, the archive's directory may be incomplete");
  }
  std::filesystem::remove(zip());
  {
    std::optional<FileSizeLimit> limit;
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    ASSERT_GT(AddBytes(a, "n.bin", NoiseBytes(50000)), 0);
    limit.emplace(static_cast<int64_t>(std::filesystem::file_size(zip())));
    // Left to the destructor, the new archive goes.
  }
  EXPECT_FALSE(std::filesystem::exists(zip()));
}

}  // namespace
