// Where an extra field's Macintosh type/creator block lies.
#include <gtest/gtest.h>

#include "engine/ZipArchive.h"
#include "engine/ZipBytes.h"

namespace {

using ziptest::Block;
using ziptest::Le16;
using ziptest::MacShortBlock;

std::string macLongBlock(const std::string& name, const std::string& type,
                         const std::string& creator) {
  return Block(0x2605, "ZPIT" + std::string(1, static_cast<char>(name.size())) + name + type +
                           creator);
}

struct MacBlockCase {
  const char* what;
  std::string bytes;
  int32_t offset;
};

class MacBlockSearch : public ::testing::TestWithParam<MacBlockCase> {};

TEST_P(MacBlockSearch, FindsTheNotedBlock) {
  const MacBlockCase& c = GetParam();
  ZipExtraField x(std::make_shared<ZipArchiveData>(), c.bytes);
  EXPECT_EQ(x.MacBlockOffset(), c.offset);
  EXPECT_EQ(x.AsData(), c.bytes);
  EXPECT_FALSE(x.IsLocked());
}

const MacBlockCase kMacBlockCases[] = {
    {"empty", "", -1},
    {"short_form_alone", MacShortBlock("TEXT", "ttxt"), 0},
    {"long_form_alone", macLongBlock("Read Me", "TEXT", "ttxt"), 0},
    {"after_an_unrelated_nine_byte_block",
     Block(0x5455, "123456789") + MacShortBlock("TEXT", "ttxt"), 13},
    {"first_block_of_length_zero_ends_the_search",
     Block(0x5455, "") + MacShortBlock("TEXT", "ttxt"), -1},
    {"the_later_of_two_wins",
     MacShortBlock("TEXT", "ttxt") + macLongBlock("x", "APPL", "ttxt"), 16},
    {"long_id_with_length_12_is_noted", Block(0x2605, "ZPITTEXTttxt"), 0},
    {"too_short_for_a_mac_block", Block(0x2705, "ZPITTEXT"), -1},
    {"other_id_with_the_signature", Block(0x2805, "ZPITTEXTttxt"), -1},
    {"wrong_signature", Block(0x2705, "ZPIXTEXTttxt"), -1},
    {"block_running_past_the_end",
     Block(0x5455, "abc") + Le16(0x2705) + Le16(200) + "ZPITTEXTttxt", -1},
    {"truncated_header_at_the_end", MacShortBlock("TEXT", "ttxt") + "\x05\x27\x0C", 0},
    {"length_at_its_maximum", Le16(0x2705) + Le16(0xFFFF) + "ZPITTEXTttxt", -1},
};

INSTANTIATE_TEST_SUITE_P(Cases, MacBlockSearch, ::testing::ValuesIn(kMacBlockCases),
                         [](const auto& param) { return std::string(param.param.what); });

TEST(ExtraField, MadeByTheArchiveUnlocked) {
  ZipArchive archive;
  ZipExtraFieldPtr x = archive.MakeZipExtraField(MacShortBlock("TEXT", "ttxt"));
  ASSERT_NE(x, nullptr);
  EXPECT_FALSE(x->IsLocked());
  EXPECT_EQ(x->MacBlockOffset(), 0);
  x->Lock();
  EXPECT_TRUE(x->IsLocked());
}

}  // namespace
