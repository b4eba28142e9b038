#pragma once
// A reference to a file or folder by path, as the classic platform's folder
// item was. Cheap to copy; nothing is opened until asked.
//
// A symbolic link is an alias. A locked item has its owner write bit clear. A
// folder's items are listed by position, sorted by name in byte order, so
// folder walks are deterministic; the files in which the fork store keeps
// resource forks and Finder information are never listed.
//
// Resource forks, Finder information and kept creation dates go through the
// process's fork store (ForkStore::Current), and travel with the item when it
// is deleted or renamed here. A file without stored Finder information
// reports the type and creator its name implies (TypeCreatorTable), and
// setting exactly those stores nothing, so ordinary files never get store
// files. When a setter answers false, ForkStore::LastErrorText may tell why.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/BinaryStream.h"
#include "platform/Date.h"
#include "platform/ForkStore.h"
#include "platform/MemoryBlock.h"

class FolderItem {
 public:
  FolderItem() = default;
  explicit FolderItem(std::filesystem::path path);

  const std::filesystem::path& Path() const { return path_; }
  std::string NativePath() const { return path_.string(); }
  // The last path component, as bytes (UTF-8 on this system).
  std::string Name() const;
  bool operator==(const FolderItem& other) const { return path_ == other.path_; }

  // Whether anything is there; a link counts, even a dangling one.
  bool Exists() const;
  // A folder, or a link to one when the link is followed.
  bool Directory() const;
  bool Alias() const;
  bool Locked() const;
  bool SetLocked(bool locked) const;
  // The name does not start with "." and the Finder's invisible flag is
  // clear.
  bool Visible() const;
  // Sets or clears the invisible flag; a name starting with "." stays
  // invisible all the same.
  bool SetVisible(bool visible) const;

  std::optional<FolderItem> Parent() const;
  FolderItem Child(const std::string& name) const;
  // The target of an alias; the item itself when it is none or can't be
  // resolved.
  FolderItem ResolvedAlias() const;

  // What one look at the file system tells about the item: for folder walks
  // that would otherwise ask once per question. Without `followAlias` an
  // alias is described itself (`alias` set), not what it points to.
  struct Status {
    bool exists = false;
    bool alias = false;
    bool directory = false;
    bool file = false;  // a regular file
    int64_t length = 0;  // as Length
    Date modified = Date::FromUnixTime(0);
    uint64_t fileID = 0;    // as DirectoryID
    uint64_t volumeID = 0;  // as VolumeID
  };
  Status GetStatus(bool followAlias) const;

  // Items of a folder, numbered from 1. The listing is read on first use and
  // kept by this item (and its copies) until Refresh().
  int32_t Count() const;
  FolderItem Item(int32_t index) const;
  std::vector<FolderItem> Items() const;
  void Refresh() const { listing_.reset(); }
  // What the listing itself tells of item `index`, without a look at the
  // item: what kind it is and its inode number (as DirectoryID). None where
  // the file system did not say.
  struct ListedKind {
    bool alias = false;
    bool directory = false;
    bool file = false;  // a regular file
    uint64_t fileID = 0;
  };
  std::optional<ListedKind> ListedKindOf(int32_t index) const;
  // The names of the folder's items that may have store files, as the fork
  // store reads them from the same listing (ForkStore::ItemsWithStoreFiles);
  // an item not among them had none when the folder was listed. None when
  // the store can't tell, or changed since the listing was read.
  std::optional<std::unordered_set<std::string>> ItemsWithStoreFiles() const;
  // More names for folder listings to leave out, besides the fork store's
  // own files (which are always left out). The default adds none.
  static void SetListingFilter(std::function<bool(const std::string& name)> hide);

  bool CreateAsFolder() const;
  // Deletes a file, a link or an empty folder (one that lists as empty:
  // store files left over from deleted items don't count), and what the
  // fork store keeps for it.
  bool Delete() const;
  // Gives the item another name in the same folder, taking its store files
  // along; the item then refers to the new name. False when the name is
  // empty, holds a "/", is a store file's name or is taken, when the item is
  // a locked file, or when the system refuses. A file keeps the type and
  // creator it had, also where the new name implies other ones.
  bool Rename(const std::string& newName);

