// pellarc add ARCHIVE PATH... [--macbinary=never|smart|always] [--follow-aliases]
//
// Each PATH goes in at the root of the archive as the desktop application
// adds a dropped item: the item under its own name, then, for a folder,
// everything below it. The archive is created when it does not exist. A file
// that can't be added is reported and the rest still goes in; the exit
// status then says that something failed.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/Progress.h"
#include "cli/TextEscape.h"

namespace cli {
namespace {

const char kUsage[] =
    "pellarc add ARCHIVE PATH... [--macbinary=never|smart|always] [--follow-aliases]";

// Prints what a folder walk could not add and lets it go on; feeds the
// progress bar.
class AddNotifier : public ZipProgressNotifier {
 public:
  AddNotifier(CommandContext& ctx, Progress& progress) : ctx_(ctx), progress_(progress) {}

  void ReportProgress(ZipEntry& /*entry*/, int32_t /*total*/, int32_t done,
                      bool& /*abort*/) override {
    // Each entry starts again at 0.
    if (done < last_) last_ = 0;
    progress_.Advance(static_cast<uint64_t>(done - last_));
    last_ = done;
  }

  void ReportError(const FolderItem& item, int32_t code, const std::string& message,
                   bool& abort) override {
    progress_.Clear();
    ctx_.err << "pellarc: " << EscapeForTerminal(item.NativePath()) << ": " << message << "\n";
    // Code 0 tells of an item left out on purpose (the archive itself).
    if (code != 0) failed = true;
    abort = false;
  }

  bool failed = false;

 private:
  CommandContext& ctx_;
  Progress& progress_;
  int32_t last_ = 0;
};

// The item a PATH argument names. "." and ".." (and paths ending in them)
// have no name of their own to give an entry: they are taken by their real
// name.
FolderItem itemFor(const std::string& path) {
  FolderItem item(path);
  const std::string name = item.Name();
  if (name != "." && name != ".." && !name.empty()) return item;
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec).lexically_normal();
  if (ec) return item;
  if (!full.has_filename() && full.has_parent_path() && full != full.root_path()) {
    full = full.parent_path();
  }
  return FolderItem(full);
}

}  // namespace

int AddCommand(const std::vector<std::string>& args, CommandContext& ctx) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {kMacBinaryOption, kFollowAliasesOption, {"-q"}, {"--quiet"}}, parsed,
                      error)) {
    return UsageError(ctx, error, kUsage);
  }
  if (parsed.positional.size() < 2) {
    return UsageError(ctx, "add needs an archive and at least one path", kUsage);
  }
  int32_t mode = ZipArchive::MacBinarySmart();
  if (parsed.Has(kMacBinaryOption.name) &&
      !MacBinaryModeFromName(parsed.Value(kMacBinaryOption.name), mode)) {
    return UsageError(ctx, "--macbinary takes never, smart or always", kUsage);
  }
  const bool follow = parsed.Has(kFollowAliasesOption.name);
  const bool quiet = ctx.quiet || parsed.Has("-q") || parsed.Has("--quiet");

  if (!PluginReady(ctx)) return 2;

  const std::string& path = parsed.positional[0];
  const std::string shownPath = EscapeForTerminal(path);
  const bool existed = FolderItem(path).Exists();
  ZipArchive archive;
  if (!archive.Open(FolderItem(path), true)) {
    ctx.err << "pellarc: " << shownPath << ": " << archive.ErrorMessage() << "\n";
    return 2;
  }

  std::vector<FolderItem> items;
  int status = 0;
  for (size_t i = 1; i < parsed.positional.size(); ++i) {
    FolderItem item = itemFor(parsed.positional[i]);
    if (!item.Exists()) {
      ctx.err << "pellarc: " << EscapeForTerminal(parsed.positional[i])
              << ": no such file or folder\n";
      status = 1;
      continue;
    }
    items.push_back(std::move(item));
  }

  // The total is a walk of its own; it is paid only when a bar shows.
  uint64_t total = 0;
  if (Progress(ctx.err, quiet, 0, std::string()).Enabled()) {
    for (const FolderItem& item : items) {
      total += static_cast<uint64_t>(std::max(0, archive.CalcItemSize(item, mode)));
      if (item.Directory()) {
        total += static_cast<uint64_t>(std::max(0, archive.CalcFolderSize(item, follow, mode)));
      }
    }
  }
  Progress progress(ctx.err, quiet, total, "Adding");
  auto notifier = std::make_shared<AddNotifier>(ctx, progress);
  archive.SetProgressMonitor(notifier);

  for (const FolderItem& item : items) {
    const std::string shownItem = EscapeForTerminal(item.NativePath());
    if (archive.AddItemToRoot(item, mode) <= 0) {
      progress.Clear();
      ctx.err << "pellarc: " << shownItem << ": " << archive.ErrorMessage() << "\n";
      status = 1;
      continue;
    }
    if (item.Directory() &&
        !archive.AddFolderContents(item, archive.CleanName(item.Name()), mode, follow)) {
      // The notifier lets every walk go on, so this is a walk that could not
      // start or was stopped for good.
      progress.Clear();
      ctx.err << "pellarc: " << shownItem << ": " << archive.ErrorMessage() << "\n";
      status = 1;
    }
  }
  archive.SetProgressMonitor(nullptr);
  progress.Clear();
  if (notifier->failed) status = 1;
  // A mistyped path should not leave a new, empty archive behind.
  const bool leaveNothing = !existed && status != 0 && archive.EntryCount() == 0;

  if (!archive.Close()) {
    ctx.err << "pellarc: " << shownPath << ": " << archive.ErrorMessage() << "\n";
    // A new file without a valid directory is no archive; don't leave it
    // behind.
    if (!existed) FolderItem(path).Delete();
    return 1;
  }
  if (leaveNothing) FolderItem(path).Delete();
  return status;
}

}  // namespace cli
