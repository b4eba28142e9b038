#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "streams/Helpers.h"

TEST(Helpers, CRC32MatchesTheKnownVectorInOneOrMorePieces) {
  EXPECT_EQ(CRC_32OfStrCont("123456789", 0), 0xCBF43926u);
  EXPECT_EQ(CRC_32OfStrCont("56789", CRC_32OfStrCont("1234", 0)), 0xCBF43926u);
  EXPECT_EQ(CRC_32OfStrCont("", 0), 0u);
  EXPECT_EQ(CRC_32OfStrCont("", 0xCBF43926u), 0xCBF43926u);
}

TEST(Helpers, CRCCCITTIsTheXModemVariant) {
  const char text[] = "123456789";
  EXPECT_EQ(CRC_CCITTInMem(text, 9), 0x31C3);
  EXPECT_EQ(CRC_CCITTInMem(text, 0), 0);
  // A value of 0x8000 or more comes back negative.
  const unsigned char high[] = {0x80};
  int32_t crc = CRC_CCITTInMem(high, 1);
  EXPECT_LT(crc, 0);
  EXPECT_EQ(crc + 0x10000, 0x9188);

  auto mb = MemoryBlock::FromString("xx123456789");
  EXPECT_EQ(CRC_CCITT(*mb, 2, 9), 0x31C3);
  EXPECT_THROW(CRC_CCITT(*mb, 3, 9), OutOfBoundsException);
}

TEST(Helpers, CopyBytesCopiesARangeAndChecksBothSides) {
  auto src = MemoryBlock::FromString("abcdef");
  MemoryBlock dst(4);
  CopyBytes(*src, 1, 3, dst, 1);
  EXPECT_EQ(dst.ToString(), std::string("\0bcd", 4));
  EXPECT_THROW(CopyBytes(*src, 4, 3, dst, 0), OutOfBoundsException);
  EXPECT_THROW(CopyBytes(*src, 0, 3, dst, 2), OutOfBoundsException);
}

TEST(Helpers, StringEncodingTagsChangeNoBytes) {
  TaggedString s{"\x84", Encodings::DOSLatinUS().Code()};
  EXPECT_EQ(GetStringEncoding(s), Encodings::DOSLatinUS().Code());
  SetStringEncoding(s, Encodings::MacRoman().Code());
  EXPECT_EQ(GetStringEncoding(s), Encodings::MacRoman().Code());
  EXPECT_EQ(s.bytes, "\x84");
}
