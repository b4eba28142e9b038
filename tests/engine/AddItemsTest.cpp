// Adding files and folders: entry names, the MacBinary modes, the order of a
// folder walk, sizes, and what a walk does with items that can't or must not
// be added. Entry contents are read back from the archive bytes with zlib, so
// these tests don't depend on the engine's own extraction.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <functional>

#include "engine/MacBinary.h"
#include "engine/WriteTestSupport.h"
#include "platform/ForkStoreTesting.h"

using namespace writetest;
namespace fs = std::filesystem;
namespace mb = macbinary;

namespace {

const std::string kOpenData = "Opening the source data stream failed";
const std::string kOpenRsrc = "Opening the source rsrc stream failed";
const std::string kReadError = "Read error, the archived item may be corrupted";
const std::string kArchiveItself = "This is the archive being written; it is not added to itself";

std::string inflateRaw(const std::string& compressed, size_t size) {
  std::string out(size, '\0');
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = static_cast<uInt>(compressed.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(z.total_out, size);
  inflateEnd(&z);
  return out;
}

// What each entry holds, by name, read from the archive's bytes; the CRC-32
// and both sizes are checked on the way.
struct Stored {
  std::string bytes;
  uint16_t method;
  std::string extra;
  uint32_t timeDate;
};

std::map<std::string, Stored> readEntries(const fs::path& zip) {
  const std::string b = testsupport::ReadFile(zip);
  std::map<std::string, Stored> entries;
  for (const RecordPair& r : ReadLayout(b).entries) {
    const size_t at = r.localOffset + 30 + Get16(b, r.localOffset + 26) + Get16(b, r.localOffset + 28);
    const std::string data = b.substr(at, r.centralCompressed);
    Stored s{r.centralMethod == 0 ? data : inflateRaw(data, r.centralSize), r.centralMethod,
             r.centralExtra, r.centralTimeDate};
    EXPECT_EQ(s.bytes.size(), r.centralSize) << r.name;
    EXPECT_EQ(ziptest::Crc32(s.bytes), r.centralCRC) << r.name;
    EXPECT_EQ(r.localExtra, r.centralExtra) << r.name;
    EXPECT_FALSE(entries.count(r.name)) << "twice: " << r.name;
    entries[r.name] = s;
  }
  return entries;
}

std::vector<std::string> entryNames(const fs::path& zip) {
  ZipArchive a;
  EXPECT_TRUE(a.Open(FolderItem(zip), false)) << a.ErrorMessage();
  std::vector<std::string> names;
  if (!a.IsOpen()) return names;
  for (int32_t i = 1; i <= a.EntryCount(); ++i) names.push_back(a.Entry(i)->RawPath());
  return names;
}

std::string padded(std::string s) { return s.append((128 - s.size() % 128) % 128, '\0'); }

// Records what an add tells its notifier, and lets a test act at each call.
class Recorder : public ZipProgressNotifier {
 public:
  struct Error {
    std::string path;
    int32_t code;
    std::string message;
  };
  void ReportError(const FolderItem& item, int32_t code, const std::string& message,
                   bool& abort) override {
    errors.push_back({item.NativePath(), code, message});
    abort = stopOnError;
  }
  void WillAddItem(const FolderItem& item, bool& abort) override {
    willAdd.push_back(item.NativePath());
    if (onWillAdd) onWillAdd(item, abort);
  }
  void ReportProgress(ZipEntry& entry, int32_t total, int32_t done, bool& abort) override {
    if (onProgress) onProgress(entry, total, done, abort);
  }

  std::vector<Error> errors;
  std::vector<std::string> willAdd;
  bool stopOnError = false;
  std::function<void(const FolderItem&, bool&)> onWillAdd;
  std::function<void(ZipEntry&, int32_t, int32_t, bool&)> onProgress;
};

void writeFork(const FolderItem& file, const std::string& rsrc) {
  ForkStorePtr store = ForkStore::Current();
  int16_t ref = 0;
  ASSERT_EQ(store->OpenRF(file.Path(), fsWrPerm, ref), ForkErr::noErr);
  int32_t count = static_cast<int32_t>(rsrc.size());
  ASSERT_EQ(store->FSWrite(ref, count, rsrc.data()), ForkErr::noErr);
  ASSERT_EQ(store->FSClose(ref), ForkErr::noErr);
}

FolderItem makeFile(const fs::path& path, const std::string& data, const std::string& rsrc = "") {
  fs::create_directories(path.parent_path());
  testsupport::WriteFile(path, data);
  FolderItem file(path);
  if (!rsrc.empty()) writeFork(file, rsrc);
  return file;
}

// Adds `root` the way the application does: the item, then its contents
// under its cleaned name.
void addAsTheApplicationDoes(ZipArchive& a, const FolderItem& root, int32_t mode,
                             bool follow = false) {
  ASSERT_GT(a.AddItemToRoot(root, mode), 0) << a.ErrorMessage();
  EXPECT_TRUE(a.AddFolderContents(root, a.CleanName(root.Name()), mode, follow))
      << a.ErrorMessage();
}

// --- Over every fork store -----------------------------------------------------

class AddItemsStores : public forktest::StoreTest {
 protected:
  fs::path zip() const { return out / "a.zip"; }
  testsupport::TempDir out;
};

TEST_P(AddItemsStores, FolderAsTheApplicationAddsIt) {
  makeFile(dir / "Docs" / "a\\b", "text of a-b");
  fs::create_directories(dir / "Docs" / "Old");
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    addAsTheApplicationDoes(a, FolderItem(dir / "Docs"), ZipArchive::MacBinarySmart());
    ASSERT_TRUE(a.Close()) << a.ErrorMessage();
  }
  EXPECT_EQ(entryNames(zip()), (std::vector<std::string>{"Docs/", "Docs/a-b"}));
  auto entries = readEntries(zip());
  EXPECT_EQ(entries["Docs/"].method, 0);
  EXPECT_EQ(entries["Docs/"].bytes, "");
  EXPECT_EQ(entries["Docs/"].extra, "");
  EXPECT_EQ(entries["Docs/a-b"].method, 8);
  EXPECT_EQ(entries["Docs/a-b"].bytes, "text of a-b");
  ExpectOtherToolsAgree(zip(), {{"Docs/a-b", "text of a-b"}});
}

TEST_P(AddItemsStores, ModesDecideTheMacBinaryForm) {
  const std::string rsrc = forktest::PatternBytes(300);
  FolderItem tool = makeFile(dir / "Tool", "data", rsrc);
  ASSERT_TRUE(tool.SetFinderInfo([] {
    FinderInfo info;
    info.SetType("APPL");
    info.SetCreator("Zzzz");
    info.SetFlags(0x2000);
    return info;
  }()));
  FolderItem plain = makeFile(dir / "plain.txt", "hello");
  FolderItem empty = makeFile(dir / "empty", "");
  fs::create_directories(dir / "Folder");
  FolderItem folder(dir / "Folder");

  struct Case {
    const char* what;
    FolderItem item;
    int32_t mode;
    std::string name;
    std::string expected;  // the entry's bytes, after the header in MacBinary form
    bool macBinary;
    std::string shortBlock;  // the extra field when not in MacBinary form
  };
  const Case cases[] = {
      {"smart_with_fork", tool, ZipArchive::MacBinarySmart(), "Tool", padded("data") + padded(rsrc),
       true, ""},
      {"never_keeps_the_data_fork_only", tool, ZipArchive::MacBinaryNever(), "Tool", "data", false,
       ziptest::MacShortBlock("APPL", "Zzzz")},
      {"smart_without_fork", plain, ZipArchive::MacBinarySmart(), "plain.txt", "hello", false,
       ziptest::MacShortBlock("TEXT", "ttxt")},
      {"always_without_fork", plain, ZipArchive::MacBinaryAlways(), "plain.txt", padded("hello"),
       true, ""},
      {"empty_file_is_stored", empty, ZipArchive::MacBinarySmart(), "empty", "", false,
       ziptest::MacShortBlock(std::string(4, '\0'), std::string(4, '\0'))},
      {"folder_in_smart_mode", folder, ZipArchive::MacBinarySmart(), "Folder/", "", false, ""},
      {"folder_always", folder, ZipArchive::MacBinaryAlways(), "Folder/", "", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(zip());
    {
      ZipArchive a;
      ASSERT_TRUE(a.Open(FolderItem(zip()), true));
      ASSERT_EQ(a.AddItemToRoot(c.item, c.mode), 1) << a.ErrorMessage();
      ASSERT_TRUE(a.Close());
    }
    auto entries = readEntries(zip());
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_EQ(entries.begin()->first, c.name);
    const Stored& s = entries.begin()->second;
    EXPECT_EQ(s.method, s.bytes.empty() ? 0 : 8);
    if (!c.macBinary) {
      EXPECT_EQ(s.bytes, c.expected);
      EXPECT_EQ(s.extra, c.shortBlock);
      continue;
    }
    ASSERT_GE(s.bytes.size(), 128u);
    EXPECT_EQ(s.bytes.substr(128), c.expected);
    const MemoryBlockPtr h = MemoryBlock::FromString(s.bytes.substr(0, 128));
    const MemoryBlock& header = *h;
    EXPECT_EQ(static_cast<int64_t>(s.bytes.size()),
              mb::StreamLength(header.Int32Value(mb::kDataForkLength),
                               header.Int32Value(mb::kRsrcForkLength)));
    const std::string ownName = c.item.Name();
    EXPECT_EQ(header.PString(mb::kNameLength), ownName);
    // The long block names the item.
    ASSERT_GE(s.extra.size(), 8u);
    EXPECT_EQ(Get16(s.extra, 0), 0x2605);
    EXPECT_EQ(s.extra.substr(8, 1 + ownName.size()),
              static_cast<char>(ownName.size()) + ownName);
    if (c.item == tool) {
      EXPECT_EQ(header.StringValue(mb::kFileType, 8), "APPLZzzz");
      EXPECT_EQ(header.Byte(mb::kFlagsHigh), 0x20);
    }
  }
}

TEST_P(AddItemsStores, StoreFilesAreNeverEntries) {
  const fs::path root = dir / "Tree";
  FolderItem a = makeFile(root / "a", "A", "fork of a");
  ASSERT_TRUE(a.SetMacType("ABCD"));
  makeFile(root / "sub" / "b", "B", "fork of b");
  makeFile(root / "sub" / "c.txt", "C");
  {
    ZipArchive z;
    ASSERT_TRUE(z.Open(FolderItem(zip()), true));
    addAsTheApplicationDoes(z, FolderItem(root), ZipArchive::MacBinarySmart());
    // Asked for directly, a store file is refused.
    for (const std::string& name : RawNames(root)) {
      if (!store->IsStoreFile(name)) continue;
      FolderItem storeFile(root / name);
      EXPECT_LT(z.AddItemToRoot(storeFile, ZipArchive::MacBinarySmart()), 0) << name;
      EXPECT_LT(z.AddItemWithRawPath(storeFile, "x/" + name, ZipArchive::MacBinarySmart()), 0);
      if (fs::is_directory(root / name)) {
        for (const auto& inside : fs::directory_iterator(root / name)) {
          EXPECT_LT(z.AddItemToRoot(FolderItem(inside.path()), 1), 0) << inside.path();
        }
      }
    }
    ASSERT_TRUE(z.Close());
  }
  if (!memory) {
    // The stores did keep files on disk next to the items.
    size_t storeFiles = 0;
    for (const std::string& name : RawNames(root)) storeFiles += store->IsStoreFile(name);
    EXPECT_GT(storeFiles, 0u);
  }
  EXPECT_EQ(entryNames(zip()),
            (std::vector<std::string>{"Tree/", "Tree/a", "Tree/sub/b", "Tree/sub/c.txt"}));
}

TEST_P(AddItemsStores, SizesFollowTheMode) {
  FolderItem one = makeFile(dir / "Tree" / "one", "x", "y");
  makeFile(dir / "Tree" / "deeper" / "two", std::string(200, 't'));
  makeFile(dir / "Tree" / "deeper" / "three", std::string(129, 't'), std::string(129, 'r'));
  fs::create_directories(dir / "Tree" / "empty");
  ZipArchive a;  // never opened: sizing needs no archive
  EXPECT_EQ(a.CalcItemSize(one, ZipArchive::MacBinarySmart()), 384);
  EXPECT_EQ(a.CalcItemSize(one, ZipArchive::MacBinaryNever()), 1);
  EXPECT_EQ(a.CalcItemSize(one, ZipArchive::MacBinaryAlways()), 384);
  EXPECT_EQ(a.CalcItemSize(FolderItem(dir / "Tree"), ZipArchive::MacBinarySmart()), 0);
  EXPECT_EQ(a.CalcItemSize(FolderItem(dir / "Tree"), ZipArchive::MacBinaryAlways()), 128);
  const FolderItem tree(dir / "Tree");
  for (int32_t mode : {0, 1, 2}) {
    int32_t sum = 0;
    for (const char* f : {"one", "deeper/two", "deeper/three"}) {
      sum += a.CalcItemSize(FolderItem(dir / "Tree" / f), mode);
    }
    EXPECT_EQ(a.CalcFolderSize(tree, false, mode), sum) << mode;
  }
  EXPECT_EQ(a.CalcFolderSize(tree, false, 1), 384 + 200 + 128 + 256 + 256);

  // What the sizes announce is what an add writes.
  ZipArchive z;
  ASSERT_TRUE(z.Open(FolderItem(zip()), true));
  ASSERT_TRUE(z.AddFolderContents(tree, "T", 1, false)) << z.ErrorMessage();
  int64_t written = 0;
  for (int32_t i = 1; i <= z.EntryCount(); ++i) written += z.Entry(i)->Size();
  EXPECT_EQ(written, z.CalcFolderSize(tree, false, 1));
}

// A walk learns from the folder's listing which files have store files, so
// that the others cost the store nothing. Store files that go away before
// their file is added only mean no fork; one that appears may be missed, but
// the file is added all the same.
TEST_P(AddItemsStores, StoreFilesThatComeOrGoDuringTheWalk) {
  const fs::path root = dir / "Tree";
  makeFile(root / "a", "A", "fork of a");
  makeFile(root / "b", "B", "fork of b");
  FolderItem c = makeFile(root / "c", "C");
  auto recorder = std::make_shared<Recorder>();
  recorder->onWillAdd = [&](const FolderItem& item, bool&) {
    if (item.Name() == "a") {
      ASSERT_EQ(store->ItemDeleted(item.Path()), ForkErr::noErr);
    }
    if (item.Name() == "c") writeFork(c, "late fork");
  };
  {
    ZipArchive z;
    ASSERT_TRUE(z.Open(FolderItem(zip()), true));
    z.SetProgressMonitor(recorder);
    EXPECT_TRUE(z.AddFolderContents(FolderItem(root), "Tree", ZipArchive::MacBinarySmart(), false))
        << z.ErrorMessage();
    z.SetProgressMonitor(nullptr);
    ASSERT_TRUE(z.Close()) << z.ErrorMessage();
  }
  EXPECT_TRUE(recorder->errors.empty());
  auto entries = readEntries(zip());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries["Tree/a"].bytes, "A");
  ASSERT_GE(entries["Tree/b"].bytes.size(), 128u);
  EXPECT_EQ(entries["Tree/b"].bytes.substr(128), padded("B") + padded("fork of b"));
  const std::string& late = entries["Tree/c"].bytes;
  if (late.size() > 1) {
    EXPECT_EQ(late.substr(128), padded("C") + padded("late fork"));
  } else {
    EXPECT_EQ(late, "C");
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, AddItemsStores, ::testing::ValuesIn(forktest::StoreNames()));

// --- Walks ----------------------------------------------------------------------

class AddItems : public ::testing::Test {
 protected:
  void TearDown() override { ForkStore::Install(nullptr); }
  fs::path zip() const { return out / "a.zip"; }
  testsupport::TempDir dir;
  testsupport::TempDir out;
};

TEST_F(AddItems, FilesFirstThenSubfoldersDepthFirst) {
  const fs::path r = dir / "root";
  for (const char* f : {"b.txt", "a.txt", "z/y.txt", "z/sub/deep.txt", "m/m.txt", "m/n/o.txt"}) {
    makeFile(r / f, f);
  }
  auto recorder = std::make_shared<Recorder>();
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    a.SetProgressMonitor(recorder);
    addAsTheApplicationDoes(a, FolderItem(r), 1);
    ASSERT_TRUE(a.Close());
  }
  const std::vector<std::string> order = {"root/a.txt",   "root/b.txt",     "root/m/m.txt",
                                          "root/m/n/o.txt", "root/z/y.txt", "root/z/sub/deep.txt"};
  std::vector<std::string> expected = {"root/"};
  expected.insert(expected.end(), order.begin(), order.end());
  EXPECT_EQ(entryNames(zip()), expected);
  ASSERT_EQ(recorder->willAdd.size(), order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(recorder->willAdd[i], (dir / order[i]).string());
  }
  EXPECT_TRUE(recorder->errors.empty());
}

TEST_F(AddItems, PrefixesAndRawPaths) {
  makeFile(dir / "f" / "x", "x");
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  EXPECT_TRUE(a.AddFolderContents(FolderItem(dir / "f"), "", 0, false));
  EXPECT_TRUE(a.AddFolderContents(FolderItem(dir / "f"), "p/", 0, false));
  EXPECT_TRUE(a.AddFolderContents(FolderItem(dir / "f"), "q//r", 0, false));
  EXPECT_EQ(a.AddItemWithRawPath(FolderItem(dir / "f" / "x"), "/raw/x\\y", 0), 4);
  ASSERT_TRUE(a.Close());
  EXPECT_EQ(entryNames(zip()), (std::vector<std::string>{"x", "p/x", "q/r/x", "raw/x\\y"}));

  EXPECT_EQ(a.RawPath(std::vector<std::string>{"a", "b/c"}), "a/b-c");
  EXPECT_EQ(a.RawPath(std::vector<std::string>{}), "");
  fs::create_directories(dir / "base" / "one" / "t\\wo");
  const FolderItem base(dir / "base");
  EXPECT_EQ(a.RawPath(base, FolderItem(dir / "base" / "one" / "t\\wo")), "one/t-wo");
  EXPECT_EQ(a.RawPath(base, FolderItem(dir / "base" / "one" / "not there")), "one/not there");
  EXPECT_EQ(a.RawPath(base, base), "");
  EXPECT_EQ(a.RawPath(base, FolderItem(dir / "f" / "x")), "");
  EXPECT_EQ(a.RawPath(FolderItem(dir / "f" / "x"), FolderItem(dir / "f" / "x")), "");
  EXPECT_TRUE(ZipArchive::z_sameFolder(base, FolderItem(dir / "base" / "one" / "..")));
  EXPECT_FALSE(ZipArchive::z_sameFolder(FolderItem(dir / "gone"), FolderItem(dir / "gone")));
}

TEST_F(AddItems, AliasesAreSkippedUnlessFollowed) {
  const fs::path r = dir / "root";
  makeFile(r / "real.txt", "real");
  makeFile(dir / "elsewhere" / "target.dat", "target");
  makeFile(r / "sub" / "s.txt", "s");
  fs::create_symlink(dir / "elsewhere" / "target.dat", r / "link");
  fs::create_symlink(r / "sub", r / "dirlink");
  fs::create_symlink(r, r / "sub" / "up");  // a loop if folders were followed
  fs::create_symlink(dir / "missing", r / "dangling");
  for (bool follow : {false, true}) {
    SCOPED_TRACE(follow);
    fs::remove(zip());
    auto recorder = std::make_shared<Recorder>();
    {
      ZipArchive a;
      ASSERT_TRUE(a.Open(FolderItem(zip()), true));
      a.SetProgressMonitor(recorder);
      EXPECT_TRUE(a.AddFolderContents(FolderItem(r), "root", 1, follow)) << a.ErrorMessage();
      ASSERT_TRUE(a.Close());
    }
    if (!follow) {
      EXPECT_EQ(entryNames(zip()), (std::vector<std::string>{"root/real.txt", "root/sub/s.txt"}));
      EXPECT_TRUE(recorder->errors.empty());
      continue;
    }
    // The alias gives way to the file it points to, under that file's name.
    EXPECT_EQ(entryNames(zip()), (std::vector<std::string>{"root/target.dat", "root/real.txt",
                                                           "root/sub/s.txt"}));
    EXPECT_EQ(readEntries(zip())["root/target.dat"].bytes, "target");
    ASSERT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(recorder->errors[0].path, (r / "dangling").string());
    EXPECT_EQ(recorder->errors[0].message, kOpenData);
  }
}

TEST_F(AddItems, FilesThatFailAreReportedAndTheRestStays) {
  const fs::path r = dir / "root";
  makeFile(r / "1", "one");
  makeFile(r / "2 vanishes", "two");
  makeFile(r / "3 shrinks", std::string(100000, 's'));
  makeFile(r / "4", "four");
  ASSERT_EQ(mkfifo((r / "5 pipe").c_str(), 0600), 0);
  makeFile(r / "sub" / "6", "six");
  auto recorder = std::make_shared<Recorder>();
  recorder->onWillAdd = [&](const FolderItem& item, bool&) {
    if (item.Name() == "2 vanishes") fs::remove(item.Path());
  };
  recorder->onProgress = [&](ZipEntry& e, int32_t, int32_t done, bool&) {
    if (e.RawPath() == "root/3 shrinks" && done == 0) fs::resize_file(r / "3 shrinks", 10);
  };
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    a.SetProgressMonitor(recorder);
    EXPECT_TRUE(a.AddFolderContents(FolderItem(r), "root", 1, false));
    a.SetProgressMonitor(nullptr);
    ASSERT_TRUE(a.Close());
  }
  ASSERT_EQ(recorder->errors.size(), 3u);
  const Recorder::Error expected[] = {
      {(r / "2 vanishes").string(), -38, kOpenData},
      {(r / "3 shrinks").string(), -2, kReadError},
      {(r / "5 pipe").string(), -50, "Only files and folders can be added"},
  };
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(recorder->errors[i].path, expected[i].path);
    EXPECT_EQ(recorder->errors[i].code, expected[i].code);
    EXPECT_EQ(recorder->errors[i].message, expected[i].message);
  }
  EXPECT_EQ(entryNames(zip()), (std::vector<std::string>{"root/1", "root/4", "root/sub/6"}));
  ExpectOtherToolsAgree(zip(), {{"root/1", "one"}, {"root/4", "four"}, {"root/sub/6", "six"}});
}

