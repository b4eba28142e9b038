#include "cli/EntryText.h"

#include <cstdio>
#include <iterator>

#include "engine/ZipFormat.h"
#include "platform/TextEncoding.h"

namespace cli {
namespace {

uint16_t le16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

int daysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string fromMacRoman(const std::string& bytes) {
  static const TextConverterPtr converter =
      GetTextConverter(Encodings::MacRoman(), Encodings::UTF8());
  std::string text = converter ? converter->Convert(bytes) : std::string();
  return text.empty() ? bytes : text;
}

}  // namespace

std::string MethodName(int32_t method) {
  switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 2: case 3: case 4: case 5: return "Reduced";
    case 6: return "Imploded";
    case 8: return "Deflated";
    case 9: return "Deflate64";
    case 12: return "BZip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "XZ";
    case 98: return "PPMd";
    case 99: return "AES";
    default: return "Method " + std::to_string(method);
  }
}

std::string HostSystemName(int32_t code) {
  static const char* const kNames[] = {
      "MS-DOS", "Amiga", "OpenVMS", "Unix", "VM/CMS", "Atari ST", "OS/2 HPFS", "Macintosh",
      "Z-System", "CP/M", "Windows NTFS", "MVS", "VSE", "Acorn RISC OS", "VFAT", "Alternate MVS",
      "BeOS", "Tandem", "OS/400", "OS X"};
  return code >= 0 && code < static_cast<int32_t>(std::size(kNames)) ? kNames[code] : "";
}

std::string ExtraBlockName(uint16_t id) {
  switch (id) {
    case 0x0001: return "Zip64 extended information";
    case 0x000A: return "NTFS";
    case 0x000D: return "Unix";
    case 0x2605: return "Macintosh type/creator and name";
    case 0x2705: return "Macintosh type/creator";
    case 0x334D: return "Info-ZIP Macintosh";
    case 0x5455: return "extended timestamp";
    case 0x5855: return "Info-ZIP Unix (old)";
    case 0x6375: return "Info-ZIP Unicode comment";
    case 0x7075: return "Info-ZIP Unicode path";
    case 0x7855: return "Info-ZIP Unix";
    case 0x7875: return "Info-ZIP Unix UID/GID";
    case 0x9901: return "AES encryption";
    default: return "";
  }
}

std::string Hex32(uint32_t value) {
  char buf[12];
  std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(value));
  return buf;
}

std::optional<std::string> TimeText(const ZipEntry& entry, std::string_view separator) {
  // The record's DOS fields are local wall-clock time already. A stamp the
  // calendar knows is printed as it stands, which spares a time-zone
  // conversion per entry: they would take most of the time of listing a large
  // archive. Only impossible stamps (month 0, 30 February, hour 25) go through
  // Time(), which carries them over into the next unit.
  const MemoryBlock& record = *entry.z_Header();
  const uint16_t dosTime = record.UInt16Value(zipformat::central::kTime);
  const uint16_t dosDate = record.UInt16Value(zipformat::central::kDate);
  int year = (dosDate >> 9) + 1980, month = (dosDate >> 5) & 15, day = dosDate & 31;
  int hour = dosTime >> 11, minute = (dosTime >> 5) & 63, second = (dosTime & 31) * 2;
  if (dosTime == 0 && dosDate == 0) return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    std::optional<Date> time = entry.Time();
    if (!time) return std::nullopt;
    year = time->Year();
    month = time->Month();
    day = time->Day();
    hour = time->Hour();
    minute = time->Minute();
    second = time->Second();
  }
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d%.*s%02d:%02d:%02d", year, month, day,
                static_cast<int>(separator.size()), separator.data(), hour, minute, second);
  return std::string(text);
}

std::optional<MacBlockInfo> MacBlockOf(const ZipExtraField& extra) {
  MacBlockInfo info;
  std::string name;
  if (!extra.GetTypeCreatorName(info.type, info.creator, name)) return std::nullopt;
  info.type = fromMacRoman(info.type);
  info.creator = fromMacRoman(info.creator);
  // Only the long form has a name, although it may be empty.
  const std::string bytes = extra.AsData();
  if (le16(bytes, static_cast<size_t>(extra.MacBlockOffset())) == zipformat::kMacBlockLongId) {
    info.name = name;
  }
  return info;
}

std::vector<ExtraBlock> SplitExtraField(std::string_view bytes, std::string& rest) {
  std::vector<ExtraBlock> blocks;
  size_t c = 0;
  while (c + 4 <= bytes.size()) {
    const size_t length = le16(bytes, c + 2);
    if (c + 4 + length > bytes.size()) break;
    blocks.push_back({c, le16(bytes, c), std::string(bytes.substr(c + 4, length))});
    c += 4 + length;
  }
  rest = std::string(bytes.substr(c));
  return blocks;
}

}  // namespace cli
