// Macintosh type/creator blocks for the extra fields of new entries.
#include "engine/ZipArchive.h"
#include "engine/ZipFormat.h"
#include "platform/MemoryBlock.h"
#include "platform/TextEncoding.h"

namespace {
// The length byte of the long form counts at most this many name bytes.
constexpr size_t kMaxStoredName = 255;

std::string fourBytes(const std::string& code) {
  std::string bytes = code.substr(0, 4);
  bytes.resize(4, '\0');
  return bytes;
}

// Cuts a stored name to what the length byte can count. UTF-8 (an archive in
// Unicode, or a name its encoding could not take) is cut before a character,
// not inside one.
std::string cutStoredName(std::string stored) {
  if (stored.size() <= kMaxStoredName) return stored;
  const bool utf8 = IsValidUTF8(stored);
  size_t end = kMaxStoredName;
  if (utf8) {
    while (end > 0 && (static_cast<unsigned char>(stored[end]) & 0xC0) == 0x80) --end;
  }
  stored.resize(end);
  return stored;
}
}  // namespace

ZipExtraFieldPtr ZipArchive::MakeZipExtraField(const std::string& type, const std::string& creator,
                                               const std::string& name) const {
  std::string stored;
  if (!name.empty()) {
    // Names in the engine are UTF-8; anything else is taken as bytes already
    // in the archive's encoding.
    std::optional<TextEncoding> guess = GuessTextEncoding(name);
    stored = guess && guess->IsUnicode() ? d->encodeForZip(name) : name;
    stored = cutStoredName(stored);
  }
  const int32_t k = stored.empty() ? 0 : static_cast<int32_t>(stored.size()) + 1;
  MemoryBlock block(k + 16);
  block.SetLittleEndian(true);
  block.SetUInt16Value(0, k != 0 ? zipformat::kMacBlockLongId : zipformat::kMacBlockShortId);
  block.SetUInt16Value(2, static_cast<uint16_t>(k + 12));
  block.SetStringValue(4, zipformat::kMacBlockSignature);
  if (k != 0) block.SetPString(8, stored);
  block.SetStringValue(k + 8, fourBytes(type));
  block.SetStringValue(k + 12, fourBytes(creator));
  return MakeZipExtraField(block.ToString());
}

ZipExtraFieldPtr ZipArchive::MakeZipExtraField(const FolderItem& file,
                                               const std::string& name) const {
  const bool folder = file.Directory();
  if (name.empty() && folder) return nullptr;
  // A folder has no codes: the first bytes of its Finder information are the
  // place of its window.
  if (folder) return MakeZipExtraField(std::string(), std::string(), name);
  // Type and creator in one lookup: each alone would ask the store again.
  const FinderInfo info = file.GetFinderInfo();
  return MakeZipExtraField(info.Type(), info.Creator(), name);
}

ZipExtraFieldPtr ZipArchive::MakeZipExtraField(const FolderItem& file) const {
  return MakeZipExtraField(file, file.Name());
}