TEST_F(AddItems, WithoutANotifierTheFirstFailureEndsTheWalk) {
  const fs::path r = dir / "root";
  makeFile(r / "a", "a");
  ASSERT_EQ(mkfifo((r / "b").c_str(), 0600), 0);
  makeFile(r / "c", "c");
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    EXPECT_FALSE(a.AddFolderContents(FolderItem(r), "root", 1, false));
    EXPECT_EQ(a.ErrorMessage(), "Only files and folders can be added");
    ASSERT_TRUE(a.Close());
  }
  EXPECT_EQ(entryNames(zip()), std::vector<std::string>{"root/a"});
  ExpectOtherToolsAgree(zip(), {{"root/a", "a"}});
}

TEST_F(AddItems, FoldersThatCantBeReadAreReported) {
  const bool root = geteuid() == 0;  // root reads every folder, locked or not
  const fs::path r = dir / "root";
  makeFile(r / "a", "a");
  makeFile(r / "gone" / "g", "g");
  makeFile(r / "locked" / "hidden", "h");
  makeFile(r / "open" / "b", "b");
  if (!root) fs::permissions(r / "locked", fs::perms::none);
  auto recorder = std::make_shared<Recorder>();
  // A folder that goes away after its parent was listed.
  recorder->onWillAdd = [&](const FolderItem& item, bool&) {
    if (item.Name() == "a") fs::remove_all(r / "gone");
  };
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    a.SetProgressMonitor(recorder);
    EXPECT_TRUE(a.AddFolderContents(FolderItem(r), "root", 1, false));
    a.SetProgressMonitor(nullptr);
    ASSERT_TRUE(a.Close());
  }
  fs::permissions(r / "locked", fs::perms::owner_all);
  std::vector<std::string> failed;
  for (const auto& e : recorder->errors) {
    failed.push_back(e.path);
    EXPECT_EQ(e.message, "The folder can't be read");
  }
  std::vector<std::string> expected = {(r / "gone").string()};
  if (!root) expected.push_back((r / "locked").string());
  EXPECT_EQ(failed, expected);
  std::vector<std::string> entries = {"root/a"};
  if (root) entries.push_back("root/locked/hidden");
  entries.push_back("root/open/b");
  EXPECT_EQ(entryNames(zip()), entries);
}

