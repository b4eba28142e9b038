#include "app/core/FileKinds.h"

#include <algorithm>
#include <cctype>

namespace {
bool endsWithNoCase(const std::string& name, const std::string& ending) {
  if (name.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), name.end() - static_cast<long>(ending.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}
}  // namespace

IconKind IconKindOf(const ListRow& row) {
  if (row.IsFolder()) return IconKind::Folder;
  const std::string& name = row.Cell(ListRow::kName);
  static const std::pair<const char*, IconKind> kEndings[] = {
      {".jpg", IconKind::JPEGImage}, {".bmp", IconKind::BMPImage},
      {".eps", IconKind::EPSImage},  {".gif", IconKind::GIFImage},
      {".pdf", IconKind::PDFDocument}, {".png", IconKind::PNGImage},
      {".psd", IconKind::PSDImage},  {".tiff", IconKind::TIFFImage},
      {".zip", IconKind::ZipArchive}, {".dmg", IconKind::DiskImage},
      {".iso", IconKind::DiskImage}, {".cdr", IconKind::DiskImage},
  };
  for (const auto& [ending, kind] : kEndings) {
    if (endsWithNoCase(name, ending)) return kind;
  }
  return IconKind::Document;
}

bool OpenDialogShows(const std::string& name, bool isFolder) {
  return endsWithNoCase(name, ".zip") || isFolder;
}
