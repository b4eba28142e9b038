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
