#pragma once
// The state an archive shares with all of its entries and extra fields.
//
// A ZipArchive owns one ZipArchiveData; every ZipEntry and ZipExtraField made
// for that archive holds the same instance through a shared_ptr. The entry
// list holds the entries and each entry holds this object back, so the list
// must be emptied (ZipArchive::Close, also run by its destructor) for either
// to be freed.
//
// Fields are public: they are the engine's own shared state, read and written
// by the archive, its entries and the engine's reading and writing routines,
// never by the front ends.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/BinaryStream.h"
#include "platform/FolderItem.h"
#include "platform/MemoryBlock.h"
#include "platform/TextEncoding.h"

class ZipEntry;
class ZipProgressNotifier;

class ZipArchiveData {
 public:
  // Sets DOS Latin US as the archive's encoding and UTF-8 as the engine's.
  ZipArchiveData();

  // --- Text encodings -------------------------------------------------------

  // The encoding of names and comments inside the archive. With none, names
  // and comments pass through as bytes.
  void setArchiveEncoding(std::optional<TextEncoding> encoding);
  // The engine's own encoding for names and comments: UTF-8.
  static TextEncoding findFileNameEncoding();
  // From the archive's encoding to UTF-8, and back. A string that the
  // converter can't convert comes back unchanged.
  std::string decodeFromZip(const std::string& s) const;
  std::string encodeForZip(const std::string& s) const;

  // --- Names ----------------------------------------------------------------

  // s with every "/" and "\" replaced by "-".
  static std::string cleanName(std::string s);
  // Whether a central record is a fake duplicate of another entry: its flags
  // have bit 3 set and the local header's flags are the same without it.
  // With localFlags -1 the local flags are read from the archive stream,
  // which is then left just behind them; false when there is no stream.
  bool isFakeEntry(const MemoryBlock& record, int32_t localFlags);

  // --- Where the entries lie ------------------------------------------------

  // Whether the local header of an entry in the list lies after `start` and
  // before `end`: inside the header and data of an entry whose local header
  // is at `start`. Entries that share the header at `start` (an entry and its
  // fake duplicates) don't count. The list's local header offsets are
  // gathered and sorted on the first call, so that an archive of many
  // entries pays once, not once per entry; whoever changes the list or a
  // record's local header offset calls forgetEntryOffsets.
  bool headerWithin(int64_t start, int64_t end);
  void forgetEntryOffsets();

  // --- Shared state ---------------------------------------------------------

  // The central directory must be written again when the archive is closed.
  bool dirty = false;
  // The entries, numbered from 1; slot 0 is always empty.
  std::vector<std::shared_ptr<ZipEntry>> entries_1{nullptr};
  // The archive file given to Open.
  FolderItem theFile;
  // The open archive file, little-endian; null while the archive is closed.
  BinaryStreamPtr zipStream;
  // Chunk size for copying stored data inside the archive.
  int32_t copyChunkSize = 16384;
  // Progress and abort callbacks; none unless a caller sets them.
  std::shared_ptr<ZipProgressNotifier> monitor;

  std::optional<TextEncoding> archiveEncoding;
  // Null when archiveEncoding is none or the platform can't convert it.
  TextConverterPtr archiveToSystem;
  TextConverterPtr systemToArchive;
  TextEncoding filenameEncoding;
  TextEncoding dosLatinUS;

  // Host system code written into the central records of new entries.
  int32_t defaultOSMadeBy = 0;

 private:
  // ASCII text reads the same in the archive's encoding and in UTF-8.
  bool asciiShared_ = false;
  // The entries' local header offsets, sorted, each once; valid while
  // entryOffsetsKnown_.
  std::vector<int64_t> entryOffsets_;
  bool entryOffsetsKnown_ = false;
};

using ZipArchiveDataPtr = std::shared_ptr<ZipArchiveData>;
