// MacBinary headers: what the engine writes, what it recognises, and what it
// puts back onto an extracted file.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "engine/MacBinary.h"
#include "engine/ZipArchive.h"
#include "platform/Exceptions.h"
#include "platform/ForkStoreTesting.h"

namespace {

namespace mb = macbinary;

// CRC-CCITT as MacBinary II defines it, bit by bit, to check the engine's
// against.
uint16_t referenceCRC(const std::string& bytes) {
  uint16_t crc = 0;
  for (unsigned char c : bytes) {
    crc ^= static_cast<uint16_t>(c << 8);
    for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
  }
  return crc;
}

TEST(MacBinaryCRC, ReferenceIsCRC16XModem) { EXPECT_EQ(referenceCRC("123456789"), 0x31C3); }

ZipEntryPtr entryNamed(const std::string& path) {
  return std::make_shared<ZipEntry>(std::make_shared<ZipArchiveData>(), nullptr, path, nullptr,
                                    "");
}

MemoryBlockPtr plainHeader(const std::string& name = "Read Me") {
  return ZipArchive::MakeMacBinaryHeader(10, 300, name, "TEXT", "ttxt", std::nullopt,
                                         std::nullopt);
}

void fixCRC(MemoryBlock& h) { h.SetUInt16Value(mb::kCRC, referenceCRC(h.StringValue(0, 124))); }

// --- The header as written ----------------------------------------------------

TEST(MacBinaryHeader, Layout) {
  const Date created = Date::FromTotalSeconds(100);
  const Date modified = Date::FromTotalSeconds(3000000000.0);
  MemoryBlockPtr h = ZipArchive::MakeMacBinaryHeader(10, 300, "Read Me", "TEXT", "ttxt", created,
                                                     modified);
  ASSERT_EQ(h->Size(), 128);
  const std::string b = h->ToString();
  std::string expected(128, '\0');
  expected.replace(1, 8, "\x07Read Me");
  expected.replace(65, 8, "TEXTttxt");
  expected.replace(83, 4, std::string("\0\0\0\x0A", 4));
  expected.replace(87, 4, std::string("\0\0\x01\x2C", 4));
  expected.replace(91, 4, std::string("\0\0\0\x64", 4));
  expected.replace(95, 4, std::string("\xB2\xD0\x5E\x00", 4));  // 3000000000
  expected.replace(102, 4, "mBIN");
  expected[122] = static_cast<char>(130);
  expected[123] = static_cast<char>(129);
  const uint16_t crc = referenceCRC(expected.substr(0, 124));
  expected[124] = static_cast<char>(crc >> 8);
  expected[125] = static_cast<char>(crc & 0xFF);
  EXPECT_EQ(b, expected);
  EXPECT_EQ(entryNamed("x")->z_MBHdrLevel(*h), mb::kLevelMB3);
  EXPECT_EQ(ZipEntry::z_CRC(*h, 124), crc);
}

struct NameCase {
  const char* what;
  std::string given;
  std::string stored;
};

class MacBinaryHeaderName : public ::testing::TestWithParam<NameCase> {};

TEST_P(MacBinaryHeaderName, StoredAs) {
  MemoryBlockPtr h = plainHeader(GetParam().given);
  EXPECT_EQ(h->PString(mb::kNameLength), GetParam().stored);
  EXPECT_EQ(entryNamed("x")->z_MBHdrLevel(*h), mb::kLevelMB3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MacBinaryHeaderName,
    ::testing::Values(
        NameCase{"seventy_bytes_cut_to_63", std::string(70, 'n'), std::string(63, 'n')},
        NameCase{"mac_roman", "Caf\xC3\xA9 \xE2\x84\xA2", "Caf\x8E \xAA"},
        NameCase{"colon_is_the_classic_slash", "a:b", "a/b"},
        // No Mac Roman form: the bytes as they are.
        NameCase{"not_mac_roman", "\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
        NameCase{"not_utf8", "Caf\x8E", "Caf\x8E"}),
    [](const auto& param) { return std::string(param.param.what); });

TEST(MacBinaryHeader, MisuseRaises) {
  EXPECT_THROW(plainHeader(""), RuntimeException);
  EXPECT_THROW(ZipArchive::MakeMacBinaryHeader(-1, 0, "x", "", "", std::nullopt, std::nullopt),
               RuntimeException);
  EXPECT_THROW(ZipArchive::MakeMacBinaryHeader(0, -1, "x", "", "", std::nullopt, std::nullopt),
               RuntimeException);
}

TEST(MacBinaryHeader, ModesAndStreamLength) {
  EXPECT_EQ(ZipArchive::MacBinaryNever(), 0);
  EXPECT_EQ(ZipArchive::MacBinarySmart(), 1);
  EXPECT_EQ(ZipArchive::MacBinaryAlways(), 2);
  // A 10-byte data fork and no resource fork: header, 10 bytes, 118 zeros.
  EXPECT_EQ(mb::StreamLength(10, 0), 256);
  EXPECT_EQ(mb::StreamLength(0, 0), 128);
  EXPECT_EQ(mb::StreamLength(128, 129), 128 + 128 + 256);
}

// --- Dates through signed fields ----------------------------------------------

TEST(MacBinaryDates, UnsignedThroughSigned) {
  const struct {
    double seconds;
    int32_t field;
  } cases[] = {
      {0, 0},
      {2147483647.0, 2147483647},
      {2147483648.0, -2147483647 - 1},  // 1972: the first date that reads negative
      {3000000000.0, -1294967296},
      {4294967295.0, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZipArchive::z_dblToLong(c.seconds), c.field) << c.seconds;
    EXPECT_EQ(ZipEntry::z_ulongToDouble(c.field), c.seconds) << c.seconds;
  }
  // Nothing an unsigned field could hold: no undefined conversion, just 0.
  for (double bad : {4294967296.0, -3e9, 1e300, std::nan("")}) {
    EXPECT_EQ(ZipArchive::z_dblToLong(bad), 0) << bad;
  }
}

TEST(MacBinaryDates, OutOfRangeDatesAreStoredAsNone) {
  MemoryBlockPtr h = ZipArchive::MakeMacBinaryHeader(
      0, 0, "x", "", "", Date::FromComponents(1900, 1, 1), Date::FromComponents(2050, 1, 1));
  EXPECT_EQ(h->Int32Value(mb::kCreationDate), 0);
  EXPECT_EQ(h->Int32Value(mb::kModificationDate), 0);
}

// --- Recognising headers ------------------------------------------------------

struct LevelCase {
  const char* what;
  std::function<void(MemoryBlock&)> change;  // applied to a header as made
  int32_t level;                             // MacBinary I detection off
  int32_t levelWithMB1;
};

class MacBinaryLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(MacBinaryLevel, Recognised) {
  const LevelCase& c = GetParam();
  MemoryBlockPtr h = plainHeader();
  c.change(*h);
  ZipEntryPtr e = entryNamed("Read Me");
  EXPECT_EQ(e->z_MBHdrLevel(*h), c.level);
  e->EnableMacBinary1Detection(true);
  EXPECT_EQ(e->z_MBHdrLevel(*h), c.levelWithMB1);
}

const LevelCase kLevelCases[] = {
    {"as_made", [](MemoryBlock&) {}, 3, 3},
    {"little_endian_block", [](MemoryBlock& h) { h.SetLittleEndian(true); }, 3, 3},
    {"newer_reader_version", [](MemoryBlock& h) { h.SetByte(123, 131); fixCRC(h); }, 4, 4},
    {"reader_version_130", [](MemoryBlock& h) { h.SetByte(123, 130); fixCRC(h); }, 3, 3},
    {"no_signature_is_macbinary_ii", [](MemoryBlock& h) { h.SetUInt32Value(102, 0); fixCRC(h); }, 2, 2},
    {"crc_broken", [](MemoryBlock& h) { h.SetByte(50, 1); }, 0, 1},
    {"crc_broken_long_name",
     [](MemoryBlock& h) { h.SetPString(1, std::string(40, 'x')); }, 0, 0},
    {"crc_broken_name_of_31", [](MemoryBlock& h) { h.SetPString(1, std::string(31, 'x')); }, 0, 1},
    {"old_version_not_zero", [](MemoryBlock& h) { h.SetByte(0, 1); fixCRC(h); }, 0, 0},
    {"byte_82_not_zero", [](MemoryBlock& h) { h.SetByte(82, 1); fixCRC(h); }, 0, 0},
    {"reserved_not_zero", [](MemoryBlock& h) { h.SetByte(127, 1); }, 0, 0},
    {"negative_data_length", [](MemoryBlock& h) { h.SetByte(83, 0x80); fixCRC(h); }, 0, 0},
    {"negative_resource_length", [](MemoryBlock& h) { h.SetByte(87, 0xFF); fixCRC(h); }, 0, 0},
    {"empty_name", [](MemoryBlock& h) { h.SetByte(1, 0); fixCRC(h); }, 0, 0},
    {"name_of_64", [](MemoryBlock& h) { h.SetByte(1, 64); fixCRC(h); }, 0, 0},
    {"name_of_63", [](MemoryBlock& h) { h.SetPString(1, std::string(63, 'x')); fixCRC(h); }, 3, 3},
    {"short_block", [](MemoryBlock& h) { h.SetSize(127); }, 0, 0},
    {"longer_block_counts_its_first_128", [](MemoryBlock& h) { h.SetSize(4096); }, 3, 3},
};

INSTANTIATE_TEST_SUITE_P(Cases, MacBinaryLevel, ::testing::ValuesIn(kLevelCases),
                         [](const auto& param) { return std::string(param.param.what); });

TEST(MacBinaryLevelCRC, AnyChangedByteBreaksIt) {
  ZipEntryPtr e = entryNamed("Read Me");
  for (int at = 0; at < 124; ++at) {
    MemoryBlockPtr h = plainHeader();
    h->SetByte(at, h->Byte(at) ^ 0x10);
    EXPECT_EQ(e->z_MBHdrLevel(*h), 0) << "byte " << at;
  }
}

TEST(MacBinaryLevelCRC, CountOutsideTheBlockRaises) {
  MemoryBlock small(100);
  EXPECT_THROW(ZipEntry::z_CRC(small, 124), OutOfBoundsException);
}

// --- Headers of files, and putting them back, in every store ------------------

class MacBinaryFiles : public forktest::StoreTest {
 protected:
  void WriteFork(const FolderItem& file, const std::string& bytes) {
    int16_t ref = 0;
    ASSERT_EQ(store->OpenRF(file.Path(), fsWrPerm, ref), ForkErr::noErr);
    int32_t count = static_cast<int32_t>(bytes.size());
    ASSERT_EQ(store->FSWrite(ref, count, bytes.data()), ForkErr::noErr);
    ASSERT_EQ(store->FSClose(ref), ForkErr::noErr);
  }
  bool KeepsDates() const { return store->KeepsCreationDates(); }
};

TEST_P(MacBinaryFiles, HeaderOfAFile) {
  FolderItem file = MakeFile("Read Me", "0123456789");
  WriteFork(file, forktest::PatternBytes(300));
  FinderInfo info;
  info.SetType("TEXT");
  info.SetCreator("ttxt");
  info.SetFlags(FinderInfo::kHasBeenInited | FinderInfo::kIsInvisible | 0x0020);
  ASSERT_TRUE(file.SetFinderInfo(info));
  const Date created = Date::FromComponents(1975, 6, 1, 12, 0, 0);
  if (KeepsDates()) {
    ASSERT_TRUE(file.SetCreationDate(created));
  }
  const Date modified = Date::FromComponents(2030, 2, 3, 4, 5, 6);
  ASSERT_TRUE(file.SetModificationDate(modified));
  ASSERT_TRUE(file.SetLocked(true));

  MemoryBlockPtr h = ZipArchive::MakeMacBinaryHeader(file);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(entryNamed("x")->z_MBHdrLevel(*h), mb::kLevelMB3);
  EXPECT_EQ(h->PString(mb::kNameLength), "Read Me");
  EXPECT_EQ(h->StringValue(mb::kFileType, 8), "TEXTttxt");
  EXPECT_EQ(h->Byte(mb::kFlagsHigh), 0x40);  // kHasBeenInited is the Finder's to set
  EXPECT_EQ(h->Byte(mb::kFlagsLow), 0x20);
  EXPECT_EQ(h->Byte(mb::kProtected), 1);
  EXPECT_EQ(h->Int32Value(mb::kDataForkLength), 10);
  EXPECT_EQ(h->Int32Value(mb::kRsrcForkLength), 300);
  EXPECT_EQ(h->Int32Value(mb::kModificationDate), ZipArchive::z_dblToLong(modified.TotalSeconds()));
  EXPECT_LT(h->Int32Value(mb::kModificationDate), 0);
  if (KeepsDates()) {
    EXPECT_EQ(h->Int32Value(mb::kCreationDate), ZipArchive::z_dblToLong(created.TotalSeconds()));
  }
  EXPECT_EQ(h->Byte(mb::kScript), 0);

  // Another name than the file's own is stored as given.
  MemoryBlockPtr other = ZipArchive::MakeMacBinaryHeader(file, 10, 300, "Other:Name");
  EXPECT_EQ(other->PString(mb::kNameLength), "Other/Name");
  EXPECT_EQ(other->Byte(mb::kFlagsHigh), 0x40);
  ASSERT_TRUE(file.SetLocked(false));
}

TEST_P(MacBinaryFiles, LongNameKeepsItsFlags) {
  // Too long for a classic name; the flags come along all the same.
  FolderItem file = MakeFile(std::string(70, 'L'), "");
  ASSERT_TRUE(file.SetFinderFlags(0x0401));
  MemoryBlockPtr h = ZipArchive::MakeMacBinaryHeader(file);
  EXPECT_EQ(h->PString(mb::kNameLength), std::string(63, 'L'));
  EXPECT_EQ(h->Byte(mb::kFlagsHigh), 0x04);
  EXPECT_EQ(h->Byte(mb::kFlagsLow), 0x01);
  EXPECT_EQ(h->Byte(mb::kProtected), 0);
}

TEST_P(MacBinaryFiles, HeaderOfAFolder) {
  FolderItem folder(dir / "Stuff");
  ASSERT_TRUE(folder.CreateAsFolder());
  FinderInfo info;
  info.SetType(std::string("\x00\x28\x00\x30", 4));  // the window's place
  info.SetFlags(0x4000);
  ASSERT_TRUE(folder.SetFinderInfo(info));
  MemoryBlockPtr h = ZipArchive::MakeMacBinaryHeader(folder);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->StringValue(mb::kFileType, 8), std::string(8, '\0'));
  EXPECT_EQ(h->Byte(mb::kFlagsHigh), 0x40);
  EXPECT_EQ(h->Int32Value(mb::kDataForkLength), 0);
  EXPECT_EQ(h->Int32Value(mb::kRsrcForkLength), 0);
  EXPECT_EQ(h->PString(mb::kNameLength), "Stuff");
}

TEST_P(MacBinaryFiles, ApplyRestoresEverything) {
  const Date created = Date::FromComponents(1975, 6, 1, 12, 0, 0);
  const Date modified = Date::FromComponents(2030, 2, 3, 4, 5, 6);
  for (bool locking : {false, true}) {
    const std::string name = locking ? "locked" : "unlocked";
    MemoryBlockPtr h =
        ZipArchive::MakeMacBinaryHeader(4, 0, name, "APPL", "Zzzz", created, modified);
    h->SetByte(mb::kFlagsHigh, 0xFF);
    h->SetByte(mb::kFlagsLow, 0x5A);
    h->SetByte(mb::kProtected, 1);
    FolderItem file = MakeFile(name, "data");
    ZipEntryPtr e = entryNamed(name);
    e->EnableFileLocking(locking);
    e->ApplyMacBinaryInformation(file, h);
    EXPECT_EQ(file.MacType(), "APPL");
    EXPECT_EQ(file.MacCreator(), "Zzzz");
    // kHasBeenInited and kNameLocked cleared, every other bit kept.
    EXPECT_EQ(file.FinderFlags(), 0xEE5A);
    EXPECT_EQ(file.ModificationDate(), modified);
    if (KeepsDates()) {
      EXPECT_EQ(file.CreationDate(), created);
    }
    EXPECT_EQ(file.Locked(), locking);
    EXPECT_EQ(testsupport::ReadFile(dir / name), "data");
    file.SetLocked(false);
  }
}

TEST_P(MacBinaryFiles, ApplyRenamesToTheMacName) {
  // The archive path could not carry "Icon/": extraction named it "Icon-".
  FolderItem file = MakeFile("Icon-", "x");
  MemoryBlockPtr h = ZipArchive::MakeMacBinaryHeader(1, 0, "Icon:", "ICON", "MACS",
                                                     std::nullopt, std::nullopt);
  ASSERT_EQ(h->PString(mb::kNameLength), "Icon/");
  entryNamed("folder/Icon-")->ApplyMacBinaryInformation(file, h);
  EXPECT_EQ(file.Name(), "Icon:");
  EXPECT_EQ(testsupport::ReadFile(dir / "Icon:"), "x");
  EXPECT_FALSE(FolderItem(dir / "Icon-").Exists());
  // The Finder information went to the file under its new name.
  EXPECT_EQ(FolderItem(dir / "Icon:").MacType(), "ICON");
}

TEST_P(MacBinaryFiles, OrdinaryFilesLeaveNothingStored) {
  FolderItem file = MakeFile("notes.txt", "hello");
  MemoryBlockPtr h = ZipArchive::MakeMacBinaryHeader(5, 0, "notes.txt", "TEXT", "ttxt",
                                                     std::nullopt, std::nullopt);
  entryNamed("notes.txt")->ApplyMacBinaryInformation(file, h);
  EXPECT_FALSE(StoresAnything());
  EXPECT_EQ(RawNames(), std::vector<std::string>{"notes.txt"});
  EXPECT_EQ(file.MacType(), "TEXT");
}

TEST_P(MacBinaryFiles, DateOfZeroIsNone) {
  FolderItem file = MakeFile("a", "x");
  const Date before = file.CreationDate();
  const Date mtime = file.ModificationDate();
  MemoryBlockPtr h = ZipArchive::MakeMacBinaryHeader(1, 0, "a", "TEXT", "R*ch", std::nullopt,
                                                     std::nullopt);
  entryNamed("a")->ApplyMacBinaryInformation(file, h);
  EXPECT_EQ(file.CreationDate(), before);
  EXPECT_EQ(file.ModificationDate(), mtime);
  EXPECT_NE(file.CreationDate().Year(), 1904);
}

TEST_P(MacBinaryFiles, UntrustedHeaders) {
  FolderItem file = MakeFile("f", "x");
  ZipEntryPtr e = entryNamed("f");
  e->ApplyMacBinaryInformation(file, nullptr);
  e->ApplyMacBinaryInformation(file, MemoryBlock::Make(64));
  EXPECT_FALSE(StoresAnything());

  // A name length past 63 would run into the codes: no rename, the rest holds.
  MemoryBlockPtr h = plainHeader("g");
  h->SetByte(mb::kNameLength, 200);
  e->ApplyMacBinaryInformation(file, h);
  EXPECT_EQ(file.Name(), "f");
  EXPECT_EQ(file.MacType(), "TEXT");

  // A file that is gone stays gone.
  FolderItem missing(dir / "missing");
  entryNamed("missing")->ApplyMacBinaryInformation(missing, plainHeader("m"));
  EXPECT_FALSE(missing.Exists());
  EXPECT_FALSE(FolderItem(dir / "m").Exists());
}

INSTANTIATE_TEST_SUITE_P(Stores, MacBinaryFiles, ::testing::ValuesIn(forktest::StoreNames()));

// --- Renaming to the Macintosh name -------------------------------------------

struct RenameCase {
  const char* what;
  std::string entryPath;     // the entry the file was extracted from
  std::string fileName;      // the file's name on disk
  std::string name;          // the Macintosh name, in the script's encoding
  int32_t script;
  std::string expected;      // the file's name afterwards
};

class MacFilenameCases : public ::testing::TestWithParam<RenameCase> {
 protected:
  // The rename rules don't depend on the store; the sidecar one guards its
  // own names.
  void SetUp() override { ForkStore::Install(std::make_shared<AppleDoubleStore>()); }
  void TearDown() override { ForkStore::Install(nullptr); }
  testsupport::TempDir dir;
};

TEST_P(MacFilenameCases, Renamed) {
  const RenameCase& c = GetParam();
  testsupport::WriteFile(dir / c.fileName, "content");
  testsupport::WriteFile(dir / "taken", "other");
  FolderItem file(dir / c.fileName);
  entryNamed(c.entryPath)->z_adjustMacFilename(c.name, c.script, file);
  EXPECT_EQ(file.Name(), c.expected);
  EXPECT_EQ(testsupport::ReadFile(dir / c.expected), "content");
  EXPECT_EQ(testsupport::ReadFile(dir / "taken"), "other");
  // Nothing else appeared or went: the file and the other one.
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++count;
  }
  EXPECT_EQ(count, 2u);
}

const RenameCase kRenameCases[] = {
    {"mac_roman", "Cafe", "Cafe", "Caf\x8E", 0, "Caf\xC3\xA9"},
    {"classic_slash_becomes_colon", "a/Icon-", "Icon-", "Icon/", 0, "Icon:"},
    {"script_with_bit_7", "x", "x", "\x93\xFA\x96\x7B", 0x81, "\xE6\x97\xA5\xE6\x9C\xAC"},
    {"utf8_name_from_the_extra_field", "Gruse", "Gruse", "Gr\xC3\xBC\xC3\x9F" "e",
     ZipEntry::kNameIsUTF8, "Gr\xC3\xBC\xC3\x9F" "e"},
    {"same_name_but_case", "readme", "readme", "README", 0, "readme"},
    {"file_renamed_since_extraction", "original", "shortened", "Mac Name", 0, "shortened"},
    {"name_without_classic_form", std::string(40, 'n'), std::string(40, 'n'), "Mac Name", 0,
     std::string(40, 'n')},
    {"never_onto_another_file", "mine", "mine", "taken", 0, "mine"},
    {"never_out_of_the_folder", "mine", "mine", "..", 0, "mine"},
    {"never_a_sidecar_name", "mine", "mine", "._taken", 0, "mine"},
    {"no_nul_in_names", "mine", "mine", std::string("a\0b", 3), 0, "mine"},
    {"script_without_converter", "mine", "mine", "Other", 0x80 | 0x7E, "mine"},
};

INSTANTIATE_TEST_SUITE_P(Cases, MacFilenameCases, ::testing::ValuesIn(kRenameCases),
                         [](const auto& param) { return std::string(param.param.what); });

}  // namespace

