#include "cli/CommandSupport.h"

#include <ostream>

#include "cli/TextEscape.h"
#include "platform/plugin/PluginHost.h"

namespace cli {

int UsageError(CommandContext& ctx, const std::string& message, const std::string& usage) {
  ctx.err << "pellarc: " << message << "\nusage: " << usage << "\n";
  return 2;
}

bool PluginReady(CommandContext& ctx) {
  const std::shared_ptr<PluginHost> host = PluginHost::Instance();
  if (host->Ok()) return true;
  ctx.err << "pellarc: " << host->Error() << "\n";
  return false;
}

bool OpenForReading(ZipArchive& archive, const std::string& path, CommandContext& ctx) {
  if (archive.Open(FolderItem(path), false)) return true;
  ctx.err << "pellarc: " << EscapeForTerminal(path) << ": " << archive.ErrorMessage() << "\n";
  return false;
}

int32_t FindEntry(const ZipArchive& archive, const std::string& path) {
  const int32_t count = archive.EntryCount();
  for (int32_t i = 1; i <= count; ++i) {
    if (archive.Entry(i)->RawPath() == path) return i;
  }
  for (int32_t i = 1; i <= count; ++i) {
    if (archive.Entry(i)->SameRawPath(path)) return i;
  }
  return 0;
}

}  // namespace cli
