// Archives made by other tools, read back and compared with what Python's
// zipfile sees in them. zipfile decodes names as UTF-8 when flag bit 11 is set
// and as code page 437 otherwise; the engine also takes UTF-8 names from Unix
// hosts as UTF-8 (as unzip and bsdtar do), so the script does that too.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/ZipArchive.h"
#include "support/TestSupport.h"

namespace {

struct Seen {
  std::string name;
  int64_t size;
  int64_t compressedSize;
  uint32_t crc;
  int method;
  std::string comment;
};

// One line per entry, fields separated by tabs; names and comments as hex.
const char kDumpScript[] = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z, open(sys.argv[2], 'w') as out:
    for i in z.infolist():
        name = i.filename
        if not i.flag_bits & 0x800 and i.create_system in (3, 19) and not name.isascii():
            try:
                name = name.encode('cp437').decode('utf-8')
            except UnicodeError:
                pass
        out.write('%s\t%d\t%d\t%d\t%d\t%s\n' % (name.encode('utf-8').hex(), i.file_size,
                  i.compress_size, i.CRC, i.compress_type, i.comment.hex()))
)";

std::string fromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

std::vector<Seen> dumpWithPython(const testsupport::TempDir& dir, const std::string& zip) {
  testsupport::WriteFile(dir / "dump.py", kDumpScript);
  const std::string listing = (dir / "listing.txt").string();
  EXPECT_EQ(testsupport::RunCommand("python3 '" + (dir / "dump.py").string() + "' '" + zip +
                                    "' '" + listing + "'"),
            0);
  std::vector<Seen> seen;
  std::istringstream in(testsupport::ReadFile(listing));
  std::string name, comment;
  Seen s;
  while (in >> name >> s.size >> s.compressedSize >> s.crc >> s.method) {
    // An empty comment leaves nothing to read but the line's end.
    std::string rest;
    std::getline(in, rest);
    s.name = fromHex(name);
    s.comment = fromHex(rest.size() > 1 ? rest.substr(1) : "");
    seen.push_back(s);
  }
  return seen;
}

void expectSameAsPython(const testsupport::TempDir& dir, const std::string& zip,
                        size_t expectedEntries) {
  std::vector<Seen> seen = dumpWithPython(dir, zip);
  ASSERT_EQ(seen.size(), expectedEntries);
  ZipArchive archive;
  ASSERT_TRUE(archive.Open(FolderItem(zip), false)) << archive.ErrorMessage();
  ASSERT_EQ(archive.EntryCount(), static_cast<int32_t>(seen.size()));
  for (size_t i = 0; i < seen.size(); ++i) {
    ZipEntryPtr e = archive.Entry(static_cast<int32_t>(i + 1));
    const Seen& s = seen[i];
    EXPECT_EQ(e->RawPath(), s.name);
    EXPECT_EQ(e->Size(), s.size) << s.name;
    EXPECT_EQ(e->CompressedSize(), s.compressedSize) << s.name;
    EXPECT_EQ(e->CRC32(), s.crc) << s.name;
    EXPECT_EQ(e->CompressionMethod(), s.method) << s.name;
    EXPECT_EQ(e->Comment(), s.comment) << s.name;
    EXPECT_EQ(e->IsDirectory(), s.name.back() == '/') << s.name;
    EXPECT_TRUE(e->Time().has_value()) << s.name;
    EXPECT_NE(e->ExtraField(), nullptr) << s.name;
  }
}

TEST(OtherTools, InfoZipArchive) {
  if (!testsupport::HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir / "src/Docs/Empty");
  testsupport::WriteFile(dir / "src/Docs/read me.txt", std::string(2000, 'r'));
  testsupport::WriteFile(dir / "src/one.bin", "1");
  testsupport::WriteFile(dir / "src/empty", "");
  // Info-ZIP stores this name's UTF-8 bytes without flagging them; the host
  // system tells that they are UTF-8.
  testsupport::WriteFile(dir / "src/caf\xC3\xA9.txt", "coffee");
  const std::string zip = (dir / "z.zip").string();
  ASSERT_EQ(testsupport::RunCommand("cd '" + (dir / "src").string() + "' && zip -q -r '" + zip +
                                    "' . && zip -q -0 '" + zip + "' one.bin"),
            0);
  expectSameAsPython(dir, zip, 6);
}

TEST(OtherTools, PythonArchiveWithUTF8NamesAndComments) {
  if (!testsupport::HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
  testsupport::TempDir dir;
  const std::string zip = (dir / "p.zip").string();
  testsupport::WriteFile(dir / "make.py", R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('plain.txt', 'plain text ' * 50)
    z.writestr('Gr\u00fc\u00dfe/\u00e4\u20ac.txt', 'utf-8 name')
    z.writestr(zipfile.ZipInfo('Gr\u00fc\u00dfe/'), '')
    info = zipfile.ZipInfo('stored.bin')
    info.comment = 'entry comment'.encode()
    z.writestr(info, bytes(range(256)), compress_type=zipfile.ZIP_STORED)
    z.comment = b'archive comment'
)");
  ASSERT_EQ(testsupport::RunCommand("python3 '" + (dir / "make.py").string() + "' '" + zip + "'"),
            0);
  expectSameAsPython(dir, zip, 4);

  ZipArchive archive;
  ASSERT_TRUE(archive.Open(FolderItem(zip), false));
  EXPECT_EQ(archive.Comment(), "archive comment");
  ZipEntryPtr e = archive.Entry(2);
  EXPECT_EQ(e->RawPath(), "Gr\xC3\xBC\xC3\x9F" "e/\xC3\xA4\xE2\x82\xAC.txt");
  EXPECT_EQ(e->Name(), "\xC3\xA4\xE2\x82\xAC.txt");
  EXPECT_TRUE(e->SameRawPath("GR\xC3\xBC\xC3\x9F" "E/\xC3\xA4\xE2\x82\xAC.TXT"));
}

}  // namespace
