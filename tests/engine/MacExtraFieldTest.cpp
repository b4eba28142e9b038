// Macintosh type/creator blocks: building them for new entries and reading
// type, creator and name back.
#include <gtest/gtest.h>

#include "engine/ZipArchive.h"
#include "engine/ZipBytes.h"
#include "platform/ForkStoreTesting.h"

namespace {

using ziptest::Block;
using ziptest::Le16;

std::string longBlock(const std::string& storedName, const std::string& type,
                      const std::string& creator) {
  return Block(0x2605, "ZPIT" + std::string(1, static_cast<char>(storedName.size())) +
                           storedName + type + creator);
}

struct BuildCase {
  const char* what;
  std::string type, creator, name;
  std::string bytes;     // the block expected
  std::string readName;  // what GetTypeCreatorName gives back
};

class MacBlockBuild : public ::testing::TestWithParam<BuildCase> {};

TEST_P(MacBlockBuild, BytesAndReadBack) {
  const BuildCase& c = GetParam();
  ZipArchive archive;  // names in DOS Latin US
  ZipExtraFieldPtr x = archive.MakeZipExtraField(c.type, c.creator, c.name);
  ASSERT_NE(x, nullptr);
  EXPECT_FALSE(x->IsLocked());
  EXPECT_EQ(x->AsData(), c.bytes);
  EXPECT_EQ(x->MacBlockOffset(), 0);
  std::string type, creator, name;
  ASSERT_TRUE(x->GetTypeCreatorName(type, creator, name));
  EXPECT_EQ(type, c.bytes.substr(c.bytes.size() - 8, 4));
  EXPECT_EQ(creator, c.bytes.substr(c.bytes.size() - 4));
  EXPECT_EQ(name, c.readName);
}

const BuildCase kBuildCases[] = {
    // 17 + 7 bytes, data length 20.
    {"long_form_read_me", "TEXT", "ttxt", "Read Me",
     Le16(0x2605) + Le16(20) + "ZPIT\x07Read MeTEXTttxt", "Read Me"},
    {"short_form_for_an_empty_name", "TEXT", "ttxt", "", Le16(0x2705) + Le16(12) + "ZPITTEXTttxt",
     ""},
    {"short_codes_padded_with_zeros", "ab", "", "",
     Le16(0x2705) + Le16(12) + "ZPIT" + std::string("ab\0\0\0\0\0\0", 8), ""},
    {"long_codes_cut_to_four_bytes", "TEXTX", "ttxtY", "", Le16(0x2705) + Le16(12) + "ZPITTEXTttxt",
     ""},
    {"utf8_name_stored_in_the_archive_encoding", "TEXT", "ttxt", "Caf\xC3\xA9",
     longBlock("Caf\x82", "TEXT", "ttxt"), "Caf\xC3\xA9"},
    {"name_over_255_bytes_cut_to_255", "TEXT", "ttxt", std::string(300, 'n'),
     longBlock(std::string(255, 'n'), "TEXT", "ttxt"), std::string(255, 'n')},
};

INSTANTIATE_TEST_SUITE_P(Cases, MacBlockBuild, ::testing::ValuesIn(kBuildCases),
                         [](const auto& param) { return std::string(param.param.what); });

TEST(MacBlockBuild, NameInAUnicodeArchiveIsCutBeforeACharacter) {
  ZipArchive archive;
  testsupport::TempDir dir;
  ASSERT_TRUE(archive.Open(FolderItem(dir / "u.zip"), true, ZipArchive::EncodedAsUnicode()));
  std::string name(254, 'a');
  name += "\xC3\xA9";  // two bytes across the 255th
  ZipExtraFieldPtr x = archive.MakeZipExtraField("TEXT", "ttxt", name);
  std::string type, creator, read;
  ASSERT_TRUE(x->GetTypeCreatorName(type, creator, read));
  EXPECT_EQ(read, std::string(254, 'a'));
}

struct ReadCase {
  const char* what;
  std::string bytes;
  bool found;
  std::string type, creator, name;
};

class MacBlockRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(MacBlockRead, TypeCreatorName) {
  const ReadCase& c = GetParam();
  ZipExtraField x(std::make_shared<ZipArchiveData>(), c.bytes);
  // Whatever was in the arguments goes, found or not.
  std::string type = "old", creator = "old", name = "old";
  EXPECT_EQ(x.GetTypeCreatorName(type, creator, name), c.found);
  EXPECT_EQ(type, c.type);
  EXPECT_EQ(creator, c.creator);
  EXPECT_EQ(name, c.name);
}

const ReadCase kReadCases[] = {
    {"none", "", false, "", "", ""},
    {"unrelated_block_only", Block(0x5455, "123456789"), false, "", "", ""},
    {"short_form_after_another_block",
     Block(0x5455, "123456789") + ziptest::MacShortBlock("APPL", "MSWD"), true, "APPL", "MSWD", ""},
    {"long_form_name_from_dos_latin_us", longBlock("Gr\x81\xE1" "e", "TEXT", "R*ch"), true, "TEXT",
     "R*ch", "Gr\xC3\xBC\xC3\x9F" "e"},
    {"long_form_with_an_empty_name", longBlock("", "TEXT", "ttxt"), true, "TEXT", "ttxt", ""},
    // Noted by the constructor, but too short to be a long form.
    {"long_id_with_length_12", Block(0x2605, "ZPITTEXTttxt"), false, "", "", ""},
    {"name_length_running_past_the_block",
     Block(0x2605, "ZPIT\x09" "abcTEXTttxt") + Block(0x5455, "12345678"), false, "", "", ""},
    {"codes_kept_as_bytes", ziptest::MacShortBlock(std::string("\x00\xFF\x80 ", 4), "????"), true,
     std::string("\x00\xFF\x80 ", 4), "????", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, MacBlockRead, ::testing::ValuesIn(kReadCases),
                         [](const auto& param) { return std::string(param.param.what); });

// Building from a file, in every fork store.
class MacBlockFromFile : public forktest::StoreTest {};

TEST_P(MacBlockFromFile, CodesFromTheFinderInformation) {
  ZipArchive archive;
  FolderItem file = MakeFile("Read Me", "text");
  FinderInfo info;
  info.SetType("TEXT");
  info.SetCreator("ttxt");
  info.SetFlags(0x4000);
  ASSERT_TRUE(file.SetFinderInfo(info));

  ZipExtraFieldPtr own = archive.MakeZipExtraField(file);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->AsData(), Le16(0x2605) + Le16(20) + "ZPIT\x07Read MeTEXTttxt");
  ZipExtraFieldPtr unnamed = archive.MakeZipExtraField(file, "");
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(unnamed->AsData(), Le16(0x2705) + Le16(12) + "ZPITTEXTttxt");

  // A file without stored information has the codes its name implies.
  FolderItem notes = MakeFile("notes.txt", "x");
  EXPECT_EQ(archive.MakeZipExtraField(notes, "")->AsData(), ziptest::MacShortBlock("TEXT", "ttxt"));
}

TEST_P(MacBlockFromFile, Folders) {
  ZipArchive archive;
  FolderItem folder(dir / "Stuff");
  ASSERT_TRUE(folder.CreateAsFolder());
  // A folder's Finder information starts with its window's place, not codes.
  FinderInfo info;
  info.SetType(std::string("\x00\x28\x00\x30", 4));
  info.SetCreator(std::string("\x01\x00\x02\x00", 4));
  ASSERT_TRUE(folder.SetFinderInfo(info));
  EXPECT_EQ(archive.MakeZipExtraField(folder, ""), nullptr);
  ZipExtraFieldPtr named = archive.MakeZipExtraField(folder);
  ASSERT_NE(named, nullptr);
  EXPECT_EQ(named->AsData(), longBlock("Stuff", std::string(4, '\0'), std::string(4, '\0')));
}

INSTANTIATE_TEST_SUITE_P(Stores, MacBlockFromFile, ::testing::ValuesIn(forktest::StoreNames()));

}  // namespace
