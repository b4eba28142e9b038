// AppleDouble sidecars from arbitrary bytes, twice over:
//  - the parser alone: whatever it accepts, laid out again by BuildPreamble
//    and parsed back, must give the same contents;
//  - the fork store on a `._NAME` file of these bytes: the fork reads as
//    long as the store says, and changing the Finder information either
//    fails and leaves the sidecar untouched (a damaged one is never
//    rewritten) or succeeds and keeps the resource fork.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "platform/AppleDouble.h"
#include "platform/ForkStore.h"

namespace fs = std::filesystem;
using fuzzsupport::Fail;

namespace {

bool ParseBytes(const std::string& bytes, appledouble::Contents& contents) {
  std::string why;
  bool readFailed = false;
  auto read = [&bytes](uint64_t offset, uint32_t length, std::string& out) {
    if (offset > bytes.size() || bytes.size() - offset < length) return false;
    out.assign(bytes, static_cast<size_t>(offset), length);
    return true;
  };
  const bool ok = appledouble::Read(bytes.size(), read, contents, why, readFailed);
  if (!ok && why.empty()) Fail("a refused file gave no reason");
  if (readFailed) Fail("reads inside the file were refused");
  return ok;
}

void CheckParserRoundTrip(const std::string& bytes) {
  appledouble::Contents first;
  if (!ParseBytes(bytes, first)) return;
  const std::string fork = bytes.substr(first.rsrcOffset, first.rsrcLength);
  const std::string rebuilt = appledouble::BuildPreamble(first, first.rsrcLength) + fork;
  appledouble::Contents second;
  if (!ParseBytes(rebuilt, second)) Fail("a rebuilt file does not parse");
  if (second.finderInfo != first.finderInfo || second.finderInfoExtra != first.finderInfoExtra ||
      second.dates != first.dates || second.others != first.others) {
    Fail("a rebuilt file holds other contents");
  }
  if (rebuilt.substr(second.rsrcOffset, second.rsrcLength) != fork) {
    Fail("a rebuilt file holds another resource fork");
  }
}

std::string ReadFork(ForkStore& store, const fs::path& file) {
  int16_t ref = 0;
  if (store.OpenRF(file, fsRdPerm, ref) != ForkErr::noErr) return "<unreadable>";
  std::string fork;
  char buffer[4096];
  for (;;) {
    int32_t count = sizeof buffer;
    const OSErr err = store.FSRead(ref, count, buffer);
    fork.append(buffer, static_cast<size_t>(count));
    if (err != ForkErr::noErr || count == 0) break;
  }
  store.FSClose(ref);
  return fork;
}

void CheckStore(const std::string& bytes) {
  static const fs::path folder = fuzzsupport::Scratch() / "store";
  static const fs::path file = folder / "f";
  static const fs::path sidecar = folder / "._f";
  fuzzsupport::EmptyFolder(folder);
  fs::create_directories(folder);
  fuzzsupport::WriteBytes(file, "data");
  fuzzsupport::WriteBytes(sidecar, bytes);

  ForkStore::Select("appledouble");
  ForkStore& store = *ForkStore::Current();
  const std::string fork = ReadFork(store, file);
  const int64_t length = store.ResourceForkLength(file);
  if (fork != "<unreadable>" && length != static_cast<int64_t>(fork.size())) {
    Fail("the fork reads " + std::to_string(fork.size()) + " bytes, its length says " +
         std::to_string(length));
  }
  FinderInfo info;
  store.GetFinderInfo(file, info);
  std::optional<int64_t> created;
  store.GetCreationDate(file, created);

  info.SetFlags(info.Flags() ^ FinderInfo::kIsInvisible);
  info.SetType("TEXT");
  if (store.SetFinderInfo(file, info) != ForkErr::noErr) {
    if (fuzzsupport::ReadBytes(sidecar) != bytes) Fail("a refused change rewrote the sidecar");
    return;
  }
  FinderInfo back;
  if (store.GetFinderInfo(file, back) != ForkErr::noErr || !(back == info)) {
    Fail("the Finder information did not stick");
  }
  if (fork != "<unreadable>" && ReadFork(store, file) != fork) {
    Fail("changing the Finder information changed the resource fork");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CheckParserRoundTrip(bytes);
  CheckStore(bytes);
  return 0;
}