TEST_F(AddItems, TheArchiveItselfIsLeftOut) {
  const fs::path r = dir / "root";
  makeFile(r / "a", "a");
  makeFile(r / "sub" / "b", std::string(70000, 'b'));
  const fs::path inside = r / "inside.zip";
  auto recorder = std::make_shared<Recorder>();
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(inside), true));
    // Another name for the same file.
    fs::create_hard_link(inside, r / "sub" / "again.zip");
    EXPECT_EQ(a.AddItemToRoot(FolderItem(inside), 1), -50);
    EXPECT_EQ(a.ErrorMessage(), kArchiveItself);
    EXPECT_EQ(a.AddItemWithRawPath(FolderItem(r / "sub" / "again.zip"), "x", 1), -50);
    EXPECT_EQ(a.CalcFolderSize(FolderItem(r), false, 1), 1 + 70000);
    a.SetProgressMonitor(recorder);
    addAsTheApplicationDoes(a, FolderItem(r), 1);
    // Twice, so that the second walk meets an archive that has grown.
    EXPECT_TRUE(a.AddFolderContents(FolderItem(r), "again", 1, false));
    a.SetProgressMonitor(nullptr);
    ASSERT_TRUE(a.Close()) << a.ErrorMessage();
  }
  ASSERT_EQ(recorder->errors.size(), 4u);
  for (const auto& e : recorder->errors) {
    EXPECT_EQ(e.code, 0) << e.path;
    EXPECT_EQ(e.message, kArchiveItself);
  }
  fs::remove(r / "sub" / "again.zip");
  EXPECT_EQ(entryNames(inside), (std::vector<std::string>{"root/", "root/a", "root/sub/b",
                                                          "again/a", "again/sub/b"}));
  ExpectOtherToolsAgree(inside, {{"root/a", "a"}, {"again/sub/b", std::string(70000, 'b')}});
}

