#pragma once
// What kind of file a list row shows, for its icon, and which items the
// open-archive dialog lists.
#include <string>

#include "app/core/ListRow.h"

enum class IconKind {
  Folder,
  JPEGImage,
  BMPImage,
  EPSImage,
  GIFImage,
  PDFDocument,
  PNGImage,
  PSDImage,
  TIFFImage,
  ZipArchive,
  DiskImage,
  Document,
};

// First match wins: a folder row, then the name's ending, case ignored.
IconKind IconKindOf(const ListRow& row);

// The open-archive dialog shows folders (to move through them) and files whose
// names end in ".zip", case ignored.
bool OpenDialogShows(const std::string& name, bool isFolder);

// The kind that new archive files get.
inline constexpr const char* kArchiveFileType = "application/zip";
