// pellarc comment ARCHIVE [TEXT]
#include <ostream>

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/TextEscape.h"

namespace cli {
namespace {
const char kUsage[] = "pellarc comment ARCHIVE [TEXT]";

int printComment(const std::string& path, CommandContext& ctx) {
  ZipArchive archive;
  if (!OpenForReading(archive, path, ctx)) return 2;
  const std::string comment = archive.Comment();
  if (!comment.empty()) ctx.out << EscapeForTerminal(comment) << "\n";
  archive.Close();
  return 0;
}

// TEXT is stored as its bytes: the archive comment is never converted.
int setComment(const std::string& path, const std::string& text, CommandContext& ctx) {
  ZipArchive archive;
  const std::string shownPath = EscapeForTerminal(path);
  // Opening writable would create a missing archive.
  if (!FolderItem(path).Exists()) {
    ctx.err << "pellarc: " << shownPath << ": no such archive\n";
    return 2;
  }
  if (!archive.Open(FolderItem(path), true)) {
    ctx.err << "pellarc: " << shownPath << ": " << archive.ErrorMessage() << "\n";
    return 2;
  }
  if (!archive.SetComment(text)) {
    ctx.err << "pellarc: " << shownPath << ": " << archive.ErrorMessage() << "\n";
    archive.Close();
    return 2;
  }
  if (!archive.Close()) {
    ctx.err << "pellarc: " << shownPath << ": " << archive.ErrorMessage() << "\n";
    return 1;
  }
  return 0;
}
}  // namespace

int CommentCommand(const std::vector<std::string>& args, CommandContext& ctx) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, parsed, error)) return UsageError(ctx, error, kUsage);
  if (parsed.positional.empty() || parsed.positional.size() > 2) {
    return UsageError(ctx, parsed.positional.empty() ? "comment needs an archive" : "too many arguments",
                      kUsage);
  }
  if (parsed.positional.size() == 1) return printComment(parsed.positional[0], ctx);
  return setComment(parsed.positional[0], parsed.positional[1], ctx);
}

}  // namespace cli
