// `pellarc list --json` and the table agree with Info-ZIP's `unzip -Z` on the
// names, sizes, methods and CRCs of archives that other tools made.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "cli/CliTestSupport.h"
#include "cli/JsonReader.h"
#include "support/TestSupport.h"

namespace {

struct ZipinfoEntry {
  std::string name;
  int method = -1;
  std::string crc;
  double compressedSize = -1;
  double size = -1;
};

std::string capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  pclose(pipe);
  return out;
}

std::string valueAfter(const std::string& line, const std::string& label) {
  std::string rest = line.substr(line.find(label) + label.size());
  size_t start = rest.find_first_not_of(' ');
  return start == std::string::npos ? "" : rest.substr(start);
}

// Reads the entries out of `unzip -Zv`: each begins with "Central directory
// entry #N:", a line of dashes, an empty line and the name, indented by two.
std::vector<ZipinfoEntry> zipinfo(const std::string& zip) {
  std::istringstream in(capture("unzip -Zv '" + zip + "'"));
  std::vector<ZipinfoEntry> entries;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Central directory entry #", 0) == 0) {
      std::getline(in, line);  // dashes
      std::getline(in, line);  // empty
      std::getline(in, line);
      entries.push_back({line.substr(2)});
    } else if (entries.empty()) {
      continue;
    } else if (line.find("  compression method:") == 0) {
      const std::string method = valueAfter(line, "compression method:");
      entries.back().method = method == "none (stored)" ? 0
                              : method == "deflated"    ? 8
                                                        : -1;
    } else if (line.find("  32-bit CRC value (hex):") == 0) {
      entries.back().crc = valueAfter(line, "32-bit CRC value (hex):");
    } else if (line.find("  compressed size:") == 0) {
      entries.back().compressedSize = std::stod(valueAfter(line, "compressed size:"));
    } else if (line.find("  uncompressed size:") == 0) {
      entries.back().size = std::stod(valueAfter(line, "uncompressed size:"));
    }
  }
  return entries;
}

void expectAgreement(const std::string& zip, size_t expectedEntries) {
  std::vector<ZipinfoEntry> theirs = zipinfo(zip);
  ASSERT_EQ(theirs.size(), expectedEntries);

  clitest::Outcome json = clitest::Run({"list", "--json", zip});
  ASSERT_EQ(json.status, 0) << json.err;
  std::optional<jsontest::Value> ours = jsontest::Parse(json.out);
  ASSERT_TRUE(ours) << json.out;
  ASSERT_EQ(ours->items.size(), theirs.size());

  clitest::Outcome table = clitest::Run({"list", zip});
  ASSERT_EQ(table.status, 0) << table.err;
  std::istringstream rows(table.out);
  std::string row;
  std::getline(rows, row);  // the heading

  for (size_t i = 0; i < theirs.size(); ++i) {
    const ZipinfoEntry& t = theirs[i];
    const jsontest::Value& o = ours->items[i];
    EXPECT_EQ(o["path"].text, t.name);
    EXPECT_EQ(o["method"].number, t.method) << t.name;
    EXPECT_EQ(o["crc32"].text, t.crc) << t.name;
    EXPECT_EQ(o["compressed_size"].number, t.compressedSize) << t.name;
    EXPECT_EQ(o["size"].number, t.size) << t.name;

    std::getline(rows, row);
    std::istringstream fields(row);
    double size = -1, compressed = -1;
    fields >> size >> compressed;
    EXPECT_EQ(size, t.size) << row;
    EXPECT_EQ(compressed, t.compressedSize) << row;
    EXPECT_EQ(row.substr(row.size() - t.name.size()), t.name) << row;
  }
}

TEST(UnzipAgreement, InfoZipArchive) {
  if (!testsupport::HaveProgram("zip") || !testsupport::HaveProgram("unzip")) {
    GTEST_SKIP() << "Info-ZIP zip and unzip are needed";
  }
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir / "src/Docs/Empty");
  testsupport::WriteFile(dir / "src/Docs/read me.txt", std::string(3000, 'r'));
  testsupport::WriteFile(dir / "src/random.bin", std::string("\x01\x7f\xff\x10 incompressible?", 20));
  testsupport::WriteFile(dir / "src/empty", "");
  const std::string zip = (dir / "z.zip").string();
  ASSERT_EQ(testsupport::RunCommand("cd '" + (dir / "src").string() + "' && zip -q -r '" + zip +
                                    "' . && echo an archive comment | zip -q -z '" + zip + "'"),
            0);
  expectAgreement(zip, 5);
}

TEST(UnzipAgreement, PythonArchiveWithUTF8Names) {
  if (!testsupport::HaveProgram("python3") || !testsupport::HaveProgram("unzip")) {
    GTEST_SKIP() << "python3 and unzip are needed";
  }
  testsupport::TempDir dir;
  const std::string zip = (dir / "p.zip").string();
  testsupport::WriteFile(dir / "make.py", R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('plain.txt', 'plain ' * 100, compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('Gr\u00fc\u00dfe/', '')
    z.writestr('Gr\u00fc\u00dfe/\u00e4\u20ac \u65e5\u672c.txt', 'utf-8 name', compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('empty.dat', '', compress_type=zipfile.ZIP_DEFLATED)
    info = zipfile.ZipInfo('stored.bin')
    info.comment = b'an entry comment'
    z.writestr(info, bytes(range(256)))
)");
  ASSERT_EQ(testsupport::RunCommand("python3 '" + (dir / "make.py").string() + "' '" + zip + "'"),
            0);
  expectAgreement(zip, 5);
}

}  // namespace
