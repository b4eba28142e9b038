#include "app/core/Formatting.h"

#include <cmath>
#include <cstdio>

namespace {
std::string format(const char* pattern, double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, pattern, value);
  return buf;
}
}  // namespace

std::string bytes(double x) {
  if (x < 2048) return format("%.0f", x) + " Bytes";
  if (x < 2097152) return format("%.1f", x / 1024) + " KB";
  return format("%.1f", x / 1024 / 1024) + " MB";
}

std::string FormatPercent(double value) {
  std::string text = format("%.2f", value);
  // Drop zeros after the point, then a point left with nothing after it.
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

std::string StatisticsText(const std::vector<ListRow>& rows) {
  double original = 0, compressed = 0;
  for (const ListRow& row : rows) {
    original += row.SizeBytes();
    compressed += row.CompressedBytes();
  }
  std::string percent =
      original == 0 ? "0%" : FormatPercent((original - compressed) / original * 100) + "%";
  return "Original Size: " + bytes(original) + "    Compressed Size: " + bytes(compressed) +
         "    Space Saved : " + bytes(original - compressed) + "    " + percent + " Compressed";
}

std::string ExtractCaption(int selectedRows) {
  if (selectedRows <= 0) return "Extract All";
  return selectedRows == 1 ? "Extract File" : "Extract Files";
}
