// pellarc create ARCHIVE
#include <ostream>

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/TextEscape.h"

namespace cli {
namespace {
const char kUsage[] = "pellarc create ARCHIVE";
}  // namespace

int CreateCommand(const std::vector<std::string>& args, CommandContext& ctx) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, parsed, error)) return UsageError(ctx, error, kUsage);
  if (parsed.positional.size() != 1) {
    return UsageError(ctx, parsed.positional.empty() ? "create needs an archive" : "too many arguments",
                      kUsage);
  }
  const std::string& path = parsed.positional[0];
  const FolderItem file(path);
  // Opening writable would open an existing archive; create never touches one.
  if (file.Exists()) {
    ctx.err << "pellarc: " << EscapeForTerminal(path) << ": already exists\n";
    return 2;
  }
  ZipArchive archive;
  if (!archive.Open(file, true)) {
    ctx.err << "pellarc: " << EscapeForTerminal(path) << ": " << archive.ErrorMessage() << "\n";
    return 2;
  }
  if (!archive.Close()) {
    ctx.err << "pellarc: " << EscapeForTerminal(path) << ": " << archive.ErrorMessage() << "\n";
    // A file without a valid directory is no archive; don't leave it behind.
    file.Delete();
    return 2;
  }
  return 0;
}

}  // namespace cli
