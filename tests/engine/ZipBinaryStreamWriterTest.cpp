// The writer that turns the compressor's gzip member into an entry's raw
// deflate data: it drops the leading header bytes however the pieces fall.
#include <gtest/gtest.h>

#include "engine/ZipBinaryStreamWriter.h"
#include "engine/ZipBytes.h"
#include "support/TestSupport.h"

namespace {

struct Case {
  const char* what;
  int32_t discard;
  std::vector<size_t> pieces;
  size_t expectedDropped;
};

TEST(ZipBinaryStreamWriter, DropsTheLeadingBytesAndWritesTheRestInOrder) {
  const Case cases[] = {
      {"header, full buffers, trailer", 10, {10, 16384, 16384, 100, 4, 4}, 10},
      {"header split over two pieces", 10, {4, 20}, 10},
      {"header split over many pieces", 10, {1, 2, 3, 4, 5}, 10},
      {"nothing to drop", 0, {3, 16384, 1}, 0},
      {"fewer bytes than the header", 10, {4, 5}, 9},
  };
  for (const Case& c : cases) {
    testsupport::TempDir tmp;
    BinaryStreamPtr stream = BinaryStream::Create(tmp / "out");
    ASSERT_TRUE(stream);
    // The writer writes where the stream stands and never moves it.
    stream->Write("prefix");
    auto writer = std::make_shared<ZipBinaryStreamWriter>(stream, c.discard);
    writer->EnableCRCCalculation();
    std::string all;
    char fill = 'a';
    for (size_t n : c.pieces) {
      const std::string piece(n, fill++);
      all += piece;
      writer->Write(piece);
    }
    stream->Close();
    const std::string expected = all.substr(c.expectedDropped);
    EXPECT_EQ(testsupport::ReadFile(tmp / "out"), "prefix" + expected) << c.what;
    EXPECT_EQ(writer->BytesWritten(), static_cast<int32_t>(expected.size())) << c.what;
    // The dropped bytes count too.
    EXPECT_EQ(static_cast<uint32_t>(writer->CRC()), ziptest::Crc32(all)) << c.what;
    EXPECT_EQ(writer->LastError(), 0);
  }
}

TEST(ZipBinaryStreamWriter, ComputesNoCRCUnlessAsked) {
  testsupport::TempDir tmp;
  BinaryStreamPtr stream = BinaryStream::Create(tmp / "out");
  ZipBinaryStreamWriter writer(stream, 10);
  writer.Write(std::string(30, 'x'));
  EXPECT_EQ(writer.CRC(), 0);
  EXPECT_EQ(writer.BytesWritten(), 20);
}

}  // namespace
