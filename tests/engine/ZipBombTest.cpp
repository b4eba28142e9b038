// Archives made to fill the disk: entries whose data holds other entries
// (records pointing into one shared deflate stream), and entries claiming
// more than their compressed data can expand to. Such entries are refused
// before anything is written; the rest of the archive still extracts.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "engine/ExtractSupport.h"
#include "engine/OverlapBytes.h"
#include "engine/WriteTestSupport.h"
#include "engine/ZipFormat.h"

namespace fs = std::filesystem;

namespace {

using extracttest::MemoryOutput;
using extracttest::OpenArchive;
using extracttest::RawDeflate;
using overlaptest::Record;

const char kOverlap[] = "Entry overlaps another entry's data (possible zip bomb)";
const char kImpossibleSize[] =
    "Entry's size is more than its compressed data can expand to (possible zip bomb)";
const char kCorrupted[] = "Data appears to be corrupted";

std::string text(size_t n) {
  std::string s;
  while (s.size() < n) s += "all work and no play " + std::to_string(s.size()) + "\n";
  s.resize(n);
  return s;
}

ZipEntryPtr entryNamed(const ZipArchive& archive, const std::string& name) {
  for (int32_t i = 1; i <= archive.EntryCount(); ++i) {
    if (archive.Entry(i)->RawPath() == name) return archive.Entry(i);
  }
  ADD_FAILURE() << name << " not in the archive";
  return nullptr;
}

// --- Entries pointing into each other ------------------------------------------

// What an entry must give: its contents, or the failure's message.
struct Outcome {
  std::string name;
  std::string contents;
  std::string message;  // empty: extracts to `contents`
};

struct LayoutCase {
  const char* label;
  std::function<std::string()> bytes;
  std::vector<Outcome> outcomes;
};

const std::string kPlain = text(200000);

// Four chained entries and a fake duplicate of the last, which the chain
// shares with the others: the central record has bit 3, the local header
// the same flags without it.
std::string chainArchive(bool backwards) {
  overlaptest::Chain c = overlaptest::OverlappingChain(4, RawDeflate(kPlain), kPlain);
  std::vector<Record> records = c.records;
  Record dup = records.back();
  dup.name = "dup";
  dup.flags = zipformat::kFlagDataDescriptor;
  records.push_back(dup);
  if (backwards) std::reverse(records.begin(), records.end());
  return c.body + overlaptest::Directory(records, c.body.size());
}

// A stored entry whose data holds a whole local header and its data, and a
// second record pointing there.
std::string recordIntoStoredEntry() {
  Record inner{.name = "inner", .crc = ziptest::Crc32("inner data"), .compressed = 10, .size = 10};
  const std::string innerBytes = overlaptest::LocalHeader(inner) + "inner data";
  const std::string outerData = "lead-in" + innerBytes + "trailer";
  Record outer{.name = "outer", .crc = ziptest::Crc32(outerData),
               .compressed = static_cast<uint32_t>(outerData.size()),
               .size = static_cast<uint32_t>(outerData.size())};
  inner.offset = static_cast<uint32_t>(30 + outer.name.size() + 7);
  const std::string body = overlaptest::LocalHeader(outer) + outerData;
  return body + overlaptest::Directory({outer, inner}, body.size());
}

// Deflated entries whose sizes and CRC follow the data in a descriptor, as
// streaming writers make them: the next header comes behind the descriptor.
std::string dataDescriptorEntries() {
  std::string body;
  std::vector<Record> records;
  for (const std::string& contents : {std::string("one"), std::string(), text(70000)}) {
    Record r{.name = "d" + std::to_string(records.size()), .method = 8,
             .flags = zipformat::kFlagDataDescriptor, .crc = ziptest::Crc32(contents),
             .size = static_cast<uint32_t>(contents.size()),
             .offset = static_cast<uint32_t>(body.size())};
    const std::string data = RawDeflate(contents);
    r.compressed = static_cast<uint32_t>(data.size());
    Record zeros{.name = r.name, .method = 8, .flags = r.flags};
    body += overlaptest::LocalHeader(zeros) + data + ziptest::Le32(0x08074B50) +
            ziptest::Le32(r.crc) + ziptest::Le32(r.compressed) + ziptest::Le32(r.size);
    records.push_back(r);
  }
  return body + overlaptest::Directory(records, body.size());
}

// Entries without data, one header right behind the other: the ranges touch
// and don't overlap.
std::string adjacentEmptyEntries() {
  std::string body;
  std::vector<Record> records;
  for (const char* name : {"e0", "e1/", "e2", "e3"}) {
    Record r{.name = name, .crc = 0, .offset = static_cast<uint32_t>(body.size())};
    body += overlaptest::LocalHeader(r);
    records.push_back(r);
  }
  return body + overlaptest::Directory(records, body.size());
}

std::vector<LayoutCase> layoutCases() {
  const std::vector<Outcome> chain = {
      {"f0", "", kOverlap}, {"f1", "", kOverlap}, {"f2", "", kOverlap},
      {"f3", kPlain, ""},   {"dup", kPlain, ""},
  };
  return {
      {"ChainInListOrder", [] { return chainArchive(false); }, chain},
      {"ChainListedBackwards", [] { return chainArchive(true); }, chain},
      {"RecordIntoStoredEntry", recordIntoStoredEntry,
       {{"outer", "", kOverlap}, {"inner", "inner data", ""}}},
      {"DataDescriptorEntries", dataDescriptorEntries,
       {{"d0", "one", ""}, {"d1", "", ""}, {"d2", text(70000), ""}}},
      {"AdjacentEmptyEntries", adjacentEmptyEntries,
       {{"e0", "", ""}, {"e2", "", ""}, {"e3", "", ""}}},
  };
}

TEST(Overlap, EntriesHoldingOtherEntriesAreRefusedAndTheRestExtract) {
  for (const LayoutCase& c : layoutCases()) {
    SCOPED_TRACE(c.label);
    OpenArchive z(c.bytes());
    const fs::path out = z.dir() / "out";
    fs::create_directories(out);
    for (const Outcome& o : c.outcomes) {
      SCOPED_TRACE(o.name);
      ZipEntryPtr e = entryNamed(z.archive, o.name);
      ASSERT_NE(e, nullptr);
      const bool ok = o.message.empty();
      EXPECT_EQ(e->Verify(), ok);
      EXPECT_EQ(e->ErrorMessage(), o.message);

      auto stream = std::make_shared<MemoryOutput>();
      MemoryBlockPtr header;
      EXPECT_EQ(e->Extract(false, stream, nullptr, header), ok);
      EXPECT_EQ(stream->opens, ok ? 1 : 0) << "a refused entry opens no output";
      // Compared without printing them: a failure can mean megabytes.
      EXPECT_TRUE(stream->bytes == o.contents) << stream->bytes.size() << " bytes";

      const FolderItem file(out / o.name);
      EXPECT_EQ(e->Extract(file), ok) << e->ErrorMessage();
      EXPECT_EQ(fs::exists(file.Path()), ok);
      if (ok) {
        EXPECT_TRUE(testsupport::ReadFile(file.Path()) == o.contents);
      }
    }
  }
}

TEST(Overlap, EveryChainedEntryIsSoundOnItsOwn) {
  // So it is the overlap that refuses them above, not a fault of the chain.
  overlaptest::Chain c = overlaptest::OverlappingChain(4, RawDeflate(kPlain), kPlain);
  for (size_t i = 0; i < c.records.size(); ++i) {
    SCOPED_TRACE(i);
    OpenArchive z(c.body + overlaptest::Directory({c.records[i]}, c.body.size()));
    ZipEntryPtr e = z.Entry(1);
    auto stream = std::make_shared<MemoryOutput>();
    MemoryBlockPtr header;
    EXPECT_TRUE(e->Extract(false, stream, nullptr, header)) << e->ErrorMessage();
    EXPECT_EQ(stream->bytes, c.contents[i]);
  }
}

TEST(Overlap, ChangedEntryListsAreSeenAfresh) {
  using writetest::AddBytes;
  testsupport::TempDir dir;
  const FolderItem zip(dir / "a.zip");
  const std::string big = writetest::NoiseBytes(5000);
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(zip, true));
    ASSERT_EQ(AddBytes(a, "a", "first"), 1);
    ASSERT_EQ(AddBytes(a, "b", "second"), 2);
    ASSERT_EQ(AddBytes(a, "c", big), 3);
    ASSERT_TRUE(a.Close());
  }
  ZipArchive a;
  ASSERT_TRUE(a.Open(zip, true));
  ASSERT_TRUE(a.RemoveEntry(2));
  // Learns where the entries lie now.
  ASSERT_TRUE(a.Entry(1)->Verify());
  // "c" moves to where "b" was, over the place its own header had.
  ASSERT_TRUE(a.Compact()) << a.ErrorMessage();
  EXPECT_TRUE(a.Entry(2)->Verify()) << a.Entry(2)->ErrorMessage();
  // A fake duplicate shares its entry's header, which is no overlap.
  ASSERT_EQ(a.AddFakeDuplicate(a.Entry(2), "c again", std::nullopt, nullptr), 3);
  ASSERT_EQ(AddBytes(a, "d", "fourth"), 4);
  for (int32_t i = 1; i <= a.EntryCount(); ++i) {
    EXPECT_TRUE(a.Entry(i)->Verify()) << i << ": " << a.Entry(i)->ErrorMessage();
  }
  ASSERT_TRUE(a.Close());

  ASSERT_TRUE(a.Open(zip, false));
  const std::map<std::string, std::string> expected = {
      {"a", "first"}, {"c", big}, {"c again", big}, {"d", "fourth"}};
  ASSERT_EQ(a.EntryCount(), 4);
  for (int32_t i = 1; i <= a.EntryCount(); ++i) {
    ZipEntryPtr e = a.Entry(i);
    auto stream = std::make_shared<MemoryOutput>();
    MemoryBlockPtr header;
    EXPECT_TRUE(e->Extract(false, stream, nullptr, header)) << i << ": " << e->ErrorMessage();
    EXPECT_EQ(stream->bytes, expected.at(e->RawPath()));
  }
}

