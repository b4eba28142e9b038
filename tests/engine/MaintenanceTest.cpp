// Changing an open archive: removing, replacing and duplicating entries, the
// comment, mark and rollback, and compacting the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/WriteTestSupport.h"
#include "engine/ZipFormat.h"
#include "platform/Exceptions.h"

using namespace writetest;

namespace {

const std::string kReadOnly = "Archive was opened read-only";

class Maintenance : public ::testing::Test {
 protected:
  std::filesystem::path zip() const { return tmp / "a.zip"; }
  std::string bytes() const { return testsupport::ReadFile(zip()); }

  // Entries named after their contents' index, closed.
  std::map<std::string, std::string> makeEntries(int n) {
    std::map<std::string, std::string> files;
    ZipArchive a;
    EXPECT_TRUE(a.Open(FolderItem(zip()), true));
    for (int i = 1; i <= n; ++i) {
      const std::string name = "e" + std::to_string(i) + ".txt";
      files[name] = TextBytes(static_cast<size_t>(500 * i)) + NoiseBytes(static_cast<size_t>(7 * i), i);
      EXPECT_EQ(AddBytes(a, name, files[name]), i);
    }
    EXPECT_TRUE(a.Close());
    return files;
  }

  // Every tool refuses a fake duplicate: it names data whose local header
  // has another name (and, to 7-Zip, other flags), and shares it with
  // another record (to Info-ZIP unzip, a possible zip bomb). So the data is
  // checked with the duplicates taken out again.
  void expectDataIntactWithoutDuplicates(const std::map<std::string, std::string>& files) {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    for (int i = a.EntryCount(); i >= 1; --i) {
      if (a.Entry(i)->z_Header()->UInt16Value(8) & zipformat::kFlagDataDescriptor) {
        ASSERT_TRUE(a.RemoveEntry(i));
      }
    }
    ASSERT_EQ(a.EntryCount(), static_cast<int32_t>(files.size()));
    ASSERT_TRUE(a.Close());
    ExpectOtherToolsAgree(zip(), files);
  }

  testsupport::TempDir tmp;
};

TEST_F(Maintenance, RemovingAndCompactingMovesTheRestToTheFront) {
  auto files = makeEntries(3);
  const Layout before = ReadLayout(bytes());
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    ASSERT_TRUE(a.RemoveEntry(1));
    ASSERT_EQ(a.EntryCount(), 2);
    EXPECT_EQ(a.Entry(1)->RawPath(), "e2.txt");
    ASSERT_TRUE(a.Compact()) << a.ErrorMessage();
    ASSERT_TRUE(a.Close());
  }
  files.erase("e1.txt");
  const std::string b = bytes();
  const Layout after = ReadLayout(b);  // also: the file ends after the directory
  ASSERT_EQ(after.entries.size(), 2u);
  const RecordPair& e2 = before.entries[1];
  EXPECT_EQ(after.entries[0].localOffset, 0u);
  EXPECT_EQ(after.entries[1].localOffset, 30 + e2.name.size() + e2.centralCompressed);
  EXPECT_EQ(after.dirOffset, after.entries[1].localOffset + 30 + 6 + after.entries[1].centralCompressed);
  ExpectOtherToolsAgree(zip(), files);
}

TEST_F(Maintenance, CompactingWithoutGapsChangesNothing) {
  makeEntries(3);
  const std::string before = bytes();
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  ASSERT_TRUE(a.Compact());
  ASSERT_TRUE(a.Close());
  EXPECT_EQ(bytes(), before);
}

TEST_F(Maintenance, CompactingAnArchiveWithoutEntriesLeavesThePlaceholderAtTheStart) {
  makeEntries(2);
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  ASSERT_TRUE(a.RemoveEntry(2));
  ASSERT_TRUE(a.RemoveEntry(1));
  ASSERT_TRUE(a.Compact());
  ASSERT_TRUE(a.Close());
  ziptest::Archive empty;
  empty.entries.push_back({.name = "/"});
  EXPECT_EQ(bytes(), empty.Build().bytes);
}

