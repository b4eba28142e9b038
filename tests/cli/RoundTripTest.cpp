// A tree of Macintosh files goes into an archive with pellarc add and comes
// back with pellarc extract, over each fork store on disk: every fork, type,
// creator, Finder flag and date that the archive keeps must come back as it
// was.
//
// What the archive keeps: data forks and names always; the modification
// date (to the even second in the record, to the second in a MacBinary
// header); type and creator always (in the Macintosh extra field); resource
// forks, Finder flags and creation dates for files stored in MacBinary form,
// which smart mode picks for files with a resource fork.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "cli/CliTestSupport.h"
#include "platform/ForkStore.h"
#include "streams/RsrcForkReader.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

struct Spec {
  std::string path;  // below the tree
  std::string data;
  std::string rsrc;
  std::string type, creator;  // empty: none set
  uint16_t flags = 0;
  std::optional<Date> created;
  Date modified;
};

std::string pattern(size_t n, int seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + i / 97 + seed) & 0xFF);
  return s;
}

std::vector<Spec> treeSpecs() {
  const Date when = Date::FromComponents(2020, 5, 6, 7, 8, 10);
  return {
      {"Read Me", "Some text\r", pattern(1000, 1), "APPL", "Zzzz", 0x240E,
       Date::FromComponents(2001, 2, 3, 4, 5, 6), Date::FromComponents(2020, 5, 6, 7, 8, 9)},
      {"empty", "", "", "", "", 0, std::nullopt, when},
      {"Resource Only", "", pattern(300, 2), "rsrc", "RSED", 0, std::nullopt, when},
      {"Empty Forks", "", "", "TEXT", "R*ch", 0, std::nullopt, when},
      {"Caf\xC3\xA9 \xE2\x98\x95 \xE6\x97\xA5\xE6\x9C\xAC.txt", "caf\xC3\xA9", "", "", "", 0,
       std::nullopt, when},
      {"Folder/\xC3\x9Cn\xC3\xAF" "c\xC3\xB8" "d\xC3\xA9 \xE2\x82\xAC", pattern(5000, 3),
       pattern(129, 4), "PICT", "ttxt", 0x0800, Date::FromComponents(1999, 12, 31, 23, 59, 58),
       when},
      {"Folder/Sub/\xE6\x97\xA5\xE6\x9C\xAC \xE2\x98\x95", "data", pattern(10, 5), "TEXT", "MPS ",
       0, std::nullopt, when},
      {"Folder/Sub/Deep/noise.bin", pattern(70000, 6), "", "", "", 0, std::nullopt, when},
      {"Folder/Sub/Deep/Empty Fork Too", "x", "", "BINA", "hDmp", 0, std::nullopt, when},
  };
}

class RoundTrip : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { ASSERT_TRUE(ForkStore::Select(GetParam())); }
  void TearDown() override { ForkStore::Install(nullptr); }

  void makeTree(const fs::path& root) {
    for (const Spec& s : treeSpecs()) {
      const fs::path p = root / s.path;
      fs::create_directories(p.parent_path());
      testsupport::WriteFile(p, s.data);
      const FolderItem file(p);
      if (!s.rsrc.empty()) {
        ForkStorePtr store = ForkStore::Current();
        int16_t ref = 0;
        ASSERT_EQ(store->OpenRF(p, fsWrPerm, ref), ForkErr::noErr);
        int32_t count = static_cast<int32_t>(s.rsrc.size());
        ASSERT_EQ(store->FSWrite(ref, count, s.rsrc.data()), ForkErr::noErr);
        ASSERT_EQ(store->FSClose(ref), ForkErr::noErr);
      }
      if (!s.type.empty() || s.flags != 0) {
        FinderInfo info = file.GetFinderInfo();
        info.SetType(s.type);
        info.SetCreator(s.creator);
        info.SetFlags(s.flags);
        ASSERT_TRUE(file.SetFinderInfo(info)) << s.path;
      }
      if (s.created && ForkStore::Current()->KeepsCreationDates()) {
        ASSERT_TRUE(file.SetCreationDate(*s.created)) << s.path;
      }
      ASSERT_TRUE(file.SetModificationDate(s.modified)) << s.path;
    }
  }

  // Every file below `root`, as listings show them (store files left out).
  static std::vector<std::string> listFiles(const FolderItem& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (const FolderItem& item : folder.Items()) {
      if (item.Directory()) {
        for (std::string& n : listFiles(item, prefix + item.Name() + "/")) names.push_back(n);
      } else {
        names.push_back(prefix + item.Name());
      }
    }
    return names;
  }

  static std::string rsrcOf(const FolderItem& file) {
    RsrcForkReader reader(file);
    if (!reader.Open()) return "<no fork>";
    const std::string bytes = reader.Read(1 << 20);
    reader.Close();
    return bytes;
  }

  testsupport::TempDir src;
  testsupport::TempDir work;
};

TEST_P(RoundTrip, AddThenExtractGivesTheSameFiles) {
  makeTree(src / "Tree");
  const std::string forks = "--forks=" + GetParam();
  const std::string zip = (work / "tree.zip").string();
  clitest::Outcome r = clitest::Run({forks, "add", zip, (src / "Tree").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const fs::path out = work / "out";
  r = clitest::Run({forks, "extract", zip, "-d", out.string()});
  ASSERT_EQ(r.status, 0) << r.err;

  const std::vector<Spec> specs = treeSpecs();
  std::vector<std::string> expected;
  for (const Spec& s : specs) expected.push_back(s.path);
  std::vector<std::string> got = listFiles(FolderItem(out / "Tree"), "");
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, expected);

  const bool keepsCreation = ForkStore::Current()->KeepsCreationDates();
  for (const Spec& s : specs) {
    SCOPED_TRACE(s.path);
    const FolderItem before(src / "Tree" / s.path);
    const FolderItem after(out / "Tree" / s.path);
    ASSERT_TRUE(after.Exists());
    EXPECT_EQ(testsupport::ReadFile(after.Path()), s.data);
    EXPECT_EQ(after.ResourceForkLength(), static_cast<int64_t>(s.rsrc.size()));
    if (!s.rsrc.empty()) {
      EXPECT_EQ(rsrcOf(after), s.rsrc);
    }
    EXPECT_EQ(after.MacType(), before.MacType());
    EXPECT_EQ(after.MacCreator(), before.MacCreator());
    EXPECT_EQ(after.ModificationDate().TotalSeconds(), s.modified.TotalSeconds());
    if (s.rsrc.empty()) continue;
    // Only the MacBinary form carries these.
    EXPECT_EQ(after.FinderFlags(), s.flags);
    if (s.created && keepsCreation) {
      EXPECT_EQ(after.CreationDate().TotalSeconds(), s.created->TotalSeconds());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, RoundTrip, ::testing::Values("appledouble", "extfs"));

}  // namespace
