#include "engine/ZipArchiveData.h"

#include <algorithm>

#include "engine/ZipEntry.h"
#include "engine/ZipFormat.h"

namespace {
// Encodings in which the bytes 0 to 127 are ASCII, as in UTF-8: text made only
// of those bytes is the same in both, and needs no converter. Most names are
// such text, and a large archive has tens of thousands of them.
bool asciiIsShared(const TextEncoding& encoding) {
  return encoding == Encodings::DOSLatinUS() || encoding == Encodings::WindowsLatin1() ||
         encoding == Encodings::MacRoman() || encoding == Encodings::UTF8();
}

bool isAscii(const std::string& s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// An empty result is how a converter says it failed: the text then stays as
// it was rather than vanishing.
std::string convertOrKeep(const TextConverterPtr& converter, bool asciiShared,
                          const std::string& s) {
  if (!converter || s.empty() || (asciiShared && isAscii(s))) return s;
  std::string converted = converter->Convert(s);
  return converted.empty() ? s : converted;
}
}  // namespace

ZipArchiveData::ZipArchiveData()
    : filenameEncoding(findFileNameEncoding()), dosLatinUS(Encodings::DOSLatinUS()) {
  setArchiveEncoding(dosLatinUS);
}

void ZipArchiveData::setArchiveEncoding(std::optional<TextEncoding> encoding) {
  archiveEncoding = encoding;
  asciiShared_ = encoding && asciiIsShared(*encoding) && asciiIsShared(filenameEncoding);
  if (encoding) {
    archiveToSystem = GetTextConverter(*encoding, filenameEncoding);
    systemToArchive = GetTextConverter(filenameEncoding, *encoding);
  } else {
    archiveToSystem.reset();
    systemToArchive.reset();
  }
}

TextEncoding ZipArchiveData::findFileNameEncoding() { return Encodings::UTF8(); }

std::string ZipArchiveData::decodeFromZip(const std::string& s) const {
  return convertOrKeep(archiveToSystem, asciiShared_, s);
}

std::string ZipArchiveData::encodeForZip(const std::string& s) const {
  return convertOrKeep(systemToArchive, asciiShared_, s);
}

std::string ZipArchiveData::cleanName(std::string s) {
  std::replace(s.begin(), s.end(), '/', '-');
  std::replace(s.begin(), s.end(), '\\', '-');
  return s;
}

bool ZipArchiveData::isFakeEntry(const MemoryBlock& record, int32_t localFlags) {
  const uint16_t centralFlags = record.UInt16Value(zipformat::central::kFlags);
  if ((centralFlags & zipformat::kFlagDataDescriptor) == 0) return false;
  if (localFlags == -1) {
    if (!zipStream) return false;
    const uint32_t localOffset = record.UInt32Value(zipformat::central::kLocalHeaderOffset);
    zipStream->SetPosition(int64_t{localOffset} + zipformat::local::kFlags);
    localFlags = zipStream->ReadUInt16();
  }
  return localFlags == (centralFlags & 0xFFF7);
}

bool ZipArchiveData::headerWithin(int64_t start, int64_t end) {
  if (!entryOffsetsKnown_) {
    entryOffsets_.clear();
    entryOffsets_.reserve(entries_1.size());
    for (size_t i = 1; i < entries_1.size(); ++i) {
      entryOffsets_.push_back(
          entries_1[i]->z_Header()->UInt32Value(zipformat::central::kLocalHeaderOffset));
    }
    std::sort(entryOffsets_.begin(), entryOffsets_.end());
    entryOffsets_.erase(std::unique(entryOffsets_.begin(), entryOffsets_.end()),
                        entryOffsets_.end());
    entryOffsetsKnown_ = true;
  }
  auto next = std::upper_bound(entryOffsets_.begin(), entryOffsets_.end(), start);
  return next != entryOffsets_.end() && *next < end;
}

void ZipArchiveData::forgetEntryOffsets() {
  entryOffsetsKnown_ = false;
  entryOffsets_.clear();
}
