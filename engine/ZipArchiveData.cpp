#include "engine/ZipArchiveData.h"

#include <algorithm>

#include "engine/ZipFormat.h"

ZipArchiveData::ZipArchiveData()
    : filenameEncoding(findFileNameEncoding()), dosLatinUS(Encodings::DOSLatinUS()) {
  setArchiveEncoding(dosLatinUS);
}

void ZipArchiveData::setArchiveEncoding(std::optional<TextEncoding> encoding) {
  archiveEncoding = encoding;
  if (encoding) {
    archiveToSystem = GetTextConverter(*encoding, filenameEncoding);
    systemToArchive = GetTextConverter(filenameEncoding, *encoding);
  } else {
    archiveToSystem.reset();
    systemToArchive.reset();
  }
}

TextEncoding ZipArchiveData::findFileNameEncoding() { return Encodings::UTF8(); }

namespace {
// An empty result is how a converter says it failed: the text then stays as
// it was rather than vanishing.
std::string convertOrKeep(const TextConverterPtr& converter, const std::string& s) {
  if (!converter || s.empty()) return s;
  std::string converted = converter->Convert(s);
  return converted.empty() ? s : converted;
}
}  // namespace

std::string ZipArchiveData::decodeFromZip(const std::string& s) const {
  return convertOrKeep(archiveToSystem, s);
}

std::string ZipArchiveData::encodeForZip(const std::string& s) const {
  return convertOrKeep(systemToArchive, s);
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