// --- Sizes the data can't reach ----------------------------------------------

struct SizeCase {
  const char* label;
  ziptest::Entry entry;
  std::string contents;  // what a sound entry extracts to
  std::string message;   // empty: the entry is sound
  // Refused before the destination is opened, so a file already there stays.
  bool keepsExistingFile;
};

std::vector<SizeCase> sizeCases() {
  const std::string zeros(1 << 20, '\0');
  const std::string manyZeros(8 << 20, '\0');
  const std::string densest = RawDeflate(manyZeros, 9, 9);
  // Close to deflate's bound, so that the check is shown to leave room for
  // the densest streams there are.
  EXPECT_GT(manyZeros.size() / densest.size(), 1025u);
  return {
      {"SizeFarBeyondTheStream",
       {.name = "f", .data = RawDeflate(zeros), .method = 8, .size = 0xFFFFFFF0},
       "", kImpossibleSize, true},
      // The sizes come from the record when the local header defers them.
      {"SizeFarBeyondTheStreamInTheRecord",
       {.name = "f", .data = std::string("\x03\x00", 2), .method = 8,
        .flags = zipformat::kFlagDataDescriptor, .size = 10000000},
       "", kImpossibleSize, true},
      // The extraction stops at the size and fails: the file is gone, and no
      // more than the size was written.
      {"StreamRunsPastItsSize",
       {.name = "f", .data = RawDeflate(zeros), .method = 8, .crc = ziptest::Crc32(zeros.substr(0, 1000)),
        .size = 1000},
       "", kCorrupted, false},
      {"DensestStreamExtracts",
       {.name = "f", .data = densest, .method = 8, .crc = ziptest::Crc32(manyZeros),
        .size = static_cast<uint32_t>(manyZeros.size())},
       manyZeros, "", false},
  };
}

