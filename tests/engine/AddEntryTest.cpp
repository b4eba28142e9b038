// Adding entries through the compression pipeline: what lands in the local
// header, the record and the data, and what a failed or refused add leaves
// behind.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>

#include "engine/ZipFormat.h"
#include "engine/WriteTestSupport.h"
#include "platform/Exceptions.h"

using namespace writetest;

namespace {

const std::string kReadOnly = "Archive was opened read-only";
const std::string kReadError = "Read error, the archived item may be corrupted";

class AddEntry : public ::testing::Test {
 protected:
  std::filesystem::path zip() const { return tmp / "a.zip"; }
  std::string bytes() const { return testsupport::ReadFile(zip()); }

  // An archive with two entries, closed.
  void makeTwoEntries() {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    ASSERT_EQ(AddBytes(a, "one.txt", TextBytes(3000)), 1) << a.ErrorMessage();
    ASSERT_EQ(AddBytes(a, "two.bin", NoiseBytes(5000)), 2) << a.ErrorMessage();
    ASSERT_TRUE(a.Close()) << a.ErrorMessage();
  }
  void expectTwoEntries() {
    ExpectOtherToolsAgree(zip(), {{"one.txt", TextBytes(3000)}, {"two.bin", NoiseBytes(5000)}});
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), false)) << a.ErrorMessage();
    ASSERT_EQ(a.EntryCount(), 2);
    EXPECT_EQ(a.Entry(1)->RawPath(), "one.txt");
    EXPECT_EQ(a.Entry(2)->RawPath(), "two.bin");
  }

  testsupport::TempDir tmp;
};

TEST_F(AddEntry, WritesEntriesThatEveryToolReadsBack) {
  const std::string text = TextBytes(100000);
  const std::string noise = NoiseBytes(40000);
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    EXPECT_EQ(AddBytes(a, "empty.txt", ""), 1);
    EXPECT_EQ(AddBytes(a, "one.txt", "x"), 2);
    EXPECT_EQ(AddBytes(a, "docs/text.txt", text, Date::FromComponents(2024, 1, 2, 13, 45, 11)), 3);
    EXPECT_EQ(AddBytes(a, "noise.bin", noise), 4);
    EXPECT_EQ(a.AddItemByStreams(nullptr, 0, nullptr, 0, nullptr, "docs/", nullptr, std::nullopt),
              5);
    ASSERT_TRUE(a.Close()) << a.ErrorMessage();
  }
  const std::string b = bytes();
  const Layout l = ReadLayout(b);
  ASSERT_EQ(l.entries.size(), 5u);
  for (const RecordPair& r : l.entries) {
    // The local header and the record agree on everything they share.
    EXPECT_EQ(r.localFlags, r.centralFlags) << r.name;
    EXPECT_EQ(r.localMethod, r.centralMethod) << r.name;
    EXPECT_EQ(r.localTimeDate, r.centralTimeDate) << r.name;
    EXPECT_EQ(r.localCRC, r.centralCRC) << r.name;
    EXPECT_EQ(r.localCompressed, r.centralCompressed) << r.name;
    EXPECT_EQ(r.localSize, r.centralSize) << r.name;
  }
  // Empty entries are stored, everything else deflated, whatever it holds.
  EXPECT_EQ(l.entries[0].centralMethod, 0);
  EXPECT_EQ(l.entries[0].centralCRC, 0u);
  EXPECT_EQ(l.entries[0].centralCompressed, 0u);
  EXPECT_EQ(l.entries[4].centralMethod, 0);
  EXPECT_EQ(l.entries[1].centralMethod, 8);
  EXPECT_EQ(l.entries[3].centralMethod, 8);
  // 2024-01-02 13:45:11 is stored with 10 seconds.
  EXPECT_EQ(l.entries[2].centralTimeDate,
            uint32_t{(2024 - 1980) << 9 | 1 << 5 | 2} << 16 | (13 << 11 | 45 << 5 | 5));
  // The compressed size leaves out the gzip trailer: the next local header
  // follows the data directly.
  for (size_t i = 0; i + 1 < l.entries.size(); ++i) {
    const RecordPair& r = l.entries[i];
    EXPECT_EQ(l.entries[i + 1].localOffset,
              r.localOffset + 30 + r.name.size() + r.localExtra.size() + r.centralCompressed);
  }
  EXPECT_EQ(l.entries[0].localOffset, 0u);
  ExpectOtherToolsAgree(zip(), {{"empty.txt", ""},
                                {"one.txt", "x"},
                                {"docs/text.txt", text},
                                {"noise.bin", noise}});
}

