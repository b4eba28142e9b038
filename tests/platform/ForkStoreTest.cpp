// The fork stores behind FolderItem, each store through the same tests.
#include <sys/stat.h>

#include "platform/ForkStore.h"
#include "platform/ForkStoreTesting.h"
#include "platform/TypeCreatorTable.h"

namespace fs = std::filesystem;
using forktest::StoreTest;

namespace {

// Writes a whole resource fork through the File-Manager-like interface.
OSErr WriteFork(ForkStore& store, const fs::path& file, const std::string& bytes) {
  int16_t ref = 0;
  if (OSErr err = store.OpenRF(file, fsRdWrShPerm, ref)) return err;
  if (OSErr err = store.SetEOF(ref, 0)) {
    store.FSClose(ref);
    return err;
  }
  int32_t count = static_cast<int32_t>(bytes.size());
  OSErr err = store.FSWrite(ref, count, bytes.data());
  OSErr closed = store.FSClose(ref);
  return err ? err : closed;
}

std::string ReadFork(ForkStore& store, const fs::path& file) {
  int16_t ref = 0;
  if (store.OpenRF(file, fsRdPerm, ref)) return "<open failed>";
  int32_t eof = 0;
  store.GetEOF(ref, eof);
  std::string bytes(static_cast<size_t>(eof), '\0');
  int32_t count = eof;
  OSErr err = store.FSRead(ref, count, bytes.data());
  store.FSClose(ref);
  return err ? "<read failed>" : bytes;
}

FinderInfo Info(const std::string& type, const std::string& creator, uint16_t flags = 0) {
  FinderInfo info;
  info.SetType(type);
  info.SetCreator(creator);
  info.SetFlags(flags);
  return info;
}

}  // namespace

TEST_P(StoreTest, ForkAccessFollowsTheFileManagerRules) {
  FolderItem f = MakeFile("doc", "data fork");
  std::string fork = forktest::PatternBytes(1000);
  ASSERT_EQ(WriteFork(*store, f.Path(), fork), ForkErr::noErr);
  EXPECT_EQ(f.ResourceForkLength(), 1000);
  EXPECT_EQ(ReadFork(*store, f.Path()), fork);
  EXPECT_EQ(testsupport::ReadFile(f.Path()), "data fork");

  int16_t ref = 0;
  ASSERT_EQ(store->OpenRF(f.Path(), fsCurPerm, ref), ForkErr::noErr);
  char buf[16];
  int32_t count = 1;
  EXPECT_EQ(store->FSWrite(ref, count, buf), ForkErr::wrPermErr);
  EXPECT_EQ(store->SetEOF(ref, 0), ForkErr::wrPermErr);
  EXPECT_EQ(store->SetFPos(ref, fsFromStart, 1001), ForkErr::eofErr);
  EXPECT_EQ(store->SetFPos(ref, fsFromStart, -1), ForkErr::posErr);
  ASSERT_EQ(store->SetFPos(ref, fsFromLEOF, -10), ForkErr::noErr);
  count = 16;
  EXPECT_EQ(store->FSRead(ref, count, buf), ForkErr::eofErr);
  EXPECT_EQ(count, 10);
  EXPECT_EQ(std::string(buf, 10), fork.substr(990));
  int32_t pos = 0;
  EXPECT_EQ(store->GetFPos(ref, pos), ForkErr::noErr);
  EXPECT_EQ(pos, 1000);
  EXPECT_EQ(store->FSClose(ref), ForkErr::noErr);
  EXPECT_EQ(store->FSClose(ref), ForkErr::rfNumErr);
  EXPECT_EQ(store->GetEOF(ref, count), ForkErr::rfNumErr);

  EXPECT_EQ(store->OpenRF(dir / "missing", fsCurPerm, ref), ForkErr::fnfErr);
  EXPECT_EQ(store->OpenRF(dir / "missing", fsRdWrShPerm, ref), ForkErr::fnfErr);
  fs::create_directory(dir / "folder");
  EXPECT_EQ(store->OpenRF(dir / "folder", fsCurPerm, ref), ForkErr::notAFileErr);
}