// --- Other tools read our headers ---------------------------------------------

class MacBinaryOtherTools : public forktest::StoreTest {};

TEST_P(MacBinaryOtherTools, MacsaveSplitsTheForks) {
  if (!testsupport::HaveProgram("macsave")) GTEST_SKIP() << "macsave (macutils) is not installed";
  struct Forks {
    std::string name, data, rsrc;
  };
  const Forks cases[] = {
      {"Sample", "0123456789", forktest::PatternBytes(300)},
      {"DataOnly", "0123456789", ""},
      {"Exact", std::string(128, 'd'), std::string(256, 'r')},
  };
  for (const Forks& c : cases) {
    FolderItem file = MakeFile(c.name, c.data);
    if (!c.rsrc.empty()) {
      int16_t ref = 0;
      ASSERT_EQ(store->OpenRF(file.Path(), fsWrPerm, ref), ForkErr::noErr);
      int32_t count = static_cast<int32_t>(c.rsrc.size());
      ASSERT_EQ(store->FSWrite(ref, count, c.rsrc.data()), ForkErr::noErr);
      ASSERT_EQ(store->FSClose(ref), ForkErr::noErr);
    }
    ASSERT_TRUE(file.SetMacType("APPL"));
    ASSERT_TRUE(file.SetMacCreator("Zzzz"));
    MemoryBlockPtr h = ZipArchive::MakeMacBinaryHeader(file);
    ASSERT_NE(h, nullptr);
    auto padded = [](std::string s) { return s.append((128 - s.size() % 128) % 128, '\0'); };
    const std::string stream = h->ToString() + padded(c.data) + padded(c.rsrc);
    ASSERT_EQ(static_cast<int64_t>(stream.size()), mb::StreamLength(c.data.size(), c.rsrc.size()));

    testsupport::TempDir out;
    testsupport::WriteFile(out / "in.bin", stream);
    ASSERT_EQ(testsupport::RunCommand("cd '" + out.path().string() +
                                      "' && macsave -3 < in.bin 2>/dev/null"),
              0)
        << c.name;
    EXPECT_EQ(testsupport::ReadFile(out / (c.name + ".data")), c.data) << c.name;
    EXPECT_EQ(testsupport::ReadFile(out / (c.name + ".rsrc")), c.rsrc) << c.name;
    const std::string info = testsupport::ReadFile(out / (c.name + ".info"));
    ASSERT_GE(info.size(), 73u) << c.name;
    EXPECT_EQ(info.substr(65, 8), "APPLZzzz") << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, MacBinaryOtherTools, ::testing::ValuesIn(forktest::StoreNames()));
