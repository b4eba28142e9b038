// pellarc delete, on archives made by Info-ZIP zip.
#include <gtest/gtest.h>

#include "cli/CliTestSupport.h"
#include "engine/WriteTestSupport.h"

using writetest::Quote;

namespace {

class DeleteCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    files = {{"a.txt", writetest::TextBytes(3000)},
             {"keep.txt", "keep me\n"},
             {"dir/b.txt", writetest::TextBytes(20000)},
             {"dir/sub/c.bin", writetest::NoiseBytes(5000)},
             {"Other/x.txt", "x\n"}};
    std::filesystem::create_directories(tmp / "in" / "dir" / "sub");
    std::filesystem::create_directories(tmp / "in" / "Other");
    for (const auto& [path, bytes] : files) testsupport::WriteFile(tmp / "in" / path, bytes);
    ASSERT_EQ(testsupport::RunCommand("cd " + Quote(tmp / "in") +
                                      " && zip -qr " + Quote(zip) + " a.txt keep.txt dir Other"),
              0);
  }
  std::vector<std::string> paths() {
    ZipArchive a;
    EXPECT_TRUE(a.Open(FolderItem(zip), false)) << a.ErrorMessage();
    std::vector<std::string> out;
    for (int32_t i = 1; i <= a.EntryCount(); ++i) out.push_back(a.Entry(i)->RawPath());
    return out;
  }

  testsupport::TempDir tmp;
  std::filesystem::path zip = tmp / "a.zip";
  std::map<std::string, std::string> files;
};

TEST_F(DeleteCommand, RemovesWhatEachEntryArgumentCoversAndCompacts) {
  const auto sizeBefore = std::filesystem::file_size(zip);
  // A folder row covers everything below it; names match regardless of case.
  const clitest::Outcome o = clitest::Run({"delete", zip.string(), "dir/", "A.TXT"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(paths(), (std::vector<std::string>{"keep.txt", "Other/", "Other/x.txt"}));
  EXPECT_LT(std::filesystem::file_size(zip), sizeBefore / 2);
  ASSERT_EQ(clitest::Run({"comment", zip.string(), "trimmed"}).status, 0);
  writetest::ExpectOtherToolsAgree(zip, {{"keep.txt", files["keep.txt"]},
                                         {"Other/x.txt", files["Other/x.txt"]}});
}

TEST_F(DeleteCommand, ReportsEntriesThatMatchNothingAndDeletesTheRest) {
  // "dir" without the slash is no folder row.
  const clitest::Outcome o = clitest::Run({"delete", zip.string(), "dir", "keep.txt", "nothing"});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("no entry \"dir\""), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("no entry \"nothing\""), std::string::npos) << o.err;
  const std::vector<std::string> left = paths();
  EXPECT_EQ(std::count(left.begin(), left.end(), "keep.txt"), 0);
  EXPECT_EQ(left.size(), 7u);
  files.erase("keep.txt");
  writetest::ExpectOtherToolsAgree(zip, files, writetest::kUnzip);
}

TEST_F(DeleteCommand, DeletingEverythingLeavesAnEmptyArchive) {
  const clitest::Outcome o =
      clitest::Run({"delete", zip.string(), "a.txt", "keep.txt", "dir/", "Other/"});
  EXPECT_EQ(o.status, 0) << o.err;
  ziptest::Archive empty;
  empty.entries.push_back({.name = "/"});
  EXPECT_EQ(testsupport::ReadFile(zip), empty.Build().bytes);
}

TEST_F(DeleteCommand, UsageAndArchiveErrors) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"delete"}, "delete needs an archive and at least one entry"},
      {{"delete", zip.string()}, "delete needs an archive and at least one entry"},
      {{"delete", (tmp / "missing.zip").string(), "a.txt"}, "no such archive"},
      {{"delete", (tmp / "in" / "a.txt").string(), "a.txt"}, "'PK' header missing"},
  };
  const std::string before = testsupport::ReadFile(zip);
  for (const auto& c : cases) {
    const clitest::Outcome o = clitest::Run(c.args);
    EXPECT_EQ(o.status, 2) << c.message;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
  }
  EXPECT_EQ(testsupport::ReadFile(zip), before);
  EXPECT_FALSE(std::filesystem::exists(tmp / "missing.zip"));
}

}  // namespace