TEST_P(StoreTest, ForkBeingWrittenReplacesTheOldOneOnlyAtClose) {
  FolderItem f = MakeFile("doc");
  ASSERT_EQ(WriteFork(*store, f.Path(), "old fork"), ForkErr::noErr);
  int16_t ref = 0;
  ASSERT_EQ(store->OpenRF(f.Path(), fsRdWrShPerm, ref), ForkErr::noErr);
  int32_t eof = 0;
  EXPECT_EQ(store->GetEOF(ref, eof), ForkErr::noErr);
  EXPECT_EQ(eof, 8) << "a fork opened for writing starts as the old one";
  ASSERT_EQ(store->SetEOF(ref, 0), ForkErr::noErr);
  int32_t count = 3;
  ASSERT_EQ(store->FSWrite(ref, count, "new"), ForkErr::noErr);
  EXPECT_EQ(ReadFork(*store, f.Path()), "old fork");
  ASSERT_EQ(store->FSClose(ref), ForkErr::noErr);
  EXPECT_EQ(ReadFork(*store, f.Path()), "new");
}

TEST_P(StoreTest, EmptyingTheForkRemovesStoreFilesThatHoldNothingElse) {
  FolderItem f = MakeFile("doc");
  ASSERT_EQ(WriteFork(*store, f.Path(), "fork"), ForkErr::noErr);
  EXPECT_TRUE(StoresAnything());
  ASSERT_EQ(WriteFork(*store, f.Path(), ""), ForkErr::noErr);
  EXPECT_EQ(f.ResourceForkLength(), 0);
  EXPECT_FALSE(StoresAnything());
  EXPECT_EQ(RawNames(), std::vector<std::string>{"doc"});

  // With Finder information kept, only the fork goes.
  ASSERT_TRUE(f.SetMacCreator("R*ch"));
  ASSERT_EQ(WriteFork(*store, f.Path(), "fork"), ForkErr::noErr);
  ASSERT_EQ(WriteFork(*store, f.Path(), ""), ForkErr::noErr);
  EXPECT_EQ(f.ResourceForkLength(), 0);
  EXPECT_EQ(f.MacCreator(), "R*ch");
}

struct InfoCase {
  const char* name;
  const char* type;
  const char* creator;
  uint16_t flags;
  bool stored;  // whether anything must be kept
};

TEST_P(StoreTest, FinderInfoRoundTripsAndWhatTheNameImpliesIsNotStored) {
  const InfoCase cases[] = {
      {"notes.txt", "TEXT", "ttxt", 0, false},
      {"NOTES.TXT", "TEXT", "ttxt", 0, false},
      {"notes.txt", "TEXT", "R*ch", 0, true},
      {"notes.txt", "TEXT", "ttxt", FinderInfo::kIsInvisible, true},
      {"photo.jpg", "JPEG", "ogle", 0, false},
      {"README", "", "", 0, false},
      {"README", "TEXT", "ttxt", 0, true},
      {"Read Me", "ttro", "ttxt", 0x0100, true},
  };
  for (const InfoCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.type + "/" + c.creator);
    FolderItem f = MakeFile(c.name);
    FinderInfo info = Info(c.type, c.creator, c.flags);
    info.bytes[24] = 0x81;  // a name script is kept like the rest
    if (!c.stored) info.bytes[24] = 0;
    ASSERT_TRUE(f.SetFinderInfo(info)) << ForkStore::LastErrorText();
    EXPECT_EQ(f.GetFinderInfo(), info);
    EXPECT_EQ(f.MacType(), info.Type());
    EXPECT_EQ(f.MacCreator(), info.Creator());
    EXPECT_EQ(f.FinderFlags(), c.flags);
    auto catalog = f.GetCatalogInfo();
    ASSERT_TRUE(catalog.has_value());
    EXPECT_EQ(catalog->finderFlags, c.flags);
    EXPECT_EQ(catalog->nameScript, info.bytes[24]);
    EXPECT_EQ(StoresAnything(), c.stored);
    ASSERT_TRUE(f.Delete());
    EXPECT_FALSE(StoresAnything());
  }
}

