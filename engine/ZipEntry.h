#pragma once
// One entry of an archive, built from its 46-byte central directory record.
//
// Most attributes are read straight from the record, which the entry keeps as
// its `header` block. The stored name and comment are kept as stored and as
// UTF-8. Path components are split from the name when asked for: a large
// archive has tens of thousands of entries, and keeping them split would
// cost memory for every one. An entry holds the archive's shared state: it
// stays a valid object after its archive is closed, but whatever needs the
// archive file then fails with "Archive is closed".
//
// Entries whose record has flag bit 11 set keep their name and comment in
// UTF-8 inside the archive, whatever the archive's encoding; for them no
// conversion takes place in either direction.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ZipArchiveData.h"
#include "engine/ZipExtraField.h"
#include "platform/Date.h"
#include "platform/FolderItem.h"
#include "platform/MemoryBlock.h"
#include "streams/SeqDataOutputStream.h"

class ZipEntry {
 public:
  // `header` is the central record (46 bytes, little-endian) or null for a
  // new entry, which then gets a zero-filled one; `extra` may be null, in
  // which case the entry gets an empty one. `extra` is locked either way.
  ZipEntry(ZipArchiveDataPtr d, MemoryBlockPtr header, std::string zipEncName,
           ZipExtraFieldPtr extra, std::string zipEncComment);

  // 2^31: turns signed 32-bit record values into unsigned ones and back.
  static constexpr double maxIntPlus1 = 2147483648.0;

  // --- Attributes read from the record --------------------------------------

  int32_t CompressionMethod() const;
  // Both sizes are signed: 2^31 bytes and more come back negative.
  int32_t CompressedSize() const;
  int32_t Size() const;
  // The CRC-32 of the uncompressed data, as the record states it.
  uint32_t CRC32() const;
  bool IsEncrypted() const;
  bool IsTextFile() const;
  // The host system byte of "version made by".
  int32_t OSMadeBy() const;
  // The DOS date and time in local time; none when both fields are 0.
  std::optional<Date> Time() const;
  // Stored or deflated, not encrypted, not a folder.
  bool CanExtract() const;

  // --- Names and paths ------------------------------------------------------

  // The whole name in UTF-8, "/" separated, with a trailing "/" for a folder.
  std::string RawPath() const { return sysEncName; }
  // Resizes `list` to the number of path components and fills it.
  void GetPath(std::vector<std::string>& list) const;
  // The last path component; empty when the name has none.
  std::string Name() const;
  bool IsDirectory() const { return isFolder; }
  // Whether s, stored the way this entry's name is stored, equals the stored
  // name without regard to letter case.
  bool SameRawPath(const std::string& s) const;
  // The name bytes as stored.
  std::string z_origEncodedName() const { return zipEncName; }

  // --- Comment, messages and the record -------------------------------------

  std::string Comment() const { return sysEncComment; }
  // Marks the archive dirty.
  void SetComment(const std::string& s);
  std::string z_origEncodedComment() const { return zipEncComment; }
  std::string ErrorMessage() const { return errmsg; }
  // The record block itself, not a copy: the directory writer updates it.
  const MemoryBlockPtr& z_Header() const { return header; }

  // Neither marks the archive dirty.
  void SetTextFileFlag(bool b);
  void SetOSMadeBy(int32_t code);

  // --- Extra fields ---------------------------------------------------------

  // The central record's extra field. RuntimeException if it is not locked.
  ZipExtraFieldPtr ExtraFieldInCentralDir() const;
  // Replaces it (null means an empty one), locks it, updates the record's
  // extra field length and marks the archive dirty.
  void SetExtraFieldInCentralDir(ZipExtraFieldPtr x);
  // The extra field of the entry's local header, read from the archive file;
  // null with ErrorMessage set on failure. The stream position is kept.
  ZipExtraFieldPtr ExtraField();

  // --- MacBinary ------------------------------------------------------------

  // What kind of MacBinary header the first 128 bytes of `header` are:
  // 0 none, 1 MacBinary I (only with MacBinary I detection on), 2 MacBinary
  // II, 3 MacBinary III, 4 the MacBinary III signature with a reader version
  // above 130. A block shorter than 128 bytes is none.
  int32_t z_MBHdrLevel(const MemoryBlock& header) const;
  // The CRC-CCITT of the first `count` bytes, 0 to 65535. OutOfBoundsException
  // when the block is shorter.
  static int32_t z_CRC(const MemoryBlock& block, int32_t count);
  // Puts what a header says back onto an extracted file, in this order:
  // creation and modification date (0 means none and is skipped), the name
  // (z_adjustMacFilename), Finder type, creator and flags in one write
  // (kHasBeenInited and kNameLocked cleared), then the lock when file locking
  // is on. Call it after the forks are written and closed. `file` follows a
  // rename. Nothing happens unless the file exists and the block holds 128
  // bytes; a name length outside 1 to 63 skips the rename only. Failures of
  // the single steps are not reported: the file keeps what could be set.
  void ApplyMacBinaryInformation(FolderItem& file, const MemoryBlockPtr& header) const;
  // Renames an extracted file to its Macintosh name when the archive path
  // could not carry it. Only while the file still has the name extraction gave
  // it (this entry's last path component), only when that name has a classic
  // form that differs from `name`, and only within its folder, never onto
  // another item. `name` is in the encoding `script` selects: bit 7 set, the
  // Macintosh script in the low seven bits; otherwise the system's (Mac
  // Roman); kNameIsUTF8, UTF-8 already (a name from GetTypeCreatorName). The
  // classic separator "/" becomes ":" on disk. `file` follows the rename.
  void z_adjustMacFilename(const std::string& name, int32_t script, FolderItem& file) const;
  static constexpr int32_t kNameIsUTF8 = -1;
  // An unsigned 32-bit value held in a signed field, back as a double.
  static double z_ulongToDouble(int32_t value);

