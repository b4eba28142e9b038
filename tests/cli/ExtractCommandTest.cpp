// pellarc extract and pellarc test: what they write, what they select, how
// they report failures, and that nothing lands outside the chosen folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliTestSupport.h"
#include "engine/ExtractSupport.h"
#include "platform/ForkStore.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

using extracttest::RawDeflate;

ziptest::Entry deflated(const std::string& name, const std::string& data) {
  return {.name = name, .data = RawDeflate(data), .method = 8, .crc = ziptest::Crc32(data),
          .size = static_cast<uint32_t>(data.size())};
}

// Every file and folder below `root`, as "path" or "path/" with the file's
// contents, sorted.
std::map<std::string, std::string> tree(const fs::path& root) {
  std::map<std::string, std::string> items;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string rel = it->path().lexically_relative(root).string();
    if (it->is_symlink()) {
      items[rel + "@"] = "";
    } else if (it->is_directory()) {
      items[rel + "/"] = "";
    } else {
      items[rel] = testsupport::ReadFile(it->path());
    }
  }
  return items;
}

class ExtractCommand : public ::testing::Test {
 protected:
  void SetUp() override { ForkStore::Select("appledouble"); }
  std::string write(const std::string& name, const ziptest::Archive& a) {
    const fs::path p = work / name;
    testsupport::WriteFile(p, a.Build().bytes);
    return p.string();
  }
  testsupport::TempDir work;
  testsupport::TempDir dest;
};

