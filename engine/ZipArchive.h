#pragma once
// An archive file opened or created by the engine: the object through which
// everything else reaches an archive.
//
// A new object is closed. Open reads the whole central directory before it
// returns, so that every entry exists as a ZipEntry, in directory order,
// numbered from 1. Close (also run by the destructor) writes the directory
// again when the archive is dirty, closes the file and empties the entry list.
// Entries handed out by Entry stay valid objects after Close, but they never
// see the file again, not even when this object is opened once more.
//
// Ordinary failures give false and a fixed message in ErrorMessage; misuse
// (Open on an open archive, Entry on a closed one, an index out of range)
// raises RuntimeException or OutOfBoundsException.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ZipArchiveData.h"
#include "engine/ZipEntry.h"
#include "engine/ZipExtraField.h"
#include "engine/ZipProgressNotifier.h"
#include "platform/Date.h"
#include "platform/FolderItem.h"
#include "platform/MemoryBlock.h"
#include "platform/TextEncoding.h"
#include "streams/SeqDataInputStream.h"

class ZipArchive {
 public:
  ZipArchive();
  // Closes the archive. A newly created archive whose closing fails is
  // deleted, so that no file without a valid directory is left behind.
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // 2^31: turns signed 32-bit record values into unsigned ones and back.
  static constexpr double maxIntPlus1 = 2147483648.0;

  // --- Opening and closing --------------------------------------------------

  // Open with the DOS Latin US encoding.
  bool Open(const FolderItem& file, bool writable);
  // Opens an existing archive, or creates an empty file when `writable` is
  // set and the file does not exist. A FolderItem with an empty path stands
  // for no file. `encoding` is that of names and comments inside the archive;
  // none passes them through as bytes. An archive opened writable is dirty.
  bool Open(const FolderItem& file, bool writable, std::optional<TextEncoding> encoding);
  // Writes the directory when dirty, then closes the file and empties the
  // entry list. True when the archive was not open or all was written.
  bool Close();

  // --- State ----------------------------------------------------------------

  // Both raise RuntimeException unless the archive is open.
  int32_t EntryCount() const;
  // The entry itself, 1 to EntryCount; OutOfBoundsException otherwise.
  ZipEntryPtr Entry(int32_t index) const;
  std::string ErrorMessage() const { return errmsg; }
  // The archive comment, raw bytes as stored.
  std::string Comment() const { return comment_; }
  bool IsOpen() const { return d->zipStream != nullptr; }
  bool IsWritable() const { return d->zipStream != nullptr && writeMode; }
  int32_t DefaultOSMadeBy() const { return d->defaultOSMadeBy; }
  void SetDefaultOSMadeBy(int32_t code) { d->defaultOSMadeBy = code; }

  // --- Encodings ------------------------------------------------------------

  static TextEncoding EncodedAsDOSLatinUS();
  static TextEncoding EncodedAsWinLatin1();
  static TextEncoding EncodedAsUnicode();
  // The encoding of the platform's "System" font, else Mac Roman.
  static TextEncoding EncodedAsMacDefault();

  // --- MacBinary and Macintosh extra fields ---------------------------------

  // The modes the adding operations take: whether an item is stored as a
  // MacBinary stream (header, data fork, resource fork) or as its data fork.
  static constexpr int32_t MacBinaryNever() { return 0; }
  // Only files whose resource fork is not empty.
  static constexpr int32_t MacBinarySmart() { return 1; }
  // Every item, folders too (a header describing two empty forks).
  static constexpr int32_t MacBinaryAlways() { return 2; }

  // A 128-byte MacBinary III header (big-endian) for `file` as it is now:
  // its fork lengths, name, Finder type and creator, dates, flags and lock.
  // None when a fork is 2 GB or longer, which the header can't describe.
  static MemoryBlockPtr MakeMacBinaryHeader(const FolderItem& file);
  // The same with the lengths and the name given (the name as the entry will
  // carry it; when it is the file's own name, the header gets the file's
  // classic form of it and its script).
  static MemoryBlockPtr MakeMacBinaryHeader(const FolderItem& file, int32_t dataForkLength,
                                            int32_t rsrcForkLength, const std::string& name);
  // A header from these values alone, for data that isn't a file.
  static MemoryBlockPtr MakeMacBinaryHeader(int32_t dataForkLength, int32_t rsrcForkLength,
                                            const std::string& name, const std::string& type,
                                            const std::string& creator,
                                            std::optional<Date> created,
                                            std::optional<Date> modified);
  // What the forms above build on. `file` may be null. The name is UTF-8 (or
  // Mac Roman bytes); its first 63 bytes in Mac Roman are stored. A type or
  // creator shorter than four bytes is padded with zeros. A date outside
  // what the header can hold (before 1904, after 2040) is stored as none.
  // RuntimeException for an empty name or a negative length.
  static MemoryBlockPtr z_makeMBHdr(int32_t dataForkLength, int32_t rsrcForkLength,
                                    const std::string& name, const std::string& type,
                                    const std::string& creator, std::optional<Date> created,
                                    std::optional<Date> modified, const FolderItem* file);
  // Seconds since 1904 as the bit pattern of an unsigned 32-bit field held in
  // a signed one: 2^31 and more come back negative. 0 for values that no
  // unsigned 32-bit field holds.
  static int32_t z_dblToLong(double seconds);