TEST_P(StoreTest, FilesWithoutStoredInfoReportTheCodesOfTheirName) {
  FolderItem jpeg = MakeFile("Photo.JPG");
  EXPECT_EQ(jpeg.MacType(), "JPEG");
  EXPECT_EQ(jpeg.MacCreator(), "ogle");
  EXPECT_EQ(MakeFile("archive.zip").MacType(), "ZIP ");
  EXPECT_EQ(MakeFile("plain").MacType(), std::string(4, '\0'));
  fs::create_directory(dir / "folder.txt");
  EXPECT_EQ(FolderItem(dir / "folder.txt").MacType(), std::string(4, '\0'));
  EXPECT_FALSE(FolderItem(dir / "missing.txt").GetCatalogInfo().has_value());
  EXPECT_FALSE(FolderItem(dir / "missing.txt").SetMacType("TEXT"));

  // Stored information that comes to say what the name says is dropped.
  ASSERT_TRUE(jpeg.SetMacCreator("8BIM"));
  EXPECT_TRUE(StoresAnything());
  ASSERT_TRUE(jpeg.SetMacCreator("ogle"));
  EXPECT_FALSE(StoresAnything());
}

TEST_P(StoreTest, CreationDatesRoundTripWhereTheStoreKeepsThem) {
  FolderItem f = MakeFile("doc");
  Date fsDate = f.CreationDate();
  // A date the file system reports already needs no keeping.
  EXPECT_TRUE(f.SetCreationDate(fsDate));
  EXPECT_FALSE(StoresAnything());

  for (Date date : {Date::FromComponents(1995, 6, 15, 10, 30, 0), Date::FromComponents(1984, 1, 24),
                    Date::FromComponents(2031, 12, 31, 23, 59, 59)}) {
    SCOPED_TRACE(date.UnixTime());
    if (store->KeepsCreationDates()) {
      ASSERT_TRUE(f.SetCreationDate(date)) << ForkStore::LastErrorText();
      EXPECT_EQ(f.CreationDate(), date);
      EXPECT_TRUE(StoresAnything());
    } else {
      EXPECT_FALSE(f.SetCreationDate(date));
      EXPECT_EQ(f.CreationDate(), fsDate);
    }
  }
  // The modification date stays the file system's.
  Date modified = Date::FromComponents(2001, 2, 3, 4, 5, 6);
  ASSERT_TRUE(f.SetModificationDate(modified));
  EXPECT_EQ(f.ModificationDate(), modified);
  EXPECT_FALSE(FolderItem(dir / "missing").SetCreationDate(fsDate));
}

TEST_P(StoreTest, LockedFilesRefuseFinderInfoAndForkWrites) {
  FolderItem f = MakeFile("doc");
  ASSERT_TRUE(f.SetMacType("TEXT"));
  ASSERT_TRUE(f.SetLocked(true));
  EXPECT_TRUE(f.Locked());
  EXPECT_FALSE(f.SetMacType("APPL"));
  EXPECT_EQ(store->SetFinderInfo(f.Path(), Info("APPL", "????")), ForkErr::fLckdErr);
  int16_t ref = 0;
  EXPECT_EQ(store->OpenRF(f.Path(), fsRdWrShPerm, ref), ForkErr::permErr);
  EXPECT_EQ(f.MacType(), "TEXT");
  ASSERT_TRUE(f.SetLocked(false));
  EXPECT_FALSE(f.Locked());
  EXPECT_TRUE(f.SetMacType("APPL"));
}

