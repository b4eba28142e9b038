#include <gtest/gtest.h>

#include "app/core/Module1.h"
#include "appcore/ScriptedUI.h"
#include "engine/ZipBytes.h"
#include "support/TestSupport.h"

namespace {
struct Fixture {
  testsupport::TempDir tmp;
  ScriptedUI ui;
  Module1 m{ui};

  explicit Fixture(const std::vector<ziptest::Entry>& entries) {
    ziptest::Archive a;
    a.entries = entries;
    testsupport::WriteFile(tmp / "a.zip", a.Build().bytes);
    m.theArchiveFile = FolderItem(tmp / "a.zip");
    m.RefreshFileListFromArchive();
    std::filesystem::create_directory(tmp / "out");
  }
  bool has(const std::string& path) { return std::filesystem::exists(tmp / "out" / path); }
};
}  // namespace

TEST(ExtractCommand, AllRowsAskOnceForTheFolder) {
  Fixture f({{.name = "a.txt", .data = "aaa"},
             {.name = "docs/", .data = ""},
             {.name = "docs/b.txt", .data = "bb"},
             {.name = "loose/c.txt", .data = "c"}});  // covered by no row
  f.ui.fileAnswers = {FolderItem(f.tmp / "out")};
  f.m.ExtractAllItems(f.ui.rows);
  EXPECT_EQ(testsupport::ReadFile(f.tmp / "out/a.txt"), "aaa");
  EXPECT_EQ(testsupport::ReadFile(f.tmp / "out/docs/b.txt"), "bb");
  EXPECT_FALSE(f.has("loose"));
  EXPECT_EQ(f.ui.dialogs.size(), 1u);
  EXPECT_EQ(f.ui.dialogs[0].prompt, "Select the folder where you would like to extract into.");
  EXPECT_EQ(f.ui.dialogs[0].actionButton, "Extract");
  EXPECT_FALSE(f.m.destFolder.has_value());
  EXPECT_FALSE(f.ui.progressShowing);
  // A second command asks again.
  f.m.ExtractSelectedItems({f.ui.rows[0]});
  EXPECT_EQ(f.ui.dialogs.size(), 2u);
}

TEST(ExtractCommand, CancellingTheFolderExtractsNothing) {
  Fixture f({{.name = "a.txt", .data = "aaa"}, {.name = "b.txt", .data = "b"}});
  f.m.ExtractAllItems(f.ui.rows);
  EXPECT_EQ(f.ui.dialogs.size(), 1u);  // asked once, not once a row
  EXPECT_TRUE(std::filesystem::is_empty(f.tmp / "out"));
  EXPECT_FALSE(f.ui.progressShowing);
}

TEST(ExtractCommand, AFailingEntryEndsItsRowOnly) {
  Fixture f({{.name = "docs/", .data = ""},
             {.name = "docs/1", .data = "one"},
             {.name = "docs/2", .data = "two", .crc = 0x12345678},  // damaged
             {.name = "docs/3", .data = "three"},
             {.name = "z.txt", .data = "zz"}});
  f.ui.fileAnswers = {FolderItem(f.tmp / "out")};
  f.m.ExtractAllItems(f.ui.rows);
  EXPECT_TRUE(f.has("docs/1"));
  EXPECT_FALSE(f.has("docs/2"));
  EXPECT_FALSE(f.has("docs/3"));
  EXPECT_TRUE(f.has("z.txt"));
  ASSERT_EQ(f.ui.messages.size(), 1u);
  EXPECT_EQ(f.ui.messages[0].rfind("Extraction of \"docs/2\" failed: ", 0), 0u);
}

TEST(ExtractCommand, CancelOnTheSheetStopsAndKeepsWhatWasDone) {
  Fixture f({{.name = "a", .data = "1"}, {.name = "b", .data = "2"}, {.name = "c", .data = "3"}});
  f.ui.fileAnswers = {FolderItem(f.tmp / "out")};
  // Cancel is pressed while the second row starts: the first row's entry
  // (rows go last to first) asks once before it and twice from its progress.
  f.ui.stopAfterChecks = 3;
  f.m.ExtractAllItems(f.ui.rows);
  EXPECT_TRUE(f.has("c"));
  EXPECT_FALSE(f.has("b"));
  EXPECT_FALSE(f.has("a"));
  EXPECT_TRUE(f.ui.messages.empty());
  EXPECT_FALSE(f.ui.progressShowing);
}

TEST(ExtractCommand, AReadOnlyArchiveExtracts) {
  Fixture f(std::vector<ziptest::Entry>{{.name = "a.txt", .data = "aaa"}});
  ASSERT_TRUE(FolderItem(f.tmp / "a.zip").SetLocked(true));
  const std::string before = testsupport::ReadFile(f.tmp / "a.zip");
  f.ui.fileAnswers = {FolderItem(f.tmp / "out")};
  f.m.ExtractAllItems(f.ui.rows);
  EXPECT_TRUE(f.has("a.txt"));
  EXPECT_EQ(testsupport::ReadFile(f.tmp / "a.zip"), before);
}
