// pellarc extract ARCHIVE [ENTRY...] [-d DIR] [--no-macbinary]
//
// Entries go below DIR (the current folder by default), in archive order.
// Nothing lands outside DIR: entries whose path has a ".." component, or that
// would pass through a symbolic link already in DIR, are not extracted and are
// reported like any other failure; a leading "/" is ignored. A failed entry
// leaves no file behind and the command goes on with the next one.
#include <ostream>

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/EntrySelection.h"
#include "cli/Progress.h"
#include "cli/TextEscape.h"

namespace cli {
namespace {

const char kUsage[] = "pellarc extract ARCHIVE [ENTRY...] [-d DIR] [--no-macbinary]";

// Makes `folder` and any missing folders above it.
bool makeFolders(const FolderItem& folder) {
  if (folder.Exists()) return folder.Directory();
  std::optional<FolderItem> parent = folder.Parent();
  if (parent && !makeFolders(*parent)) return false;
  return folder.CreateAsFolder() || folder.Directory();
}

}  // namespace

int ExtractCommand(const std::vector<std::string>& args, CommandContext& ctx) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {{"-d", true}, {"--no-macbinary"}, {"-q"}, {"--quiet"}}, parsed,
                      error)) {
    return UsageError(ctx, error, kUsage);
  }
  if (parsed.positional.empty()) return UsageError(ctx, "extract needs an archive", kUsage);
  const bool quiet = ctx.quiet || parsed.Has("-q") || parsed.Has("--quiet");
  const bool macBinary = !parsed.Has("--no-macbinary");
  const std::string dir = parsed.Has("-d") ? parsed.Value("-d") : ".";
  if (dir.empty()) return UsageError(ctx, "-d needs a folder", kUsage);

  if (!PluginReady(ctx)) return 2;
  ZipArchive archive;
  if (!OpenForReading(archive, parsed.positional[0], ctx)) return 2;

  const FolderItem base(dir);
  if (!makeFolders(base)) {
    ctx.err << "pellarc: " << EscapeForTerminal(dir) << ": can't make this folder\n";
    return 2;
  }

  int status = 0;
  const EntrySelection selection = SelectAndReport(
      archive, {parsed.positional.begin() + 1, parsed.positional.end()}, ctx, status);
  Progress progress(ctx.err, quiet, SelectedBytes(archive, selection), "extracting");
  auto entryProgress = std::make_shared<EntryProgress>(progress);
  if (progress.Enabled()) archive.SetProgressMonitor(entryProgress);
  for (int32_t i : selection.indices) {
    const ZipEntryPtr entry = archive.Entry(i);
    std::string problem;
    std::optional<FolderItem> destination = entry->MakeDestination(base, false, problem);
    if (!destination || !entry->Extract(destination, macBinary)) {
      progress.Clear();
      ctx.err << "Extraction of \"" << EscapeForTerminal(entry->RawPath())
              << "\" failed: " << (destination ? entry->ErrorMessage() : problem) << "\n";
      status = 1;
    }
    entryProgress->EntryDone(static_cast<uint32_t>(entry->Size()));
  }
  archive.SetProgressMonitor(nullptr);
  progress.Clear();
  archive.Close();
  return status;
}

}  // namespace cli
