#pragma once
// A reference to a file or folder by path, as the classic platform's folder
// item was. Cheap to copy; nothing is opened until asked.
//
// A symbolic link is an alias. A locked item has its owner write bit clear. A
// folder's items are listed by position, sorted by name in byte order, so
// folder walks are deterministic; the files in which the fork store keeps
// resource forks and Finder information are never listed.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/BinaryStream.h"
#include "platform/Date.h"
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
  // The name does not start with "." (and, once Finder information exists,
  // the invisible flag is clear).
  bool Visible() const;

  std::optional<FolderItem> Parent() const;
  FolderItem Child(const std::string& name) const;
  // The target of an alias; the item itself when it is none or can't be
  // resolved.
  FolderItem ResolvedAlias() const;

  // Items of a folder, numbered from 1. The listing is read on first use and
  // kept by this item (and its copies) until Refresh().
  int32_t Count() const;
  FolderItem Item(int32_t index) const;
  std::vector<FolderItem> Items() const;
  void Refresh() const { listing_.reset(); }
  // Names that folder listings leave out (the fork store's own files). The
  // default hides nothing.
  static void SetListingFilter(std::function<bool(const std::string& name)> hide);

  bool CreateAsFolder() const;
  // Deletes a file, a link or an empty folder.
  bool Delete() const;

  // Length of the data fork; 0 for a folder or a missing item.
  int64_t Length() const;
  Date CreationDate() const;
  bool SetCreationDate(const Date& date) const;
  Date ModificationDate() const;
  bool SetModificationDate(const Date& date) const;
  // The inode number: what identifies an item within its volume.
  uint64_t DirectoryID() const;
  uint64_t VolumeID() const;

  // The data fork as a binary stream; nullptr when it can't be opened.
  BinaryStreamPtr OpenAsBinaryFile(bool writable) const;
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
  std::filesystem::path path_;
  mutable std::shared_ptr<const std::vector<std::string>> listing_;
};