  // A new, unlocked extra field holding one Macintosh block: the long form
  // (id 0x2605, with the name in the archive's encoding) when `name` is not
  // empty, else the short form (0x2705, type and creator only). A name whose
  // stored form passes 255 bytes is cut to 255.
  ZipExtraFieldPtr MakeZipExtraField(const std::string& type, const std::string& creator,
                                     const std::string& name) const;
  // With the file's Finder type and creator. None for a folder with an empty
  // name.
  ZipExtraFieldPtr MakeZipExtraField(const FolderItem& file, const std::string& name) const;
  // With the file's own name: the long form.
  ZipExtraFieldPtr MakeZipExtraField(const FolderItem& file) const;

  // --- Names and extra fields -----------------------------------------------

  // s with "/" and "\" replaced by "-"; the encoding tag stays as it was.
  TaggedString CleanName(const TaggedString& s) const;
  std::string CleanName(const std::string& s) const;
  // Whether s has neither "/" nor "\".
  bool IsValidName(const std::string& s) const;
  // A new, unlocked extra field of these bytes for this archive.
  ZipExtraFieldPtr MakeZipExtraField(std::string_view bytes) const;

  // --- Adding entries -------------------------------------------------------
  //
  // An entry's local header and data are written where the directory starts,
  // over the old directory; the directory itself is written again by Flush or
  // Close. Until then the file on disk has no valid directory.

  // Adds one entry from the caller's streams, which must not be open yet:
  // they are opened, read and closed here. With `macBinaryHeader` (128 bytes,
  // whose fork lengths must equal the two lengths) the entry holds the
  // MacBinary form of both forks; without it only the data stream is read,
  // and a resource stream raises RuntimeException. `name` is UTF-8, "/"
  // separated; one leading "/" is dropped. Returns the new entry's index; 0
  // when aborted by the progress monitor or when the archive is not open for
  // writing; a negative code when the add failed. A failed add leaves the
  // entry list and the place of the directory as they were. An add that would
  // make the archive 2 GB or larger, or give it more than 65535 entries, is
  // refused before anything is written.
  int32_t AddItemByStreams(SeqDataInputStreamPtr dataStream, int32_t dataLength,
                           SeqDataInputStreamPtr rsrcStream, int32_t rsrcLength,
                           MemoryBlockPtr macBinaryHeader, const std::string& name,
                           ZipExtraFieldPtr extra, std::optional<Date> date);
  // None removes the monitor.
  void SetProgressMonitor(ZipProgressNotifierPtr notifier);
  ZipProgressNotifierPtr ProgressMonitor() const;
  // Writes the directory now when the archive is dirty; adding may go on
  // afterwards. False with a message when the archive is read-only or the
  // write failed; RuntimeException when the archive is closed.
  bool Flush();

  // --- Adding files and folders ---------------------------------------------
  //
  // `mode` is one of the MacBinary modes above. A file is stored in MacBinary
  // form (header, data fork, resource fork, with the long Macintosh block
  // naming it) in mode Always, and in mode Smart when its resource fork is
  // not empty; otherwise as its data fork with the short block (type and
  // creator). A folder becomes an empty entry without extra field (in mode
  // Always, a header describing two empty forks). Entry names are the items'
  // names cleaned by CleanName and joined with "/".
  //
  // Never added: the fork store's own files (they are the forks and Finder
  // information of other items), the archive being written, and items that
  // are neither files nor folders. A folder walk skips the first two without
  // a word except to the progress monitor (ReportError with code 0: a notice,
  // not a failure); asked for directly they fail.

