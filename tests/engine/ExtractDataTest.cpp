// Getting an entry's data out: stored and deflated data, the checks against
// the headers and the CRC-32, and the MacBinary split into forks.
#include <gtest/gtest.h>

#include <functional>

#include "engine/ExtractSupport.h"
#include "engine/ZipFormat.h"
#include "engine/ZipProgressNotifier.h"

namespace {

using extracttest::MacBinaryFields;
using extracttest::MacBinaryStream;
using extracttest::MemoryOutput;
using extracttest::OpenArchive;
using extracttest::RawDeflate;

const char kCorrupted[] = "Data appears to be corrupted";
const char kMismatch[] = "File Headers mismatch";

// An entry of `data`, stored or deflated.
ziptest::Entry entryOf(const std::string& name, const std::string& data, uint16_t method) {
  ziptest::Entry e{.name = name, .data = data, .method = method};
  if (method == 8) {
    e.data = RawDeflate(data);
    e.crc = ziptest::Crc32(data);
    e.size = static_cast<uint32_t>(data.size());
  }
  return e;
}

std::string text(size_t n) {
  std::string s;
  while (s.size() < n) s += "The quick brown fox jumps over the lazy dog " + std::to_string(s.size());
  s.resize(n);
  return s;
}

std::string methodName(const ::testing::TestParamInfo<uint16_t>& method) {
  return method.param == 0 ? "Stored" : "Deflated";
}

// --- Plain data, both methods ------------------------------------------------

class BothMethods : public ::testing::TestWithParam<uint16_t> {};
INSTANTIATE_TEST_SUITE_P(Methods, BothMethods, ::testing::Values(0, 8),
                         methodName);

TEST_P(BothMethods, DataComesOutWhole) {
  const std::vector<std::string> contents = {"", "hello", text(16384), text(16385),
                                             extracttest::Noise(100000), text(300000)};
  ziptest::Archive a;
  for (size_t i = 0; i < contents.size(); ++i) {
    a.entries.push_back(entryOf("f" + std::to_string(i), contents[i], GetParam()));
  }
  OpenArchive z(a);
  for (size_t i = 0; i < contents.size(); ++i) {
    ZipEntryPtr e = z.Entry(static_cast<int32_t>(i + 1));
    auto out = std::make_shared<MemoryOutput>();
    MemoryBlockPtr header;
    EXPECT_TRUE(e->Extract(false, out, nullptr, header)) << i << ": " << e->ErrorMessage();
    EXPECT_EQ(out->bytes, contents[i]) << i;
    EXPECT_FALSE(out->open);
    EXPECT_EQ(header, nullptr);
    EXPECT_TRUE(e->Verify()) << i << ": " << e->ErrorMessage();
  }
}

TEST_P(BothMethods, EveryFlippedDataByteFailsTheTest) {
  const std::string data = text(400);
  ziptest::Archive a;
  a.entries.push_back(entryOf("f", data, GetParam()));
  ziptest::Built b = a.Build();
  const size_t dataAt = 30 + 1;
  const size_t dataLength = a.entries[0].data.size();
  for (size_t i = 0; i < dataLength; ++i) {
    std::string bytes = b.bytes;
    bytes[dataAt + i] = static_cast<char>(bytes[dataAt + i] ^ 0xFF);
    OpenArchive z(bytes);
    ZipEntryPtr e = z.Entry(1);
    EXPECT_FALSE(e->Verify()) << "byte " << i;
    EXPECT_FALSE(e->ErrorMessage().empty());
  }
}

// --- Checks ------------------------------------------------------------------

struct CheckCase {
  const char* label;
  ziptest::Entry entry;
  // Changes the built bytes; the case's entry is the second.
  std::function<void(ziptest::Built&)> patch;
  bool ok;
  std::string message;
};

std::vector<CheckCase> checkCases() {
  const std::string data = text(5000);
  const std::string deflated = RawDeflate(data);
  const uint32_t crc = ziptest::Crc32(data);
  const auto size = static_cast<uint32_t>(data.size());
  auto deflatedEntry = [&](uint32_t entryCrc, uint32_t entrySize) {
    return ziptest::Entry{
        .name = "f", .data = deflated, .method = 8, .crc = entryCrc, .size = entrySize};
  };
  auto none = [](ziptest::Built&) {};
  auto centralFlags = [](uint16_t flags) {
    return [flags](ziptest::Built& b) {
      ziptest::Put16(b.bytes, b.recordOffsets[1] + ziptest::at::kRecFlags, flags);
    };
  };
  auto local16 = [](size_t at, uint16_t v) {
    return [at, v](ziptest::Built& b) { ziptest::Put16(b.bytes, b.localOffsets[1] + at, v); };
  };
  auto local32 = [](size_t at, uint32_t v) {
    return [at, v](ziptest::Built& b) { ziptest::Put32(b.bytes, b.localOffsets[1] + at, v); };
  };
  namespace lh = zipformat::local;
  return {
      {"DeflatedCrcMismatch", deflatedEntry(crc ^ 1, size), none, false,
       "An error -3 occured while deflation"},
      {"DeflatedSizeLargerThanData", deflatedEntry(crc, size + 10), none, false,
       "An error -3 occured while deflation"},
      {"DeflatedSizeSmallerThanData", deflatedEntry(crc, size - 10), none, false, kCorrupted},
      {"DeflatedDataCutShort",
       ziptest::Entry{.name = "f", .data = deflated.substr(0, deflated.size() / 2), .method = 8,
                      .crc = crc, .size = size},
       none, false, "An error -1 occured while deflation"},
      {"StoredCrcMismatch", ziptest::Entry{.name = "f", .data = data, .crc = crc ^ 0x80000000},
       none, false, kCorrupted},
      {"StoredSizeLargerThanStoredBytes", ziptest::Entry{.name = "f", .data = data, .size = size + 1},
       none, false, kCorrupted},
      {"StoredSizeSmallerThanStoredBytes",
       ziptest::Entry{.name = "f", .data = data, .size = size - 1}, none, false, kCorrupted},
      {"LocalMethodDiffers", deflatedEntry(crc, size), local16(lh::kMethod, 0), false, kMismatch},
      {"LocalCrcDiffers", deflatedEntry(crc, size), local32(lh::kCRC, crc + 1), false, kMismatch},
      {"LocalCompressedSizeDiffers", deflatedEntry(crc, size),
       local32(lh::kCompressedSize, static_cast<uint32_t>(deflated.size() - 1)), false, kMismatch},
      {"LocalSizeDiffers", deflatedEntry(crc, size), local32(lh::kUncompressedSize, size - 1), false,
       kMismatch},
      {"LocalFlagsDiffer", deflatedEntry(crc, size), local16(lh::kFlags, 2), false, kMismatch},
      {"CentralHasBit3LocalHasOtherFlags", deflatedEntry(crc, size),
       [&](ziptest::Built& b) {
         centralFlags(8)(b);
         local16(lh::kFlags, 2)(b);
       },
       false, kMismatch},
      {"Encrypted", ziptest::Entry{.name = "f", .data = data, .flags = 1}, none, false,
       "Unsupported format (encrypted)"},
      {"UnknownMethod", ziptest::Entry{.name = "f", .data = data, .method = 12}, none, false,
       "Unsupported compression method (12)"},
      {"BadLocalSignature", deflatedEntry(crc, size), local32(0, 0x08074B50), false,
       "Invalid Local File Header signature (archive appears to be severely corrupted)"},
      {"LocalHeaderPastTheEnd", deflatedEntry(crc, size),
       [](ziptest::Built& b) {
         ziptest::Put32(b.bytes, b.recordOffsets[1] + ziptest::at::kRecLocalOffset, 0x7FFFFFF0);
       },
       false, "Invalid Local File Header signature (archive appears to be severely corrupted)"},
      // A fake duplicate: the central record has bit 3, the local header the
      // same flags without it.
      {"FakeDuplicate", deflatedEntry(crc, size), centralFlags(8), true, ""},
      // Sizes and CRC behind the data: the local header has zeros.
      {"LocalBit3", ziptest::Entry{.name = "f", .data = deflated, .method = 8, .flags = 8, .crc = crc,
                                   .size = size},
       [&](ziptest::Built& b) {
         local32(lh::kCRC, 0)(b);
         local32(lh::kCompressedSize, 0)(b);
         local32(lh::kUncompressedSize, 0)(b);
       },
       true, ""},
  };
}

TEST(ExtractChecks, EachCaseGivesItsResult) {
  for (const CheckCase& c : checkCases()) {
    SCOPED_TRACE(c.label);
    ziptest::Archive a;
    // The archive must start with a sound local header to open at all.
    a.entries.push_back(ziptest::Entry{.name = "first", .data = "x"});
    a.entries.push_back(c.entry);
    ziptest::Built b = a.Build();
    c.patch(b);
    OpenArchive z(b.bytes);
    ZipEntryPtr e = z.Entry(2);
    EXPECT_EQ(e->Verify(), c.ok);
    EXPECT_EQ(e->ErrorMessage(), c.message);
    auto out = std::make_shared<MemoryOutput>();
    MemoryBlockPtr header;
    EXPECT_EQ(e->Extract(false, out, nullptr, header), c.ok);
    if (c.ok) {
      EXPECT_EQ(out->bytes, text(5000));
    }
  }
}

TEST(ExtractChecks, ArchiveEndingInsideTheDataIsCorruption) {
  const std::string data = text(300000);
  ziptest::Archive a;
  a.entries.push_back(entryOf("f", data, 0));
  ziptest::Built b = a.Build();
  OpenArchive z(b.bytes);
  // The file shrinks under the open archive, cutting the entry's data (far
  // from the directory, which the stream may still hold in its buffer).
  std::filesystem::resize_file(z.path(), 30 + 1 + 100000);
  ZipEntryPtr e = z.Entry(1);
  EXPECT_FALSE(e->Verify());
  EXPECT_EQ(e->ErrorMessage(), kCorrupted);
}

TEST(ExtractChecks, ClosedArchiveAndMisuse) {
  ziptest::Archive a;
  a.entries.push_back(entryOf("f", "data", 0));
  OpenArchive z(a);
  ZipEntryPtr e = z.Entry(1);
  MemoryBlockPtr header = MemoryBlock::Make(1);
  EXPECT_FALSE(e->Extract(false, nullptr, nullptr, header));
  EXPECT_EQ(e->ErrorMessage(), "Internal error (exception)");
  EXPECT_EQ(header, nullptr);
  z.archive.Close();
  EXPECT_FALSE(e->Verify());
  EXPECT_EQ(e->ErrorMessage(), "Archive is closed");
}

TEST(ExtractChecks, OutputFailuresAreReported) {
  ziptest::Archive a;
  a.entries.push_back(entryOf("plain", text(40000), 8));
  a.entries.push_back(entryOf("mac", MacBinaryStream("data", "rsrc"), 8));
  OpenArchive z(a);
  MemoryBlockPtr header;
  {
    auto out = std::make_shared<MemoryOutput>();
    out->failOpen = true;
    EXPECT_FALSE(z.Entry(1)->Extract(false, out, nullptr, header));
    EXPECT_EQ(z.Entry(1)->ErrorMessage(), "Opening destination file failed");
  }
  {
    auto out = std::make_shared<MemoryOutput>();
    out->failWrites = true;
    EXPECT_FALSE(z.Entry(1)->Extract(false, out, nullptr, header));
    EXPECT_EQ(z.Entry(1)->ErrorMessage(), "File write error (disk full?)");
  }
  {
    auto out = std::make_shared<MemoryOutput>();
    auto rsrc = std::make_shared<MemoryOutput>();
    rsrc->failOpen = true;
    EXPECT_FALSE(z.Entry(2)->Extract(true, out, rsrc, header));
    EXPECT_EQ(z.Entry(2)->ErrorMessage(), "Opening destination rsrc fork failed");
  }
}

// --- MacBinary ---------------------------------------------------------------

struct SplitCase {
  const char* label;
  std::string stream;
  bool macBinary;
  bool mb1Detection;
  bool ok;
  std::string data;  // what the data output gets
  std::string rsrc;  // what the resource output gets
  bool rsrcOpened;
  bool header;  // a header comes back
};

std::vector<SplitCase> splitCases() {
  const std::string bigData = extracttest::Noise(40000, 7);
  const std::string bigRsrc = extracttest::Noise(20000, 9);
  MacBinaryFields badCrc;
  std::string mb1 = MacBinaryStream("old data", "old rsrc");
  mb1[2] ^= 1;  // a name byte: the CRC no longer matches
  std::string mb1LongName = MacBinaryStream("x", "y", MacBinaryFields{.name = std::string(40, 'n')});
  mb1LongName[2] ^= 1;
  const std::string tooLarge =
      MacBinaryStream("abc", "def").substr(0, 128) + std::string(128, '\0');
  std::string exactly128 = extracttest::MacBinaryHeader(MacBinaryFields{.dataLength = 10})->ToString();
  const std::string mac = MacBinaryStream("0123456789", std::string(300, 'r'));
  return {
      {"DataAndResourceFork", mac, true, false, true, "0123456789", std::string(300, 'r'), true,
       true},
      {"NoDataFork", MacBinaryStream("", "resource only"), true, false, true, "", "resource only",
       true, true},
      {"NoResourceFork", MacBinaryStream("data only", ""), true, false, true, "data only", "", false,
       true},
      {"ForksLargerThanAChunk", MacBinaryStream(bigData, bigRsrc), true, false, true, bigData,
       bigRsrc, true, true},
      {"SplittingOff", mac, false, false, true, mac, "", false, false},
      {"ShorterThanAHeader", "short", true, false, true, "short", "", false, false},
      {"NoRecognisedHeader", mb1, true, false, true, mb1, "", false, false},
      {"MacBinaryIWhenAsked", mb1, true, true, true, "old data", "old rsrc", true, true},
      {"MacBinaryINeedsAShortName", mb1LongName, true, true, true, mb1LongName, "", false, false},
      {"HeaderClaimsMoreThanTheEntry", tooLarge, true, false, false, "", "", false, true},
      {"HeaderOnlyEntryClaimingData", exactly128, true, false, false, "", "", false, true},
  };
}

class MacBinarySplit : public ::testing::TestWithParam<uint16_t> {};
INSTANTIATE_TEST_SUITE_P(Methods, MacBinarySplit, ::testing::Values(0, 8),
                         methodName);

TEST_P(MacBinarySplit, EachRegionGoesWhereItBelongs) {
  for (const SplitCase& c : splitCases()) {
    SCOPED_TRACE(c.label);
    ziptest::Archive a;
    a.entries.push_back(entryOf("entry", c.stream, GetParam()));
    OpenArchive z(a);
    ZipEntryPtr e = z.Entry(1);
    e->EnableMacBinary1Detection(c.mb1Detection);
    auto data = std::make_shared<MemoryOutput>();
    auto rsrc = std::make_shared<MemoryOutput>();
    MemoryBlockPtr header;
    EXPECT_EQ(e->Extract(c.macBinary, data, rsrc, header), c.ok) << e->ErrorMessage();
    EXPECT_EQ(header != nullptr, c.header);
    if (!c.ok) {
      EXPECT_EQ(e->ErrorMessage(), kCorrupted);
      continue;
    }
    EXPECT_EQ(data->bytes, c.data);
    EXPECT_EQ(rsrc->bytes, c.rsrc);
    EXPECT_EQ(rsrc->opens, c.rsrcOpened ? 1 : 0);
    EXPECT_FALSE(data->open);
    EXPECT_FALSE(rsrc->open);
    if (header) {
      EXPECT_EQ(header->ToString(), c.stream.substr(0, 128));
    }
  }
}

TEST_P(MacBinarySplit, HeaderOnlyReadsTheHeader) {
  const std::string mac = MacBinaryStream("0123456789", "rsrc");
  std::string plain = mac;
  plain[0] = 1;  // no longer a header
  ziptest::Archive a;
  a.entries.push_back(entryOf("mac", mac, GetParam()));
  a.entries.push_back(entryOf("plain", plain, GetParam()));
  a.entries.push_back(entryOf("short", "tiny", GetParam()));
  OpenArchive z(a);
  struct {
    int32_t index;
    bool found;
  } cases[] = {{1, true}, {2, false}, {3, false}};
  for (const auto& c : cases) {
    ZipEntryPtr e = z.Entry(c.index);
    // Leave a message behind first: a header search clears it.
    MemoryBlockPtr header;
    e->Extract(false, nullptr, nullptr, header);
    ASSERT_FALSE(e->ErrorMessage().empty());
    EXPECT_EQ(e->GetMacBinaryHeader(header), c.found) << c.index;
    EXPECT_EQ(e->ErrorMessage(), "");
    EXPECT_EQ(header != nullptr, c.found);
    if (header) {
      EXPECT_EQ(header->ToString(), mac.substr(0, 128));
    }
  }
}

TEST(MacBinarySplitChecks, StoredMacBinaryEntryIsCheckedAgainstItsCrc) {
  const std::string mac = MacBinaryStream("0123456789", "rsrc");
  ziptest::Archive a;
  a.entries.push_back(ziptest::Entry{.name = "mac", .data = mac, .crc = ziptest::Crc32(mac) ^ 1});
  OpenArchive z(a);
  auto data = std::make_shared<MemoryOutput>();
  auto rsrc = std::make_shared<MemoryOutput>();
  MemoryBlockPtr header;
  EXPECT_FALSE(z.Entry(1)->Extract(true, data, rsrc, header));
  EXPECT_EQ(z.Entry(1)->ErrorMessage(), kCorrupted);
}

TEST(MacBinarySplitChecks, LocalBit3SizesDecideWhetherAHeaderFits) {
  // The local header says 0 bytes; the central record knows better.
  const std::string mac = MacBinaryStream("0123456789", "rsrc");
  ziptest::Archive a;
  a.entries.push_back(ziptest::Entry{.name = "mac", .data = mac, .flags = 8});
  ziptest::Built b = a.Build();
  ziptest::Put32(b.bytes, zipformat::local::kCRC, 0);
  ziptest::Put32(b.bytes, zipformat::local::kCompressedSize, 0);
  ziptest::Put32(b.bytes, zipformat::local::kUncompressedSize, 0);
  OpenArchive z(b.bytes);
  auto data = std::make_shared<MemoryOutput>();
  auto rsrc = std::make_shared<MemoryOutput>();
  MemoryBlockPtr header;
  EXPECT_TRUE(z.Entry(1)->Extract(true, data, rsrc, header)) << z.Entry(1)->ErrorMessage();
  EXPECT_EQ(data->bytes, "0123456789");
  EXPECT_EQ(rsrc->bytes, "rsrc");
}

}  // namespace

