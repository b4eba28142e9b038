#include <gtest/gtest.h>

#include "app/core/Module1.h"
#include "appcore/ScriptedUI.h"
#include "engine/ZipArchive.h"
#include "engine/ZipBytes.h"
#include "support/TestSupport.h"

namespace {
std::vector<std::string> entryPaths(const FolderItem& file) {
  ZipArchive a;
  EXPECT_TRUE(a.Open(file, false)) << a.ErrorMessage();
  std::vector<std::string> out;
  for (int32_t i = 1; i <= a.EntryCount(); ++i) out.push_back(a.Entry(i)->RawPath());
  return out;
}

const ListRow* rowNamed(const std::vector<ListRow>& rows, const std::string& name) {
  for (const auto& r : rows) {
    if (r.Cell(ListRow::kName) == name) return &r;
  }
  return nullptr;
}
}  // namespace

TEST(DeleteCommand, RemovesExactlyWhatTheSelectedRowsCover) {
  testsupport::TempDir tmp;
  ziptest::Archive a;
  a.entries = {{.name = "docs/", .data = ""},     {.name = "a.txt", .data = "aaaa"},
               {.name = "DOCS/x.txt", .data = "x"}, {.name = "notes", .data = "n"},
               {.name = "notes.txt", .data = "t"},  {.name = "docs/y", .data = "y"},
               {.name = "zeta", .data = "z"}};
  testsupport::WriteFile(tmp / "a.zip", a.Build().bytes);
  ScriptedUI ui;
  Module1 m(ui);
  m.theArchiveFile = FolderItem(tmp / "a.zip");
  m.RefreshFileListFromArchive();
  ASSERT_EQ(ui.rows.size(), 5u);
  // Two rows whose entries lie before others that are removed: indices shift
  // after the first compaction, the raw paths read up front do not.
  m.DeleteSelectedItems({*rowNamed(ui.rows, "docs"), *rowNamed(ui.rows, "notes")});
  EXPECT_EQ(entryPaths(FolderItem(tmp / "a.zip")),
            (std::vector<std::string>{"a.txt", "notes.txt", "zeta"}));
  ASSERT_EQ(ui.rows.size(), 3u);
  EXPECT_FALSE(ui.progressShowing);
  EXPECT_TRUE(ui.messages.empty());
  // The archive is still a valid ZIP file for other tools.
  if (testsupport::HaveProgram("unzip")) {
    EXPECT_EQ(testsupport::RunCommand("unzip -tq '" + (tmp / "a.zip").string() + "' >/dev/null"), 0);
  }
}

TEST(DeleteCommand, AnArchiveThatCannotBeChangedSaysWhy) {
  testsupport::TempDir tmp;
  ScriptedUI ui;
  Module1 m(ui);
  m.theArchiveFile = FolderItem(tmp / "gone.zip");
  ListRow row;
  row.cells[ListRow::kIndex] = "1";
  m.DeleteSelectedItems({row});
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages[0],
            "The archive \"gone.zip\" can't be read: Opening the archive file failed");
  EXPECT_FALSE(FolderItem(tmp / "gone.zip").Exists());
}
