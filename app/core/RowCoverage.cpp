#include "app/core/RowCoverage.h"

#include "platform/TextCompare.h"

bool RowCovers(std::string_view rowRawPath, std::string_view entryRawPath) {
  if (!rowRawPath.empty() && rowRawPath.back() == '/') {
    return StartsWithIgnoringCase(entryRawPath, rowRawPath);
  }
  return EqualsIgnoringCase(rowRawPath, entryRawPath);
}
