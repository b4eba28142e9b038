#include "engine/ZipEntry.h"

#include <algorithm>

#include "engine/ZipFormat.h"
#include "platform/Exceptions.h"
#include "platform/TextCompare.h"
#include "platform/TextEncoding.h"
#include "streams/Helpers.h"

namespace central = zipformat::central;

namespace {
const char kMsgArchiveClosed[] = "Archive is closed";
const char kMsgBadLocalHeader[] =
    "Invalid Local File Header signature (archive appears to be severely corrupted)";

// Info-ZIP's Unicode path field (id 0x7075): version 1, the CRC-32 of the
// name as stored in the record, then the name in UTF-8. Info-ZIP zip writes it
// for non-ASCII names instead of setting flag bit 11. The CRC tells whether the
// field still belongs to the stored name (a tool that renamed the entry
// without knowing the field leaves it stale).
std::optional<std::string> unicodePath(const ZipExtraField& extra, const std::string& storedName) {
  auto block = extra.BlockData(zipformat::kUnicodePathId);
  if (!block || block->size() < 5 || static_cast<uint8_t>((*block)[0]) != 1) return std::nullopt;
  auto field = MemoryBlock::FromString(*block, true);
  if (field->UInt32Value(1) != CRC_32OfStrCont(storedName, 0)) return std::nullopt;
  std::string name = block->substr(5);
  if (name.empty() || !IsValidUTF8(name)) return std::nullopt;
  return name;
}
}  // namespace

ZipEntry::ZipEntry(ZipArchiveDataPtr d_, MemoryBlockPtr header_, std::string zipEncName_,
                   ZipExtraFieldPtr extra_, std::string zipEncComment_)
    : d(std::move(d_)),
      header(std::move(header_)),
      extra(std::move(extra_)),
      zipEncName(std::move(zipEncName_)),
      zipEncComment(std::move(zipEncComment_)) {
  if (!header) header = MemoryBlock::Make(central::kSize, true);
  if (!extra) extra = std::make_shared<ZipExtraField>(d, std::string_view());
  extra->Lock();
  auto unicodeName = z_namesAreUTF8() ? std::nullopt : unicodePath(*extra, zipEncName);
  sysEncName = unicodeName ? *unicodeName : z_decode(zipEncName);
  sysEncComment = z_decode(zipEncComment);
  isFolder = !sysEncName.empty() && sysEncName.back() == '/';
}

// --- Conversions ------------------------------------------------------------

bool ZipEntry::z_namesAreUTF8() const {
  return (header->UInt16Value(central::kFlags) & zipformat::kFlagUTF8) != 0;
}

std::string ZipEntry::z_decode(const std::string& s) const {
  return z_namesAreUTF8() || z_unixUTF8(s) ? s : d->decodeFromZip(s);
}

bool ZipEntry::z_unixUTF8(const std::string& s) const {
  // Unix and macOS tools store names in UTF-8, mostly without flag bit 11
  // (Info-ZIP zip on Linux among them). Text outside ASCII that is valid UTF-8
  // from such a host is taken as UTF-8, as unzip and bsdtar take it: read as
  // code page 437 it would be nonsense.
  const int32_t host = OSMadeBy();
  if (host != zipformat::kHostUnix && host != zipformat::kHostMacOSX) return false;
  bool ascii = std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
  return !ascii && IsValidUTF8(s);
}

std::string ZipEntry::z_encode(const std::string& s) const {
  return z_namesAreUTF8() ? s : d->encodeForZip(s);
}

// --- Attributes -------------------------------------------------------------

int32_t ZipEntry::CompressionMethod() const { return header->UInt16Value(central::kMethod); }

int32_t ZipEntry::CompressedSize() const { return header->Int32Value(central::kCompressedSize); }

int32_t ZipEntry::Size() const { return header->Int32Value(central::kUncompressedSize); }

uint32_t ZipEntry::CRC32() const { return header->UInt32Value(central::kCRC); }

bool ZipEntry::IsEncrypted() const {
  return (header->UInt16Value(central::kFlags) & zipformat::kFlagEncrypted) != 0;
}

bool ZipEntry::IsTextFile() const { return (header->Byte(central::kInternalAttributes) & 1) != 0; }

int32_t ZipEntry::OSMadeBy() const { return header->Byte(central::kHostSystem); }

