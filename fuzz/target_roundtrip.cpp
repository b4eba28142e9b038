// The input drives a session of changes to a new archive: adds (plain,
// deflated or stored, and in MacBinary form with a resource fork), removes,
// fake duplicates, mark and rollback, comments, flushes, compaction, closes
// and reopens. A model follows every step; at the end the archive is closed,
// reopened read-only and every entry must verify and give back exactly the
// bytes the model holds, under its name, in its place.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ZipArchive.h"
#include "engine/ZipEntry.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/MemoryStreams.h"
#include "platform/plugin/PluginHost.h"

using fuzzsupport::Decisions;
using fuzzsupport::Fail;

namespace {

struct Expected {
  std::string name;
  std::string data;
  std::string rsrc;  // only for an entry in MacBinary form
  bool macBinary = false;
};

// Names from a small alphabet with a few characters outside code page 437,
// never ending in "/" (that would be a folder entry).
std::string NameFrom(Decisions& in, int serial) {
  static const char* const pieces[] = {"a", "b", "/", ".", "-", "x", "é", "Ω", "_", " "};
  std::string name;
  const uint32_t length = in.Below(8);
  for (uint32_t i = 0; i < length; ++i) name += pieces[in.Below(10)];
  return name + "f" + std::to_string(serial);
}

// The engine stores a name without its leading "/".
std::string Stored(const std::string& name) { return name[0] == '/' ? name.substr(1) : name; }

std::string DataFrom(Decisions& in) {
  std::string data = in.Bytes(3000);
  // Repeat it sometimes, so that deflate has something to shrink.
  if (!data.empty() && in.Flag()) {
    const uint32_t times = in.Below(20);
    std::string more;
    for (uint32_t i = 0; i < times; ++i) more += data;
    data += more;
  }
  return data;
}

void Check(bool condition, const std::string& why) {
  if (!condition) Fail(why);
}

void CheckArchive(ZipArchive& archive, const std::vector<Expected>& model) {
  // An archive with nothing in it holds one placeholder entry, "/".
  if (model.empty() && archive.EntryCount() == 1 && archive.Entry(1)->RawPath() == "/") return;
  Check(archive.EntryCount() == static_cast<int32_t>(model.size()),
        "entry count " + std::to_string(archive.EntryCount()) + ", expected " +
            std::to_string(model.size()));
  for (size_t i = 0; i < model.size(); ++i) {
    ZipEntryPtr e = archive.Entry(static_cast<int32_t>(i + 1));
    const Expected& want = model[i];
    Check(e->RawPath() == want.name, "entry " + std::to_string(i + 1) + " is named " +
                                         e->RawPath() + ", expected " + want.name);
    Check(e->Verify(), "entry " + want.name + " does not verify: " + e->ErrorMessage());
    auto data = std::make_shared<fuzzsupport::StringSink>();
    auto rsrc = std::make_shared<fuzzsupport::StringSink>();
    MemoryBlockPtr header;
    Check(e->Extract(true, data, rsrc, header), "entry " + want.name + " does not extract");
    Check(data->bytes == want.data, "entry " + want.name + " gives other data");
    Check(rsrc->bytes == want.rsrc, "entry " + want.name + " gives another resource fork");
    Check((header != nullptr) == want.macBinary, "entry " + want.name + " lost its form");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto path = fuzzsupport::Scratch() / "roundtrip.zip";
  static const bool started = [] {
    if (!PluginHost::Instance()->Ok()) Fail(PluginHost::Instance()->Error());
    return true;
  }();
  (void)started;
  std::error_code ec;
  std::filesystem::remove(path, ec);

  Decisions in(data, size);
  auto archive = std::make_unique<ZipArchive>();
  Check(archive->Open(FolderItem(path), true), "can't create: " + archive->ErrorMessage());
  std::vector<Expected> model;
  std::vector<Expected> atMark;
  bool marked = false;
  int serial = 0;

  for (int step = 0; step < 40 && !in.Empty(); ++step) {
    switch (in.Below(9)) {
      case 0:
      case 1: {  // add
        const std::string name = NameFrom(in, ++serial);
        Expected e{Stored(name), DataFrom(in), "", false};
        MemoryBlockPtr header;
        SeqDataInputStreamPtr rsrc;
        if (in.Flag()) {
          e.macBinary = true;
          e.rsrc = in.Bytes(600);
          header = ZipArchive::MakeMacBinaryHeader(static_cast<int32_t>(e.data.size()),
                                                   static_cast<int32_t>(e.rsrc.size()), "F",
                                                   "TEXT", "ttxt", std::nullopt, std::nullopt);
          rsrc = std::make_shared<fuzzsupport::StringSource>(e.rsrc);
        }
        archive->SetDefaultOSMadeBy(in.Flag() ? 0 : 3);
        const int32_t index = archive->AddItemByStreams(
            std::make_shared<fuzzsupport::StringSource>(e.data),
            static_cast<int32_t>(e.data.size()), rsrc, static_cast<int32_t>(e.rsrc.size()),
            header, name, nullptr, std::nullopt);
        Check(index == static_cast<int32_t>(model.size() + 1),
              "add of " + e.name + " failed: " + archive->ErrorMessage());
        model.push_back(e);
        break;
      }
      case 2:  // remove
        if (model.empty()) break;
        {
          const uint32_t i = in.Below(static_cast<uint32_t>(model.size()));
          Check(archive->RemoveEntry(static_cast<int32_t>(i + 1)), "remove failed");
          model.erase(model.begin() + i);
          marked = false;
        }
        break;
      case 3:  // fake duplicate
        if (model.empty()) break;
        {
          const uint32_t i = in.Below(static_cast<uint32_t>(model.size()));
          Expected e = model[i];
          e.name = Stored(NameFrom(in, ++serial));
          const int32_t index =
              archive->AddFakeDuplicate(archive->Entry(static_cast<int32_t>(i + 1)), e.name,
                                        std::nullopt, nullptr);
          Check(index == static_cast<int32_t>(model.size() + 1),
                "fake duplicate failed: " + archive->ErrorMessage());
          model.push_back(e);
        }
        break;
      case 4:  // mark
        archive->Mark();
        atMark = model;
        marked = true;
        break;
      case 5: {  // rollback
        const bool rolled = archive->Rollback();
        Check(rolled == marked, "rollback answered " + std::to_string(rolled));
        if (rolled) model = atMark;
        marked = rolled;
        break;
      }
      case 6:  // compact
        if (model.empty()) break;  // see below
        Check(archive->Compact(), "compact failed: " + archive->ErrorMessage());
        marked = false;
        break;
      // Writing the directory of an empty archive gives it its placeholder
      // entry, which the model leaves out: those steps wait for an entry.
      case 7:  // comment or flush
        if (in.Flag() || model.empty()) {
          Check(archive->SetComment(in.Bytes(200)), "comment refused");
        } else {
          Check(archive->Flush(), "flush failed: " + archive->ErrorMessage());
        }
        break;
      case 8:  // close and reopen
        if (model.empty()) break;
        Check(archive->Close(), "close failed: " + archive->ErrorMessage());
        archive = std::make_unique<ZipArchive>();
        Check(archive->Open(FolderItem(path), true), "reopen failed: " + archive->ErrorMessage());
        CheckArchive(*archive, model);
        marked = false;
        break;
    }
  }
  Check(archive->Close(), "close failed: " + archive->ErrorMessage());
  archive = std::make_unique<ZipArchive>();
  Check(archive->Open(FolderItem(path), false), "reopen failed: " + archive->ErrorMessage());
  CheckArchive(*archive, model);
  return 0;
}
