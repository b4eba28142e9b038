// Decompressing through the real plug-in: gzip members, plain input, damaged
// input, seeks, and files made by the system's gzip.
#include <gtest/gtest.h>

#include "GzipTestSupport.h"
#include "platform/FolderItem.h"
#include "platform/plugin/PluginHost.h"
#include "platform/plugin/ZStream.h"
#include "support/TestSupport.h"

namespace {

using namespace gztest;

constexpr int32_t kEofErr = -39;
const std::string kText = SampleText(100000, 5);
const std::string kMember = GzipMember(kText);

struct ReadResult {
  std::string bytes;
  int32_t error = 0;  // ErrorValue after the last read
  int reads = 0;
};

// Reads until a Read returns nothing.
ReadResult ReadAll(ZStream& stream, int32_t count) {
  ReadResult result;
  for (;;) {
    const std::string piece = stream.Read(count);
    ++result.reads;
    result.error = stream.ErrorValue();
    if (piece.empty()) break;
    result.bytes += piece;
  }
  return result;
}

struct ReadCase {
  const char* name;
  std::string input;
  std::string expected;
  int32_t error;
  // The reader's status at its end, and the most it hands out per Read.
  int32_t endStatus = kEofErr;
  size_t maxPiece = std::numeric_limits<size_t>::max();
  // The expected bytes are only a start of what the input held.
  bool cutShort = false;
};

std::string Cut(const std::string& s, size_t dropped) { return s.substr(0, s.size() - dropped); }

class ReadCaseTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadCaseTest, DeliversWhatTheInputHolds) {
  ASSERT_TRUE(PluginHost::Instance()->Ok()) << PluginHost::Instance()->Error();
  const ReadCase& c = GetParam();
  for (int32_t count : {1, 1000, 16384, 1 << 20}) {
    SCOPED_TRACE(count);
    auto reader = std::make_shared<ScriptedReader>(c.input, c.endStatus, c.maxPiece);
    ZStream stream(false, nullptr, reader);
    const ReadResult result = ReadAll(stream, count);
    EXPECT_EQ(result.error, c.error);
    if (c.cutShort) {
      EXPECT_LT(result.bytes.size(), c.expected.size());
      EXPECT_EQ(result.bytes, c.expected.substr(0, result.bytes.size()));
    } else {
      EXPECT_EQ(result.bytes, c.expected);
    }
    // Reading on after the end or an error changes nothing.
    EXPECT_EQ(stream.Read(count), "");
    EXPECT_EQ(stream.ErrorValue(), c.error);
  }
}

MemberOptions WithFlags() {
  MemberOptions options;
  options.flags = 0x02 | 0x04 | 0x08 | 0x10;
  options.extra = std::string("AP\x04\x00" "abcd", 8);
  options.name = "Read Me";
  options.comment = "made by hand";
  return options;
}

MemberOptions Method(uint8_t method) {
  MemberOptions options;
  options.method = method;
  return options;
}

MemberOptions Flags(uint8_t flags) {
  MemberOptions options;
  options.flags = flags;
  return options;
}

MemberOptions CrcOff() {
  MemberOptions options;
  options.crcDelta = 1;
  return options;
}

MemberOptions LengthOff() {
  MemberOptions options;
  options.lengthDelta = 1;
  return options;
}

const std::string kOther = NoiseBytes(40000, 11);
const size_t kDeflateMiddle = kMember.size() / 2;