TEST_F(Maintenance, FakeDuplicatesShareTheirEntrysDataThroughCompaction) {
  auto files = makeEntries(3);
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    const Date when = Date::FromComponents(2001, 2, 3, 4, 5, 6);
    ASSERT_EQ(a.AddFakeDuplicate(a.Entry(2), "copy of e2.txt", when, nullptr), 4);
    ASSERT_EQ(a.AddFakeDuplicate(a.Entry(3), "copy of e3.txt", std::nullopt,
                                 a.MakeZipExtraField(ziptest::MacShortBlock("TEXT", "ttxt"))),
              5);
    EXPECT_EQ(a.AddFakeDuplicate(nullptr, "x", std::nullopt, nullptr), 0);
    EXPECT_EQ(a.ErrorMessage(), "no entry reference given");
    const ZipEntryPtr dup = a.Entry(4);
    EXPECT_EQ(dup->RawPath(), "copy of e2.txt");
    EXPECT_EQ(dup->Size(), a.Entry(2)->Size());
    EXPECT_EQ(dup->CRC32(), a.Entry(2)->CRC32());
    EXPECT_EQ(dup->Time(), std::optional<Date>(Date::FromComponents(2001, 2, 3, 4, 5, 6)));
    EXPECT_EQ(a.Entry(5)->Time(), a.Entry(3)->Time());
    // The original goes before the space is reclaimed.
    ASSERT_TRUE(a.RemoveEntry(1));
    ASSERT_TRUE(a.Compact()) << a.ErrorMessage();
    ASSERT_TRUE(a.Close());
  }
  const Layout l = ReadLayout(bytes());
  ASSERT_EQ(l.entries.size(), 4u);
  EXPECT_EQ(l.entries[0].localOffset, 0u);
  EXPECT_EQ(l.entries[2].localOffset, 0u);
  EXPECT_EQ(l.entries[3].localOffset, l.entries[1].localOffset);
  EXPECT_EQ(l.entries[2].centralFlags, zipformat::kFlagDataDescriptor);
  EXPECT_EQ(l.entries[2].localFlags, 0);
  EXPECT_EQ(l.entries[3].centralExtra, ziptest::MacShortBlock("TEXT", "ttxt"));
  files.erase("e1.txt");
  expectDataIntactWithoutDuplicates(files);
}

TEST_F(Maintenance, CompactionFollowsTheDataWhateverTheOrderOfTheList) {
  // The list in shuffled order, with duplicates before and after their
  // entries and some entries removed: the records sort by their data.
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    std::filesystem::remove(zip());
    const int n = 4 + static_cast<int>(seed) * 3;
    auto files = makeEntries(n);
    std::mt19937 gen(seed);
    {
      ZipArchive a;
      ASSERT_TRUE(a.Open(FolderItem(zip()), true));
      for (int i = 1; i <= n; i += 3) {
        ASSERT_GT(a.AddFakeDuplicate(a.Entry(i), "dup" + std::to_string(i), std::nullopt, nullptr), 0);
      }
      std::vector<ZipEntryPtr> list;
      for (int i = 1; i <= a.EntryCount(); ++i) list.push_back(a.Entry(i));
      std::shuffle(list.begin(), list.end(), gen);
      for (int i = 1; i <= a.EntryCount(); ++i) a.ReplaceEntry(i, list[static_cast<size_t>(i - 1)]);
      for (int i = a.EntryCount(); i >= 1; --i) {
        const std::string name = a.Entry(i)->RawPath();
        if (gen() % 3 == 0 && name.rfind("dup", 0) != 0) {
          ASSERT_TRUE(a.RemoveEntry(i));
          files.erase(name);
        }
      }
      ASSERT_TRUE(a.Compact()) << "seed " << seed << ": " << a.ErrorMessage();
      ASSERT_TRUE(a.Close());
    }
    // No gap is left: every local header starts where the one before ends,
    // and a duplicate shares its entry's header.
    const std::string b = bytes();
    Layout l = ReadLayout(b);
    std::sort(l.entries.begin(), l.entries.end(),
              [](const RecordPair& x, const RecordPair& y) { return x.localOffset < y.localOffset; });
    uint32_t next = 0;
    uint32_t last = 0;
    for (const RecordPair& r : l.entries) {
      if (r.localOffset == last && next != 0) continue;
      EXPECT_EQ(r.localOffset, next) << "seed " << seed << ": " << r.name;
      last = r.localOffset;
      next = r.localOffset + 30 + Get16(b, r.localOffset + 26) + Get16(b, r.localOffset + 28) +
             r.centralCompressed;
    }
    EXPECT_EQ(next, l.dirOffset) << "seed " << seed;
    if (seed == 6) expectDataIntactWithoutDuplicates(files);
  }
}

