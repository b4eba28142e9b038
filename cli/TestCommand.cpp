// pellarc test ARCHIVE [ENTRY...]
//
// Decompresses every selected entry that can be extracted and checks it
// against its CRC-32 and size, writing nothing. Folders need no test;
// encrypted entries and unknown methods are named as skipped, which is no
// failure.
#include <ostream>

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/EntryText.h"
#include "cli/EntrySelection.h"
#include "cli/Progress.h"
#include "cli/TextEscape.h"

namespace cli {
namespace {

const char kUsage[] = "pellarc test ARCHIVE [ENTRY...]";

std::string entries(size_t n) { return std::to_string(n) + (n == 1 ? " entry" : " entries"); }

}  // namespace

int TestCommand(const std::vector<std::string>& args, CommandContext& ctx) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {{"-q"}, {"--quiet"}}, parsed, error)) {
    return UsageError(ctx, error, kUsage);
  }
  if (parsed.positional.empty()) return UsageError(ctx, "test needs an archive", kUsage);
  const bool quiet = ctx.quiet || parsed.Has("-q") || parsed.Has("--quiet");

  if (!PluginReady(ctx)) return 2;
  ZipArchive archive;
  if (!OpenForReading(archive, parsed.positional[0], ctx)) return 2;

  int status = 0;
  const EntrySelection selection = SelectAndReport(
      archive, {parsed.positional.begin() + 1, parsed.positional.end()}, ctx, status);
  Progress progress(ctx.err, quiet, SelectedBytes(archive, selection), "testing");
  auto entryProgress = std::make_shared<EntryProgress>(progress);
  if (progress.Enabled()) archive.SetProgressMonitor(entryProgress);
  size_t tested = 0, failed = 0, skipped = 0;
  for (int32_t i : selection.indices) {
    const ZipEntryPtr entry = archive.Entry(i);
    if (entry->IsDirectory()) continue;
    if (!entry->CanExtract()) {
      ++skipped;
      if (!quiet) {
        progress.Clear();
        ctx.err << "Skipped \"" << EscapeForTerminal(entry->RawPath()) << "\": "
                << (entry->IsEncrypted() ? std::string("encrypted")
                                         : MethodName(entry->CompressionMethod()) +
                                               " is not supported")
                << "\n";
      }
      continue;
    }
    ++tested;
    if (!entry->Verify()) {
      ++failed;
      progress.Clear();
      ctx.err << "Test of \"" << EscapeForTerminal(entry->RawPath())
              << "\" failed: " << entry->ErrorMessage() << "\n";
    }
    entryProgress->EntryDone(static_cast<uint32_t>(entry->Size()));
  }
  archive.SetProgressMonitor(nullptr);
  progress.Clear();
  archive.Close();
  if (!quiet) {
    ctx.out << entries(tested) << " tested, "
            << (failed == 0 ? std::string("no errors") : std::to_string(failed) + " failed");
    if (skipped > 0) ctx.out << ", " << skipped << " skipped";
    ctx.out << "\n";
  }
  return failed > 0 ? 1 : status;
}

}  // namespace cli
