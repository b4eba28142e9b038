// pellarc add: what goes in, under which names, what is reported, and what
// other tools make of the result.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "cli/CliTestSupport.h"
#include "engine/MacBinary.h"
#include "engine/ZipArchive.h"
#include "platform/ForkStore.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

class AddCommand : public ::testing::Test {
 protected:
  void SetUp() override { ForkStore::Install(nullptr); }
  void TearDown() override { ForkStore::Install(nullptr); }

  std::string zip() const { return (out / "a.zip").string(); }
  std::string path(const std::string& relative) const { return (dir / relative).string(); }
  void makeFile(const std::string& relative, const std::string& data,
                const std::string& rsrc = "") {
    fs::create_directories((dir / relative).parent_path());
    testsupport::WriteFile(dir / relative, data);
    if (rsrc.empty()) return;
    ForkStorePtr store = ForkStore::Current();
    int16_t ref = 0;
    ASSERT_EQ(store->OpenRF(dir / relative, fsWrPerm, ref), ForkErr::noErr);
    int32_t count = static_cast<int32_t>(rsrc.size());
    ASSERT_EQ(store->FSWrite(ref, count, rsrc.data()), ForkErr::noErr);
    ASSERT_EQ(store->FSClose(ref), ForkErr::noErr);
  }

  clitest::Outcome add(std::vector<std::string> args) {
    args.insert(args.begin(), {"add", zip()});
    return clitest::Run(args);
  }

  // Name and uncompressed size of every entry, in order.
  std::vector<std::pair<std::string, int32_t>> entries(const std::string& archivePath) const {
    ZipArchive a;
    EXPECT_TRUE(a.Open(FolderItem(archivePath), false)) << a.ErrorMessage();
    std::vector<std::pair<std::string, int32_t>> list;
    if (!a.IsOpen()) return list;
    for (int32_t i = 1; i <= a.EntryCount(); ++i) {
      list.emplace_back(a.Entry(i)->RawPath(), a.Entry(i)->Size());
    }
    return list;
  }
  std::vector<std::pair<std::string, int32_t>> entries() const { return entries(zip()); }

  // Runs a shell command in `out`; its exit status.
  int shell(const std::string& command) const {
    return testsupport::RunCommand("cd '" + out.path().string() + "' && " + command +
                                   " >tool.log 2>&1");
  }

  testsupport::TempDir dir;
  testsupport::TempDir out;
};

using Entries = std::vector<std::pair<std::string, int32_t>>;