TEST_F(AddEntry, StoresNamesWithoutOneLeadingSlash) {
  const struct {
    std::string given, stored;
  } cases[] = {{"a.txt", "a.txt"}, {"/b.txt", "b.txt"}, {"//c.txt", "/c.txt"}, {"/", "/"}};
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  for (const auto& c : cases) {
    const int32_t index = AddBytes(a, c.given, "");
    ASSERT_GT(index, 0) << c.given;
    EXPECT_EQ(a.Entry(index)->z_origEncodedName(), c.stored) << c.given;
  }
}

TEST_F(AddEntry, SetsTheUTF8FlagOnlyForNamesTheEncodingCannotHold) {
  const struct {
    std::string name;
    std::string stored;
    bool utf8;
  } cases[] = {
      {"plain.txt", "plain.txt", false},
      // Code page 437 has the é: stored as its byte there.
      {"caf\xC3\xA9.txt", "caf\x82.txt", false},
      // ...but no kanji: the UTF-8 bytes are stored, and flagged as such.
      {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt", true},
  };
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    for (const auto& c : cases) ASSERT_GT(AddBytes(a, c.name, "data of " + c.name), 0);
    ASSERT_TRUE(a.Close());
  }
  const Layout l = ReadLayout(bytes());
  ASSERT_EQ(l.entries.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const uint16_t flag = cases[i].utf8 ? zipformat::kFlagUTF8 : 0;
    EXPECT_EQ(l.entries[i].name, cases[i].stored);
    EXPECT_EQ(l.entries[i].centralFlags, flag) << cases[i].name;
    EXPECT_EQ(l.entries[i].localFlags, flag) << cases[i].name;
  }
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), false));
  std::map<std::string, std::string> files;
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(a.Entry(static_cast<int32_t>(i + 1))->RawPath(), cases[i].name);
    files[cases[i].name] = "data of " + cases[i].name;
  }
  // Every tool takes the flagged name as UTF-8. A name from code page 437
  // only Python turns into UTF-8; unzip makes Latin-1 of it, 7-Zip keeps
  // the bytes, as they do for every archive from MS-DOS.
  ExpectOtherToolsAgree(zip(), {{cases[0].name, files[cases[0].name]},
                                {cases[2].name, files[cases[2].name]}});
  ExpectOtherToolsAgree(zip(), files, kPython);
  // unzip would not, were the entry said to come from MS-DOS.
  EXPECT_EQ(a.Entry(3)->OSMadeBy(), 11);
  EXPECT_EQ(a.Entry(2)->OSMadeBy(), 0);
}

TEST_F(AddEntry, StoresTheMacBinaryFormInOneEntry) {
  // A header describing a 1-byte data fork and a 130-byte resource fork.
  auto header = MemoryBlock::Make(128);
  header->SetByte(1, 4);
  header->SetStringValue(2, "file");
  header->SetUInt32Value(83, 1);
  header->SetUInt32Value(87, 130);
  auto data = Source("D");
  auto rsrc = Source(std::string(130, 'R'));
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  const int32_t index = a.AddItemByStreams(data, 1, rsrc, 130, header, "file.bin", nullptr,
                                           std::nullopt);
  ASSERT_EQ(index, 1) << a.ErrorMessage();
  // Header, data fork and resource fork, each padded to 128 bytes.
  const std::string form = header->ToString() + "D" + std::string(127, '\0') +
                           std::string(130, 'R') + std::string(126, '\0');
  EXPECT_EQ(a.Entry(1)->Size(), 512);
  EXPECT_EQ(a.Entry(1)->CRC32(), ziptest::Crc32(form));
  // The header and the first data chunk make one chunk.
  ASSERT_FALSE(data->reads.empty());
  EXPECT_EQ(data->reads[0], 1);
  EXPECT_EQ(data->opens, 1);
  EXPECT_EQ(data->closes, 1);
  EXPECT_EQ(rsrc->closes, 1);
  ASSERT_TRUE(a.Close());
  ExpectOtherToolsAgree(zip(), {{"file.bin", form}});
}

