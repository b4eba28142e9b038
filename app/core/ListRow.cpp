#include "app/core/ListRow.h"

#include <cmath>
#include <cstdlib>

double DecimalValue(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  double value = std::strtod(begin, &end);
  return end == begin || !std::isfinite(value) ? 0 : value;
}

int32_t ListRow::EntryIndex() const {
  double value = std::trunc(DecimalValue(Cell(kIndex)));
  return value >= 1 && value <= INT32_MAX ? static_cast<int32_t>(value) : 0;
}

double ListRow::SizeBytes() const { return DecimalValue(Cell(kSizeBytes)); }
double ListRow::CompressedBytes() const { return DecimalValue(Cell(kCompressedBytes)); }

std::optional<int> CompareRows(const ListRow& r1, const ListRow& r2, int column) {
  int key;
  if (column == ListRow::kSize) {
    key = ListRow::kSizeBytes;
  } else if (column == ListRow::kCompressed) {
    key = ListRow::kCompressedBytes;
  } else {
    return std::nullopt;
  }
  return DecimalValue(r1.Cell(key)) > DecimalValue(r2.Cell(key)) ? 1 : -1;
}