TEST_F(AddItems, ResourceForkFaults) {
  auto memory = std::make_shared<MemoryForkStore>();
  ForkStore::Install(memory);
  FolderItem file = makeFile(dir / "Tree" / "f", "data", "rsrc");
  makeFile(dir / "Tree" / "g", "more");
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  // In mode Never the fork is not even opened.
  memory->InjectFault(MemoryForkStore::Op::OpenForReading, ForkErr::ioErr);
  EXPECT_EQ(a.AddItemToRoot(file, ZipArchive::MacBinaryNever()), 1) << a.ErrorMessage();
  EXPECT_EQ(a.AddItemToRoot(file, ZipArchive::MacBinarySmart()), -38);
  EXPECT_EQ(a.ErrorMessage(), kOpenRsrc);

  // A fork that fails half-way is reported with its file; the walk goes on.
  auto recorder = std::make_shared<Recorder>();
  a.SetProgressMonitor(recorder);
  memory->InjectFault(MemoryForkStore::Op::Read, ForkErr::ioErr);
  EXPECT_TRUE(a.AddFolderContents(FolderItem(dir / "Tree"), "T", 1, false));
  ASSERT_EQ(recorder->errors.size(), 1u);
  EXPECT_EQ(recorder->errors[0].path, file.NativePath());
  EXPECT_EQ(recorder->errors[0].code, -2);
  EXPECT_EQ(recorder->errors[0].message, kReadError);
  a.SetProgressMonitor(nullptr);
  ASSERT_TRUE(a.Close());
  EXPECT_EQ(entryNames(zip()), (std::vector<std::string>{"f", "T/g"}));
}