TEST_F(Maintenance, CompactsDataDescriptorEntriesFromInfoZip) {
  const std::map<std::string, std::string> inputs = {
      {"a.txt", TextBytes(600)}, {"b.txt", "bravo\n"}, {"c.txt", TextBytes(6000)}};
  for (const auto& [name, data] : inputs) testsupport::WriteFile(tmp / name, data);
  // zip writing to a pipe can't seek back: sizes go into data descriptors.
  ASSERT_EQ(testsupport::RunCommand("cd " + Quote(tmp.path()) + " && zip -q - a.txt b.txt c.txt | cat > " +
                                    Quote(zip())),
            0);
  ASSERT_EQ(ReadLayout(bytes()).entries.at(1).localFlags & 8, 8);
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true)) << a.ErrorMessage();
    ASSERT_TRUE(a.RemoveEntry(1));
    ASSERT_TRUE(a.Compact()) << a.ErrorMessage();
    ASSERT_TRUE(a.Close());
  }
  const Layout l = ReadLayout(bytes());
  ASSERT_EQ(l.entries.size(), 2u);
  for (const RecordPair& r : l.entries) {
    EXPECT_EQ(r.localFlags & 8, 0) << r.name;
    EXPECT_EQ(r.localCRC, r.centralCRC) << r.name;
    EXPECT_EQ(r.localCompressed, r.centralCompressed) << r.name;
    EXPECT_EQ(r.localSize, r.centralSize) << r.name;
  }
  // The data descriptors are gone: the second entry follows the first's data.
  EXPECT_EQ(l.entries[1].localOffset,
            30 + 5 + l.entries[0].localExtra.size() + l.entries[0].centralCompressed);
  ExpectOtherToolsAgree(zip(), {{"b.txt", inputs.at("b.txt")}, {"c.txt", inputs.at("c.txt")}});
}

TEST_F(Maintenance, RefusesToCompactDamagedLocalHeaders) {
  ziptest::Archive built;
  built.entries.push_back({.name = "a.txt", .data = "aaaa"});
  built.entries.push_back({.name = "b.txt", .data = "bbbb"});
  built.entries.push_back({.name = "c.txt", .data = "cccc"});
  const ziptest::Built b = built.Build();
  const struct {
    const char* what;
    std::function<void(std::string&)> damage;
    std::string message;
  } cases[] = {
      {"no signature", [&](std::string& s) { s[b.localOffsets[2]] = 'X'; },
       "Invalid Local File Header signature (archive appears to be severely corrupted)"},
      {"other size", [&](std::string& s) { ziptest::Put32(s, b.localOffsets[2] + 18, 5); },
       "File Headers mismatch (archive appears to be severely corrupted)"},
      {"other method", [&](std::string& s) { ziptest::Put16(s, b.localOffsets[2] + 8, 8); },
       "File Headers mismatch (archive appears to be severely corrupted)"},
      // Two records whose entries overlap.
      {"overlap",
       [&](std::string& s) { ziptest::Put32(s, b.recordOffsets[2] + ziptest::at::kRecLocalOffset,
                                            static_cast<uint32_t>(b.localOffsets[1] + 3)); },
       "File Headers mismatch (archive appears to be severely corrupted)"},
  };
  for (const auto& c : cases) {
    std::string damaged = b.bytes;
    c.damage(damaged);
    testsupport::WriteFile(zip(), damaged);
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    ASSERT_TRUE(a.RemoveEntry(1));
    EXPECT_FALSE(a.Compact()) << c.what;
    EXPECT_EQ(a.ErrorMessage(), c.message) << c.what;
    ASSERT_TRUE(a.Close());
    // The entry before the damage moved; the damaged one stayed put.
    ZipArchive check;
    ASSERT_TRUE(check.Open(FolderItem(zip()), false)) << c.what;
    ASSERT_EQ(check.EntryCount(), 2) << c.what;
    EXPECT_EQ(check.Entry(1)->RawPath(), "b.txt");
    EXPECT_EQ(check.Entry(1)->z_Header()->UInt32Value(42), 0u) << c.what;
    EXPECT_EQ(testsupport::ReadFile(zip()).substr(30 + 5, 4), "bbbb") << c.what;
  }
}