INSTANTIATE_TEST_SUITE_P(
    Inputs, ReadCaseTest,
    testing::Values(
        ReadCase{"Member", kMember, kText, 0},
        ReadCase{"MemberFromByteWideReads", kMember, kText, 0, kEofErr, 1},
        ReadCase{"MemberFromReaderWithoutEndStatus", kMember, kText, 0, 0},
        ReadCase{"EmptyInput", "", "", 0},
        // A reader that ends with a failure other than end-of-file has
        // failed, even where the input could have ended.
        ReadCase{"EmptyInputFromFailingReader", "", "", -1, -1},
        ReadCase{"MemberThenReaderFailure", kMember, kText, -1, -1},
        ReadCase{"EmptyMember", GzipMember(""), "", 0},
        ReadCase{"PlainText", "plain, not gzip", "plain, not gzip", 0},
        ReadCase{"OneByte", "x", "x", 0},
        ReadCase{"LoneFirstMagicByte", "\x1F", "\x1F", 0},
        ReadCase{"FirstMagicByteOnly", std::string("\x1F\x00zz", 4), std::string("\x1F\x00zz", 4), 0},
        ReadCase{"FirstMagicByteOnlyByteWide", "\x1F\x8Cxyz", "\x1F\x8Cxyz", 0, kEofErr, 1},
        ReadCase{"TwoMembers", kMember + GzipMember(kOther), kText + kOther, 0},
        ReadCase{"TwoMembersByteWide", GzipMember("first") + GzipMember("second"), "firstsecond",
                 0, kEofErr, 1},
        ReadCase{"HeaderFieldsSkipped", GzipMember(kText, WithFlags()), kText, 0},
        ReadCase{"HeaderFieldsSkippedByteWide", GzipMember("flags", WithFlags()), "flags", 0,
                 kEofErr, 1},
        ReadCase{"WrongCrc", GzipMember(kText, CrcOff()), kText, -3},
        ReadCase{"WrongLength", GzipMember(kText, LengthOff()), kText, -3},
        ReadCase{"WrongCrcInSecondMember", kMember + GzipMember(kOther, CrcOff()), kText + kOther, -3},
        ReadCase{"CutInDeflateWithEndStatus", kMember.substr(0, kDeflateMiddle), kText, -1, kEofErr,
                 std::numeric_limits<size_t>::max(), true},
        ReadCase{"CutInDeflateWithoutEndStatus", kMember.substr(0, kDeflateMiddle), kText, -5, 0,
                 std::numeric_limits<size_t>::max(), true},
        ReadCase{"CutInCrc", Cut(kMember, 6), kText, -3},
        ReadCase{"CutInLength", Cut(kMember, 2), kText, -3},
        ReadCase{"CutInLengthWithoutEndStatus", Cut(kMember, 2), kText, -3, 0},
        ReadCase{"CutInHeader", kMember.substr(0, 6), "", -3},
        ReadCase{"CutInFileName", GzipMember("x", WithFlags()).substr(0, 20), "", -3},
        ReadCase{"NotDeflate", GzipMember(kText, Method(7)), "", -3},
        ReadCase{"ReservedFlag", GzipMember(kText, Flags(0x20)), "", -3},
        ReadCase{"GarbageAfterMember", kMember + "garbage", kText, -3}),
    [](const testing::TestParamInfo<ReadCase>& param) { return std::string(param.param.name); });

TEST(ZStreamReadTest, ErrorsAndEndAsTheCallerSeesThem) {
  // A correct member: LastError stays 0 through the end; EOF once input ran out.
  {
    ZStream stream(false, nullptr, std::make_shared<ScriptedReader>(kMember));
    EXPECT_EQ(stream.ErrorValue(), 0);
    EXPECT_FALSE(stream.Eof());
    EXPECT_EQ(stream.Read(static_cast<int32_t>(kText.size())), kText);
    EXPECT_EQ(stream.LastError(), 0);
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.Read(10), "");
    EXPECT_EQ(stream.LastError(), 0);
    EXPECT_EQ(stream.Position(), static_cast<int32_t>(kText.size()));
  }
  // A wrong CRC: the read reaching the trailer still returns its bytes.
  {
    ZStream stream(false, nullptr, std::make_shared<ScriptedReader>(GzipMember("abc", CrcOff())));
    EXPECT_EQ(stream.Read(100), "abc");
    EXPECT_EQ(stream.LastError(), -3);
    // Read(0) changes nothing, not even the error.
    EXPECT_EQ(stream.Read(0), "");
    EXPECT_EQ(stream.LastError(), -3);
    EXPECT_EQ(stream.Read(-5), "");
    EXPECT_EQ(stream.LastError(), -3);
    stream.Close();
    EXPECT_EQ(stream.LastError(), -3);
    // Closed: everything is harmless.
    EXPECT_EQ(stream.Read(10), "");
    EXPECT_FALSE(stream.Eof());
    EXPECT_EQ(stream.Position(), 0);
  }
}

TEST(ZStreamReadTest, ReadersThatMisbehaveAreInputErrors) {
  for (bool throwing : {false, true}) {
    SCOPED_TRACE(throwing ? "throws" : "hands out more than asked");
    auto reader = std::make_shared<ScriptedReader>(kMember);
    reader->throwOnRead = throwing;
    reader->overdeliver = !throwing;
    ZStream stream(false, nullptr, reader);
    EXPECT_EQ(stream.Read(1000), "");
    EXPECT_EQ(stream.ErrorValue(), -1);
  }
}

