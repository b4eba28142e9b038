#include "fuzz/ArchiveWalk.h"

#include "engine/ZipEntry.h"
#include "engine/ZipExtraField.h"

namespace fuzzsupport {

std::optional<TextEncoding> EncodingFor(uint8_t choice) {
  switch (choice % 5) {
    case 1: return ZipArchive::EncodedAsDOSLatinUS();
    case 2: return ZipArchive::EncodedAsWinLatin1();
    case 3: return ZipArchive::EncodedAsUnicode();
    case 4: return ZipArchive::EncodedAsMacDefault();
    default: return std::nullopt;
  }
}

size_t WalkEntries(ZipArchive& archive) {
  size_t seen = archive.Comment().size();
  for (int32_t i = 1; i <= archive.EntryCount(); ++i) {
    ZipEntryPtr e = archive.Entry(i);
    seen += static_cast<size_t>(e->CompressionMethod()) + static_cast<size_t>(e->CompressedSize()) +
            static_cast<size_t>(e->Size()) + e->CRC32() + e->IsEncrypted() + e->IsTextFile() +
            static_cast<size_t>(e->OSMadeBy()) + e->CanExtract() + e->IsDirectory();
    if (auto t = e->Time()) seen += static_cast<size_t>(t->Year() + t->Second());
    std::vector<std::string> path;
    e->GetPath(path);
    seen += path.size() + e->Name().size() + e->Comment().size();
    seen += e->SameRawPath(e->RawPath()) + e->SameRawPath(e->Name());
    seen += archive.CleanName(e->RawPath()).size() + archive.IsValidName(e->Name());
    std::string type, creator, name;
    ZipExtraFieldPtr central = e->ExtraFieldInCentralDir();
    if (central->GetTypeCreatorName(type, creator, name)) seen += name.size();
    seen += static_cast<size_t>(central->MacBlockOffset());
    for (uint16_t id : {uint16_t{0x2605}, uint16_t{0x7075}, uint16_t{0x5455}, uint16_t{0x000A}}) {
      if (auto block = central->BlockData(id)) seen += block->size();
    }
    if (ZipExtraFieldPtr local = e->ExtraField()) {
      if (local->GetTypeCreatorName(type, creator, name)) seen += type.size();
      seen += local->AsData().size();
    } else {
      seen += e->ErrorMessage().size();
    }
  }
  return seen;
}

}  // namespace fuzzsupport