  // Adds the item under its cleaned name ("/" appended for a folder). The
  // folder's contents are not added: see AddFolderContents. Returns the new
  // entry's index; 0 (with a message) when the archive is not open for
  // writing, there is no item (an empty path) or a monitor aborted; a
  // negative code when the add failed.
  int32_t AddItemToRoot(const FolderItem& item, int32_t mode);
  // The same under `path`, taken as it is (one leading "/" is dropped).
  int32_t AddItemWithRawPath(const FolderItem& item, const std::string& path, int32_t mode);
  // Adds everything below the folder, depth first: all files of a folder
  // before its subfolders, each in listing order. Entry names start with
  // `prefix` and "/". Subfolders get no entries of their own, so an empty
  // one leaves nothing. Aliases are skipped, or with `followAliases` replaced
  // by the file they point to (an alias to a folder is skipped either way,
  // so a walk never loops). A file or folder that can't be read fails the
  // walk, with its message in ErrorMessage; a monitor's ReportError may let
  // the walk go on instead. The entries added before a failure stay.
  bool AddFolderContents(const FolderItem& folder, const std::string& prefix, int32_t mode,
                         bool followAliases);
  // The uncompressed bytes the item would take as an entry. These two need
  // no open archive. -1 (with a message) for a size past 2 GB.
  int32_t CalcItemSize(const FolderItem& item, int32_t mode);
  // The sum of CalcItemSize over the files below the folder (folders count
  // 0), as AddFolderContents would add them.
  int32_t CalcFolderSize(const FolderItem& folder, bool followAliases, int32_t mode);
  // The components cleaned and joined with "/"; "" for none.
  std::string RawPath(const std::vector<std::string>& components) const;
  // The path of `item` below the folder `base`, as RawPath of the names on
  // the way down; "" when `base` is no folder, `item` is not below it, or
  // `item` is `base`.
  std::string RawPath(const FolderItem& base, const FolderItem& item) const;
  // Whether the two are the same item: same volume and same directory id.
  // Items that don't exist are never the same.
  static bool z_sameFolder(const FolderItem& a, const FolderItem& b);

  // --- Maintenance ----------------------------------------------------------
  //
  // Changes to the entry list and the comment live in memory until the
  // directory is written. All but Mark and Rollback need an archive open for
  // writing and otherwise fail with "Archive was opened read-only".

  // Drops the entry from the list; its bytes stay in the file as free space
  // until Compact. RuntimeException when the archive is closed,
  // OutOfBoundsException for an index outside 1 to EntryCount.
  bool RemoveEntry(int32_t index);
  // Puts `entry` at the index as it is and returns the entry that was there;
  // the record of `entry` decides which local header it refers to.
  ZipEntryPtr ReplaceEntry(int32_t index, ZipEntryPtr entry);
  // The archive comment, stored as these bytes without conversion; at most
  // 65535 bytes.
  bool SetComment(const std::string& comment);
  // Remembers the entry count and the place of the directory, so that the
  // entries added after it can be taken back with Rollback. RemoveEntry,
  // ReplaceEntry, Compact and Close forget the mark.
  void Mark();
  // Drops the entries added since Mark; the mark stays for another Rollback.
  // False (and the mark forgotten) when there is no mark or it no longer
  // holds.
  bool Rollback();
  // A second directory record for the data of `entry`, under `name`, with
  // its own date and extra field if given (else the entry's date and the
  // extra field of its local header). Returns the new entry's index, 0 on
  // failure.
  int32_t AddFakeDuplicate(ZipEntryPtr entry, const std::string& name, std::optional<Date> date,
                           ZipExtraFieldPtr extra);
  // Moves every entry's local header and data towards the start of the file
  // so that no free space is left between them, and updates the records.
  // Must be followed by a successful directory write: from the first move
  // on, the file has no valid directory until then (a crash leaves it
  // failing to open, never listing moved data). False with a message when a
  // local header is damaged; the entries moved before it stay moved.
  bool Compact();

 private:
  void z_setup();
  bool z_readDirectory();
  // Writes the central directory and end record behind the entries' data
  // when the archive is dirty (ZipArchive_Write.cpp).
  bool z_writeDirectory();
  // Makes the end record that readers of the file take unrecognisable, and
  // that durable, before the first write that could change what it points
  // to: the old directory's bytes or the entries it lists. A crash after it
  // leaves an archive that fails to open rather than one whose directory
  // mixes old and new bytes. False when the write failed.
  bool z_retireEndRecord();

