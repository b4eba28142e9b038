#include <gtest/gtest.h>

#include "platform/TextEncoding.h"

TEST(TextEncoding, ConvertsBetweenTheArchiveEncodingsAndUTF8) {
  struct Case {
    TextEncoding enc;
    std::string native;
    std::string utf8;
  };
  const Case cases[] = {
      {Encodings::DOSLatinUS(), "\x84", "\xC3\xA4"},         // ä
      {Encodings::DOSLatinUS(), "caf\x82", "caf\xC3\xA9"},   // café
      {Encodings::WindowsLatin1(), "\xE4", "\xC3\xA4"},
      {Encodings::MacRoman(), "\x8A", "\xC3\xA4"},
      {Encodings::MacRoman(), "\xA5", "\xE2\x80\xA2"},       // bullet
      {GetTextEncoding(1), "\x82\xA0", "\xE3\x81\x82"},      // Japanese あ
  };
  for (const Case& c : cases) {
    auto toUtf8 = GetTextConverter(c.enc, Encodings::UTF8());
    auto fromUtf8 = GetTextConverter(Encodings::UTF8(), c.enc);
    ASSERT_TRUE(toUtf8 && fromUtf8) << c.enc.IconvName();
    EXPECT_EQ(toUtf8->Convert(c.native), c.utf8);
    EXPECT_EQ(fromUtf8->Convert(c.utf8), c.native);
  }
}

TEST(TextEncoding, AFailedConversionGivesTheEmptyString) {
  auto toDos = GetTextConverter(Encodings::UTF8(), Encodings::DOSLatinUS());
  EXPECT_EQ(toDos->Convert("\xE2\x82\xAC"), "");       // € is not in code page 437
  EXPECT_EQ(toDos->Convert("ok \xFF broken"), "");     // not UTF-8 at all
  EXPECT_EQ(toDos->Convert("plain"), "plain");          // the converter recovers
  EXPECT_EQ(toDos->Convert(""), "");
}

TEST(TextEncoding, ScriptsWithoutACharacterSetHaveNoConverter) {
  EXPECT_EQ(GetTextConverter(GetTextEncoding(6), Encodings::UTF8()), nullptr);  // Greek
  EXPECT_EQ(GetFontTextEncoding("System"), Encodings::MacRoman());
  EXPECT_FALSE(GetFontTextEncoding("Chicago").has_value());
}

TEST(TextEncoding, RecognisesUTF8) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},           {"plain", true},       {"\xC3\xA4", true},
      {"\xF0\x9F\x98\x80", true},                  {"\xC3", false},
      {"\x84", false},      {"\xC0\xAF", false},   {"\xED\xA0\x80", false},
      {"\xF4\x90\x80\x80", false},                 {"a\xE2\x82", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUTF8(c.bytes), c.valid) << c.bytes;
  EXPECT_EQ(GuessTextEncoding("abc"), Encodings::UTF8());
  EXPECT_FALSE(GuessTextEncoding("\x84").has_value());
}

TEST(TextEncoding, CodesRoundTrip) {
  for (TextEncoding e : {Encodings::UTF8(), Encodings::DOSLatinUS(), Encodings::MacRoman(),
                         GetTextEncoding(29, 1, 0)}) {
    EXPECT_EQ(TextEncoding::FromCode(e.Code()), e);
  }
}
