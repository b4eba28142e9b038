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

#include "engine/ZipArchiveData.h"
#include "engine/ZipEntry.h"
#include "engine/ZipExtraField.h"
#include "platform/FolderItem.h"
#include "platform/TextEncoding.h"

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

 private:
  void z_setup();
  bool z_readDirectory();
  // Writes the central directory and end record behind the entries' data
  // when the archive is dirty (ZipArchive_Write.cpp).
  bool z_writeDirectory();

  ZipArchiveDataPtr d;
  bool entriesRead = false;
  std::string errmsg;
  std::string comment_;
  bool writeMode = false;
  // Where the central directory starts; new entries are written here. Kept
  // unsigned (as read) so that a directory offset of 2 GB or more is never
  // taken for a negative position.
  int64_t startOfDirInArchive = 0;
  bool justCreated = false;
};