TEST_P(StoreTest, VisibilityFollowsTheInvisibleFlagAndTheName) {
  FolderItem f = MakeFile("doc.txt");
  EXPECT_TRUE(f.Visible());
  ASSERT_TRUE(f.SetVisible(false));
  EXPECT_FALSE(f.Visible());
  EXPECT_EQ(f.FinderFlags(), FinderInfo::kIsInvisible);
  EXPECT_EQ(f.MacType(), "TEXT") << "the name's codes are stored along with the flag";
  ASSERT_TRUE(f.SetVisible(true));
  EXPECT_TRUE(f.Visible());
  EXPECT_FALSE(StoresAnything());

  FolderItem dot = MakeFile(".profile");
  ASSERT_TRUE(dot.SetVisible(true));
  EXPECT_FALSE(dot.Visible());

  fs::create_directory(dir / "folder");
  FolderItem folder(dir / "folder");
  ASSERT_TRUE(folder.SetVisible(false));
  EXPECT_FALSE(folder.Visible());
}

TEST_P(StoreTest, DeletingAnItemTakesItsStoreFilesAlong) {
  FolderItem f = MakeFile("doc", "data");
  ASSERT_EQ(WriteFork(*store, f.Path(), "fork"), ForkErr::noErr);
  ASSERT_TRUE(f.SetMacType("APPL"));
  ASSERT_TRUE(f.SetCreationDate(Date::FromComponents(1990, 1, 1)) || !store->KeepsCreationDates());
  ASSERT_TRUE(f.Delete());
  EXPECT_TRUE(RawNames().empty());
  EXPECT_FALSE(StoresAnything());

  // A folder with Finder information of its own, and holding store files
  // whose items are gone, lists as empty and can be deleted.
  fs::create_directory(dir / "folder");
  FolderItem folder(dir / "folder");
  ASSERT_TRUE(folder.SetFinderFlags(FinderInfo::kIsInvisible));
  FolderItem inner(dir / "folder" / "inner");
  testsupport::WriteFile(inner.Path(), "x");
  ASSERT_EQ(WriteFork(*store, inner.Path(), "fork"), ForkErr::noErr);
  ASSERT_EQ(::unlink(inner.Path().c_str()), 0);
  EXPECT_EQ(folder.Count(), 0);
  ASSERT_TRUE(folder.Delete());
  EXPECT_TRUE(RawNames().empty());
  EXPECT_FALSE(StoresAnything());
}

TEST_P(StoreTest, RenamingAnItemTakesItsStoreFilesAlong) {
  FolderItem f = MakeFile("doc", "data");
  ASSERT_EQ(WriteFork(*store, f.Path(), "fork"), ForkErr::noErr);
  ASSERT_TRUE(f.SetFinderInfo(Info("APPL", "abcd", 0x0400)));
  ASSERT_TRUE(f.Rename("renamed"));
  EXPECT_EQ(f.Name(), "renamed");
  EXPECT_EQ(f.ResourceForkLength(), 4);
  EXPECT_EQ(f.MacCreator(), "abcd");
  EXPECT_EQ(f.FinderFlags(), 0x0400);
  EXPECT_EQ(FolderItem(dir / "doc").ResourceForkLength(), 0);
  EXPECT_EQ(FolderItem(dir / "doc").MacType(), std::string(4, '\0'));

  // What a gone item left under the new name is not adopted.
  FolderItem old = MakeFile("old");
  ASSERT_EQ(WriteFork(*store, old.Path(), "stale"), ForkErr::noErr);
  ASSERT_TRUE(old.SetMacType("STAL"));
  ASSERT_EQ(::unlink(old.Path().c_str()), 0);
  FolderItem plain = MakeFile("plain");
  ASSERT_TRUE(plain.Rename("old"));
  EXPECT_EQ(plain.ResourceForkLength(), 0);
  EXPECT_EQ(plain.MacType(), std::string(4, '\0'));

  // A file keeps its codes when its new name implies others.
  FolderItem text = MakeFile("notes.txt");
  ASSERT_TRUE(text.Rename("notes.doc"));
  EXPECT_EQ(text.MacType(), "TEXT");
  EXPECT_EQ(text.MacCreator(), "ttxt");

  // Taken names, bad names and locked files.
  EXPECT_FALSE(text.Rename("renamed"));
  EXPECT_FALSE(text.Rename(""));
  EXPECT_FALSE(text.Rename("a/b"));
  ASSERT_TRUE(text.SetLocked(true));
  EXPECT_FALSE(text.Rename("other"));
  EXPECT_EQ(text.Name(), "notes.doc");
}

