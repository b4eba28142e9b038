// pellarc extract and pellarc test on an archive made to fill the disk: the
// refused entries are reported like any other failure, the rest is extracted.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliTestSupport.h"
#include "engine/ExtractSupport.h"
#include "engine/OverlapBytes.h"
#include "platform/ForkStore.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

TEST(ZipBombCommands, RefusedEntriesAreReportedAndTheRestExtracted) {
  ForkStore::Select("appledouble");
  std::string plain;
  while (plain.size() < 50000) plain += "the shared kernel of the chain\n";
  // Three entries chained into one stream, then an entry whose size is out
  // of reach of its few bytes of data.
  overlaptest::Chain c = overlaptest::OverlappingChain(3, extracttest::RawDeflate(plain), plain);
  overlaptest::Record huge{.name = "huge", .method = 8, .crc = 0, .compressed = 2,
                           .size = 0x7FFFFFFF, .offset = static_cast<uint32_t>(c.body.size())};
  const std::string body = c.body + overlaptest::LocalHeader(huge) + std::string("\x03\x00", 2);
  std::vector<overlaptest::Record> records = c.records;
  records.push_back(huge);
  testsupport::TempDir work;
  const fs::path zip = work / "bomb.zip";
  testsupport::WriteFile(zip, body + overlaptest::Directory(records, body.size()));

  const std::string overlap = "Entry overlaps another entry's data (possible zip bomb)";
  const std::string size =
      "Entry's size is more than its compressed data can expand to (possible zip bomb)";
  const fs::path out = work / "out";
  clitest::Outcome r = clitest::Run({"extract", zip.string(), "-d", out.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Extraction of \"f0\" failed: " + overlap + "\n" +
                       "Extraction of \"f1\" failed: " + overlap + "\n" +
                       "Extraction of \"huge\" failed: " + size + "\n");
  std::vector<std::string> files;
  for (const auto& item : fs::directory_iterator(out)) files.push_back(item.path().filename());
  EXPECT_EQ(files, std::vector<std::string>{"f2"});
  EXPECT_EQ(testsupport::ReadFile(out / "f2"), plain);

  r = clitest::Run({"test", zip.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "4 entries tested, 3 failed\n");
  EXPECT_EQ(r.err, "Test of \"f0\" failed: " + overlap + "\n" + "Test of \"f1\" failed: " +
                       overlap + "\n" + "Test of \"huge\" failed: " + size + "\n");
}

}  // namespace
