#pragma once
// One row of the archive list: a top-level file or folder of the archive.
// Eleven cells, of which the first four are shown; the others carry the sort
// keys, the kind and the entry's index for the commands.
#include <array>
#include <optional>
#include <cstdint>
#include <string>

struct ListRow {
  enum Column {
    kName = 0,
    kDate = 1,
    kSize = 2,
    kCompressed = 3,
    kSizeBytes = 7,
    kCompressedBytes = 8,
    kKind = 9,
    kIndex = 10,
    kColumnCount = 11
  };

  std::array<std::string, kColumnCount> cells;

  const std::string& Cell(int column) const { return cells.at(static_cast<size_t>(column)); }
  bool IsFolder() const { return Cell(kKind) == "Folder"; }
  // The 1-based entry index in column 10 (0 when it is not a number).
  int32_t EntryIndex() const;
  double SizeBytes() const;
  double CompressedBytes() const;
};

// The platform's decimal-number conversion: the leading number of a text, 0
// when there is none.
double DecimalValue(const std::string& text);

// The list's sort rule for two rows and the clicked column. The Size and
// Compressed columns compare byte counts, answering 1 when the first is larger
// and -1 otherwise (equal counts too); other columns are left to the list's
// own text comparison (none).
std::optional<int> CompareRows(const ListRow& r1, const ListRow& r2, int column);