  // --- Extraction switches --------------------------------------------------

  // Accept MacBinary I headers when extracting.
  void EnableMacBinary1Detection(bool b) { supportMB1 = b; }
  // Lock extracted files whose MacBinary header says locked.
  void EnableFileLocking(bool b) { lockFiles = b; }

  // --- Extraction -----------------------------------------------------------
  //
  // Every form reads the entry's local header, checks it against the central
  // record, and moves the data in chunks of the archive's copy chunk size:
  // memory use does not depend on the entry's size. Stored and deflated
  // entries are checked against their CRC-32 and size, so damaged data never
  // counts as extracted. A false result leaves the reason in ErrorMessage; a
  // success leaves the message as it was. The archive must be open.
  //
  // What a hostile archive could turn into a disk filler is refused before
  // any output is opened: an entry whose local header and data hold the
  // local header of another entry of the list (records sharing one header,
  // as fake duplicates do, are no overlap), and a deflated entry whose size
  // is more than deflate can make of its compressed size (1032 bytes for
  // each byte, and a little). Nothing is ever written past the entry's size:
  // data that would go on is "Data appears to be corrupted".

  // Extract(destination, true).
  bool Extract(const std::optional<FolderItem>& destination);
  // Writes the entry to `destination` (see MakeDestination): a folder entry
  // makes the folder, a file entry the file, replacing a file that is there
  // (never a folder). With `macBinary`, an entry in MacBinary form is split
  // into its forks and its Finder information, dates and name are restored.
  // A failed extraction deletes the file again, so no partial file (nor its
  // fork store files) is left behind.
  bool Extract(const std::optional<FolderItem>& destination, bool macBinary);
  // Writes the entry's data to `dataOut` and, for an entry in MacBinary form
  // when `macBinary` is set, its resource fork to `rsrcOut`; either may be
  // null. The streams must not be open yet: they are opened and closed here.
  // `macBinaryHeader` gets the entry's MacBinary header when one was
  // recognised, else null. Both outputs null without `macBinary` is misuse.
  bool Extract(bool macBinary, const SeqDataOutputStreamPtr& dataOut,
               const SeqDataOutputStreamPtr& rsrcOut, MemoryBlockPtr& macBinaryHeader);
  // Decompresses the whole entry, writes nothing, and applies every check.
  bool Verify();
  // The 128-byte MacBinary header the entry starts with. False with the
  // message cleared when the entry has none (shorter than 128 bytes, or no
  // recognised header); false with the reason when it can't be read.
  bool GetMacBinaryHeader(MemoryBlockPtr& header);

  // Where the entry goes below `base`, creating the folders on the way (not
  // the entry's own file or folder). Empty path components stay where they
  // are. None when the path would leave `base`: a ".." component, or a folder
  // on the way that is an alias (a symbolic link) - with `followAliases` an
  // alias is followed only when its target lies inside `base`. None too for a
  // name the file system can't hold, and when a folder can't be made. The
  // entry is never extracted outside `base`.
  std::optional<FolderItem> MakeDestination(const FolderItem& base, bool followAliases) const;
  // The same; when the result is none, `problem` says why.
  std::optional<FolderItem> MakeDestination(const FolderItem& base, bool followAliases,
                                            std::string& problem) const;
  // One step of MakeDestination: `folder` (made when missing) and its child
  // `name`, an alias resolved when `followAliases`. An empty name gives
  // `folder` itself. None for ".." and for names the file system can't hold.
  std::optional<FolderItem> MakeDestinationChild(const FolderItem& folder,
                                                 const std::string& name,
                                                 bool followAliases) const;
  // The Finder type and creator that a file of this name gets when the
  // archive holds none for it; false when the name implies none.
  bool z_icMapFilename(const std::string& name, std::string& type, std::string& creator) const;

 private:
  // The routine behind Extract, Verify and GetMacBinaryHeader. In header-only
  // mode it reads just the first 128 bytes and writes nothing.
  bool z_unzip(const SeqDataOutputStreamPtr& dataOut, const SeqDataOutputStreamPtr& rsrcOut,
               bool macBinary, bool headerOnly, MemoryBlockPtr& macBinaryHeader);
  // `folder`'s child `name` (converted as MakeDestinationChild does), made
  // or not; none for names the file system can't hold.
  std::optional<FolderItem> z_childOf(const FolderItem& folder, const std::string& name,
                                      bool followAliases) const;
  // Why `name` can't be a path component on disk; empty when it can.
  static std::string z_badComponent(const std::string& name);
  // Extract(destination, macBinary) without its exception guard; `written`
  // tells whether the destination file was opened for writing.
  bool z_extractTo(const FolderItem& dest, bool macBinary, bool& written);

  // The path components of sysEncName.
  std::vector<std::string> z_checkRawPath() const;
  bool z_namesAreUTF8() const;
  std::string z_decode(const std::string& s) const;
  bool z_unixUTF8(const std::string& s) const;
  std::string z_encode(const std::string& s) const;

  ZipArchiveDataPtr d;
  MemoryBlockPtr header;
  ZipExtraFieldPtr extra;
  std::string zipEncName;
  std::string zipEncComment;
  std::string sysEncName;
  std::string sysEncComment;
  bool isFolder = false;
  std::string errmsg;
  bool supportMB1 = false;
  bool lockFiles = false;
};

using ZipEntryPtr = std::shared_ptr<ZipEntry>;
