// The reader that presents an entry's stored bytes as one gzip member.
#include <gtest/gtest.h>

#include "engine/ZipBinaryStreamReader.h"
#include "support/TestSupport.h"

namespace {

const std::string kPrefix = "PPPPPPPPPP";  // 10 bytes
const std::string kSuffix = "SSSSSSSS";    // 8 bytes

class ReaderTest : public ::testing::Test {
 protected:
  // A stream over "0123456789abcdef", standing at `at`.
  BinaryStreamPtr streamAt(int64_t at) {
    testsupport::WriteFile(dir / "data", "0123456789abcdef");
    BinaryStreamPtr s = BinaryStream::Open(dir / "data", false);
    s->SetPosition(at);
    return s;
  }
  testsupport::TempDir dir;
};

TEST_F(ReaderTest, HandsOutPrefixDataAndSuffixInOrderWhateverTheReadSizes) {
  const std::string whole = kPrefix + "34567" + kSuffix;
  const std::vector<std::vector<int32_t>> patterns = {
      {23}, {1000}, {10, 5, 8}, {9, 2, 5, 7}, {11, 11, 11}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 100}};
  for (const auto& reads : patterns) {
    ZipBinaryStreamReader r(streamAt(3), 5, kPrefix, kSuffix);
    std::string got;
    int64_t remaining = r.Remaining();
    EXPECT_EQ(remaining, 23);
    for (int32_t n : reads) {
      std::string piece = r.Read(n);
      EXPECT_EQ(static_cast<int64_t>(piece.size()), std::min<int64_t>(n, remaining));
      remaining -= static_cast<int64_t>(piece.size());
      EXPECT_EQ(r.Remaining(), remaining);
      got += piece;
      EXPECT_EQ(r.LastError(), 0);
    }
    EXPECT_EQ(got, whole);
    EXPECT_EQ(r.Remaining(), 0);
    // Past the end: nothing, and the end-of-file code from then on.
    EXPECT_EQ(r.Read(1), "");
    EXPECT_EQ(r.LastError(), -39);
    EXPECT_EQ(r.ErrorValue(), -39);
  }
}

TEST_F(ReaderTest, ZeroAndNegativeCountsChangeNothing) {
  ZipBinaryStreamReader r(streamAt(0), 4, kPrefix, kSuffix);
  for (int32_t n : {0, -1, -16384}) {
    EXPECT_EQ(r.Read(n), "");
    EXPECT_EQ(r.LastError(), 0);
    EXPECT_EQ(r.Remaining(), 22);
  }
  r.Read(22);
  EXPECT_EQ(r.Read(0), "");
  EXPECT_EQ(r.LastError(), 0);
}

TEST_F(ReaderTest, EmptyEntryIsPrefixAndSuffix) {
  ZipBinaryStreamReader r(streamAt(5), 0, kPrefix, kSuffix);
  EXPECT_EQ(r.Read(100), kPrefix + kSuffix);
  EXPECT_EQ(r.LastError(), 0);
}

TEST_F(ReaderTest, ArchiveEndingEarlyGivesShortReadsWithoutAnError) {
  // The entry claims 10 bytes; only 4 are left in the file.
  ZipBinaryStreamReader r(streamAt(12), 10, kPrefix, kSuffix);
  EXPECT_EQ(r.Read(15), kPrefix + "cdef");
  EXPECT_EQ(r.LastError(), 0);
  EXPECT_EQ(r.Remaining(), 13);
  EXPECT_EQ(r.Read(13), kSuffix);
}

}  // namespace
