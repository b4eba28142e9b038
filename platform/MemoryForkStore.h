#pragma once
// A fork store that keeps forks, Finder information and creation dates in
// memory, for tests, with faults to inject. The items themselves stay real
// files and folders: existence, folders and locks are asked of the file
// system, so the store behaves like the on-disk ones apart from where it
// keeps its data.
//
// Faults: InjectFault makes a chosen call fail with a chosen code;
// SetWriteLimit lets forks being written grow to a number of bytes and then
// fail like a full disk, after writing what fits.
#include <map>

#include "platform/ForkStore.h"

class MemoryForkStore : public ForkStore {
 public:
  enum class Op {
    OpenForReading,
    OpenForWriting,
    Read,
    Write,
    SetEOF,
    Commit,  // closing a fork opened for writing
    SetFinderInfo,
    SetCreationDate,
  };

  MemoryForkStore() = default;

  // The call of `op` after `skip` more successful ones fails with `code`.
  // One fault per operation; it fires once.
  void InjectFault(Op op, OSErr code, int skip = 0);
  // Forks being written can't grow past `bytes`; none lifts the limit.
  void SetWriteLimit(std::optional<int64_t> bytes) { writeLimit_ = bytes; }
  void ClearFaults();
  // How many items have anything stored.
  size_t ItemCount() const { return records_.size(); }

  std::string Name() const override { return "memory"; }
  int64_t ResourceForkLength(const std::filesystem::path& file) override;
  OSErr GetFinderInfo(const std::filesystem::path& item, FinderInfo& info) override;
  OSErr SetFinderInfo(const std::filesystem::path& item, const FinderInfo& info) override;
  OSErr GetCreationDate(const std::filesystem::path& item, std::optional<int64_t>& unixTime) override;
  OSErr SetCreationDate(const std::filesystem::path& item, std::optional<int64_t> unixTime) override;
  bool KeepsCreationDates() const override { return true; }

  bool IsStoreFile(const std::string&) const override { return false; }
  OSErr ItemDeleted(const std::filesystem::path& item) override;
  OSErr ItemRenamed(const std::filesystem::path& from, const std::filesystem::path& to) override;
  void RemoveOrphans(const std::filesystem::path& folder) override;

 protected:
  OSErr MakeFork(const std::filesystem::path& file, bool forWriting,
                 std::unique_ptr<OpenFork>& fork) override;

 private:
  struct Record {
    std::string fork;
    FinderInfo info;
    std::optional<int64_t> created;
    bool Empty() const { return fork.empty() && info.IsZero() && !created; }
  };
  class Fork;

  static std::string key(const std::filesystem::path& item);
  // The injected code for this call of `op`, or noErr.
  OSErr fault(Op op);
  // Drops a record that holds nothing.
  void tidy(const std::string& k);

  std::map<std::string, Record> records_;
  std::map<Op, std::pair<int, OSErr>> faults_;
  std::optional<int64_t> writeLimit_;
};