TEST(ImpossibleSizes, AreRefusedBeforeAnythingIsWritten) {
  for (const SizeCase& c : sizeCases()) {
    SCOPED_TRACE(c.label);
    ziptest::Archive a;
    a.entries.push_back({.name = "first", .data = "x"});
    a.entries.push_back(c.entry);
    OpenArchive z(a);
    ZipEntryPtr e = z.Entry(2);
    const bool ok = c.message.empty();
    EXPECT_EQ(e->Verify(), ok);
    EXPECT_EQ(e->ErrorMessage(), c.message);

    auto stream = std::make_shared<MemoryOutput>();
    MemoryBlockPtr header;
    EXPECT_EQ(e->Extract(false, stream, nullptr, header), ok);
    EXPECT_EQ(stream->opens, c.keepsExistingFile ? 0 : 1);
    EXPECT_LE(stream->bytes.size(), static_cast<uint32_t>(e->Size()));
    if (ok) {
      EXPECT_TRUE(stream->bytes == c.contents);
    }

    const fs::path path = z.dir() / "out";
    testsupport::WriteFile(path, "what was there");
    EXPECT_EQ(e->Extract(FolderItem(path)), ok);
    if (ok) {
      EXPECT_TRUE(testsupport::ReadFile(path) == c.contents);
    } else if (c.keepsExistingFile) {
      EXPECT_EQ(testsupport::ReadFile(path), "what was there");
    } else {
      EXPECT_FALSE(fs::exists(path));
    }
    fs::remove(path);
    EXPECT_EQ(e->Extract(FolderItem(path)), ok);
    EXPECT_EQ(fs::exists(path), ok);
  }
}

}  // namespace
