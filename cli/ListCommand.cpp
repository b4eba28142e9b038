// pellarc list ARCHIVE [--json]
#include <cstdio>
#include <ostream>

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/EntryText.h"
#include "cli/TextEscape.h"

namespace cli {
namespace {

const char kUsage[] = "pellarc list ARCHIVE [--json]";

std::string padLeft(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string padRight(const std::string& s, size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

void listTable(const ZipArchive& archive, std::ostream& out) {
  out << padLeft("Size", 10) << "  " << padLeft("Compressed", 10) << "  " << padRight("Method", 9)
      << "  " << padRight("Date", 10) << "  " << padRight("Time", 8) << "  "
      << padRight("Type/Crea", 9) << "  Path\n";
  uint64_t totalSize = 0;
  uint64_t totalCompressed = 0;
  const int32_t count = archive.EntryCount();
  for (int32_t i = 1; i <= count; ++i) {
    const ZipEntryPtr e = archive.Entry(i);
    const uint32_t size = Unsigned(e->Size());
    const uint32_t compressed = Unsigned(e->CompressedSize());
    totalSize += size;
    totalCompressed += compressed;
    const std::optional<std::string> time = TimeText(*e, "  ");
    std::optional<MacBlockInfo> mac = MacBlockOf(*e->ExtraFieldInCentralDir());
    std::string typeCreator =
        mac ? EscapeForTerminal(mac->type) + "/" + EscapeForTerminal(mac->creator) : "";
    out << padLeft(std::to_string(size), 10) << "  " << padLeft(std::to_string(compressed), 10)
        << "  " << padRight(MethodName(e->CompressionMethod()), 9) << "  "
        << (time ? *time : padRight("-", 10) + "  " + padRight("", 8)) << "  "
        << padRight(typeCreator, 9) << "  " << EscapeForTerminal(e->RawPath()) << "\n";
  }
  out << std::string(10, '-') << "  " << std::string(10, '-') << std::string(46, ' ')
      << std::string(10, '-') << "\n";
  out << padLeft(std::to_string(totalSize), 10) << "  "
      << padLeft(std::to_string(totalCompressed), 10) << std::string(46, ' ') << count
      << (count == 1 ? " entry" : " entries") << "\n";
}

void listJson(const ZipArchive& archive, std::ostream& out) {
  const int32_t count = archive.EntryCount();
  out << "[";
  for (int32_t i = 1; i <= count; ++i) {
    const ZipEntryPtr e = archive.Entry(i);
    JsonObject o;
    o.AddNumber("index", i)
        .AddString("path", e->RawPath())
        .AddNumber("size", Unsigned(e->Size()))
        .AddNumber("compressed_size", Unsigned(e->CompressedSize()))
        .AddNumber("method", e->CompressionMethod())
        .AddString("crc32", Hex32(e->CRC32()));
    if (std::optional<std::string> time = TimeText(*e, "T")) {
      o.AddString("time", *time);
    } else {
      o.AddNull("time");
    }
    o.AddBool("is_directory", e->IsDirectory())
        .AddBool("encrypted", e->IsEncrypted())
        .AddBool("can_extract", e->CanExtract());
    if (std::optional<MacBlockInfo> mac = MacBlockOf(*e->ExtraFieldInCentralDir())) {
      o.AddString("type", mac->type).AddString("creator", mac->creator);
    } else {
      o.AddNull("type").AddNull("creator");
    }
    o.AddString("comment", e->Comment());
    out << (i == 1 ? "\n  " : ",\n  ") << o.Text();
  }
  out << (count == 0 ? "]\n" : "\n]\n");
}

}  // namespace

int ListCommand(const std::vector<std::string>& args, CommandContext& ctx) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {{"--json"}}, parsed, error)) return UsageError(ctx, error, kUsage);
  if (parsed.positional.size() != 1) {
    return UsageError(ctx, parsed.positional.empty() ? "list needs an archive" : "too many arguments",
                      kUsage);
  }
  ZipArchive archive;
  if (!OpenForReading(archive, parsed.positional[0], ctx)) return 2;
  if (parsed.Has("--json")) {
    listJson(archive, ctx.out);
  } else {
    listTable(archive, ctx.out);
  }
  archive.Close();
  return 0;
}

}  // namespace cli