TEST_F(Maintenance, RollbackTakesBackTheAddsSinceTheMark) {
  makeEntries(2);
  const std::string before = bytes();
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    a.Mark();
    ASSERT_EQ(AddBytes(a, "x.txt", TextBytes(5000)), 3);
    ASSERT_EQ(a.AddFakeDuplicate(a.Entry(1), "dup", std::nullopt, nullptr), 4);
    ASSERT_EQ(AddBytes(a, "y.txt", "y"), 5);
    ASSERT_TRUE(a.Rollback());
    EXPECT_EQ(a.EntryCount(), 2);
    // The mark stays for another round.
    ASSERT_EQ(AddBytes(a, "z.txt", "z"), 3);
    ASSERT_TRUE(a.Rollback());
    ASSERT_TRUE(a.Close());
  }
  EXPECT_EQ(bytes(), before);
  const struct {
    const char* what;
    std::function<void(ZipArchive&)> change;
  } breakers[] = {
      {"remove", [](ZipArchive& a) { a.RemoveEntry(1); }},
      {"replace", [](ZipArchive& a) { a.ReplaceEntry(1, a.Entry(2)); }},
      {"compact", [](ZipArchive& a) { a.Compact(); }},
      {"close", [&](ZipArchive& a) { a.Close(); ASSERT_TRUE(a.Open(FolderItem(zip()), true)); }},
  };
  for (const auto& b : breakers) {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    a.Mark();
    ASSERT_GT(AddBytes(a, "x.txt", "x"), 0);
    b.change(a);
    EXPECT_FALSE(a.Rollback()) << b.what;
    EXPECT_FALSE(a.Rollback()) << b.what;
  }
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), true));
  EXPECT_FALSE(a.Rollback());
}

TEST_F(Maintenance, ChecksItsArguments) {
  makeEntries(2);
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(zip()), true));
    EXPECT_THROW(a.RemoveEntry(0), OutOfBoundsException);
    EXPECT_THROW(a.RemoveEntry(3), OutOfBoundsException);
    EXPECT_THROW(a.ReplaceEntry(3, a.Entry(1)), OutOfBoundsException);
    const ZipEntryPtr first = a.Entry(1);
    EXPECT_EQ(a.ReplaceEntry(2, first)->RawPath(), "e2.txt");
    EXPECT_EQ(a.Entry(2), first);
    EXPECT_FALSE(a.SetComment(std::string(65536, 'c')));
    EXPECT_EQ(a.ErrorMessage(), "Comment is longer than 65535 bytes");
    // A name the archive's encoding can't hold would need other flags than
    // those of the local header the duplicate shares.
    EXPECT_EQ(a.AddFakeDuplicate(first, "\xE6\x97\xA5", std::nullopt, nullptr), 0);
    ASSERT_TRUE(a.Close());
    EXPECT_THROW(a.RemoveEntry(1), RuntimeException);
  }
  ZipArchive a;
  ASSERT_TRUE(a.Open(FolderItem(zip()), false));
  const std::function<bool(ZipArchive&)> changes[] = {
      [](ZipArchive& x) { return x.RemoveEntry(1); },
      [](ZipArchive& x) { return x.ReplaceEntry(1, x.Entry(2)) != nullptr; },
      [](ZipArchive& x) { return x.SetComment("c"); },
      [](ZipArchive& x) { return x.AddFakeDuplicate(x.Entry(1), "d", std::nullopt, nullptr) != 0; },
      [](ZipArchive& x) { return x.Compact(); },
  };
  for (const auto& change : changes) {
    EXPECT_FALSE(change(a));
    EXPECT_EQ(a.ErrorMessage(), kReadOnly);
  }
  EXPECT_EQ(a.EntryCount(), 2);
  EXPECT_TRUE(a.Close());
}

}  // namespace
