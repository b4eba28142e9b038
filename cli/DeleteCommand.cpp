// pellarc delete ARCHIVE ENTRY...
//
// Each ENTRY selects what a row of the archive list covers: the entries whose
// raw path equals it and, for a folder ("NAME/"), everything below it. The
// entries go, then the archive is compacted so that their bytes go too.
#include <ostream>

#include "app/core/RowCoverage.h"
#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/TextEscape.h"

namespace cli {
namespace {
const char kUsage[] = "pellarc delete ARCHIVE ENTRY...";
}  // namespace

int DeleteCommand(const std::vector<std::string>& args, CommandContext& ctx) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, parsed, error)) return UsageError(ctx, error, kUsage);
  if (parsed.positional.size() < 2) {
    return UsageError(ctx, "delete needs an archive and at least one entry", kUsage);
  }
  const std::string& path = parsed.positional[0];
  const std::string shownPath = EscapeForTerminal(path);
  ZipArchive archive;
  // Opening writable would create a missing archive.
  if (!FolderItem(path).Exists()) {
    ctx.err << "pellarc: " << shownPath << ": no such archive\n";
    return 2;
  }
  if (!archive.Open(FolderItem(path), true)) {
    ctx.err << "pellarc: " << shownPath << ": " << archive.ErrorMessage() << "\n";
    return 2;
  }

  int status = 0;
  const int32_t count = archive.EntryCount();
  std::vector<bool> doomed(static_cast<size_t>(count) + 1, false);
  bool any = false;
  for (size_t a = 1; a < parsed.positional.size(); ++a) {
    const std::string& row = parsed.positional[a];
    bool matched = false;
    for (int32_t i = 1; i <= count; ++i) {
      if (RowCovers(row, archive.Entry(i)->RawPath())) {
        doomed[static_cast<size_t>(i)] = true;
        matched = true;
      }
    }
    if (!matched) {
      ctx.err << "pellarc: " << shownPath << ": no entry \"" << EscapeForTerminal(row) << "\"\n";
      status = 1;
    }
    any = any || matched;
  }

  if (any) {
    // From the last down, so that the indices still to visit stay put.
    for (int32_t i = count; i >= 1; --i) {
      if (doomed[static_cast<size_t>(i)]) archive.RemoveEntry(i);
    }
    if (!archive.Compact()) {
      ctx.err << "pellarc: " << shownPath << ": " << archive.ErrorMessage() << "\n";
      status = 1;
    }
  }
  if (!archive.Close()) {
    ctx.err << "pellarc: " << shownPath << ": " << archive.ErrorMessage() << "\n";
    status = 1;
  }
  return status;
}

}  // namespace cli
