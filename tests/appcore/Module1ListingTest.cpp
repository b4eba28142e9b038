#include <gtest/gtest.h>

#include "app/core/Module1.h"
#include "appcore/ScriptedUI.h"
#include "engine/ZipBytes.h"
#include "support/TestSupport.h"

using namespace ziptest;

namespace {
const uint16_t kTime = 10 << 11 | 30 << 5;       // 10:30:00
const uint16_t kDate = (2003 - 1980) << 9 | 2 << 5 | 1;  // 1 February 2003

Entry file(const std::string& name, const std::string& data, bool timed = true) {
  Entry e{.name = name, .data = data};
  if (timed) {
    e.time = kTime;
    e.date = kDate;
  }
  return e;
}

std::vector<std::string> column(const std::vector<ListRow>& rows, int c) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(r.Cell(c));
  return out;
}

struct Listed {
  std::vector<ListRow> rows;
  std::string statistics;
  std::vector<std::string> messages;
};

Listed list(const std::string& bytes) {
  testsupport::TempDir tmp;
  testsupport::WriteFile(tmp / "a.zip", bytes);
  ScriptedUI ui;
  Module1 m(ui);
  m.theArchiveFile = FolderItem(tmp / "a.zip");
  m.RefreshFileListFromArchive();
  EXPECT_FALSE(ui.progressShowing);
  // Listing only reads: the file is as it was.
  EXPECT_EQ(testsupport::ReadFile(tmp / "a.zip"), bytes);
  return {ui.rows, ui.statistics, ui.messages};
}
}  // namespace

TEST(Listing, OneRowPerTopLevelFileAndFolderEntry) {
  Archive a;
  a.entries = {file("a.txt", std::string(3000, 'a')), file("docs/", ""),
               file("docs/b.txt", std::string(5000, 'b')), file("DOCS/c", "cc"),
               file("loose/d.txt", "d"), file("/", "")};
  Listed l = list(a.Build().bytes);
  ASSERT_EQ(l.rows.size(), 2u);
  EXPECT_EQ(column(l.rows, ListRow::kName), (std::vector<std::string>{"a.txt", "docs"}));
  EXPECT_EQ(column(l.rows, ListRow::kKind), (std::vector<std::string>{"File", "Folder"}));
  EXPECT_EQ(column(l.rows, ListRow::kIndex), (std::vector<std::string>{"1", "2"}));
  // The folder's sums cover everything below it, case ignored.
  EXPECT_EQ(column(l.rows, ListRow::kSizeBytes), (std::vector<std::string>{"3000", "5002"}));
  EXPECT_EQ(column(l.rows, ListRow::kSize), (std::vector<std::string>{"2.9 KB", "4.9 KB"}));
  EXPECT_EQ(l.rows[0].Cell(ListRow::kDate), Module1::DateText(Date::FromComponents(2003, 2, 1, 10, 30)));
  EXPECT_EQ(l.statistics,
            "Original Size: 7.8 KB    Compressed Size: 7.8 KB    Space Saved : 0 Bytes    "
            "0% Compressed");
}

TEST(Listing, ArchivesWithoutRows) {
  Archive onlyNested;
  onlyNested.entries = {file("docs/b.txt", "b")};
  EXPECT_TRUE(list(onlyNested.Build().bytes).rows.empty());
  // A local header at the start, but a directory of no records.
  Archive none;
  none.entries = {file("x", "1")};
  Built b = none.Build();
  Put16(b.bytes, b.endRecordOffset + 8, 0);
  Put16(b.bytes, b.endRecordOffset + 10, 0);
  Put32(b.bytes, b.endRecordOffset + 12, 0);
  Listed l = list(b.bytes);
  EXPECT_TRUE(l.rows.empty());
  EXPECT_TRUE(l.messages.empty());
  EXPECT_EQ(l.statistics,
            "Original Size: 0 Bytes    Compressed Size: 0 Bytes    Space Saved : 0 Bytes    "
            "0% Compressed");
}

TEST(Listing, AnEntryWithoutATimeShowsADash) {
  Archive a;
  a.entries = {file("untimed", "x", false), file("folder/", "", false)};
  Listed l = list(a.Build().bytes);
  EXPECT_EQ(column(l.rows, ListRow::kDate), (std::vector<std::string>{"-", "-"}));
}

TEST(Listing, AnUnreadableArchiveSaysWhyAndShowsNothing) {
  Listed l = list("this is not an archive");
  EXPECT_TRUE(l.rows.empty());
  ASSERT_EQ(l.messages.size(), 1u);
  EXPECT_EQ(l.messages[0],
            "The archive \"a.zip\" can't be read: File does not appear to by a Zip file ('PK' "
            "header missing)");
}

TEST(Listing, FolderSumsOpenTheArchiveReadOnly) {
  testsupport::TempDir tmp;
  Archive a;
  a.entries = {file("docs/", ""), file("Docs/x", "12345"), file("other", "1")};
  const std::string bytes = a.Build().bytes;
  testsupport::WriteFile(tmp / "a.zip", bytes);
  ScriptedUI ui;
  Module1 m(ui);
  m.theArchiveFile = FolderItem(tmp / "a.zip");
  ASSERT_TRUE(FolderItem(tmp / "a.zip").SetLocked(true));
  EXPECT_EQ(m.sizeOfFolder(1), 5);
  EXPECT_EQ(m.sizeOfFolderCompressed(1), 5);
  EXPECT_EQ(testsupport::ReadFile(tmp / "a.zip"), bytes);
}