std::optional<Date> ZipEntry::Time() const {
  const uint16_t time = header->UInt16Value(central::kTime);
  const uint16_t date = header->UInt16Value(central::kDate);
  if (time == 0 && date == 0) return std::nullopt;
  return Date::FromComponents((date & 0xFE00) / 512 + 1980, (date & 0x01E0) / 32, date & 31,
                              (time & 0xF800) / 2048, (time & 0x07E0) / 32, (time & 31) * 2);
}

bool ZipEntry::CanExtract() const {
  const int32_t method = CompressionMethod();
  return (method == zipformat::kMethodStored || method == zipformat::kMethodDeflated) &&
         !IsEncrypted() && !IsDirectory();
}

// --- Names and paths --------------------------------------------------------

std::vector<std::string> ZipEntry::z_checkRawPath() const {
  std::vector<std::string> path;
  std::string component;
  for (size_t i = 0; i < sysEncName.size(); ++i) {
    const char c = sysEncName[i];
    if (c == ':') {
      // The classic file system's separator can't be part of a name there.
      component += '-';
    } else if (c == '/') {
      if (component != ".") path.push_back(std::move(component));
      component.clear();
    } else {
      component += c;
    }
  }
  if (!component.empty()) path.push_back(std::move(component));
  return path;
}

void ZipEntry::GetPath(std::vector<std::string>& list) const { list = z_checkRawPath(); }

std::string ZipEntry::Name() const {
  std::vector<std::string> path = z_checkRawPath();
  return path.empty() ? std::string() : std::move(path.back());
}

bool ZipEntry::SameRawPath(const std::string& s) const {
  // Compared as text, so that letters outside ASCII match without regard to
  // case too, whatever the archive's encoding.
  return EqualsIgnoringCase(s, sysEncName);
}

// --- Comment and record -----------------------------------------------------

void ZipEntry::SetComment(const std::string& s) {
  sysEncComment = s;
  zipEncComment = z_encode(s);
  d->dirty = true;
}

void ZipEntry::SetTextFileFlag(bool b) {
  uint16_t attributes = header->UInt16Value(central::kInternalAttributes);
  attributes = b ? (attributes | 1) : (attributes & ~1);
  header->SetUInt16Value(central::kInternalAttributes, attributes);
}

void ZipEntry::SetOSMadeBy(int32_t code) {
  header->SetByte(central::kHostSystem, static_cast<uint8_t>(code & 0xFF));
}

// --- Extra fields -----------------------------------------------------------

ZipExtraFieldPtr ZipEntry::ExtraFieldInCentralDir() const {
  if (!extra->IsLocked()) throw RuntimeException("central extra field is not locked");
  return extra;
}

void ZipEntry::SetExtraFieldInCentralDir(ZipExtraFieldPtr x) {
  if (!x) x = std::make_shared<ZipExtraField>(d, std::string_view());
  x->Lock();
  extra = std::move(x);
  header->SetUInt16Value(central::kExtraLength, static_cast<uint16_t>(extra->AsData().size()));
  d->dirty = true;
}

ZipExtraFieldPtr ZipEntry::ExtraField() {
  if (!d->zipStream) {
    errmsg = kMsgArchiveClosed;
    return nullptr;
  }
  BinaryStream& stream = *d->zipStream;
  const int64_t saved = stream.Position();
  // The offset comes from the file: everything it leads to is checked against
  // the file's length before it is read.
  const int64_t at = header->UInt32Value(central::kLocalHeaderOffset);
  const int64_t fileLength = stream.Length();
  MemoryBlock local(zipformat::local::kSize);
  local.SetLittleEndian(true);
  bool ok = at + zipformat::local::kSize <= fileLength;
  if (ok) {
    stream.SetPosition(at);
    ok = stream.ReadInto(local.Address(), local.Size()) == local.Size() &&
         local.UInt32Value(0) == zipformat::kLocalHeaderSignature;
  }
  const int64_t nameLength = ok ? local.UInt16Value(zipformat::local::kNameLength) : 0;
  const int64_t extraLength = ok ? local.UInt16Value(zipformat::local::kExtraLength) : 0;
  ok = ok && stream.Position() + nameLength + extraLength <= fileLength;
  if (!ok) {
    stream.SetPosition(saved);
    errmsg = kMsgBadLocalHeader;
    return nullptr;
  }
  stream.SetPosition(stream.Position() + nameLength);
  std::string bytes(static_cast<size_t>(extraLength), '\0');
  stream.ReadInto(bytes.data(), extraLength);
  stream.SetPosition(saved);
  auto field = std::make_shared<ZipExtraField>(d, bytes);
  field->Lock();
  return field;
}
