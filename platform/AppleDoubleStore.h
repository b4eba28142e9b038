#pragma once
// The default fork store: for `dir/NAME` the resource fork, Finder
// information and (when the file system can't hold it) the creation date
// live in `dir/._NAME`, an AppleDouble version 2 file laid out as macOS
// writes one: Finder info (entry 9, 32 bytes) first, file dates (entry 8)
// only when a creation date is kept, the resource fork (entry 2) last. So
// files round-trip with real Macs, netatalk and Samba shares, and other
// archivers.
//
// Reading: a sidecar that is missing, unreadable or damaged counts as
// absent. Writing: a damaged sidecar is never overwritten (ioErr, with the
// reason in LastErrorText); a new sidecar is written under a temporary name
// and renamed over the old one; a sidecar left holding nothing is removed.
// Entries of other kinds, and the extended attributes macOS keeps behind the
// Finder info, are carried over when a sidecar is rewritten.
#include "platform/ForkStore.h"

class AppleDoubleStore : public ForkStore {
 public:
  AppleDoubleStore() = default;

  std::string Name() const override { return "appledouble"; }
  // `dir/._NAME` for `dir/NAME`; empty for a root.
  static std::filesystem::path SidecarPath(const std::filesystem::path& item);

  int64_t ResourceForkLength(const std::filesystem::path& file) override;
  OSErr GetFinderInfo(const std::filesystem::path& item, FinderInfo& info) override;
  OSErr SetFinderInfo(const std::filesystem::path& item, const FinderInfo& info) override;
  OSErr GetCreationDate(const std::filesystem::path& item, std::optional<int64_t>& unixTime) override;
  OSErr SetCreationDate(const std::filesystem::path& item, std::optional<int64_t> unixTime) override;
  bool KeepsCreationDates() const override { return true; }

  // One open of the sidecar for both.
  OSErr GetForkInfo(const std::filesystem::path& file, int64_t& rsrcLength,
                    FinderInfo& info) override;
  // Every `._NAME` in the listing names an item NAME; no system call.
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
