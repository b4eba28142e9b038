#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/BinaryStream.h"
#include "support/TestSupport.h"

using testsupport::InChildWithFileSizeLimit;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(BinaryStream, OpensOnlyExistingRegularFiles) {
  TempDir tmp;
  EXPECT_EQ(BinaryStream::Open(tmp / "missing", false), nullptr);
  EXPECT_EQ(BinaryStream::Open(tmp.path(), false), nullptr);
  WriteFile(tmp / "f", "x");
  EXPECT_NE(BinaryStream::Open(tmp / "f", false), nullptr);
}

TEST(BinaryStream, TypedReadsAndWritesInBothByteOrders) {
  TempDir tmp;
  auto bs = BinaryStream::Create(tmp / "f");
  ASSERT_TRUE(bs);
  bs->SetLittleEndian(true);
  bs->WriteUInt32(0x04034B50);
  bs->WriteUInt16(0x0014);
  bs->SetLittleEndian(false);
  bs->WriteUInt16(0x0102);
  bs->WriteInt8(-1);
  bs->Close();
  EXPECT_EQ(ReadFile(tmp / "f"), std::string("PK\x03\x04\x14\x00\x01\x02\xFF", 9));

  auto in = BinaryStream::Open(tmp / "f", false);
  in->SetLittleEndian(true);
  EXPECT_EQ(in->ReadUInt32(), 0x04034B50u);
  EXPECT_EQ(in->ReadUInt16(), 0x0014);
  in->SetLittleEndian(false);
  EXPECT_EQ(in->ReadUInt16(), 0x0102);
  EXPECT_EQ(in->ReadInt8(), -1);
  EXPECT_TRUE(in->Eof());
  EXPECT_FALSE(in->ReadShort());
}

TEST(BinaryStream, ReadsPastTheEndAreShortAndZeroFilled) {
  TempDir tmp;
  WriteFile(tmp / "f", "abc");
  auto bs = BinaryStream::Open(tmp / "f", false);
  bs->SetPosition(1);
  EXPECT_EQ(bs->Read(100), "bc");
  EXPECT_EQ(bs->Read(100), "");
  bs->SetPosition(2);
  bs->SetLittleEndian(true);
  EXPECT_EQ(bs->ReadUInt32(), uint32_t{'c'});
  EXPECT_TRUE(bs->ReadShort());
  // A count far beyond the file must not allocate it.
  bs->SetPosition(0);
  EXPECT_EQ(bs->Read(int64_t{1} << 40), "abc");
}

TEST(BinaryStream, AFileThatShrinksGivesShortReads) {
  TempDir tmp;
  WriteFile(tmp / "f", std::string(200000, 'a'));
  auto bs = BinaryStream::Open(tmp / "f", false);
  EXPECT_EQ(bs->Read(10), std::string(10, 'a'));
  ASSERT_EQ(truncate((tmp / "f").c_str(), 100), 0);
  bs->SetPosition(150000);
  EXPECT_EQ(bs->Read(1000), "");
  bs->SetPosition(90);
  std::string rest = bs->Read(1000);
  // Bytes still in the buffer may be served; nothing beyond what was ever
  // in the file, and never more than asked.
  EXPECT_LE(rest.size(), 1000u);
  EXPECT_EQ(rest, std::string(rest.size(), 'a'));
}

TEST(BinaryStream, MixedReadsAndWritesSeeEachOther) {
  TempDir tmp;
  auto bs = BinaryStream::Create(tmp / "f");
  std::string big(100000, 'x');
  bs->Write("0123456789");
  bs->Write(big);  // larger than the buffer: written straight through
  bs->SetPosition(5);
  bs->Write("ab");
  bs->SetPosition(0);
  EXPECT_EQ(bs->Read(10), "01234ab789");
  EXPECT_EQ(bs->Length(), 100010);
  bs->SetPosition(100008);
  bs->Write("yyyy");  // extends the file from inside the buffer range
  EXPECT_EQ(bs->Length(), 100012);
  bs->SetPosition(100006);
  EXPECT_EQ(bs->Read(10), "xxyyyy");
  ASSERT_TRUE(bs->SetLength(4));
  EXPECT_EQ(bs->Length(), 4);
  bs->SetPosition(0);
  EXPECT_EQ(bs->Read(10), "0123");
  bs->Close();
  EXPECT_EQ(ReadFile(tmp / "f"), "0123");
}

TEST(BinaryStream, WritesToAReadOnlyStreamAreRefused) {
  TempDir tmp;
  WriteFile(tmp / "f", "abc");
  auto bs = BinaryStream::Open(tmp / "f", false);
  bs->Write("zz");
  EXPECT_TRUE(bs->WriteFailed());
  EXPECT_FALSE(bs->SetLength(0));
  bs->Close();
  EXPECT_EQ(ReadFile(tmp / "f"), "abc");
}

// A real short write: the child may not grow a file past 1000 bytes.
TEST(BinaryStream, AFailedWriteIsLatchedAndTheLengthTellsTheTruth) {
  TempDir tmp;
  auto path = tmp / "f";
  EXPECT_EQ(InChildWithFileSizeLimit(1000, [&] {
              auto bs = BinaryStream::Create(path);
              bs->Write(std::string(3000, 'z'));
              bool flushed = bs->Flush();
              return (!flushed && bs->WriteFailed() && bs->Length() == 1000) ? 0 : 1;
            }),
            0);
}

// Bytes written back into the buffer (a header patched once its data is
// written) stay there with the rest, and reading them back needs no flush.
TEST(BinaryStream, PatchesInTheBufferWaitForTheNextFlush) {
  TempDir tmp;
  auto bs = BinaryStream::Create(tmp / "f");
  bs->Write("header....data");
  bs->SetPosition(6);
  bs->Write("1234");
  bs->SetPosition(0);
  EXPECT_EQ(bs->Read(14), "header1234data");
  EXPECT_EQ(ReadFile(tmp / "f"), "");
  bs->SetPosition(14);
  bs->Write("!");
  ASSERT_TRUE(bs->Flush());
  EXPECT_EQ(ReadFile(tmp / "f"), "header1234data!");
}

// Where lost bytes begin: a failed buffer counts from its start, bytes
// handed over before it are safe.
TEST(BinaryStream, AFailedWriteTellsWhereTheLostBytesBegin) {
  TempDir tmp;
  auto path = tmp / "f";
  EXPECT_EQ(InChildWithFileSizeLimit(1000, [&] {
    auto bs = BinaryStream::Create(path);
    bs->Write(std::string(600, 'a'));
    int failures = 0;
    if (!bs->Flush() || bs->FirstFailedWrite() != -1) failures |= 1;
    bs->Write(std::string(3000, 'z'));
    if (bs->Flush() || bs->FirstFailedWrite() != 600) failures |= 2;
    // Straight through, past the buffer's size.
    bs->SetPosition(200000);
    bs->Write(std::string(100000, 'y'));
    if (bs->FirstFailedWrite() != 600) failures |= 4;
    bs->ClearFlags();
    bs->SetPosition(200000);
    bs->Write(std::string(100000, 'y'));
    if (bs->FirstFailedWrite() != 200000) failures |= 8;
    bs->ClearFlags();
    if (bs->WriteFailed() || bs->FirstFailedWrite() != -1) failures |= 16;
    return failures;
  }),
            0);
}