TEST_F(AddEntry, ReadsInChunksAndShortensTheFirstBehindAMacBinaryHeader) {
  auto header = MemoryBlock::Make(128);
  const int32_t length = 40000;
  header->SetUInt32Value(83, length);
  auto data = Source(std::string(length, 'd'));
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  ASSERT_EQ(a.AddItemByStreams(data, length, nullptr, 0, header, "x", nullptr, std::nullopt), 1);
  EXPECT_EQ(data->reads, (std::vector<int32_t>{16384 - 128, 16384, 40000 - 16384 - 16256}));
  auto plain = Source(std::string(length, 'd'));
  ASSERT_EQ(a.AddItemByStreams(plain, length, nullptr, 0, nullptr, "y", nullptr, std::nullopt), 2);
  EXPECT_EQ(plain->reads, (std::vector<int32_t>{16384, 16384, 40000 - 32768}));
}

// Reports progress, and aborts when told to.
class Monitor : public ZipProgressNotifier {
 public:
  explicit Monitor(int abortAt) : abortAt_(abortAt) {}
  void ReportProgress(ZipEntry&, int32_t total, int32_t done, bool& abort) override {
    calls.emplace_back(total, done);
    if (static_cast<int>(calls.size()) == abortAt_) abort = true;
  }
  std::vector<std::pair<int32_t, int32_t>> calls;

 private:
  int abortAt_;
};

TEST_F(AddEntry, ReportsProgressAndStopsWhenAborted) {
  makeTwoEntries();
  const int32_t size = 40000;
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    auto monitor = std::make_shared<Monitor>(0);
    a.SetProgressMonitor(monitor);
    EXPECT_EQ(a.ProgressMonitor(), monitor);
    ASSERT_EQ(AddBytes(a, "three.txt", TextBytes(size)), 3);
    EXPECT_EQ(monitor->calls, (std::vector<std::pair<int32_t, int32_t>>{
                                  {size, 0}, {size, 16384}, {size, 32768}, {size, size}}));
    ASSERT_TRUE(a.Close());
  }
  for (int abortAt : {1, 2}) {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    auto monitor = std::make_shared<Monitor>(abortAt);
    a.SetProgressMonitor(monitor);
    EXPECT_EQ(AddBytes(a, "four.txt", TextBytes(size)), 0);
    EXPECT_EQ(a.ErrorMessage(), "Aborted");
    EXPECT_EQ(a.EntryCount(), 3);
    // The final report comes also after an abort.
    EXPECT_EQ(monitor->calls.back(), std::make_pair(size, size));
    a.SetProgressMonitor(nullptr);
    EXPECT_EQ(a.ProgressMonitor(), nullptr);
    ASSERT_TRUE(a.Close());
  }
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), false));
  EXPECT_EQ(a.EntryCount(), 3);
}

TEST_F(AddEntry, AFailedAddLeavesTheArchiveAsItWas) {
  makeTwoEntries();
  const std::string before = bytes();
  struct Case {
    const char* what;
    std::function<int32_t(ZipArchive&)> add;
    int32_t result;
    std::string message;
  };
  auto failing = [] {
    auto s = Source("x");
    s->failOpen = true;
    return s;
  };
  auto header = [](int32_t data, int32_t rsrc) {
    auto h = MemoryBlock::Make(128);
    h->SetUInt32Value(83, static_cast<uint32_t>(data));
    h->SetUInt32Value(87, static_cast<uint32_t>(rsrc));
    return h;
  };
  const Case cases[] = {
      {"short source",
       [](ZipArchive& a) {
         return a.AddItemByStreams(Source(TextBytes(20000)), 50000, nullptr, 0, nullptr, "s", nullptr,
                                   std::nullopt);
       },
       -2, kReadError},
      {"data stream won't open",
       [&](ZipArchive& a) {
         return a.AddItemByStreams(failing(), 1, nullptr, 0, nullptr, "o", nullptr, std::nullopt);
       },
       -38, "Opening the source data stream failed"},
      {"resource stream won't open",
       [&](ZipArchive& a) {
         return a.AddItemByStreams(Source("x"), 1, failing(), 1, header(1, 1), "r", nullptr,
                                   std::nullopt);
       },
       -38, "Opening the source rsrc stream failed"},
      {"empty name", [](ZipArchive& a) { return AddBytes(a, "", "x"); }, -50,
       "Name must not be empty"},
  };
  for (const Case& c : cases) {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    EXPECT_EQ(c.add(a), c.result) << c.what;
    EXPECT_EQ(a.ErrorMessage(), c.message) << c.what;
    EXPECT_EQ(a.EntryCount(), 2) << c.what;
    ASSERT_TRUE(a.Close()) << c.what;
    EXPECT_EQ(bytes(), before) << c.what;
  }
  expectTwoEntries();
}