TEST_P(StoreTest, ListingsSkipStoreFiles) {
  FolderItem a = MakeFile("a");
  FolderItem b = MakeFile("b.txt");
  fs::create_directory(dir / "c");
  ASSERT_EQ(WriteFork(*store, a.Path(), "fork"), ForkErr::noErr);
  ASSERT_TRUE(b.SetMacCreator("R*ch"));
  ASSERT_TRUE(FolderItem(dir / "c").SetFinderFlags(FinderInfo::kIsInvisible));
  FolderItem folder(dir.path());
  ASSERT_EQ(folder.Count(), 3);
  EXPECT_EQ(folder.Item(1).Name(), "a");
  EXPECT_EQ(folder.Item(2).Name(), "b.txt");
  EXPECT_EQ(folder.Item(3).Name(), "c");
}

// What a folder walk asks: which items of a folder have store files, from
// its listing, and for each file its fork's length and Finder information in
// one look, the same as the separate questions answer.
TEST_P(StoreTest, WalksLearnFromTheListingAndAskOnce) {
  FinderInfo typed;
  typed.SetType("APPL");
  typed.SetCreator("Zzzz");
  const struct {
    const char* name;
    std::string fork;
    bool setInfo;
  } files[] = {
      {"plain.txt", "", false},
      {"forked.txt", "fork", false},
      {"typed", "", true},
      {"both", "the fork", true},
  };
  for (const auto& f : files) {
    FolderItem item = MakeFile(f.name, "data");
    if (!f.fork.empty()) {
      ASSERT_EQ(WriteFork(*store, item.Path(), f.fork), ForkErr::noErr);
    }
    if (f.setInfo) {
      ASSERT_TRUE(item.SetFinderInfo(typed));
    }
  }
  const auto listed = FolderItem(dir.path()).ItemsWithStoreFiles();
  if (memory) {
    EXPECT_FALSE(listed) << "a store without files can't tell from a listing";
  } else {
    ASSERT_TRUE(listed);
    EXPECT_EQ(*listed, (std::unordered_set<std::string>{"forked.txt", "typed", "both"}));
  }
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    FolderItem item(dir / f.name);
    int64_t length = -1;
    FinderInfo info;
    item.GetFileForkInfo(true, length, info);
    EXPECT_EQ(length, item.ResourceForkLength());
    EXPECT_EQ(length, static_cast<int64_t>(f.fork.size()));
    EXPECT_EQ(info, item.GetFinderInfo());
    // Told that the listing showed no store files, the store is not asked:
    // what the name implies.
    item.GetFileForkInfo(false, length, info);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(info.Type(), std::string(f.name).ends_with(".txt") ? "TEXT" : std::string(4, '\0'));
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, ::testing::ValuesIn(forktest::StoreNames()));

// --- Faults, on the in-memory store -----------------------------------------

class MemoryStoreFaults : public ::testing::Test {
 protected:
  void SetUp() override { ForkStore::Install(memory); }
  void TearDown() override { ForkStore::Install(nullptr); }
  testsupport::TempDir dir;
  std::shared_ptr<MemoryForkStore> memory = std::make_shared<MemoryForkStore>();
};

