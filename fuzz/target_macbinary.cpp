// MacBinary headers from arbitrary bytes. The input becomes the data of an
// entry (its first 128 bytes the candidate header); the recogniser rates it
// with and without MacBinary I detection, and extraction splits it both in
// memory and onto disk, where the header's name, dates, Finder information
// and lock are applied. A header the recogniser accepts must split into
// forks of exactly the lengths it states, and nothing may land outside the
// destination folder.
#include <cstdint>
#include <filesystem>

#include "engine/MacBinary.h"
#include "engine/ZipArchive.h"
#include "engine/ZipEntry.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/MemoryStreams.h"
#include "platform/ForkStore.h"
#include "platform/MemoryBlock.h"
#include "platform/plugin/PluginHost.h"

namespace fs = std::filesystem;
using fuzzsupport::Fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path archivePath = fuzzsupport::Scratch() / "macbinary.zip";
  static const fs::path jail = fuzzsupport::Scratch() / "mbjail";
  static const fs::path out = jail / "out";
  static const fs::path trap = jail / "trap";
  static const bool started = [] {
    if (!PluginHost::Instance()->Ok()) Fail(PluginHost::Instance()->Error());
    fs::create_directories(out);
    fs::create_directories(trap);
    return true;
  }();
  (void)started;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const uint8_t options = size > 128 ? data[size - 1] : 0;
  ForkStore::Select((options & 1) ? "extfs" : "appledouble");

  std::error_code ec;
  fs::remove(archivePath, ec);
  {
    ZipArchive archive;
    if (!archive.Open(FolderItem(archivePath), true)) Fail(archive.ErrorMessage());
    const int32_t added = archive.AddItemByStreams(
        std::make_shared<fuzzsupport::StringSource>(bytes), static_cast<int32_t>(size), nullptr, 0,
        nullptr, "Entry.bin", nullptr, std::nullopt);
    if (added != 1 || !archive.Close()) Fail("can't write the entry: " + archive.ErrorMessage());
  }

  ZipArchive archive;
  if (!archive.Open(FolderItem(archivePath), false)) Fail(archive.ErrorMessage());
  ZipEntryPtr e = archive.Entry(1);
  int32_t level = macbinary::kNotMacBinary;
  if (size >= 128) {
    const auto block = MemoryBlock::FromString(bytes.substr(0, 128));
    e->EnableMacBinary1Detection(true);
    const int32_t withMB1 = e->z_MBHdrLevel(*block);
    e->EnableMacBinary1Detection(false);
    level = e->z_MBHdrLevel(*block);
    if (level != withMB1 && !(level == macbinary::kNotMacBinary && withMB1 == macbinary::kLevelMB1)) {
      Fail("MacBinary I detection changed a level other than I");
    }
  }
  e->EnableMacBinary1Detection(options & 2);
  e->EnableFileLocking(options & 4);

  MemoryBlockPtr header;
  const bool hasHeader = e->GetMacBinaryHeader(header);
  auto dataOut = std::make_shared<fuzzsupport::StringSink>();
  auto rsrcOut = std::make_shared<fuzzsupport::StringSink>();
  MemoryBlockPtr split;
  if (e->Extract(true, dataOut, rsrcOut, split)) {
    if (split) {
      if (!hasHeader) Fail("the split found a header GetMacBinaryHeader did not");
      const uint32_t dataLength = split->UInt32Value(macbinary::kDataForkLength);
      const uint32_t rsrcLength = split->UInt32Value(macbinary::kRsrcForkLength);
      if (dataOut->bytes.size() != dataLength || rsrcOut->bytes.size() != rsrcLength) {
        Fail("the forks are not as long as the header says");
      }
    } else if (dataOut->bytes != bytes) {
      Fail("an entry without a header did not extract as it is");
    }
  }

  fuzzsupport::EmptyFolder(out);
  std::string problem;
  if (auto destination = e->MakeDestination(FolderItem(out), false, problem)) {
    e->Extract(destination, true);
  }
  archive.Close();
  fuzzsupport::CheckNothingEscaped(jail, out, trap);
  if (!fs::is_empty(trap)) Fail("something was written into the trap folder");
  return 0;
}
