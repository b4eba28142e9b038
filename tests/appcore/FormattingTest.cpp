#include <gtest/gtest.h>

#include "app/core/FileKinds.h"
#include "app/core/Formatting.h"

namespace {
ListRow row(const std::string& name, const std::string& kind, double size = 0,
            double compressed = 0) {
  ListRow r;
  r.cells[ListRow::kName] = name;
  r.cells[ListRow::kKind] = kind;
  r.cells[ListRow::kSizeBytes] = std::to_string(static_cast<long long>(size));
  r.cells[ListRow::kCompressedBytes] = std::to_string(static_cast<long long>(compressed));
  return r;
}
}  // namespace

TEST(Formatting, BytesPicksTheUnitByMagnitude) {
  const std::pair<double, const char*> cases[] = {
      {0, "0 Bytes"},          {2047, "2047 Bytes"},     {2048, "2.0 KB"},
      {2097151, "2048.0 KB"},  {2097152, "2.0 MB"},      {10240, "10.0 KB"},
      {-6240, "-6240 Bytes"},  {5.0 * 1024 * 1024 * 1024, "5120.0 MB"},
  };
  for (const auto& [x, text] : cases) EXPECT_EQ(bytes(x), text) << x;
}

TEST(Formatting, StatisticsLine) {
  struct Case {
    std::vector<ListRow> rows;
    const char* text;
  };
  const Case cases[] = {
      {{row("a", "File", 10240, 4000)},
       "Original Size: 10.0 KB    Compressed Size: 3.9 KB    Space Saved : 6.1 KB    "
       "60.94% Compressed"},
      // Nothing to save from: 0%, whatever was stored.
      {{row("a", "File", 0, 0), row("b", "File", 0, 22)},
       "Original Size: 0 Bytes    Compressed Size: 22 Bytes    Space Saved : -22 Bytes    "
       "0% Compressed"},
      // Deflating made it larger: a negative saving.
      {{row("a", "File", 100, 125)},
       "Original Size: 100 Bytes    Compressed Size: 125 Bytes    Space Saved : -25 Bytes    "
       "-25% Compressed"},
      // Stored entries save nothing.
      {{row("a", "File", 3000, 3000), row("d", "Folder", 1000, 1000)},
       "Original Size: 3.9 KB    Compressed Size: 3.9 KB    Space Saved : 0 Bytes    "
       "0% Compressed"},
      {{}, "Original Size: 0 Bytes    Compressed Size: 0 Bytes    Space Saved : 0 Bytes    "
           "0% Compressed"},
  };
  for (const Case& c : cases) EXPECT_EQ(StatisticsText(c.rows), c.text);
}

TEST(Formatting, ExtractCaptionFollowsTheSelection) {
  EXPECT_EQ(ExtractCaption(0), "Extract All");
  EXPECT_EQ(ExtractCaption(1), "Extract File");
  EXPECT_EQ(ExtractCaption(2), "Extract Files");
}

TEST(ListRows, SizeColumnsSortByByteCountsAndNeverSayEqual) {
  ListRow small = row("z", "File", 900, 800), large = row("a", "File", 1536, 100);
  EXPECT_EQ(CompareRows(small, large, ListRow::kSize), -1);
  EXPECT_EQ(CompareRows(large, small, ListRow::kSize), 1);
  EXPECT_EQ(CompareRows(small, large, ListRow::kCompressed), 1);
  EXPECT_EQ(CompareRows(small, small, ListRow::kSize), -1);
  EXPECT_FALSE(CompareRows(small, large, ListRow::kName).has_value());
  EXPECT_FALSE(CompareRows(small, large, ListRow::kDate).has_value());
}

TEST(ListRows, EntryIndexComesFromTheHiddenColumn) {
  ListRow r;
  for (const auto& [text, index] : std::vector<std::pair<std::string, int>>{
           {"7", 7}, {"12.9", 12}, {"", 0}, {"x", 0}, {"-3", 0}}) {
    r.cells[ListRow::kIndex] = text;
    EXPECT_EQ(r.EntryIndex(), index) << text;
  }
}

TEST(FileKinds, IconTableFirstMatchWins) {
  const std::tuple<const char*, const char*, IconKind> cases[] = {
      {"Photos.zip", "Folder", IconKind::Folder},
      {"beach.JPG", "File", IconKind::JPEGImage},
      {"a.bmp", "File", IconKind::BMPImage},
      {"a.eps", "File", IconKind::EPSImage},
      {"a.gif", "File", IconKind::GIFImage},
      {"a.pdf", "File", IconKind::PDFDocument},
      {"a.png", "File", IconKind::PNGImage},
      {"a.psd", "File", IconKind::PSDImage},
      {"scan.tiff", "File", IconKind::TIFFImage},
      {"scan.tif", "File", IconKind::Document},
      {"photo.jpeg", "File", IconKind::Document},
      {"old.zip", "File", IconKind::ZipArchive},
      {"disk.dmg", "File", IconKind::DiskImage},
      {"cd.ISO", "File", IconKind::DiskImage},
      {"x.cdr", "File", IconKind::DiskImage},
      {"zip", "File", IconKind::Document},
      {"Read Me", "File", IconKind::Document},
  };
  for (const auto& [name, kind, icon] : cases) EXPECT_EQ(IconKindOf(row(name, kind)), icon) << name;
}

TEST(FileKinds, OpenDialogListsArchivesAndFolders) {
  EXPECT_TRUE(OpenDialogShows("Backup.ZIP", false));
  EXPECT_FALSE(OpenDialogShows("notes.txt", false));
  EXPECT_TRUE(OpenDialogShows("Documents", true));
  EXPECT_FALSE(OpenDialogShows("zip", false));
}
