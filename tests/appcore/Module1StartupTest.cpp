#include <gtest/gtest.h>

#include "app/core/Module1.h"
#include "appcore/ScriptedUI.h"
#include "engine/ZipBytes.h"
#include "support/TestSupport.h"

using Choice = UserInterface::StartChoice;

namespace {
const std::string kAsk = "ask: Do you want to create a new archive or open an existing one?";

std::string smallArchive() {
  ziptest::Archive a;
  a.entries = {{.name = "a.txt", .data = "hello"}};
  return a.Build().bytes;
}
}  // namespace

TEST(Startup, ADocumentOpenedFromTheDesktopSkipsTheQuestion) {
  testsupport::TempDir tmp;
  testsupport::WriteFile(tmp / "doc.zip", smallArchive());
  ScriptedUI ui;
  Module1 m(ui);
  m.OpenDocument(FolderItem(tmp / "doc.zip"));
  m.LaunchTimerAction();
  EXPECT_EQ(ui.log, (std::vector<std::string>{"window", "progress on", "progress off"}));
  EXPECT_EQ(ui.title, "doc.zip");
  EXPECT_EQ(ui.rows.size(), 1u);

  // A later document replaces the current archive.
  ziptest::Archive other;
  other.entries = {{.name = "x", .data = ""}, {.name = "y", .data = ""}};
  testsupport::WriteFile(tmp / "other.zip", other.Build().bytes);
  m.OpenDocument(FolderItem(tmp / "other.zip"));
  EXPECT_EQ(ui.title, "other.zip");
  EXPECT_EQ(ui.rows.size(), 2u);
}

TEST(Startup, TheQuestionComesBackAfterEveryCancelUntilQuit) {
  ScriptedUI ui;
  ui.startAnswers = {Choice::ExistingArchive, Choice::NewArchive, Choice::Quit};
  Module1 m(ui);
  m.LaunchTimerAction();
  EXPECT_EQ(ui.log, (std::vector<std::string>{kAsk, "archive: Choose an archive", kAsk,
                                              "save: Create a new archive", kAsk, "quit"}));
  EXPECT_FALSE(m.theArchiveFile.has_value());
}

TEST(Startup, OpeningAnExistingArchive) {
  testsupport::TempDir tmp;
  testsupport::WriteFile(tmp / "old.zip", smallArchive());
  ScriptedUI ui;
  ui.startAnswers = {Choice::ExistingArchive};
  ui.fileAnswers = {FolderItem(tmp / "old.zip")};
  Module1 m(ui);
  m.LaunchTimerAction();
  ASSERT_TRUE(m.theArchiveFile.has_value());
  EXPECT_EQ(ui.title, "old.zip");
  EXPECT_EQ(ui.rows.size(), 1u);
  EXPECT_EQ(ui.dialogs[0].prompt, "Select which archive you would like to open.");
  EXPECT_EQ(ui.dialogs[0].actionButton, "Open Archive");

  // Cancelling the open dialog later changes nothing.
  m.OpenExistingArchiveDialog();
  EXPECT_EQ(m.theArchiveFile->Name(), "old.zip");
  EXPECT_EQ(ui.log.back(), "archive: Choose an archive");
}

TEST(Startup, MakingANewArchive) {
  testsupport::TempDir tmp;
  testsupport::WriteFile(tmp / "MyNewArchive.zip", "an old file in the way");
  ScriptedUI ui;
  ui.startAnswers = {Choice::NewArchive};
  ui.fileAnswers = {FolderItem(tmp / "MyNewArchive.zip")};
  Module1 m(ui);
  m.LaunchTimerAction();
  const DialogText& d = ui.dialogs.at(0);
  EXPECT_EQ(d.prompt, "Choose a filename and location for your new archive.");
  EXPECT_EQ(d.suggestedName, "MyNewArchive.zip");
  EXPECT_EQ(d.actionButton, "Create archive");
  EXPECT_EQ(ui.title, "MyNewArchive.zip");
  EXPECT_TRUE(ui.rows.empty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_NE(testsupport::ReadFile(tmp / "MyNewArchive.zip"), "an old file in the way");
  EXPECT_TRUE(m.EditorLoaded);

  // Once the window is up, a cancelled new-archive dialog only refreshes.
  m.MakeNewArchiveDialog();
  EXPECT_EQ(ui.log.back(), "progress off");
  EXPECT_EQ(m.theArchiveFile->Name(), "MyNewArchive.zip");
}

TEST(Startup, ANewArchiveThatCannotBeCreatedSaysSo) {
  testsupport::TempDir tmp;
  ScriptedUI ui;
  ui.startAnswers = {Choice::NewArchive};
  ui.fileAnswers = {FolderItem(tmp / "missing" / "new.zip")};
  Module1 m(ui);
  m.LaunchTimerAction();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0],
            "The archive \"new.zip\" can't be created: Creating the archive file failed");
  EXPECT_TRUE(ui.rows.empty());
}