TEST_F(AddEntry, RefusesMisuseBeforeWritingAnything) {
  makeTwoEntries();
  const std::string before = bytes();
  auto header = MemoryBlock::Make(128);
  header->SetUInt32Value(83, 2);  // says 2 bytes, the add says 1
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    EXPECT_THROW(a.AddItemByStreams(Source("x"), 1, nullptr, 0, header, "m", nullptr, std::nullopt),
                 RuntimeException);
    // A resource fork goes only into the MacBinary form.
    EXPECT_THROW(a.AddItemByStreams(Source("x"), 1, Source("r"), 1, nullptr, "r", nullptr,
                                    std::nullopt),
                 RuntimeException);
    EXPECT_EQ(a.EntryCount(), 2);
    ASSERT_TRUE(a.Close());
  }
  EXPECT_EQ(bytes(), before);
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), false));
  auto source = Source("x");
  EXPECT_EQ(a.AddItemByStreams(source, 1, nullptr, 0, nullptr, "x", nullptr, std::nullopt), 0);
  EXPECT_EQ(a.ErrorMessage(), kReadOnly);
  EXPECT_EQ(source->opens, 0);
  ASSERT_TRUE(a.Close());
  EXPECT_EQ(bytes(), before);
}

TEST_F(AddEntry, AWriteThatFailsLeavesTheEntriesThatWereThere) {
  makeTwoEntries();
  const std::string before = bytes();
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    {
      // The disk fills up in the middle of the new entry's data.
      FileSizeLimit limit(static_cast<int64_t>(before.size()) + 2000);
      EXPECT_EQ(AddBytes(a, "big.bin", NoiseBytes(200000)), -2);
      EXPECT_EQ(a.ErrorMessage(), "Write error, the archived item may be corrupted");
    }
    EXPECT_EQ(a.EntryCount(), 2);
    ASSERT_TRUE(a.Close()) << a.ErrorMessage();
  }
  EXPECT_EQ(bytes(), before);
  expectTwoEntries();
}

// Adds don't flush: the bytes of small entries wait in the stream's buffer
// and reach the file many at a time. A write that fails later takes back the
// entries whose bytes it may have lost, and only those; the operation that
// met the failure reports it, and so does the directory write that leaves
// them out.
TEST_F(AddEntry, AWriteThatFailsLaterTakesBackTheEntriesWhoseBytesItLost) {
  struct Case {
    const char* what;
    // Runs into the full disk with the late entries still in the buffer.
    std::function<void(ZipArchive&)> meetTheFailure;
  };
  const Case cases[] = {
      {"a later add",
       [](ZipArchive& a) {
         EXPECT_EQ(AddBytes(a, "huge.bin", NoiseBytes(200000, 2)), -2);
         EXPECT_EQ(a.ErrorMessage(), "Write error, the archived item may be corrupted");
       }},
      {"a read of an entry, then an add",
       [](ZipArchive& a) {
         // Reading an entry that is on disk flushes the buffer first.
         EXPECT_TRUE(a.Entry(1)->Verify());
         EXPECT_EQ(AddBytes(a, "after.txt", "x"), -2);
         EXPECT_EQ(a.ErrorMessage(), "Write error, the archived item may be corrupted");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(zip());
    makeTwoEntries();
    std::map<std::string, std::string> kept = {{"one.txt", TextBytes(3000)},
                                               {"two.bin", NoiseBytes(5000)}};
    {
      ZipArchive a;
      ASSERT_TRUE(a.Open(FolderItem(zip()), true));
      for (int i = 0; i < 30; ++i) {
        const std::string name = "s" + std::to_string(i) + ".txt";
        ASSERT_EQ(AddBytes(a, name, TextBytes(40 + 7 * i)), 3 + i) << a.ErrorMessage();
        kept[name] = TextBytes(40 + 7 * i);
      }
      // Larger than the buffer: on its way out it takes the small entries
      // before it along.
      ASSERT_EQ(AddBytes(a, "big.bin", NoiseBytes(100000)), 33) << a.ErrorMessage();
      kept["big.bin"] = NoiseBytes(100000);
      for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(AddBytes(a, "late" + std::to_string(i) + ".txt", TextBytes(100)), 34 + i);
      }
      {
        // The disk fills up just behind what reached the file so far.
        FileSizeLimit limit(static_cast<int64_t>(std::filesystem::file_size(zip())) + 10);
        c.meetTheFailure(a);
      }
      EXPECT_EQ(a.EntryCount(), 33);
      // The directory is written for the entries that are there, and the
      // write still tells that some went missing.
      EXPECT_FALSE(a.Close());
      EXPECT_EQ(a.ErrorMessage(), "Write error, the archive's directory may be incomplete");
    }
    ExpectOtherToolsAgree(zip(), kept);
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), false)) << a.ErrorMessage();
    EXPECT_EQ(a.EntryCount(), 33);
  }
}

