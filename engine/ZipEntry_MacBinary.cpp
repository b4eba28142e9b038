// Recognising MacBinary headers, and putting what they say back onto the
// files extracted from them.
#include <algorithm>

#include "engine/MacBinary.h"
#include "engine/ZipEntry.h"
#include "platform/TextCompare.h"
#include "platform/TextEncoding.h"
#include "streams/Helpers.h"

namespace mb = macbinary;

namespace {
// Headers are big-endian whatever byte order the block that holds one was
// set to (a block cut from the little-endian archive stream, say).
uint32_t be32(const MemoryBlock& b, int at) {
  return static_cast<uint32_t>(b.Byte(at)) << 24 | static_cast<uint32_t>(b.Byte(at + 1)) << 16 |
         static_cast<uint32_t>(b.Byte(at + 2)) << 8 | b.Byte(at + 3);
}

uint16_t be16(const MemoryBlock& b, int at) {
  return static_cast<uint16_t>(b.Byte(at) << 8 | b.Byte(at + 1));
}

std::string toUTF8(const std::string& bytes, TextEncoding from) {
  TextConverterPtr converter = GetTextConverter(from, Encodings::UTF8());
  return converter ? converter->Convert(bytes) : std::string();
}
}  // namespace

int32_t ZipEntry::z_CRC(const MemoryBlock& block, int32_t count) {
  return CRC_CCITT(block, 0, count);
}

double ZipEntry::z_ulongToDouble(int32_t value) {
  return value < 0 ? value + 2.0 * maxIntPlus1 : static_cast<double>(value);
}

int32_t ZipEntry::z_MBHdrLevel(const MemoryBlock& header) const {
  if (header.Size() < mb::kHeaderSize) return mb::kNotMacBinary;
  if (header.Byte(mb::kOldVersion) != 0 || header.Byte(mb::kZero82) != 0 ||
      be16(header, mb::kReserved) != 0 ||
      static_cast<int32_t>(be32(header, mb::kDataForkLength)) < 0 ||
      static_cast<int32_t>(be32(header, mb::kRsrcForkLength)) < 0) {
    return mb::kNotMacBinary;
  }
  const int n = header.Byte(mb::kNameLength);
  if (n < 1 || n > mb::kMaxNameLength) return mb::kNotMacBinary;
  if (be16(header, mb::kCRC) == z_CRC(header, mb::kCRCCoverage)) {
    if (be32(header, mb::kSignature) != mb::kSignatureValue) return mb::kLevelMB2;
    return header.Byte(mb::kMinReaderVersion) <= mb::kVersionMB3 ? mb::kLevelMB3
                                                                  : mb::kLevelNewer;
  }
  return supportMB1 && n <= mb::kMaxNameLengthMB1 ? mb::kLevelMB1 : mb::kNotMacBinary;
}

void ZipEntry::ApplyMacBinaryInformation(FolderItem& file, const MemoryBlockPtr& header) const {
  if (!header || header->Size() < mb::kHeaderSize || !file.Exists()) return;
  const MemoryBlock& h = *header;

  // 0 is how a header says it has no date; 1904 is never meant.
  const double created = z_ulongToDouble(static_cast<int32_t>(be32(h, mb::kCreationDate)));
  const double modified = z_ulongToDouble(static_cast<int32_t>(be32(h, mb::kModificationDate)));
  if (created != 0) file.SetCreationDate(Date::FromTotalSeconds(created));
  if (modified != 0) file.SetModificationDate(Date::FromTotalSeconds(modified));

  // The name length comes from the file: past 63 the name would run into
  // the type and creator, so such a header names nothing.
  const int n = h.Byte(mb::kNameLength);
  if (n >= 1 && n <= mb::kMaxNameLength) {
    z_adjustMacFilename(h.StringValue(mb::kName, n), h.Byte(mb::kScript), file);
  }

  // Type, creator and flags in one write, so that a file whose codes its name
  // implies, with no flags, ends up with nothing stored for it. A folder's
  // first eight bytes are its window's place, not codes.
  FinderInfo info = file.GetFinderInfo();
  const bool folder = file.Directory();
  if (!folder) {
    info.SetType(h.StringValue(mb::kFileType, 4));
    info.SetCreator(h.StringValue(mb::kFileCreator, 4));
  }
  info.SetFlags(static_cast<uint16_t>((h.Byte(mb::kFlagsHigh) & mb::kRestoredHighFlagsMask) << 8 |
                                      h.Byte(mb::kFlagsLow)));
  file.SetFinderInfo(info);

  if (lockFiles && h.Byte(mb::kProtected) != 0 && !folder) file.SetLocked(true);
}

void ZipEntry::z_adjustMacFilename(const std::string& name, int32_t script,
                                   FolderItem& file) const {
  // Only a file that still has the name extraction gave it.
  if (!EqualsIgnoringCase(file.Name(), Name())) return;
  const std::string classic = file.MacClassicName();
  if (classic.empty() || name.empty()) return;

  std::string macName;
  if (script == kNameIsUTF8) {
    macName = name;
  } else {
    const TextEncoding encoding = (script & mb::kScriptValidBit) != 0
                                      ? GetTextEncoding(static_cast<uint32_t>(script & 0x7F))
                                      : GetFontTextEncoding("System").value_or(Encodings::MacRoman());
    macName = toUTF8(name, encoding);
  }
  if (macName.empty()) return;
  // The classic separator is ":", and a "/" in a classic name is ":" on disk,
  // as macOS shows it; the rename can't leave the file's folder either way.
  std::string diskName = macName;
  std::replace(diskName.begin(), diskName.end(), '/', ':');
  std::string classicOnDisk = toUTF8(classic, Encodings::MacRoman());
  std::replace(classicOnDisk.begin(), classicOnDisk.end(), '/', ':');
  if (EqualsIgnoringCase(classicOnDisk, diskName) || EqualsIgnoringCase(file.Name(), diskName)) {
    return;
  }
  // Rename refuses a name that is taken, a store file's name, "." and "..".
  file.Rename(diskName);
}
