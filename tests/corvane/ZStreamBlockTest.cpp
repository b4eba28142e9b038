// ZStreamReader and ZStreamWriter through the real plug-in: the Buffer
// property, block reads and writes, and a reader feeding a bound writer.
#include <gtest/gtest.h>

#include "GzipTestSupport.h"
#include "platform/plugin/PluginHost.h"
#include "platform/plugin/ZStream.h"
#include "platform/plugin/ZStreamReader.h"
#include "platform/plugin/ZStreamWriter.h"

namespace {

using namespace gztest;

std::shared_ptr<PluginHost> Host() {
  auto host = PluginHost::Instance();
  EXPECT_TRUE(host->Ok()) << host->Error();
  return host;
}

// The data of the one member a writer received.
std::string Unpacked(const RecordingWriter& writer) {
  ZStream in(false, nullptr, std::make_shared<ScriptedReader>(writer.All()));
  const std::string data = in.Read(1 << 24);
  EXPECT_EQ(in.ErrorValue(), 0);
  return data;
}

TEST(ZStreamBlockTest, BufferPropertyKeepsTheBlockItIsGiven) {
  ZStreamWriter writer(Host(), std::make_shared<RecordingWriter>());
  const MemoryBlockPtr first = writer.Buffer();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Size(), 4096);
  EXPECT_EQ(writer.Buffer(), first);

  auto mine = MemoryBlock::Make(100);
  writer.SetBuffer(mine);
  EXPECT_EQ(writer.Buffer(), mine);

  writer.SetBuffer(nullptr);
  const MemoryBlockPtr fresh = writer.Buffer();
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, mine);
  EXPECT_EQ(fresh->Size(), 4096);

  auto given = MemoryBlock::Make(333);
  ZStreamReader reader(Host(), std::make_shared<ScriptedReader>(""), given);
  EXPECT_EQ(reader.Buffer(), given);
}

TEST(ZStreamBlockTest, WriteBlockCompressesFromTheBufferWithinItsSize) {
  auto sink = std::make_shared<RecordingWriter>();
  auto block = MemoryBlock::FromString("0123456789");
  ZStreamWriter writer(Host(), sink, block);
  writer.WriteBlock(4);
  EXPECT_EQ(writer.LastError(), 0);
  // A count the block can't back is refused, not read past the block.
  for (int32_t count : {11, -1}) {
    writer.WriteBlock(count);
    EXPECT_EQ(writer.LastError(), -2);
  }
  block->SetSize(2);
  writer.WriteBlock(4);
  EXPECT_EQ(writer.LastError(), -2);
  writer.WriteBlock(2);
  EXPECT_EQ(writer.LastError(), 0);
  writer.Write("abc");
  writer.Close();
  EXPECT_EQ(writer.LastError(), 0);
  EXPECT_EQ(Unpacked(*sink), "012301abc");
}

TEST(ZStreamBlockTest, ReadBlockFillsTheBuffer) {
  const std::string text = SampleText(10000);
  auto block = MemoryBlock::Make(4000);
  ZStreamReader reader(Host(), std::make_shared<ScriptedReader>(GzipMember(text)), block);
  std::string back;
  std::vector<int32_t> counts;
  for (int32_t n; (n = reader.ReadBlock()) > 0;) {
    counts.push_back(n);
    back += block->StringValue(0, n);
  }
  EXPECT_EQ(counts, (std::vector<int32_t>{4000, 4000, 2000}));
  EXPECT_EQ(back, text);
  EXPECT_EQ(reader.LastError(), 0);
  EXPECT_TRUE(reader.Eof());
  reader.Close();
  // Closed: block operations neither fail nor touch the buffer.
  EXPECT_LT(reader.ReadBlock(), 0);
  reader.ProcessBoundBlock();
  EXPECT_EQ(reader.LastError(), 0);
}

TEST(ZStreamBlockTest, ReaderFeedsABoundWriterThroughOneBlock) {
  const std::string text = SampleText(200000, 4) + NoiseBytes(50000);
  auto block = MemoryBlock::Make(16384);
  auto sink = std::make_shared<RecordingWriter>();
  ZStreamReader reader(Host(), std::make_shared<ScriptedReader>(GzipMember(text)), block);
  {
    ZStreamWriter writer(Host(), sink, block);
    reader.Bind(&writer);
    // The reader holds the writer: it may go out of the caller's hands.
  }
  for (int guard = 0; !reader.Eof() && guard < 1000; ++guard) reader.ProcessBoundBlock();
  EXPECT_EQ(reader.LastError(), 0);
  // Unbinding drops the writer, which finishes its member as it goes.
  reader.Bind(nullptr);
  EXPECT_EQ(sink->pieces.back().size(), 4u);
  EXPECT_EQ(Unpacked(*sink), text);
}

TEST(ZStreamBlockTest, ProcessBoundBlockWithNothingBoundReadsAndDrops) {
  const std::string text = SampleText(10000);
  ZStreamReader reader(Host(), std::make_shared<ScriptedReader>(GzipMember(text)));
  reader.ProcessBoundBlock();
  EXPECT_EQ(reader.Position(), 4096);
  EXPECT_EQ(reader.Read(10), text.substr(4096, 10));
  reader.ProcessBoundBlock();
  reader.ProcessBoundBlock();
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(reader.Position(), 10000);
  EXPECT_EQ(reader.LastError(), 0);
}

TEST(ZStreamBlockTest, BinaryReaderInterfaceIsUsed) {
  // ZStreamReader binds its reader as an IBinaryStreamReader.
  ZStreamReader reader(Host(), std::make_shared<ScriptedReader>(GzipMember("binary")));
  EXPECT_EQ(reader.LastError(), 0);
  EXPECT_EQ(reader.Read(100), "binary");
}

}  // namespace
