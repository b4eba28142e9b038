// What a crash in the middle of changing an archive leaves behind.
//
// A forked child changes a copy of an archive and is killed after a chosen
// number of written bytes (writebudget); the parent then opens what is left.
// Every run must end in one of three ways: the archive opens with its old
// entries intact, opens with its new entries intact, or fails to open with
// one of the engine's messages. An archive that opens with an entry missing,
// doubled or damaged is the fault looked for, and must never happen.
//
// The kill points are random byte counts from a fixed seed: some anywhere in
// the operation, more near its start and its end, where the writes that
// decide which directory a reader finds take place. The table of outcomes is
// printed, so that `ctest -V` shows it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "engine/ExtractSupport.h"
#include "engine/WriteTestSupport.h"
#include "platform/WriteBudget.h"
#include "streams/RsrcForkWriter.h"

using namespace writetest;

namespace {

// An entry as the archive must hold it: a plain one extracts to `data`, one
// in MacBinary form to `data` and `rsrc`; a folder has neither.
struct Item {
  std::string name;
  std::string data;
  std::string rsrc;
  bool macBinary = false;
};

// What a reader must find: the entries in directory order and the comment.
struct State {
  std::vector<Item> items;
  std::string comment;
};

const Date kWhen = Date::FromTotalSeconds(3'800'000'000.0);

// Fixed names of one length, so that directory records of neighbouring
// entries have the same size: overwriting a directory in place then leaves
// records that line up with stale ones, which a reader could take for whole.
Item Plain(int n, std::string data) {
  return {"doc-" + std::to_string(n) + ".txt", std::move(data), "", false};
}

Item MacFile(int n, std::string data, std::string rsrc) {
  return {"mac-" + std::to_string(n) + ".txt", std::move(data), std::move(rsrc), true};
}

bool Add(ZipArchive& a, const Item& item) {
  if (!item.macBinary) return AddBytes(a, item.name, item.data, kWhen) > 0;
  const auto dataLength = static_cast<int32_t>(item.data.size());
  const auto rsrcLength = static_cast<int32_t>(item.rsrc.size());
  MemoryBlockPtr header = ZipArchive::MakeMacBinaryHeader(dataLength, rsrcLength, item.name, "TEXT",
                                                          "ttxt", kWhen, kWhen);
  return a.AddItemByStreams(Source(item.data), dataLength, Source(item.rsrc), rsrcLength, header,
                            item.name, a.MakeZipExtraField("TEXT", "ttxt", item.name),
                            kWhen) > 0;
}

// Whether the entry holds exactly the item's bytes; `why` says what differs.
bool Holds(const ZipEntryPtr& e, const Item& item, std::string& why) {
  if (e->RawPath() != item.name) {
    why = "entry " + e->RawPath() + " where " + item.name + " belongs";
    return false;
  }
  if (item.name.back() == '/') {
    if (!e->IsDirectory()) why = item.name + " is no longer a folder";
    return e->IsDirectory();
  }
  if (!e->Verify()) {
    why = item.name + " fails Verify: " + e->ErrorMessage();
    return false;
  }
  auto data = std::make_shared<extracttest::MemoryOutput>();
  auto rsrc = std::make_shared<extracttest::MemoryOutput>();
  MemoryBlockPtr header;
  if (!e->Extract(item.macBinary, data, item.macBinary ? rsrc : nullptr, header)) {
    why = item.name + " does not extract: " + e->ErrorMessage();
    return false;
  }
  if (data->bytes != item.data || rsrc->bytes != item.rsrc ||
      (header != nullptr) != item.macBinary) {
    why = item.name + " extracts to other bytes";
    return false;
  }
  return true;
}

bool Matches(ZipArchive& a, const State& s, std::string& why) {
  if (a.EntryCount() != static_cast<int32_t>(s.items.size())) {
    why = std::to_string(a.EntryCount()) + " entries where " + std::to_string(s.items.size()) +
          " belong";
    return false;
  }
  for (size_t i = 0; i < s.items.size(); ++i) {
    if (!Holds(a.Entry(static_cast<int32_t>(i + 1)), s.items[i], why)) return false;
  }
  if (a.Comment() != s.comment) {
    why = "the comment is \"" + a.Comment() + "\"";
    return false;
  }
  return true;
}

enum class Outcome { Old, New, FailsToOpen, Wrong };

struct Verdict {
  Outcome outcome;
  std::string detail;  // the message of a failed open, or what is wrong
};

Verdict Judge(const std::filesystem::path& zip, const State& before, const State& after) {
  ZipArchive a;
  if (!a.Open(FolderItem(zip), false)) return {Outcome::FailsToOpen, a.ErrorMessage()};
  std::string whyOld, whyNew;
  if (Matches(a, before, whyOld)) return {Outcome::Old, ""};
  if (Matches(a, after, whyNew)) return {Outcome::New, ""};
  return {Outcome::Wrong, "neither old (" + whyOld + ") nor new (" + whyNew + ")"};
}

struct Scenario {
  const char* name;
  State before;
  State after;
  // Changes the archive at the path; true when every step succeeded.
  std::function<bool(const std::filesystem::path&)> change;
};

State Without(State s, std::initializer_list<size_t> positions) {
  State out{{}, s.comment};
  for (size_t i = 0; i < s.items.size(); ++i) {
    if (std::find(positions.begin(), positions.end(), i) == positions.end()) {
      out.items.push_back(s.items[i]);
    }
  }
  return out;
}

State Prepared() {
  State s;
  s.comment = "an archive to crash on";
  s.items = {Plain(1, TextBytes(3000)),
             Plain(2, NoiseBytes(1500, 2)),
             MacFile(3, TextBytes(700), NoiseBytes(900, 3)),
             Plain(4, TextBytes(12000)),
             Plain(5, "short"),
             Plain(6, NoiseBytes(2500, 6)),
             Plain(7, TextBytes(40)),
             {"folder/", "", "", false}};
  return s;
}

// A file with a resource fork, kept by the fork store in use, in `folder`.
Item ForkedFile(const std::filesystem::path& folder) {
  Item item{"Read Me", TextBytes(1800), NoiseBytes(2200, 12), true};
  testsupport::WriteFile(folder / item.name, item.data);
  RsrcForkWriter fork{FolderItem(folder / item.name)};
  EXPECT_TRUE(fork.Open());
  EXPECT_TRUE(fork.Write(item.rsrc));
  EXPECT_TRUE(fork.Close());
  return item;
}

// `sources` is a folder for files to add.
std::vector<Scenario> Scenarios(const std::filesystem::path& sources) {
  const State prepared = Prepared();
  std::vector<Scenario> list;

  // Adding writes over the old directory, then a new one behind the data.
  State added = prepared;
  const std::vector<Item> newItems = {Plain(8, TextBytes(9000)),
                                      MacFile(9, "data fork", NoiseBytes(4000, 9)),
                                      Plain(10, NoiseBytes(700, 10)), Plain(11, "")};
  for (const Item& item : newItems) added.items.push_back(item);
  const Item forked = ForkedFile(sources);
  added.items.push_back(forked);
  const FolderItem forkedFile(sources / forked.name);
  list.push_back({"add", prepared, added, [newItems, forkedFile](const std::filesystem::path& zip) {
                    ZipArchive a;
                    if (!a.Open(FolderItem(zip), true)) return false;
                    for (const Item& item : newItems) {
                      if (!Add(a, item)) return false;
                    }
                    return a.AddItemToRoot(forkedFile, ZipArchive::MacBinarySmart()) > 0 &&
                           a.Close();
                  }});

  // Compacting moves entries down under the old directory's feet.
  list.push_back({"remove+compact", prepared, Without(prepared, {0, 3, 4}),
                  [](const std::filesystem::path& zip) {
                    ZipArchive a;
                    return a.Open(FolderItem(zip), true) && a.RemoveEntry(5) && a.RemoveEntry(4) &&
                           a.RemoveEntry(1) && a.Compact() && a.Close();
                  }});

  // A shorter directory written over the old one in place: its records line
  // up with the old ones behind them.
  State recommented = Without(prepared, {0});
  recommented.comment = "the comment changed";
  list.push_back({"remove+comment", prepared, recommented, [](const std::filesystem::path& zip) {
                    ZipArchive a;
                    return a.Open(FolderItem(zip), true) && a.RemoveEntry(1) &&
                           a.SetComment("the comment changed") && a.Close();
                  }});

  // Adding, then taking it back: the directory returns to where it was.
  list.push_back({"add+rollback", prepared, prepared, [](const std::filesystem::path& zip) {
                    ZipArchive a;
                    if (!a.Open(FolderItem(zip), true)) return false;
                    a.Mark();
                    return Add(a, Plain(12, TextBytes(5000))) && a.Rollback() && a.Close();
                  }});
  return list;
}

// Kill points: before the first byte, after the last one, one past it (the
// change completes), then random counts near the start, near the end and
// anywhere, drawn from the seed.
std::set<int64_t> KillPoints(int64_t total, std::mt19937_64& gen) {
  std::set<int64_t> points{0, total, total + 1};
  auto draw = [&](int64_t low, int64_t high, int n) {
    std::uniform_int_distribution<int64_t> pick(std::max<int64_t>(low, 0), std::min(high, total));
    for (int i = 0; i < n; ++i) points.insert(pick(gen));
  };
  draw(0, 1024, 50);
  draw(total - 4096, total, 50);
  draw(0, total, 50);
  return points;
}

struct Tally {
  int runs = 0;
  int old = 0;
  int fresh = 0;
  int fails = 0;
  int wrong = 0;
  int completed = 0;
  std::map<std::string, int> messages;
};

class CrashConsistency : public ::testing::Test {
 protected:
  testsupport::TempDir tmp;
};

TEST_F(CrashConsistency, AKilledChangeLeavesTheOldArchiveTheNewOneOrOneThatFailsToOpen) {
  constexpr uint64_t kSeed = 20240611;
  std::mt19937_64 gen(kSeed);
  const auto original = tmp / "original.zip";
  const auto work = tmp / "work.zip";
  {
    ZipArchive a;
    ASSERT_TRUE(a.Open(FolderItem(original), true));
    for (const Item& item : Prepared().items) {
      if (item.name.back() == '/') {
        ASSERT_GT(a.AddItemByStreams(nullptr, 0, nullptr, 0, nullptr, item.name, nullptr, kWhen),
                  0);
      } else {
        ASSERT_TRUE(Add(a, item)) << a.ErrorMessage();
      }
    }
    ASSERT_TRUE(a.SetComment(Prepared().comment));
    ASSERT_TRUE(a.Close());
  }
  const std::string originalBytes = testsupport::ReadFile(original);

  std::ostringstream table;
  table << "Crash consistency: seed " << kSeed << ", killed after N written bytes\n"
        << "scenario         bytes  runs   old   new  fails  wrong  completed\n";
  std::ostringstream messages;
  std::filesystem::create_directory(tmp / "sources");
  for (const Scenario& s : Scenarios(tmp / "sources")) {
    SCOPED_TRACE(s.name);
    {
      testsupport::WriteFile(work, originalBytes);
      const Verdict v = Judge(work, s.before, s.before);
      ASSERT_EQ(v.outcome, Outcome::Old) << v.detail;
    }
    // How much the change writes, measured in this process.
    testsupport::WriteFile(work, originalBytes);
    constexpr int64_t kPlenty = int64_t{1} << 40;
    writebudget::Arm(kPlenty);
    const bool changed = s.change(work);
    const int64_t total = kPlenty - writebudget::Remaining();
    writebudget::Disarm();
    ASSERT_TRUE(changed);
    ASSERT_EQ(Judge(work, s.before, s.after).outcome,
              s.before.items.size() == s.after.items.size() ? Outcome::Old : Outcome::New);

    Tally t;
    for (int64_t budget : KillPoints(total, gen)) {
      testsupport::WriteFile(work, originalBytes);
      std::fflush(nullptr);
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        writebudget::Arm(budget);
        const bool ok = s.change(work);
        // No test teardown and no exit handlers in the child.
        _exit(ok ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
      ASSERT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
          << "budget " << budget << ": the change failed or the child died otherwise (status "
          << status << ")";
      ++t.runs;
      const Verdict v = Judge(work, s.before, s.after);
      if (!killed) {
        ++t.completed;
        EXPECT_NE(v.outcome, Outcome::FailsToOpen) << "budget " << budget << ": " << v.detail;
      }
      switch (v.outcome) {
        case Outcome::Old:
          if (killed) ++t.old;
          break;
        case Outcome::New:
          if (killed) ++t.fresh;
          break;
        case Outcome::FailsToOpen:
          ++t.fails;
          ++t.messages[v.detail];
          break;
        case Outcome::Wrong:
          ++t.wrong;
          ADD_FAILURE() << "killed after " << budget << " of " << total
                        << " bytes, the archive opens wrong: " << v.detail;
          break;
      }
      if (budget == 0) {
        EXPECT_EQ(v.outcome, Outcome::Old) << "killed before the first byte";
      }
    }
    char row[160];
    std::snprintf(row, sizeof row, "%-15s %6lld %5d %5d %5d %6d %6d %10d\n", s.name,
                  static_cast<long long>(total), t.runs, t.old, t.fresh, t.fails, t.wrong,
                  t.completed);
    table << row;
    for (const auto& [message, count] : t.messages) {
      messages << "  " << s.name << ": " << count << " x \"" << message << "\"\n";
    }
  }
  std::printf("%s(old/new: killed, the archive opens with its old/new entries intact;\n"
              " completed: the budget outlasted the change)\nfails to open, by message:\n%s",
              table.str().c_str(), messages.str().c_str());
}

}  // namespace
