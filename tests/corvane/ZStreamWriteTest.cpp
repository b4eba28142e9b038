// Compressing through the real plug-in: the exact bytes and calls a writer
// object receives, round trips, and what the system's gzip makes of them.
#include <gtest/gtest.h>

#include "GzipTestSupport.h"
#include "platform/FolderItem.h"
#include "platform/plugin/PluginHost.h"
#include "platform/plugin/ZStream.h"
#include "support/TestSupport.h"

namespace {

using namespace gztest;

const std::string kHeader = {'\x1F', '\x8B', '\x08', '\x00', '\x00', '\x00', '\x00', '\x00', '\x00', '\x07'};

std::shared_ptr<RecordingWriter> Compress(const std::string& data, size_t chunk) {
  auto writer = std::make_shared<RecordingWriter>();
  ZStream stream(true, writer, nullptr);
  EXPECT_EQ(stream.ErrorValue(), 0);
  for (size_t at = 0; at < data.size(); at += chunk) stream.Write(data.substr(at, chunk));
  EXPECT_EQ(stream.Position(), static_cast<int32_t>(data.size()));
  stream.Close();
  EXPECT_EQ(stream.LastError(), 0);
  return writer;
}

// What every member written on a writer object must look like: the header in
// one piece at open, deflate data in pieces of at most 16384 bytes, and the
// CRC-32 and the length as the last two pieces of 4 bytes.
void ExpectMemberOf(const RecordingWriter& writer, const std::string& data) {
  const auto& pieces = writer.pieces;
  ASSERT_GE(pieces.size(), 4u);
  EXPECT_EQ(pieces.front(), kHeader);
  EXPECT_EQ(pieces[pieces.size() - 2], Le32(Crc32(data)));
  EXPECT_EQ(pieces.back(), Le32(static_cast<uint32_t>(data.size())));
  std::string deflated;
  for (size_t i = 1; i + 2 < pieces.size(); ++i) {
    EXPECT_LE(pieces[i].size(), 16384u);
    EXPECT_FALSE(pieces[i].empty());
    deflated += pieces[i];
  }
  bool complete = false;
  EXPECT_EQ(RawInflate(deflated, &complete), data);
  EXPECT_TRUE(complete);
}

TEST(ZStreamWriteTest, EmptyStreamIsHeaderEmptyDeflateAndZeroTrailer) {
  ASSERT_TRUE(PluginHost::Instance()->Ok()) << PluginHost::Instance()->Error();
  auto writer = std::make_shared<RecordingWriter>();
  {
    ZStream stream(true, writer, nullptr);
    // The header goes out during open, before any data.
    ASSERT_EQ(writer->pieces.size(), 1u);
    EXPECT_EQ(writer->pieces[0], kHeader);
    stream.Close();
    EXPECT_EQ(stream.LastError(), 0);
  }
  ExpectMemberOf(*writer, "");
  EXPECT_EQ(writer->pieces[writer->pieces.size() - 2], std::string(4, '\0'));
  EXPECT_EQ(writer->pieces.back(), std::string(4, '\0'));
}

struct RoundTripCase {
  const char* name;
  std::string data;
  size_t chunk;
};

class WriteRoundTripTest : public testing::TestWithParam<RoundTripCase> {};

TEST_P(WriteRoundTripTest, WriterReceivesOneValidMember) {
  const RoundTripCase& c = GetParam();
  auto writer = Compress(c.data, c.chunk);
  ExpectMemberOf(*writer, c.data);

  // And the plug-in reads its own member back.
  ZStream in(false, nullptr, std::make_shared<ScriptedReader>(writer->All()));
  std::string back;
  for (std::string piece; !(piece = in.Read(16384)).empty();) back += piece;
  EXPECT_EQ(in.ErrorValue(), 0);
  EXPECT_EQ(back, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WriteRoundTripTest,
    testing::Values(RoundTripCase{"OneByte", "x", 16384},
                    RoundTripCase{"Text16384", SampleText(16384), 16384},
                    RoundTripCase{"Text16385InSmallWrites", SampleText(16385), 1000},
                    RoundTripCase{"Noise200K", NoiseBytes(200000), 16384},
                    RoundTripCase{"Mixed600KInOneWrite", SampleText(300000) + NoiseBytes(300000),
                                  1 << 20}),
    [](const testing::TestParamInfo<RoundTripCase>& param) { return std::string(param.param.name); });

// States are reused from stream to stream; a reused one must not show.
TEST(ZStreamWriteTest, StreamsOneAfterAnotherWriteIdenticalMembers) {
  const std::string data = SampleText(50000, 3);
  const std::string first = Compress(data, 16384)->All();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Compress(data, 16384)->All(), first);
}

TEST(ZStreamWriteTest, ForwardSeekAppendsZerosAndBackwardSeekFails) {
  auto writer = std::make_shared<RecordingWriter>();
  ZStream stream(true, writer, nullptr);
  stream.Write("abc");
  stream.Seek(5, true);
  EXPECT_EQ(stream.LastError(), 0);
  EXPECT_EQ(stream.Position(), 8);
  stream.Seek(2, false);
  EXPECT_EQ(stream.LastError(), -1);
  EXPECT_EQ(stream.Position(), 8);
  // An empty write leaves the error as it was.
  stream.Write("");
  EXPECT_EQ(stream.LastError(), -1);
  stream.Seek(0, true);
  EXPECT_EQ(stream.LastError(), 0);
  stream.Seek(10, false);
  EXPECT_EQ(stream.Position(), 10);
  stream.Close();
  EXPECT_EQ(stream.LastError(), 0);
  ExpectMemberOf(*writer, std::string("abc") + std::string(7, '\0'));
}

// The writer's own error report is heeded: a member that lost bytes on the
// way out gets no trailer and the stream reports the failure.
TEST(ZStreamWriteTest, FailingWriterFailsTheStream) {
  struct Case {
    const char* name;
    int failAfterPieces;
    bool throwOnWrite;
  } cases[] = {
      {"fails at the header", 1, false},
      {"fails in the data", 3, false},
      {"throws", -1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto writer = std::make_shared<RecordingWriter>();
    writer->failAfterPieces = c.failAfterPieces;
    writer->throwOnWrite = c.throwOnWrite;
    ZStream stream(true, writer, nullptr);
    stream.Write(NoiseBytes(100000));
    EXPECT_EQ(stream.LastError(), 1);
    stream.Close();
    EXPECT_EQ(stream.LastError(), -1);
    const size_t failedAt = c.throwOnWrite ? 1 : static_cast<size_t>(c.failAfterPieces);
    EXPECT_EQ(writer->pieces.size(), failedAt);
  }
}

TEST(ZStreamWriteTest, StreamWithNothingToWriteToDoesNotOpen) {
  ZStream stream(true, nullptr, std::make_shared<ScriptedReader>("ignored"));
  EXPECT_EQ(stream.LastError(), 1);
  stream.Write("data");
  stream.Close();
  EXPECT_EQ(stream.LastError(), 1);
  EXPECT_EQ(stream.Position(), 0);
}

TEST(ZStreamWriteTest, ObjectsAreReleasedWithTheStream) {
  auto writer = std::make_shared<RecordingWriter>();
  std::weak_ptr<RecordingWriter> watch = writer;
  {
    ZStream stream(true, std::move(writer), nullptr);
    stream.Write("kept alive by the stream");
    EXPECT_FALSE(watch.expired());
  }
  EXPECT_TRUE(watch.expired());
}

// ---- With the system's gzip ----------------------------------------------

class SystemGzipTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("gzip")) GTEST_SKIP() << "gzip is not installed";
  }
  std::string GunzipFile(const std::filesystem::path& file) {
    const auto out = dir_ / "gunzipped";
    EXPECT_EQ(testsupport::RunCommand("gzip -dc '" + file.string() + "' > '" + out.string() + "'"), 0);
    return testsupport::ReadFile(out);
  }
  testsupport::TempDir dir_;
};

