// Opening an archive from arbitrary bytes and reading every entry's
// attributes and extra fields. The last input byte also picks the encoding
// the archive is opened with, so that every name converter sees the names.
#include <cstdint>

#include "fuzz/ArchiveWalk.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto path = fuzzsupport::Scratch() / "input.zip";
  fuzzsupport::WriteBytes(path, {reinterpret_cast<const char*>(data), size});
  ZipArchive archive;
  const auto encoding = fuzzsupport::EncodingFor(size ? data[size - 1] : 0);
  if (!archive.Open(FolderItem(path), false, encoding)) {
    if (archive.ErrorMessage().empty()) fuzzsupport::Fail("a failed open gave no message");
    return 0;
  }
  volatile size_t sink = fuzzsupport::WalkEntries(archive);
  (void)sink;
  archive.Close();
  return 0;
}
