// pellarc info ARCHIVE ENTRY
#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/EntryText.h"
#include "cli/TextEscape.h"
#include "engine/ZipFormat.h"

namespace cli {
namespace {

const char kUsage[] = "pellarc info ARCHIVE ENTRY";

std::string yesNo(bool b) { return b ? "yes" : "no"; }

std::string hex(uint32_t value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*x", digits, static_cast<unsigned>(value));
  return buf;
}

std::string withName(int64_t code, const std::string& name) {
  return name.empty() ? std::to_string(code) : std::to_string(code) + " (" + name + ")";
}

void line(std::ostream& out, const std::string& label, const std::string& value) {
  std::string padded = label + ":";
  if (!value.empty()) padded.resize(std::max<size_t>(padded.size() + 1, 22), ' ');
  out << padded << value << "\n";
}

void hexDump(std::ostream& out, const std::string& data) {
  for (size_t row = 0; row < data.size(); row += 16) {
    out << "     ";
    for (size_t i = row; i < std::min(data.size(), row + 16); ++i) {
      char buf[4];
      std::snprintf(buf, sizeof buf, " %02x", static_cast<unsigned char>(data[i]));
      out << buf;
    }
    out << "\n";
  }
}

void describeExtraField(std::ostream& out, const ZipArchive& archive, const std::string& label,
                        const std::string& bytes) {
  line(out, label, std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte" : " bytes"));
  std::string rest;
  for (const ExtraBlock& block : SplitExtraField(bytes, rest)) {
    out << "  " << hex(block.id, 4);
    const std::string name = ExtraBlockName(block.id);
    if (!name.empty()) out << " " << name;
    out << ", " << block.data.size() << (block.data.size() == 1 ? " byte" : " bytes") << "\n";
    if (block.id == zipformat::kMacBlockLongId || block.id == zipformat::kMacBlockShortId) {
      // Each Macintosh block as the engine would read it, were it the only one.
      const ZipExtraFieldPtr alone = archive.MakeZipExtraField(
          std::string_view(bytes).substr(block.offset, 4 + block.data.size()));
      if (std::optional<MacBlockInfo> mac = MacBlockOf(*alone)) {
        out << "      type " << EscapeForTerminal(mac->type) << ", creator "
            << EscapeForTerminal(mac->creator);
        if (mac->name) out << ", name " << EscapeForTerminal(*mac->name);
        out << "\n";
      }
    }
    hexDump(out, block.data);
  }
  if (!rest.empty()) {
    out << "  " << rest.size() << " bytes that are not a whole block\n";
    hexDump(out, rest);
  }
}

void describe(std::ostream& out, const ZipArchive& archive, int32_t index) {
  const ZipEntryPtr e = archive.Entry(index);
  // The record's remaining fields have no accessor of their own.
  const MemoryBlock& record = *e->z_Header();
  namespace central = zipformat::central;

  line(out, "Path", EscapeForTerminal(e->RawPath()));
  line(out, "Name", EscapeForTerminal(e->Name()));
  line(out, "Index", std::to_string(index));
  line(out, "Folder", yesNo(e->IsDirectory()));
  line(out, "Size", std::to_string(Unsigned(e->Size())));
  line(out, "Compressed size", std::to_string(Unsigned(e->CompressedSize())));
  line(out, "Method", withName(e->CompressionMethod(), MethodName(e->CompressionMethod())));
  line(out, "CRC-32", Hex32(e->CRC32()));
  line(out, "Modified", TimeText(*e, " ").value_or("-"));
  line(out, "Encrypted", yesNo(e->IsEncrypted()));
  line(out, "Can extract", yesNo(e->CanExtract()));
  line(out, "Text file", yesNo(e->IsTextFile()));
  const int version = record.Byte(central::kVersionMadeBy);
  line(out, "Made by", withName(e->OSMadeBy(), HostSystemName(e->OSMadeBy())) + ", version " +
                           std::to_string(version / 10) + "." + std::to_string(version % 10));
  const int needed = record.UInt16Value(central::kVersionNeeded);
  line(out, "Version needed", std::to_string(needed / 10) + "." + std::to_string(needed % 10));
  line(out, "Flags", hex(record.UInt16Value(central::kFlags), 4));
  line(out, "Internal attributes", hex(record.UInt16Value(central::kInternalAttributes), 4));
  line(out, "External attributes", hex(record.UInt32Value(central::kExternalAttributes), 8));
  line(out, "Local header offset", std::to_string(record.UInt32Value(central::kLocalHeaderOffset)));
  line(out, "Comment", EscapeForTerminal(e->Comment()));
  const ZipExtraFieldPtr centralExtra = e->ExtraFieldInCentralDir();
  if (std::optional<MacBlockInfo> mac = MacBlockOf(*centralExtra)) {
    line(out, "Type/creator", EscapeForTerminal(mac->type) + "/" + EscapeForTerminal(mac->creator));
    if (mac->name) line(out, "Macintosh name", EscapeForTerminal(*mac->name));
  }
  describeExtraField(out, archive, "Central extra field", centralExtra->AsData());
  if (ZipExtraFieldPtr local = e->ExtraField()) {
    describeExtraField(out, archive, "Local extra field", local->AsData());
  } else {
    line(out, "Local extra field", "unreadable: " + e->ErrorMessage());
  }
}

}  // namespace

int InfoCommand(const std::vector<std::string>& args, CommandContext& ctx) {
  Arguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, parsed, error)) return UsageError(ctx, error, kUsage);
  if (parsed.positional.size() != 2) {
    return UsageError(ctx, parsed.positional.size() < 2 ? "info needs an archive and an entry"
                                                        : "too many arguments",
                      kUsage);
  }
  const std::string& archivePath = parsed.positional[0];
  const std::string& entryPath = parsed.positional[1];
  ZipArchive archive;
  if (!OpenForReading(archive, archivePath, ctx)) return 2;
  const int32_t index = FindEntry(archive, entryPath);
  if (index == 0) {
    ctx.err << "pellarc: " << EscapeForTerminal(archivePath) << ": no entry \""
            << EscapeForTerminal(entryPath) << "\"\n";
    return 1;
  }
  describe(ctx.out, archive, index);
  archive.Close();
  return 0;
}

}  // namespace cli