  // Length of the data fork; 0 for a folder or a missing item.
  int64_t Length() const;
  // Length of the resource fork; 0 for none, a folder or a missing item.
  int64_t ResourceForkLength() const;
  // For an item known to be a file: the length of its resource fork and the
  // Finder information in effect, as ResourceForkLength and GetFinderInfo
  // tell them, with one look at the store. `storeFilesListed` false means
  // the folder's listing showed no store files for the item, and the store
  // is not asked at all.
  void GetFileForkInfo(bool storeFilesListed, int64_t& rsrcLength, FinderInfo& info) const;

  // The Finder information in effect: what the fork store keeps, or else,
  // for a file, the type and creator its name implies with everything else
  // zero. All zero for a missing item.
  FinderInfo GetFinderInfo() const;
  // Stores Finder information; information equal to what the name implies
  // (flags clear) is not stored, and replaces whatever was. False for a
  // missing item or a locked file, or when the store fails.
  bool SetFinderInfo(const FinderInfo& info) const;
  // Four bytes each; four zero bytes when there are none.
  std::string MacType() const;
  std::string MacCreator() const;
  // Four bytes; a shorter code is padded with spaces, an empty one is zero.
  bool SetMacType(const std::string& type) const;
  bool SetMacCreator(const std::string& creator) const;
  uint16_t FinderFlags() const;
  bool SetFinderFlags(uint16_t flags) const;
  // What a catalog lookup tells about an item: its Finder flags and the
  // script of its name. None for a missing item.
  struct CatalogInfo {
    uint16_t finderFlags = 0;
    uint8_t nameScript = 0;
  };
  std::optional<CatalogInfo> GetCatalogInfo() const;

  // The creation date kept by the fork store, or else the one the file
  // system reports (the birth time where it has one, else the modification
  // time).
  Date CreationDate() const;
  // The file system can't set a creation date, so a date other than the one
  // it reports is kept by the fork store. False where the store keeps no
  // dates (extfs) and the date differs.
  bool SetCreationDate(const Date& date) const;
  Date ModificationDate() const;
  bool SetModificationDate(const Date& date) const;
  // The inode number: what identifies an item within its volume.
  uint64_t DirectoryID() const;
  uint64_t VolumeID() const;

  // The data fork as a binary stream; nullptr when it can't be opened.
  BinaryStreamPtr OpenAsBinaryFile(bool writable) const;
  // The data fork open for reading, with `status` telling what the open
  // file is (as GetStatus(true) would, but from the open file, so the two
  // agree). When it can't be opened or is no regular file: nullptr, and
  // `status` from a look at the path.
  BinaryStreamPtr OpenForReading(Status& status) const;
  // Creates (or empties) the file; nullptr on failure. `type` is a MIME type
  // or empty; this system keeps none.
  BinaryStreamPtr CreateBinaryFile(const std::string& type = "") const;

  // The 70-byte Macintosh file specification (big-endian): volume reference
  // (int16) at 0, parent directory id (int32) at 2, the name as a
  // length-prefixed Mac Roman string of at most 63 bytes at 6. None when the
  // item has no name that fits.
  MemoryBlockPtr MacFSSpec() const;
  // The name as the classic file system holds it: Mac Roman, at most 31 bytes.
  // Empty when the name can't be expressed so.
  std::string MacClassicName() const;

 private:
  // The Finder information the name implies for a file; zero otherwise.
  FinderInfo impliedFinderInfo() const;
  // The creation date the file system reports, as Unix time.
  std::optional<int64_t> fileSystemCreationTime() const;

  struct Listing {
    struct Entry {
      std::string name;
      unsigned char type;  // as readdir gives it
      uint64_t inode;
    };
    std::vector<Entry> entries;  // sorted by name
    // The names the fork store claimed as its own files, and which store.
    std::vector<std::string> storeNames;
    const ForkStore* store = nullptr;
  };

  std::filesystem::path path_;
  mutable std::shared_ptr<const Listing> listing_;
};