TEST_F(AddItems, RefusalsAndStops) {
  makeFile(dir / "r" / "a", "a");
  makeFile(dir / "r" / "b", "b");
  const FolderItem r(dir / "r");
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    EXPECT_EQ(a.AddItemToRoot(FolderItem(), 1), 0);
    EXPECT_EQ(a.ErrorMessage(), "no file reference given");
    EXPECT_EQ(a.CalcItemSize(FolderItem(), 1), 0);
    EXPECT_EQ(a.CalcFolderSize(FolderItem(), false, 1), -1);
    EXPECT_EQ(a.ErrorMessage(), "no folder reference given");
    EXPECT_EQ(a.AddItemToRoot(FolderItem(dir / "missing"), 1), -38);
    EXPECT_EQ(a.ErrorMessage(), kOpenData);
    // A file has no contents to add.
    EXPECT_TRUE(a.AddFolderContents(FolderItem(dir / "r" / "a"), "x", 1, false));
    EXPECT_EQ(a.EntryCount(), 0);

    // WillAddItem stops the walk before the first file; the message stays.
    auto recorder = std::make_shared<Recorder>();
    recorder->onWillAdd = [](const FolderItem&, bool& abort) { abort = true; };
    a.SetProgressMonitor(recorder);
    EXPECT_FALSE(a.AddFolderContents(r, "r", 1, false));
    EXPECT_EQ(a.ErrorMessage(), kOpenData);
    EXPECT_EQ(a.EntryCount(), 0);

    // An abort while compressing ends the walk without asking ReportError.
    recorder->onWillAdd = nullptr;
    recorder->onProgress = [](ZipEntry&, int32_t, int32_t, bool& abort) { abort = true; };
    EXPECT_FALSE(a.AddFolderContents(r, "r", 1, false));
    EXPECT_EQ(a.ErrorMessage(), "Aborted");
    EXPECT_TRUE(recorder->errors.empty());
    EXPECT_EQ(a.EntryCount(), 0);

    // ReportError may stop the walk.
    recorder->onProgress = nullptr;
    recorder->stopOnError = true;
    ASSERT_EQ(mkfifo((dir / "r" / "0").c_str(), 0600), 0);
    EXPECT_FALSE(a.AddFolderContents(FolderItem(dir / "r"), "r", 1, false));
    EXPECT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(a.EntryCount(), 0);
    a.SetProgressMonitor(nullptr);
    ASSERT_TRUE(a.Close());
  }
  ZipArchive readOnly;
  ASSERT_TRUE(readOnly.Open(FolderItem(zip()), false));
  EXPECT_EQ(readOnly.AddItemToRoot(r, 1), 0);
  EXPECT_EQ(readOnly.ErrorMessage(), "Archive was opened read-only");
  EXPECT_FALSE(readOnly.AddFolderContents(r, "r", 1, false));
  EXPECT_EQ(readOnly.AddItemWithRawPath(r, "r/", 1), 0);
  // Sizing needs no writable archive.
  EXPECT_EQ(readOnly.CalcFolderSize(r, false, 0), 2);
}

TEST_F(AddItems, DatesAndNamesOutsideCodePage437) {
  const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC \xE2\x82\xAC";  // Japanese and the euro sign
  FolderItem file = makeFile(dir / name, "x");
  const Date when = Date::FromComponents(2021, 6, 7, 8, 9, 10);
  ASSERT_TRUE(file.SetModificationDate(when));
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  ASSERT_EQ(a.AddItemToRoot(file, 1), 1);
  EXPECT_EQ(a.Entry(1)->RawPath(), name);
  ASSERT_TRUE(a.Entry(1)->Time().has_value());
  EXPECT_EQ(a.Entry(1)->Time()->TotalSeconds(), when.TotalSeconds());
  ASSERT_TRUE(a.Close());
  ExpectOtherToolsAgree(zip(), {{name, "x"}});
}

}  // namespace
