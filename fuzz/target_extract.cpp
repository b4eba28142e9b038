// Verifying and extracting every entry of an archive made of arbitrary bytes
// into a folder of its own, then checking that nothing landed outside it.
//
// The last input byte picks the options: the name encoding, MacBinary
// splitting, following aliases, the fork store, MacBinary I detection and
// file locking. The destination holds a link to a trap folder beside it, so
// that entries reaching through a link are tried too; the trap must stay
// empty.
#include <cstdint>
#include <filesystem>

#include "engine/ZipArchive.h"
#include "engine/ZipEntry.h"
#include "fuzz/ArchiveWalk.h"
#include "fuzz/FuzzSupport.h"
#include "platform/ForkStore.h"
#include "platform/plugin/PluginHost.h"

namespace fs = std::filesystem;
using fuzzsupport::Fail;

namespace {
// Bytes written to disk per input stay below this; bigger entries are only
// verified, which inflates them in memory.
constexpr int64_t kExtractBudget = 16 * 1024 * 1024;

struct Layout {
  fs::path archive, jail, out, trap;
};

const Layout& Folders() {
  static const Layout layout = [] {
    Layout l;
    l.archive = fuzzsupport::Scratch() / "input.zip";
    l.jail = fuzzsupport::Scratch() / "jail";
    l.out = l.jail / "out";
    l.trap = l.jail / "keep-trap";
    fs::create_directories(l.out);
    fs::create_directories(l.trap);
    if (!PluginHost::Instance()->Ok()) Fail(PluginHost::Instance()->Error());
    return l;
  }();
  return layout;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Layout& at = Folders();
  const uint8_t options = size ? data[size - 1] : 0;
  const bool macBinary = options & 0x08;
  const bool followAliases = options & 0x10;
  ForkStore::Select((options & 0x20) ? "extfs" : "appledouble");

  fuzzsupport::EmptyFolder(at.out);
  fs::create_directory_symlink("../keep-trap", at.out / "link");
  fuzzsupport::WriteBytes(at.archive, {reinterpret_cast<const char*>(data), size});

  ZipArchive archive;
  if (!archive.Open(FolderItem(at.archive), false, fuzzsupport::EncodingFor(options & 0x07))) {
    return 0;
  }
  const FolderItem base(at.out);
  int64_t budget = kExtractBudget;
  for (int32_t i = 1; i <= archive.EntryCount(); ++i) {
    ZipEntryPtr e = archive.Entry(i);
    e->EnableMacBinary1Detection(options & 0x40);
    e->EnableFileLocking(options & 0x80);
    const bool verified = e->Verify();
    if (!verified && e->ErrorMessage().empty()) Fail("a failed Verify gave no message");
    MemoryBlockPtr header;
    e->GetMacBinaryHeader(header);
    // Sizes of 2 GiB and more come back negative.
    const int64_t bytes = e->Size() < 0 ? INT64_MAX : e->Size();
    if (bytes > budget) continue;
    budget -= bytes;
    std::string problem;
    std::optional<FolderItem> destination = e->MakeDestination(base, followAliases, problem);
    if (!destination) continue;
    const bool extracted = e->Extract(destination, macBinary);
    if (extracted && !verified && !e->IsDirectory()) {
      Fail("entry " + std::to_string(i) + " extracted but did not verify");
    }
  }
  archive.Close();
  fuzzsupport::CheckNothingEscaped(at.jail, at.out, at.trap);
  if (!fs::is_empty(at.trap)) Fail("an entry was written through a link out of the folder");
  return 0;
}