// --- Progress ----------------------------------------------------------------

namespace {

class Recorder : public ZipProgressNotifier {
 public:
  void ReportProgress(ZipEntry&, int32_t total, int32_t done, bool& abort) override {
    calls.emplace_back(total, done);
    if (abortAt >= 0 && done >= abortAt) abort = true;
  }
  std::vector<std::pair<int32_t, int32_t>> calls;
  int32_t abortAt = -1;
};

TEST(ExtractProgress, ReportsEveryChunkAndStopsWhenAsked) {
  const std::string data = text(40000);
  ziptest::Archive a;
  a.entries.push_back(entryOf("f", data, 8));
  OpenArchive z(a);
  auto recorder = std::make_shared<Recorder>();
  z.archive.SetProgressMonitor(recorder);
  ZipEntryPtr e = z.Entry(1);
  ASSERT_TRUE(e->Verify());
  using Call = std::pair<int32_t, int32_t>;
  EXPECT_EQ(recorder->calls,
            (std::vector<Call>{{40000, 0}, {40000, 16384}, {40000, 32768}, {40000, 40000}}));

  recorder->calls.clear();
  recorder->abortAt = 16384;
  auto out = std::make_shared<MemoryOutput>();
  MemoryBlockPtr header;
  EXPECT_FALSE(e->Extract(false, out, nullptr, header));
  EXPECT_EQ(e->ErrorMessage(), "Aborted");
  EXPECT_EQ(out->bytes.size(), 16384u);
  EXPECT_EQ(recorder->calls, (std::vector<Call>{{40000, 0}, {40000, 16384}, {40000, 40000}}));
  // Reading a header reports nothing.
  recorder->calls.clear();
  e->GetMacBinaryHeader(header);
  EXPECT_TRUE(recorder->calls.empty());
}

}  // namespace