  ZipArchiveDataPtr d;
  bool entriesRead = false;
  std::string errmsg;
  std::string comment_;
  bool writeMode = false;
  // Where the central directory starts; new entries are written here. Kept
  // unsigned (as read) so that a directory offset of 2 GB or more is never
  // taken for a negative position.
  int64_t startOfDirInArchive = 0;
  // Where the end record lies that a reader of the file takes, while the
  // file still holds the directory it was opened with or last written with;
  // -1 when there is none or it has been retired.
  int64_t liveEndRecordAt = -1;
  bool justCreated = false;
  // Where the bytes of the entries added since the stream's buffer was last
  // known to be written begin; -1 when there are none. Adds don't flush:
  // small entries reach the file many at a time.
  int64_t unwrittenFrom = -1;
  // Entries were taken back since the directory was last written: the next
  // directory write, which leaves them out, reports it.
  bool entriesLost = false;

  // --- Adding and maintenance (ZipArchive_Add.cpp, ZipArchive_Maintenance.cpp)

  // Closes the stream and empties the entry list (Close, after the directory).
  void z_release();
  int32_t z_zip(SeqDataInputStreamPtr dataStream, int32_t dataLength,
                SeqDataInputStreamPtr rsrcStream, int32_t rsrcLength,
                MemoryBlockPtr macBinaryHeader, const std::string& name,
                std::optional<Date> date, ZipExtraFieldPtr extra);
  void z_noWriteMsg();
  // After a failed write: the entries added since unwrittenFrom whose bytes
  // may be lost leave the list, and the directory's start goes back to the
  // first of them. True when any were taken back.
  bool z_takeBackUnwritten();
  // Hands what adds left in the stream's buffer to the system, taking back
  // the entries whose bytes could not be written. False when a write
  // failed.
  bool z_settle();
  // Whether one more entry with a record of `recordBytes` bytes and at most
  // `dataBytes` bytes of local header and data behind the directory's start
  // still fits the format; sets errmsg when not.
  bool z_roomFor(int64_t recordBytes, int64_t dataBytes);
  // The bytes the central directory takes for the entries now listed.
  int64_t z_directorySize();
  // Leaves root placeholder entries out of the list once it holds anything
  // else.
  void z_dropPlaceholders();
  bool z_copy(int64_t from, int64_t to, int64_t count);
  static MemoryBlockPtr z_cloneMB(const MemoryBlockPtr& block);
  void z_ArrayQuickSort(int32_t low, int32_t high);
  int32_t z_partition(int32_t low, int32_t high);
  int32_t z_Compare(int32_t a, int32_t b) const;
  void z_Swap(int32_t a, int32_t b);

  bool marked = false;
  int32_t markEntries = 0;
  int64_t markDirStart = 0;
  // Compact's working lists, position for position; empty outside Compact.
  std::vector<MemoryBlockPtr> compactEntries;
  std::vector<int64_t> compactOffset;
  // z_directorySize's sum for the first dirSizeEntries entries, so that a
  // run of adds measures each record once; -1 once the list changed
  // otherwise. An entry comment changed through its entry is not seen.
  int64_t dirSizeCache = -1;
  size_t dirSizeEntries = 0;

  // --- Adding files and folders (ZipArchive_AddItems.cpp) --------------------

  // Adds (or, with `sizeOnly`, measures) one item under `name`.
  int32_t z_addItem(const FolderItem& item, const std::string& name, int32_t mode,
                    bool sizeOnly);
  // The same with what the file system says of the item just now (aliases
  // followed), so that it is asked only once. A walk passes the file open
  // already (`opened`, which `status` describes), and false for
  // `storeFilesListed` when the folder's listing showed no store files for
  // it: the fork store is then not asked.
  int32_t z_addItem(const FolderItem& item, const FolderItem::Status& status,
                    const std::string& name, int32_t mode, bool sizeOnly,
                    BinaryStreamPtr opened = nullptr, bool storeFilesListed = true);
  // Adds or measures the contents of a folder; 0 (adding) or the total
  // (sizing), -1 when stopped.
  int32_t z_addFolder(const FolderItem& folder, const std::string& prefix, bool followAliases,
                      int32_t mode, bool sizeOnly);
  // Reports a failed item; true when the walk must stop.
  bool z_abort(const FolderItem& item, int32_t code, const std::string& message,
               bool mayContinue);
  // Fails (with a code and message) for items that are never added on their
  // own: a fork store's file, the archive itself.
  int32_t z_refuse(const FolderItem& item);
  // Remembers which file the archive is, so that walks can leave it out.
  void z_noteArchiveFile();
  bool z_isArchiveFile(const FolderItem::Status& status) const;

  // The archive file's volume and directory id while a walk runs; 0 when it
  // is not known.
  uint64_t archiveVolume = 0;
  uint64_t archiveFileID = 0;
};