TEST_F(MemoryStoreFaults, AFailedWriteLeavesTheOldForkAndFinderInfo) {
  testsupport::WriteFile(dir / "doc", "");
  FolderItem f(dir / "doc");
  ASSERT_EQ(WriteFork(*memory, f.Path(), "old fork"), ForkErr::noErr);
  ASSERT_TRUE(f.SetFinderInfo(Info("APPL", "abcd")));

  struct Fault {
    MemoryForkStore::Op op;
    OSErr code;
  };
  for (Fault fault : {Fault{MemoryForkStore::Op::Write, ForkErr::ioErr},
                      Fault{MemoryForkStore::Op::SetEOF, ForkErr::ioErr},
                      Fault{MemoryForkStore::Op::Commit, ForkErr::dskFulErr}}) {
    memory->InjectFault(fault.op, fault.code);
    EXPECT_EQ(WriteFork(*memory, f.Path(), "new fork"), fault.code);
    EXPECT_EQ(ReadFork(*memory, f.Path()), "old fork");
    EXPECT_EQ(f.MacCreator(), "abcd");
  }

  // A full disk half-way through: what fitted is not put in place either.
  memory->SetWriteLimit(3);
  EXPECT_EQ(WriteFork(*memory, f.Path(), "new fork"), ForkErr::dskFulErr);
  EXPECT_EQ(ReadFork(*memory, f.Path()), "old fork");
  memory->ClearFaults();
  EXPECT_EQ(WriteFork(*memory, f.Path(), "new fork"), ForkErr::noErr);
  EXPECT_EQ(ReadFork(*memory, f.Path()), "new fork");
}

TEST_F(MemoryStoreFaults, AFailedMetadataWriteIsReported) {
  testsupport::WriteFile(dir / "doc", "");
  FolderItem f(dir / "doc");
  memory->InjectFault(MemoryForkStore::Op::SetFinderInfo, ForkErr::ioErr);
  EXPECT_FALSE(f.SetMacType("APPL"));
  EXPECT_EQ(f.MacType(), std::string(4, '\0'));
  memory->InjectFault(MemoryForkStore::Op::SetCreationDate, ForkErr::ioErr);
  EXPECT_FALSE(f.SetCreationDate(Date::FromComponents(1990, 1, 1)));
}

// --- Choosing the store -------------------------------------------------------

TEST(ForkStoreChoice, StoresAreChosenByName) {
  EXPECT_EQ(ForkStore::Current()->Name(), "appledouble");
  EXPECT_TRUE(ForkStore::Select("extfs"));
  EXPECT_EQ(ForkStore::Current()->Name(), "extfs");
  EXPECT_FALSE(ForkStore::Select("resourcefork"));
  EXPECT_EQ(ForkStore::Current()->Name(), "extfs");
  EXPECT_TRUE(ForkStore::Select("appledouble"));
  EXPECT_EQ(ForkStore::Current()->Name(), "appledouble");
  ForkStore::Install(std::make_shared<MemoryForkStore>());
  EXPECT_EQ(ForkStore::Current()->Name(), "memory");
  ForkStore::Install(nullptr);
  EXPECT_EQ(ForkStore::Current()->Name(), "appledouble");
}

// --- The table of codes by name ---------------------------------------------

TEST(TypeCreatorTable, MapsCommonExtensionsWhateverTheirCase) {
  struct Case {
    const char* name;
    const char* type;  // nullptr: none
    const char* creator;
  };
  const Case cases[] = {
      {"notes.txt", "TEXT", "ttxt"}, {"PHOTO.JPG", "JPEG", "ogle"}, {"anim.gif", "GIFf", "ogle"},
      {"paper.pdf", "PDF ", "CARO"}, {"a.b.zip", "ZIP ", "SITx"},   {"song.Mp3", "MPG3", "TVOD"},
      {"index.html", "TEXT", "MOSS"}, {"x.tar.gz", "Gzip", "SITx"}, {"README", nullptr, nullptr},
      {".profile", nullptr, nullptr}, {"trailing.", nullptr, nullptr}, {"odd.qqq", nullptr, nullptr},
      {"", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto codes = TypeCreatorTable::ForName(c.name);
    if (!c.type) {
      EXPECT_FALSE(codes.has_value());
      continue;
    }
    ASSERT_TRUE(codes.has_value());
    EXPECT_EQ(codes->type, c.type);
    EXPECT_EQ(codes->creator, c.creator);
  }
  EXPECT_EQ(TypeCreatorTable::ForExtension("TIFF"), (TypeCreator{"TIFF", "ogle"}));
  EXPECT_FALSE(TypeCreatorTable::ForExtension("").has_value());
}
