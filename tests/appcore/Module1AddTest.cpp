#include <gtest/gtest.h>
#include <unistd.h>

#include "app/core/Module1.h"
#include "appcore/ScriptedUI.h"
#include "engine/ZipArchive.h"
#include "support/TestSupport.h"

namespace {
struct Fixture {
  testsupport::TempDir tmp;
  ScriptedUI ui;
  Module1 m{ui};
  Fixture() {
    std::string error;
    EXPECT_TRUE(Module1::MakeNewArchive(FolderItem(tmp / "a.zip"), error)) << error;
    m.theArchiveFile = FolderItem(tmp / "a.zip");
    std::filesystem::create_directories(tmp / "src/Docs/Old");
    testsupport::WriteFile(tmp / "src/Docs/read me.txt", "hello");
    testsupport::WriteFile(tmp / "src/Docs/Old/deep.txt", "deep");
    testsupport::WriteFile(tmp / "src/one.txt", "1");
    testsupport::WriteFile(tmp / "src/two.txt", "2");
  }
  std::vector<std::string> paths() {
    ZipArchive a;
    EXPECT_TRUE(a.Open(FolderItem(tmp / "a.zip"), false)) << a.ErrorMessage();
    std::vector<std::string> out;
    for (int32_t i = 1; i <= a.EntryCount(); ++i) out.push_back(a.Entry(i)->RawPath());
    return out;
  }
};
}  // namespace

TEST(AddCommand, AFolderGoesInWithEverythingBelowIt) {
  Fixture f;
  f.ui.fileAnswers = {FolderItem(f.tmp / "src/Docs")};
  f.m.AddFolderToArchiveDialog();
  EXPECT_EQ(f.paths(), (std::vector<std::string>{"Docs/", "Docs/read me.txt", "Docs/Old/deep.txt"}));
  EXPECT_EQ(f.ui.dialogs.at(0).prompt, "Select a folder to add to this archive.");
  ASSERT_EQ(f.ui.rows.size(), 1u);
  EXPECT_EQ(f.ui.rows[0].Cell(ListRow::kName), "Docs");
  EXPECT_TRUE(f.ui.messages.empty());
}

TEST(AddCommand, DroppedItemsAreAddedInTurnAndListedOnce) {
  Fixture f;
  f.m.DropItems({FolderItem(f.tmp / "src/one.txt"), FolderItem(f.tmp / "src/two.txt"),
                 FolderItem(f.tmp / "src/Docs")});
  EXPECT_EQ(f.paths(), (std::vector<std::string>{"one.txt", "two.txt", "Docs/", "Docs/read me.txt",
                                                 "Docs/Old/deep.txt"}));
  EXPECT_EQ(f.ui.rows.size(), 3u);
  EXPECT_FALSE(f.ui.progressShowing);
}

TEST(AddCommand, CancellingTheDialogChangesNothing) {
  Fixture f;
  f.m.AddItemsToArchiveDialog();
  EXPECT_EQ(f.ui.dialogs.at(0).title, "Add a file to this archive");
  EXPECT_EQ(f.ui.dialogs.at(0).actionButton, "Add file");
  EXPECT_EQ(f.paths(), (std::vector<std::string>{"/"}));
}

TEST(AddCommand, ItemsThatCannotBeAddedAreReported) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
  Fixture f;
  std::filesystem::permissions(f.tmp / "src/Docs/read me.txt", std::filesystem::perms::none);
  f.m.AddFolderItemToArchive(FolderItem(f.tmp / "src/Docs"));
  ASSERT_EQ(f.ui.messages.size(), 1u);
  EXPECT_NE(f.ui.messages[0].find("read me.txt"), std::string::npos);
  EXPECT_EQ(f.paths(), (std::vector<std::string>{"Docs/", "Docs/Old/deep.txt"}));
}

TEST(AddCommand, AMissingItemIsReported) {
  Fixture f;
  f.m.AddFolderItemToArchive(FolderItem(f.tmp / "src/vanished.txt"));
  ASSERT_EQ(f.ui.messages.size(), 1u);
  EXPECT_NE(f.ui.messages[0].find("vanished.txt: "), std::string::npos);
  EXPECT_EQ(f.paths(), (std::vector<std::string>{"/"}));
}