TEST(ZStreamReadTest, ReadingNeedsSomethingToReadFrom) {
  ZStream noReader(false, std::make_shared<RecordingWriter>(), nullptr);
  EXPECT_EQ(noReader.LastError(), 1);
  EXPECT_EQ(noReader.Read(10), "");
  EXPECT_EQ(noReader.LastError(), 1);

  testsupport::TempDir dir;
  ZStream missing(FolderItem(dir / "missing.gz"), false);
  EXPECT_EQ(missing.LastError(), 1);
  ZStream folder(FolderItem(dir.path()), false);
  EXPECT_EQ(folder.LastError(), 1);
}

TEST(ZStreamReadTest, SeeksOnAReaderObjectGoForwardOnly) {
  for (const auto& [name, input, expected] :
       {std::tuple{"gzip", kMember, kText}, std::tuple{"plain", kOther, kOther}}) {
    SCOPED_TRACE(name);
    ZStream stream(false, nullptr, std::make_shared<ScriptedReader>(input));
    EXPECT_EQ(stream.Read(10), expected.substr(0, 10));
    if (std::string(name) == "gzip") {
      stream.Seek(1000, true);
      EXPECT_EQ(stream.LastError(), 0);
      EXPECT_EQ(stream.Position(), 1010);
      EXPECT_EQ(stream.Read(5), expected.substr(1010, 5));
      stream.Seek(20000, false);
      EXPECT_EQ(stream.Position(), 20000);
      EXPECT_EQ(stream.Read(5), expected.substr(20000, 5));
    }
    // Backward fails, and the stream goes on where it was.
    const int32_t here = stream.Position();
    stream.Seek(0, false);
    EXPECT_EQ(stream.LastError(), -1);
    EXPECT_EQ(stream.Position(), here);
    EXPECT_EQ(stream.Read(5), expected.substr(static_cast<size_t>(here), 5));
    stream.Seek(0, true);
    EXPECT_EQ(stream.LastError(), 0);
    stream.Seek(-1, true);
    EXPECT_EQ(stream.LastError(), -1);
  }
  // Past the end is a failure.
  ZStream stream(false, nullptr, std::make_shared<ScriptedReader>(GzipMember("short")));
  stream.Seek(100, false);
  EXPECT_EQ(stream.LastError(), -1);
}

TEST(ZStreamReadTest, FilesSeekBothWays) {
  testsupport::TempDir dir;
  for (const auto& [name, content, expected] :
       {std::tuple{"gzip", kMember, kText}, std::tuple{"plain", kOther, kOther}}) {
    SCOPED_TRACE(name);
    const auto file = dir / name;
    testsupport::WriteFile(file, content);
    ZStream stream(FolderItem(file), false);
    ASSERT_EQ(stream.LastError(), 0);
    EXPECT_EQ(stream.Read(30000), expected.substr(0, 30000));
    stream.Seek(100, false);
    EXPECT_EQ(stream.LastError(), 0);
    EXPECT_EQ(stream.Position(), 100);
    EXPECT_EQ(stream.Read(50), expected.substr(100, 50));
    stream.Seek(-150, true);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(ReadAll(stream, 16384).bytes, expected);
  }
}

TEST(ZStreamReadTest, FilesMadeByGzipReadBack) {
  if (!testsupport::HaveProgram("gzip")) GTEST_SKIP() << "gzip is not installed";
  testsupport::TempDir dir;
  const auto plain = dir / "Read Me.txt";
  testsupport::WriteFile(plain, kText);
  // gzip stores the name (a header field to skip); -9 and -1 give other
  // deflate choices; two runs appended make two members.
  ASSERT_EQ(testsupport::RunCommand("cd '" + dir.path().string() +
                                    "' && gzip -9 -c 'Read Me.txt' > one.gz && gzip -1 -c "
                                    "'Read Me.txt' >> one.gz"),
            0);
  ZStream stream(FolderItem(dir / "one.gz"), false);
  ASSERT_EQ(stream.LastError(), 0);
  const ReadResult result = ReadAll(stream, 16384);
  EXPECT_EQ(result.error, 0);
  EXPECT_EQ(result.bytes, kText + kText);
  EXPECT_TRUE(stream.Eof());
}

}  // namespace