TEST_F(ExtractCommand, ExtractsEverythingBelowTheFolder) {
  ziptest::Archive a;
  a.entries.push_back(deflated("README", "read me"));
  a.entries.push_back({.name = "docs/"});
  a.entries.push_back(deflated("docs/guide/part1.txt", "part one"));
  a.entries.push_back({.name = "docs/empty/"});
  a.entries.push_back({.name = "stored.bin", .data = "stored bytes"});
  const std::string zip = write("a.zip", a);
  const fs::path target = dest / "new" / "folder";

  clitest::Outcome r = clitest::Run({"extract", zip, "-d", target.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  const std::map<std::string, std::string> expected = {
      {"README", "read me"},      {"docs/", ""},
      {"docs/guide/", ""},        {"docs/guide/part1.txt", "part one"},
      {"docs/empty/", ""},        {"stored.bin", "stored bytes"}};
  EXPECT_EQ(tree(target), expected);
}

TEST_F(ExtractCommand, EntryArgumentsSelectAsListRowsDo) {
  ziptest::Archive a;
  a.entries.push_back(deflated("README", "read me"));
  a.entries.push_back({.name = "docs/"});
  a.entries.push_back(deflated("docs/a.txt", "a"));
  a.entries.push_back(deflated("pics/b.jpg", "b"));
  a.entries.push_back(deflated("other.txt", "o"));
  const std::string zip = write("a.zip", a);
  struct {
    std::vector<std::string> entries;
    std::map<std::string, std::string> expected;
    int status;
    std::string err;
  } cases[] = {
      {{"readme"}, {{"README", "read me"}}, 0, ""},
      {{"docs/"}, {{"docs/", ""}, {"docs/a.txt", "a"}}, 0, ""},
      // A folder without its entry, named without the slash.
      {{"pics"}, {{"pics/", ""}, {"pics/b.jpg", "b"}}, 0, ""},
      {{"missing\x1b", "other.txt"},
       {{"other.txt", "o"}},
       1,
       "pellarc: no entry matches \"missing\\x1B\"\n"},
  };
  for (const auto& c : cases) {
    testsupport::TempDir out;
    std::vector<std::string> args = {"extract", zip, "-d", out.path().string()};
    args.insert(args.end(), c.entries.begin(), c.entries.end());
    clitest::Outcome r = clitest::Run(args);
    EXPECT_EQ(r.status, c.status) << c.entries[0];
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(tree(out.path()), c.expected) << c.entries[0];
  }
}

TEST_F(ExtractCommand, FailedEntriesAreReportedAndTheRestExtracted) {
  ziptest::Archive a;
  a.entries.push_back(deflated("first", "1"));
  ziptest::Entry bad = deflated("bad\x07name", "some data here");
  bad.crc = *bad.crc ^ 1;
  a.entries.push_back(bad);
  a.entries.push_back({.name = "secret", .data = "????", .flags = 1});
  a.entries.push_back({.name = std::string("nul\0byte", 8), .data = "n", .flags = 0x0800});
  a.entries.push_back({.name = std::string(300, 'L'), .data = "long"});
  a.entries.push_back(deflated("last", "2"));
  const std::string zip = write("a.zip", a);

  clitest::Outcome r = clitest::Run({"extract", zip, "-d", dest.path().string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "Extraction of \"bad\\x07name\" failed: An error -3 occured while deflation\n"
            "Extraction of \"secret\" failed: Unsupported format (encrypted)\n"
            "Extraction of \"nul\\x00byte\" failed: Entry name holds a NUL byte, which file names "
            "can't hold\n"
            "Extraction of \"" + std::string(300, 'L') +
                "\" failed: Entry name is longer than the file system allows (255 bytes)\n");
  const std::map<std::string, std::string> expected = {{"first", "1"}, {"last", "2"}};
  EXPECT_EQ(tree(dest.path()), expected);
}

TEST_F(ExtractCommand, NothingLandsOutsideTheFolder) {
  // dest/inner is the destination; dest itself and `elsewhere` must stay as
  // they are.
  testsupport::TempDir elsewhere;
  const fs::path inner = dest / "inner";
  fs::create_directories(inner);
  fs::create_directory_symlink(elsewhere.path(), inner / "link");
  fs::create_symlink(elsewhere / "file-target", inner / "filelink");
  testsupport::WriteFile(elsewhere / "file-target", "untouched");

  ziptest::Archive a;
  for (std::string name : {"../up", "a/../../up2", "../../../../../../../../tmp/pellarc-slip",
                           "link/planted", "link/deep/planted", "./../dot"}) {
    a.entries.push_back(deflated(name, "evil"));
  }
  a.entries.push_back(deflated("/abs/inside", "fine"));
  a.entries.push_back(deflated("..\\backslash", "fine"));
  a.entries.push_back(deflated("filelink", "replaced"));
  const std::string zip = write("slip.zip", a);

  clitest::Outcome r = clitest::Run({"extract", zip, "-d", inner.string()});
  EXPECT_EQ(r.status, 1);
  const std::string leaves = "\" failed: Entry path leads outside the destination folder\n";
  const std::string alias =
      "\" failed: Entry path leads through an alias (symbolic link) in the destination; won't "
      "follow it\n";
  EXPECT_EQ(r.err, "Extraction of \"../up" + leaves + "Extraction of \"a/../../up2" + leaves +
                       "Extraction of \"../../../../../../../../tmp/pellarc-slip" + leaves +
                       "Extraction of \"link/planted" + alias + "Extraction of \"link/deep/planted" +
                       alias + "Extraction of \"./../dot" + leaves);
  EXPECT_EQ(tree(elsewhere.path()),
            (std::map<std::string, std::string>{{"file-target", "untouched"}}));
  EXPECT_FALSE(fs::exists("/tmp/pellarc-slip"));
  const std::map<std::string, std::string> outer = {
      {"inner/", ""},          {"inner/abs/", ""}, {"inner/abs/inside", "fine"},
      {"inner/..\\backslash", "fine"}, {"inner/filelink", "replaced"}, {"inner/link@", ""}};
  EXPECT_EQ(tree(dest.path()), outer);
}

TEST_F(ExtractCommand, MacBinaryEntriesAreSplitUnlessAskedNotTo) {
  const std::string mac = extracttest::MacBinaryStream(
      "data fork", "resource fork", extracttest::MacBinaryFields{.name = "Mac File"});
  ziptest::Archive a;
  a.entries.push_back(deflated("Mac File", mac));
  const std::string zip = write("mac.zip", a);

  clitest::Outcome r = clitest::Run({"extract", zip, "-d", (dest / "split").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testsupport::ReadFile(dest / "split" / "Mac File"), "data fork");
  EXPECT_TRUE(fs::exists(dest / "split" / "._Mac File"));

  r = clitest::Run({"extract", zip, "-d", (dest / "whole").string(), "--no-macbinary"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testsupport::ReadFile(dest / "whole" / "Mac File"), mac);
  EXPECT_FALSE(fs::exists(dest / "whole" / "._Mac File"));
}

TEST_F(ExtractCommand, UsageAndArchiveErrors) {
  testsupport::WriteFile(work / "text.txt", "not an archive at all, just text");
  struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"extract"}, 2},
      {{"test"}, 2},
      {{"extract", (work / "missing.zip").string()}, 2},
      {{"test", (work / "text.txt").string()}, 2},
      {{"extract", "--bogus", (work / "text.txt").string()}, 2},
  };
  for (const auto& c : cases) {
    clitest::Outcome r = clitest::Run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args.size();
    EXPECT_NE(r.err, "");
    EXPECT_EQ(r.out, "");
  }
}

// --- test ----------------------------------------------------------------------

TEST_F(ExtractCommand, TestChecksEveryExtractableEntry) {
  ziptest::Archive a;
  a.entries.push_back(deflated("one", "first entry"));
  a.entries.push_back({.name = "folder/"});
  a.entries.push_back({.name = "two", .data = "second entry"});
  a.entries.push_back({.name = "secret", .data = "????", .flags = 1});
  ziptest::Built b = a.Build();
  const fs::path good = work / "good.zip";
  testsupport::WriteFile(good, b.bytes);
  // One flipped byte in the stored entry's data.
  std::string bytes = b.bytes;
  bytes[b.localOffsets[2] + 30 + 3 + 4] ^= 0x01;
  const fs::path flipped = work / "flipped.zip";
  testsupport::WriteFile(flipped, bytes);

  clitest::Outcome r = clitest::Run({"test", good.string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "2 entries tested, no errors, 1 skipped\n");
  EXPECT_EQ(r.err, "Skipped \"secret\": encrypted\n");

  r = clitest::Run({"-q", "test", flipped.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Test of \"two\" failed: Data appears to be corrupted\n");

  r = clitest::Run({"test", flipped.string(), "one"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "1 entry tested, no errors\n");
}

}  // namespace
