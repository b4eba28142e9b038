#include "cli/EntrySelection.h"

#include <ostream>

#include "app/core/RowCoverage.h"
#include "cli/TextEscape.h"

namespace cli {

EntrySelection SelectEntries(const ZipArchive& archive, const std::vector<std::string>& patterns) {
  EntrySelection selection;
  const int32_t count = archive.EntryCount();
  if (patterns.empty()) {
    selection.indices.reserve(static_cast<size_t>(count));
    for (int32_t i = 1; i <= count; ++i) selection.indices.push_back(i);
    return selection;
  }
  std::vector<bool> picked(static_cast<size_t>(count) + 1, false);
  for (const std::string& pattern : patterns) {
    std::string row = pattern;
    bool any = false;
    for (int pass = 0; pass < 2 && !any; ++pass) {
      if (pass == 1) {
        if (row.empty() || row.back() == '/') break;
        row += '/';
      }
      for (int32_t i = 1; i <= count; ++i) {
        if (RowCovers(row, archive.Entry(i)->RawPath())) {
          picked[static_cast<size_t>(i)] = true;
          any = true;
        }
      }
    }
    if (!any) selection.unmatched.push_back(pattern);
  }
  for (int32_t i = 1; i <= count; ++i) {
    if (picked[static_cast<size_t>(i)]) selection.indices.push_back(i);
  }
  return selection;
}

EntrySelection SelectAndReport(const ZipArchive& archive, const std::vector<std::string>& patterns,
                               CommandContext& ctx, int& status) {
  EntrySelection selection = SelectEntries(archive, patterns);
  for (const std::string& pattern : selection.unmatched) {
    ctx.err << "pellarc: no entry matches \"" << EscapeForTerminal(pattern) << "\"\n";
    status = 1;
  }
  return selection;
}

uint64_t SelectedBytes(const ZipArchive& archive, const EntrySelection& selection) {
  uint64_t total = 0;
  for (int32_t i : selection.indices) total += static_cast<uint32_t>(archive.Entry(i)->Size());
  return total;
}

}  // namespace cli
