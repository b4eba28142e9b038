#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/MemoryBlock.h"

TEST(MemoryBlock, TypedValuesFollowTheByteOrderSwitch) {
  struct Case {
    bool little;
    const char* bytes;
  };
  for (const Case& c : {Case{true, "\x78\x56\x34\x12"}, Case{false, "\x12\x34\x56\x78"}}) {
    MemoryBlock mb(8);
    mb.SetLittleEndian(c.little);
    mb.SetUInt32Value(2, 0x12345678);
    EXPECT_EQ(mb.StringValue(2, 4), std::string(c.bytes, 4));
    EXPECT_EQ(mb.UInt32Value(2), 0x12345678u);
    EXPECT_EQ(mb.UInt16Value(2), c.little ? 0x5678 : 0x1234);
    mb.SetInt16Value(0, -2);
    EXPECT_EQ(mb.Int16Value(0), -2);
    EXPECT_EQ(mb.UInt16Value(0), 0xFFFE);
  }
}

TEST(MemoryBlock, NewBlocksAreZeroedAndBigEndian) {
  MemoryBlock mb(4);
  EXPECT_FALSE(mb.LittleEndian());
  EXPECT_EQ(mb.UInt32Value(0), 0u);
  EXPECT_TRUE(MemoryBlock::Make(46, true)->LittleEndian());
}

TEST(MemoryBlock, EveryAccessOutsideTheBlockRaises) {
  MemoryBlock mb(4);
  EXPECT_THROW(mb.Byte(4), OutOfBoundsException);
  EXPECT_THROW(mb.Byte(-1), OutOfBoundsException);
  EXPECT_THROW(mb.UInt16Value(3), OutOfBoundsException);
  EXPECT_THROW(mb.UInt32Value(1), OutOfBoundsException);
  EXPECT_THROW(mb.SetUInt32Value(1, 0), OutOfBoundsException);
  EXPECT_THROW(mb.StringValue(2, 3), OutOfBoundsException);
  EXPECT_THROW(mb.StringValue(0, -1), OutOfBoundsException);
  EXPECT_THROW(mb.SetStringValue(3, "ab"), OutOfBoundsException);
  EXPECT_THROW(mb.Address(5), OutOfBoundsException);
  EXPECT_THROW(MemoryBlock(-1), OutOfBoundsException);
  // A huge offset must not wrap around into the block.
  EXPECT_THROW(mb.StringValue(INT64_MAX, 2), OutOfBoundsException);
  EXPECT_NO_THROW(mb.StringValue(4, 0));
}

TEST(MemoryBlock, PStringReadsOnlyWhatTheBlockHolds) {
  MemoryBlock mb(8);
  mb.SetPString(0, "Read Me");
  EXPECT_EQ(mb.Byte(0), 7);
  EXPECT_EQ(mb.PString(0), "Read Me");
  // A length byte that claims more than the block holds.
  mb.SetByte(0, 200);
  EXPECT_THROW(mb.PString(0), OutOfBoundsException);
  EXPECT_THROW(mb.SetPString(0, "too long for it"), OutOfBoundsException);
}

TEST(MemoryBlock, SizeChangesKeepTheBytes) {
  auto mb = MemoryBlock::FromString("abc");
  mb->SetSize(5);
  EXPECT_EQ(mb->ToString(), std::string("abc\0\0", 5));
  mb->SetSize(2);
  EXPECT_EQ(mb->ToString(), "ab");
}