TEST_F(AddCommand, CreatesTheArchiveAndAddsEachPathAtTheRoot) {
  makeFile("Docs/a.txt", "alpha");
  makeFile("Docs/sub/b.txt", "beta");
  makeFile("single.bin", std::string(1000, 'x'));
  fs::create_directories(dir / "Docs" / "empty");
  const clitest::Outcome r = add({path("Docs"), path("single.bin")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(entries(), (Entries{{"Docs/", 0}, {"Docs/a.txt", 5}, {"Docs/sub/b.txt", 4},
                                {"single.bin", 1000}}));

  // A second add appends to what is there.
  makeFile("later.txt", "later");
  EXPECT_EQ(add({path("later.txt")}).status, 0);
  EXPECT_EQ(entries().size(), 5u);
  EXPECT_EQ(entries().back(), (std::pair<std::string, int32_t>{"later.txt", 5}));

  if (!testsupport::HaveProgram("unzip") || !testsupport::HaveProgram("7z")) {
    GTEST_SKIP() << "unzip or 7z is not installed";
  }
  EXPECT_EQ(shell("unzip -t a.zip"), 0);
  EXPECT_EQ(shell("7z t a.zip"), 0);
  testsupport::WriteFile(out / "check.py",
                         "import zipfile\n"
                         "z = zipfile.ZipFile('a.zip')\n"
                         "assert z.testzip() is None\n"
                         "assert z.read('Docs/sub/b.txt') == b'beta'\n");
  EXPECT_EQ(shell("python3 check.py"), 0);
}

TEST_F(AddCommand, MacBinaryModes) {
  makeFile("Tool", "data", std::string(300, 'r'));
  makeFile("plain", "plain");
  const struct {
    std::vector<std::string> options;
    Entries expected;
  } cases[] = {
      {{}, {{"Tool", 128 + 128 + 384}, {"plain", 5}}},
      {{"--macbinary=smart"}, {{"Tool", 640}, {"plain", 5}}},
      {{"--macbinary", "never"}, {{"Tool", 4}, {"plain", 5}}},
      {{"--macbinary=always"}, {{"Tool", 640}, {"plain", 256}}},
  };
  for (const auto& c : cases) {
    fs::remove(zip());
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {path("Tool"), path("plain")});
    const clitest::Outcome r = add(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entries(), c.expected) << (c.options.empty() ? "default" : c.options[0]);
  }
}

TEST_F(AddCommand, MacsaveTakesTheMacBinaryEntries) {
  if (!testsupport::HaveProgram("macsave") || !testsupport::HaveProgram("unzip")) {
    GTEST_SKIP() << "macsave (macutils) or unzip is not installed";
  }
  const std::string rsrc = std::string(200, 'r') + std::string(77, '\x01');
  makeFile("Tool", "0123456789", rsrc);
  ASSERT_TRUE(FolderItem(dir / "Tool").SetMacType("APPL"));
  ASSERT_TRUE(FolderItem(dir / "Tool").SetMacCreator("Zzzz"));
  ASSERT_EQ(add({path("Tool")}).status, 0);
  ASSERT_EQ(shell("unzip -p a.zip Tool > in.bin && macsave -3 < in.bin"), 0);
  EXPECT_EQ(testsupport::ReadFile(out / "Tool.data"), "0123456789");
  EXPECT_EQ(testsupport::ReadFile(out / "Tool.rsrc"), rsrc);
  const std::string info = testsupport::ReadFile(out / "Tool.info");
  ASSERT_GE(info.size(), 73u);
  EXPECT_EQ(info.substr(65, 8), "APPLZzzz");
}

TEST_F(AddCommand, Aliases) {
  makeFile("Tree/real", "real");
  makeFile("target", "target");
  fs::create_symlink(dir / "target", dir / "Tree" / "link");
  EXPECT_EQ(add({path("Tree")}).status, 0);
  EXPECT_EQ(entries(), (Entries{{"Tree/", 0}, {"Tree/real", 4}}));
  fs::remove(zip());
  EXPECT_EQ(add({"--follow-aliases", path("Tree")}).status, 0);
  EXPECT_EQ(entries(), (Entries{{"Tree/", 0}, {"Tree/target", 6}, {"Tree/real", 4}}));
}

TEST_F(AddCommand, FailuresAreReportedAndTheRestGoesIn) {
  makeFile("Tree/a", "a");
  makeFile("Tree/c", "c");
  ASSERT_EQ(mkfifo(path("Tree/b").c_str(), 0600), 0);
  makeFile("ok", "ok");
  const clitest::Outcome r = add({path("missing"), path("Tree"), path("ok")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "pellarc: " + path("missing") + ": no such file or folder\n" + "pellarc: " +
                       path("Tree/b") + ": Only files and folders can be added\n");
  EXPECT_EQ(entries(), (Entries{{"Tree/", 0}, {"Tree/a", 1}, {"Tree/c", 1}, {"ok", 2}}));
}

TEST_F(AddCommand, NothingAddedLeavesNoNewArchive) {
  const clitest::Outcome r = add({path("missing")});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(zip()));
  // An archive that was there stays.
  makeFile("x", "x");
  ASSERT_EQ(add({path("x")}).status, 0);
  EXPECT_EQ(add({path("missing")}).status, 1);
  EXPECT_EQ(entries(), (Entries{{"x", 1}}));
}

TEST_F(AddCommand, TheArchiveIsNotAddedToItself) {
  makeFile("Tree/a", "a");
  const std::string inside = path("Tree/inside.zip");
  clitest::Outcome r = clitest::Run({"add", inside, path("Tree")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "pellarc: " + inside +
                       ": This is the archive being written; it is not added to itself\n");
  EXPECT_EQ(entries(inside), (Entries{{"Tree/", 0}, {"Tree/a", 1}}));

  r = clitest::Run({"add", inside, inside});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("it is not added to itself"), std::string::npos) << r.err;
  EXPECT_EQ(entries(inside).size(), 2u);
}

TEST_F(AddCommand, PathsThatNameNoItemOfTheirOwn) {
  makeFile("Project/file", "f");
  const fs::path cwd = fs::current_path();
  fs::current_path(dir / "Project");
  const clitest::Outcome r = add({"."});
  const clitest::Outcome r2 = add({"./", "-q"});
  fs::current_path(cwd);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r2.status, 0) << r2.err;
  EXPECT_EQ(entries(), (Entries{{"Project/", 0}, {"Project/file", 1}, {"Project/", 0},
                                {"Project/file", 1}}));
}

TEST_F(AddCommand, UsageErrors) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"add"}, "add needs an archive and at least one path"},
      {{"add", "a.zip"}, "add needs an archive and at least one path"},
      {{"add", "--macbinary=sometimes", "a.zip", "x"}, "--macbinary takes never, smart or always"},
      {{"add", "--verbose", "a.zip", "x"}, "unknown option \"--verbose\""},
  };
  for (const auto& c : cases) {
    const clitest::Outcome r = clitest::Run(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage: pellarc add ARCHIVE PATH..."), std::string::npos);
  }
}

}  // namespace
