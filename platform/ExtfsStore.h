#pragma once
// The fork store in the layout that the classic-Mac emulators use for a host
// folder: for `dir/NAME` the raw resource fork is `dir/.rsrc/NAME` and the 32
// bytes of Finder information are `dir/.finf/NAME`. Extracted into such a
// folder, files show up in the emulated Mac with their forks and types.
//
// The layout has no place for dates, so this store keeps no creation date.
// Files are replaced through a temporary name, a file left empty is removed,
// and so is a `.rsrc` or `.finf` folder left empty.
#include "platform/ForkStore.h"

class ExtfsStore : public ForkStore {
 public:
  ExtfsStore() = default;

  std::string Name() const override { return "extfs"; }
  static std::filesystem::path ForkPath(const std::filesystem::path& item);
  static std::filesystem::path FinderInfoPath(const std::filesystem::path& item);

  int64_t ResourceForkLength(const std::filesystem::path& file) override;
  OSErr GetFinderInfo(const std::filesystem::path& item, FinderInfo& info) override;
  OSErr SetFinderInfo(const std::filesystem::path& item, const FinderInfo& info) override;
  OSErr GetCreationDate(const std::filesystem::path& item, std::optional<int64_t>& unixTime) override;
  OSErr SetCreationDate(const std::filesystem::path& item, std::optional<int64_t> unixTime) override;
  bool KeepsCreationDates() const override { return false; }

  // One listing of each of the folder's `.rsrc` and `.finf` folders.
  std::optional<std::unordered_set<std::string>> ItemsWithStoreFiles(
      const std::filesystem::path& folder, const std::vector<std::string>& storeNames) override;

  bool IsStoreFile(const std::string& name) const override;
  OSErr ItemDeleted(const std::filesystem::path& item) override;
  OSErr ItemRenamed(const std::filesystem::path& from, const std::filesystem::path& to) override;
  void RemoveOrphans(const std::filesystem::path& folder) override;

 protected:
  OSErr MakeFork(const std::filesystem::path& file, bool forWriting,
                 std::unique_ptr<OpenFork>& fork) override;
};
