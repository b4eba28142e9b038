// Archives made by other tools extract to the very tree they were made from,
// pass `pellarc test`, and fail it once a single data byte is flipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "cli/CliTestSupport.h"
#include "engine/ExtractSupport.h"
#include "engine/ZipFormat.h"
#include "platform/ForkStore.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> tree(const fs::path& root) {
  std::map<std::string, std::string> items;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string rel = it->path().lexically_relative(root).string();
    items[it->is_directory() ? rel + "/" : rel] =
        it->is_directory() ? "" : testsupport::ReadFile(it->path());
  }
  return items;
}

void makeSourceTree(const fs::path& root) {
  std::string text;
  while (text.size() < 200000) text += "line " + std::to_string(text.size()) + " of some text\n";
  fs::create_directories(root / "sub" / "deeper");
  fs::create_directories(root / "emptydir");
  testsupport::WriteFile(root / "text.txt", text);
  testsupport::WriteFile(root / "noise.bin", extracttest::Noise(100000, 3));
  testsupport::WriteFile(root / "empty", "");
  testsupport::WriteFile(root / "sub" / "deeper" / "note.md", "# note\n");
  testsupport::WriteFile(root / "sub" / "Gr\xC3\xBC\xC3\x9F" "e.txt", "umlauts in the name\n");
}

const char kPythonZip[] = R"(
import os, sys, zipfile
src, out, method = sys.argv[1], sys.argv[2], int(sys.argv[3])
with zipfile.ZipFile(out, 'w', method) as z:
    for top, dirs, files in os.walk(src):
        dirs.sort()
        for d in dirs:
            z.write(os.path.join(top, d), os.path.relpath(os.path.join(top, d), src) + '/')
        for f in sorted(files):
            z.write(os.path.join(top, f), os.path.relpath(os.path.join(top, f), src))
)";

struct Tool {
  const char* label;
  const char* program;
  // Makes ARCHIVE from the folder SRC; %s are SRC and ARCHIVE in this order
  // (for python, also the script).
  std::string (*command)(const fs::path& src, const fs::path& zip, const fs::path& script);
};

const Tool kTools[] = {
    {"InfoZip", "zip",
     [](const fs::path& src, const fs::path& zip, const fs::path&) {
       return "cd '" + src.string() + "' && zip -qr '" + zip.string() + "' .";
     }},
    {"SevenZip", "7z",
     [](const fs::path& src, const fs::path& zip, const fs::path&) {
       return "cd '" + src.string() + "' && 7z a -tzip -bso0 -bsp0 '" + zip.string() + "' .";
     }},
    {"Bsdtar", "bsdtar",
     [](const fs::path& src, const fs::path& zip, const fs::path&) {
       return "bsdtar --format zip -cf '" + zip.string() + "' -C '" + src.string() + "' .";
     }},
    {"PythonDeflated", "python3",
     [](const fs::path& src, const fs::path& zip, const fs::path& script) {
       return "python3 '" + script.string() + "' '" + src.string() + "' '" + zip.string() + "' 8";
     }},
    {"PythonStored", "python3",
     [](const fs::path& src, const fs::path& zip, const fs::path& script) {
       return "python3 '" + script.string() + "' '" + src.string() + "' '" + zip.string() + "' 0";
     }},
};

// Where the data of the entry named `name` starts in the archive file.
size_t dataOffsetOf(const std::string& zipBytes, const fs::path& zip, const std::string& name) {
  ZipArchive archive;
  EXPECT_TRUE(archive.Open(FolderItem(zip), false));
  for (int32_t i = 1; i <= archive.EntryCount(); ++i) {
    ZipEntryPtr e = archive.Entry(i);
    if (e->Name() != name) continue;
    const size_t local = e->z_Header()->UInt32Value(zipformat::central::kLocalHeaderOffset);
    auto bytes = MemoryBlock::FromString(zipBytes.substr(local, 30), true);
    return local + 30 + bytes->UInt16Value(zipformat::local::kNameLength) +
           bytes->UInt16Value(zipformat::local::kExtraLength);
  }
  ADD_FAILURE() << name << " not found";
  return 0;
}

class OtherArchivers : public ::testing::TestWithParam<Tool> {};

TEST_P(OtherArchivers, ExtractToTheSameTreeAndFailTestWhenDamaged) {
  const Tool& tool = GetParam();
  if (!testsupport::HaveProgram(tool.program)) GTEST_SKIP() << tool.program << " is missing";
  ForkStore::Select("appledouble");
  testsupport::TempDir work;
  const fs::path src = work / "src";
  makeSourceTree(src);
  testsupport::WriteFile(work / "zip.py", kPythonZip);
  const fs::path zip = work / "made.zip";
  ASSERT_EQ(testsupport::RunCommand(tool.command(src, zip, work / "zip.py")), 0);

  clitest::Outcome r = clitest::Run({"extract", zip.string(), "-d", (work / "out").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(tree(work / "out"), tree(src));

  r = clitest::Run({"test", zip.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");

  for (const char* name : {"text.txt", "noise.bin"}) {
    std::string bytes = testsupport::ReadFile(zip);
    const size_t at = dataOffsetOf(bytes, zip, name) + 1000;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
    const fs::path damaged = work / "damaged.zip";
    testsupport::WriteFile(damaged, bytes);
    r = clitest::Run({"test", damaged.string()});
    EXPECT_EQ(r.status, 1) << name;
    // bsdtar's names start with "./".
    EXPECT_NE(r.err.find(std::string(name) + "\" failed: "), std::string::npos) << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Tools, OtherArchivers, ::testing::ValuesIn(kTools),
                         [](const ::testing::TestParamInfo<Tool>& tool) {
                           return std::string(tool.param.label);
                         });

}  // namespace