TEST_F(SystemGzipTest, MembersFromAWriterObjectDecompress) {
  for (const std::string& data : {std::string(), SampleText(100000), NoiseBytes(70000)}) {
    const auto member = dir_ / "member.gz";
    testsupport::WriteFile(member, Compress(data, 16384)->All());
    EXPECT_EQ(GunzipFile(member), data);
  }
}

TEST_F(SystemGzipTest, FilesWrittenThroughTheFileSetDecompress) {
  const auto file = dir_ / "written.gz";
  // An older, longer file in the way is replaced, not partly overwritten.
  testsupport::WriteFile(file, NoiseBytes(300000));
  const std::string data = SampleText(120000, 9);
  {
    ZStream stream(FolderItem(file), true);
    ASSERT_EQ(stream.LastError(), 0);
    stream.Write(data);
    stream.Close();
    EXPECT_EQ(stream.LastError(), 0);
  }
  EXPECT_EQ(GunzipFile(file), data);
}

TEST_F(SystemGzipTest, FileSetRefusesWhatItCantWrite) {
  ZStream intoFolder(FolderItem(dir_.path()), true);
  EXPECT_EQ(intoFolder.LastError(), 1);
  ZStream noParent(FolderItem(dir_ / "missing" / "x.gz"), true);
  EXPECT_EQ(noParent.LastError(), 1);
}

}  // namespace
