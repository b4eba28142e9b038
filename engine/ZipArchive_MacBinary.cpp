// MacBinary headers for the files the engine adds.
#include <algorithm>
#include <limits>

#include "engine/MacBinary.h"
#include "engine/ZipArchive.h"
#include "platform/Exceptions.h"
#include "platform/TextCompare.h"
#include "platform/TextEncoding.h"
#include "streams/Helpers.h"

namespace {
constexpr double kTwoTo32 = 2.0 * ZipArchive::maxIntPlus1;

std::string fourBytes(const std::string& code) {
  std::string bytes = code.substr(0, 4);
  bytes.resize(4, '\0');
  return bytes;
}

// The header holds names in a Macintosh script. An engine name (UTF-8) goes
// in as Mac Roman, with ":" shown as the classic "/", the way a classic
// file specification shows it. A name Mac Roman can't hold, or one that
// isn't UTF-8 to begin with, is stored as its bytes.
std::string headerName(const std::string& name) {
  if (!IsValidUTF8(name)) return name;
  static const TextConverterPtr toMac = GetTextConverter(Encodings::UTF8(), Encodings::MacRoman());
  std::string mac = toMac ? toMac->Convert(name) : std::string();
  if (mac.empty()) return name;
  std::replace(mac.begin(), mac.end(), ':', '/');
  return mac;
}

// A date as the header's unsigned seconds since 1904; none, and dates the
// field can't hold, as 0.
int32_t headerDate(const std::optional<Date>& date) {
  if (!date) return 0;
  const double seconds = date->TotalSeconds();
  if (!(seconds >= 0 && seconds < kTwoTo32)) return 0;
  return ZipArchive::z_dblToLong(seconds);
}
}  // namespace

int32_t ZipArchive::z_dblToLong(double seconds) {
  if (!(seconds >= -maxIntPlus1 && seconds < kTwoTo32)) return 0;
  if (seconds >= maxIntPlus1) seconds -= kTwoTo32;
  return static_cast<int32_t>(seconds);
}

MemoryBlockPtr ZipArchive::MakeMacBinaryHeader(const FolderItem& file) {
  const int64_t dataLength = file.Length();
  const int64_t rsrcLength = file.ResourceForkLength();
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  if (dataLength > kMax || rsrcLength > kMax) return nullptr;
  return MakeMacBinaryHeader(file, static_cast<int32_t>(dataLength),
                             static_cast<int32_t>(rsrcLength), file.Name());
}

MemoryBlockPtr ZipArchive::MakeMacBinaryHeader(const FolderItem& file, int32_t dataForkLength,
                                               int32_t rsrcForkLength, const std::string& name) {
  // A folder has no codes: the first bytes of its Finder information are the
  // place of its window.
  const FinderInfo info = file.Directory() ? FinderInfo() : file.GetFinderInfo();
  return z_makeMBHdr(dataForkLength, rsrcForkLength, name, info.Type(), info.Creator(),
                     file.CreationDate(), file.ModificationDate(), &file);
}

MemoryBlockPtr ZipArchive::MakeMacBinaryHeader(int32_t dataForkLength, int32_t rsrcForkLength,
                                               const std::string& name, const std::string& type,
                                               const std::string& creator,
                                               std::optional<Date> created,
                                               std::optional<Date> modified) {
  return z_makeMBHdr(dataForkLength, rsrcForkLength, name, type, creator, created, modified,
                     nullptr);
}

MemoryBlockPtr ZipArchive::z_makeMBHdr(int32_t dataForkLength, int32_t rsrcForkLength,
                                       const std::string& name, const std::string& type,
                                       const std::string& creator, std::optional<Date> created,
                                       std::optional<Date> modified, const FolderItem* file) {
  namespace mb = macbinary;
  if (name.empty()) throw RuntimeException("z_makeMBHdr: the name is empty");
  if (dataForkLength < 0 || rsrcForkLength < 0) {
    throw RuntimeException("z_makeMBHdr: a fork length is negative");
  }

  std::string storedName = headerName(name);
  uint8_t script = 0;
  std::optional<FolderItem::CatalogInfo> catalog;
  if (file) {
    // Finder flags and the name's script come from the catalog whatever the
    // name: here the lookup needs no classic name, so a file whose name is
    // too long for one keeps its flags all the same.
    catalog = file->GetCatalogInfo();
    if (MemoryBlockPtr spec = file->MacFSSpec(); spec && EqualsIgnoringCase(name, file->Name())) {
      // The name as the classic file system holds it, in the script it is in.
      storedName = spec->PString(6);
      if (catalog) script = catalog->nameScript;
    }
  }

  auto header = MemoryBlock::Make(mb::kHeaderSize);
  header->SetPString(mb::kNameLength, storedName.substr(0, mb::kMaxNameLength));
  header->SetStringValue(mb::kFileType, fourBytes(type));
  header->SetStringValue(mb::kFileCreator, fourBytes(creator));
  header->SetInt32Value(mb::kCreationDate, headerDate(created));
  header->SetInt32Value(mb::kModificationDate, headerDate(modified));
  if (file) {
    header->SetByte(mb::kProtected, file->Locked() ? 1 : 0);
    header->SetByte(mb::kScript, script);
    if (catalog) {
      header->SetByte(mb::kFlagsHigh,
                      static_cast<uint8_t>(catalog->finderFlags >> 8) & mb::kWrittenHighFlagsMask);
      header->SetByte(mb::kFlagsLow, static_cast<uint8_t>(catalog->finderFlags & 0xFF));
    } else if (!file->Visible()) {
      header->SetByte(mb::kFlagsHigh, mb::kInvisibleHighFlag);
    }
  }
  header->SetInt32Value(mb::kDataForkLength, dataForkLength);
  header->SetInt32Value(mb::kRsrcForkLength, rsrcForkLength);
  header->SetUInt32Value(mb::kSignature, mb::kSignatureValue);
  header->SetByte(mb::kWriterVersion, mb::kVersionMB3);
  header->SetByte(mb::kMinReaderVersion, mb::kVersionMB2);
  header->SetUInt16Value(mb::kCRC, CRC_CCITT(*header, 0, mb::kCRCCoverage));
  return header;
}