TEST_F(AddEntry, RefusesAnAddThatWouldTakeTheArchiveTo2GB) {
  // One entry, then free space up to just below 2 GB, then the directory: a
  // sparse file costs no disk.
  ziptest::Archive built;
  built.entries.push_back({.name = "a", .data = "x"});
  const ziptest::Built b = built.Build();
  const std::string entryBytes = b.bytes.substr(0, b.dirOffset);
  std::string directory = b.bytes.substr(b.dirOffset);
  const uint32_t dirOffset = (uint32_t{1} << 31) - 300;
  ziptest::Put32(directory, b.endRecordOffset - b.dirOffset + ziptest::at::kEndDirOffset, dirOffset);
  {
    std::ofstream out(zip(), std::ios::binary);
    out.write(entryBytes.data(), static_cast<std::streamsize>(entryBytes.size()));
    out.seekp(dirOffset);
    out.write(directory.data(), static_cast<std::streamsize>(directory.size()));
  }
  // The file is mostly a hole: only its tail is read.
  auto tail = [&] {
    std::ifstream in(zip(), std::ios::binary);
    in.seekg(dirOffset);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string tailBefore = tail();
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true)) << a.ErrorMessage();
    auto source = Source(std::string(1000, 'z'));
    EXPECT_EQ(a.AddItemByStreams(source, 1000, nullptr, 0, nullptr, "big", nullptr, std::nullopt),
              -50);
    EXPECT_EQ(a.ErrorMessage(),
              "The archive would reach 2 GB, more than a ZIP archive written here may hold");
    EXPECT_EQ(source->opens, 0);
    EXPECT_EQ(a.EntryCount(), 1);
    ASSERT_TRUE(a.Close());
  }
  EXPECT_EQ(std::filesystem::file_size(zip()), dirOffset + tailBefore.size());
  EXPECT_EQ(tail(), tailBefore);
  // What still fits goes in.
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  EXPECT_EQ(AddBytes(a, "small", ""), 2) << a.ErrorMessage();
  ASSERT_TRUE(a.Close());
  ASSERT_TRUE(a.Open(FolderItem(zip()), false));
  EXPECT_EQ(a.EntryCount(), 2);
}

TEST_F(AddEntry, RefusesThe65536thEntry) {
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    for (int i = 1; i <= 65535; ++i) ASSERT_EQ(AddBytes(a, std::to_string(i), ""), i);
    EXPECT_EQ(AddBytes(a, "one too many", ""), -50);
    EXPECT_EQ(a.ErrorMessage(),
              "The archive would hold more than 65535 entries, more than a ZIP archive may hold");
    // A duplicate record is an entry too.
    EXPECT_EQ(a.AddFakeDuplicate(a.Entry(1), "dup", std::nullopt, nullptr), 0);
    ASSERT_TRUE(a.Close()) << a.ErrorMessage();
  }
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), false));
  EXPECT_EQ(a.EntryCount(), 65535);
  EXPECT_EQ(a.Entry(65535)->RawPath(), "65535");
}

}  // namespace
