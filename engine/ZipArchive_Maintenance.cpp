// Changing an open archive in memory (removing, replacing and duplicating
// entries, the comment, mark and rollback) and compacting its file.
//
// Only Compact touches the file: it moves local headers and data towards the
// start, always to lower offsets, so that copying forwards in chunks never
// overwrites bytes that are still to be read. Before the first move the end
// record is retired: until the new directory is written, a crash leaves an
// archive that fails to open instead of one that lists moved data.
#include "engine/ZipArchive.h"
#include "engine/ZipFormat.h"
#include "engine/ZipWriteSupport.h"
#include "platform/Exceptions.h"
#include "streams/Helpers.h"

namespace central = zipformat::central;
namespace local = zipformat::local;

namespace {
const char kMsgNoEntry[] = "no entry reference given";
const char kMsgEmptyName[] = "Name must not be empty";
const char kMsgNameNotEncodable[] =
    "The name can't be stored in the archive's text encoding beside the entry it duplicates";
const char kMsgBadSignature[] =
    "Invalid Local File Header signature (archive appears to be severely corrupted)";
const char kMsgMismatch[] = "File Headers mismatch (archive appears to be severely corrupted)";
const char kMsgCompactWrite[] = "Write error while compacting, the archive may be corrupted";
}  // namespace

// --- The entry list and the comment -----------------------------------------

bool ZipArchive::RemoveEntry(int32_t index) {
  if (!writeMode) {
    z_noWriteMsg();
    return false;
  }
  if (!entriesRead) throw RuntimeException("ZipArchive::RemoveEntry: the archive is not open");
  if (index < 1 || index > EntryCount()) {
    throw OutOfBoundsException("ZipArchive::RemoveEntry: index " + std::to_string(index) +
                               " out of range");
  }
  marked = false;
  d->dirty = true;
  dirSizeCache = -1;
  d->entries_1.erase(d->entries_1.begin() + index);
  d->forgetEntryOffsets();
  return true;
}

ZipEntryPtr ZipArchive::ReplaceEntry(int32_t index, ZipEntryPtr entry) {
  if (!writeMode) {
    z_noWriteMsg();
    return nullptr;
  }
  if (!entriesRead) throw RuntimeException("ZipArchive::ReplaceEntry: the archive is not open");
  if (index < 1 || index > EntryCount()) {
    throw OutOfBoundsException("ZipArchive::ReplaceEntry: index " + std::to_string(index) +
                               " out of range");
  }
  if (!entry) throw RuntimeException("ZipArchive::ReplaceEntry: no entry given");
  marked = false;
  d->dirty = true;
  dirSizeCache = -1;
  std::swap(d->entries_1[static_cast<size_t>(index)], entry);
  d->forgetEntryOffsets();
  return entry;
}

bool ZipArchive::SetComment(const std::string& comment) {
  if (!writeMode) {
    z_noWriteMsg();
    return false;
  }
  if (comment.size() > zipwrite::kMaxFieldLength) {
    errmsg = zipwrite::kMsgCommentTooLong;
    return false;
  }
  comment_ = comment;
  d->dirty = true;
  return true;
}

void ZipArchive::Mark() {
  markDirStart = startOfDirInArchive;
  markEntries = static_cast<int32_t>(d->entries_1.size() - 1);
  marked = true;
}

bool ZipArchive::Rollback() {
  const auto count = static_cast<int64_t>(d->entries_1.size() - 1);
  if (marked && startOfDirInArchive >= markDirStart && count >= markEntries) {
    startOfDirInArchive = markDirStart;
    d->entries_1.resize(static_cast<size_t>(markEntries) + 1);
    d->forgetEntryOffsets();
    d->dirty = true;
    dirSizeCache = -1;
    return true;
  }
  marked = false;
  return false;
}

int32_t ZipArchive::AddFakeDuplicate(ZipEntryPtr entry, const std::string& name,
                                     std::optional<Date> date, ZipExtraFieldPtr extra) {
  if (!IsWritable()) {
    z_noWriteMsg();
    return 0;
  }
  if (!entry) {
    errmsg = kMsgNoEntry;
    return 0;
  }
  if (name.empty()) {
    errmsg = kMsgEmptyName;
    return 0;
  }
  const MemoryBlock& source = *entry->z_Header();
  const uint16_t flags = source.UInt16Value(central::kFlags);
  // The duplicate shares the local header of its entry, whose flags tell
  // readers how its name is stored; a name that needs other flags than the
  // entry's would make the duplicate unreadable.
  std::string encodedName = name;
  if ((flags & zipformat::kFlagUTF8) == 0) {
    bool utf8 = false;
    encodedName = zipwrite::EncodeName(*d, name, utf8);
    if (utf8) {
      errmsg = kMsgNameNotEncodable;
      return 0;
    }
  }
  if (!extra) extra = entry->ExtraField();
  if (!extra) extra = MakeZipExtraField(std::string_view());
  const std::string extraBytes = extra->AsData();
  const std::string comment = entry->z_origEncodedComment();
  if (encodedName.size() > zipwrite::kMaxFieldLength) {
    errmsg = zipwrite::kMsgNameTooLong;
    return 0;
  }
  if (extraBytes.size() > zipwrite::kMaxFieldLength) {
    errmsg = zipwrite::kMsgExtraTooLong;
    return 0;
  }
  if (!z_roomFor(static_cast<int64_t>(central::kSize + encodedName.size() + extraBytes.size() +
                                      comment.size()),
                 0)) {
    return 0;
  }
  extra->Lock();

  MemoryBlockPtr record = z_cloneMB(entry->z_Header());
  record->SetUInt16Value(central::kNameLength, static_cast<uint16_t>(encodedName.size()));
  record->SetUInt16Value(central::kExtraLength, static_cast<uint16_t>(extraBytes.size()));
  if (date) {
    uint16_t dosTime = 0, dosDate = 0;
    zipwrite::DosTimeAndDate(date, dosTime, dosDate);
    record->SetUInt16Value(central::kTime, dosTime);
    record->SetUInt16Value(central::kDate, dosDate);
  }
  record->SetUInt16Value(central::kFlags, flags | zipformat::kFlagDataDescriptor);
  d->entries_1.push_back(std::make_shared<ZipEntry>(d, record, encodedName, extra, comment));
  d->forgetEntryOffsets();
  d->dirty = true;
  return static_cast<int32_t>(d->entries_1.size() - 1);
}

MemoryBlockPtr ZipArchive::z_cloneMB(const MemoryBlockPtr& block) {
  if (!block || block->Size() == 0) return nullptr;
  auto copy = MemoryBlock::Make(block->Size(), block->LittleEndian());
  CopyBytes(*block, 0, block->Size(), *copy, 0);
  return copy;
}

// --- Compacting -------------------------------------------------------------

bool ZipArchive::z_copy(int64_t from, int64_t to, int64_t count) {
  if (from == to) return true;
  BinaryStream& stream = *d->zipStream;
  const int64_t chunk = std::max<int32_t>(d->copyChunkSize, 1);
  std::string buffer;
  while (count > 0) {
    const int64_t n = std::min(count, chunk);
    buffer.resize(static_cast<size_t>(n));
    stream.SetPosition(from);
    if (stream.ReadInto(buffer.data(), n) != n) return false;
    stream.SetPosition(to);
    stream.Write(buffer);
    from += n;
    to += n;
    count -= n;
  }
  return true;
}

bool ZipArchive::Compact() {
  if (!IsWritable()) {
    z_noWriteMsg();
    return false;
  }
  // Entries still in the stream's buffer must be in the file before their
  // bytes are moved.
  if (!z_settle()) {
    errmsg = kMsgCompactWrite;
    return false;
  }
  // Placeholders are left out of the directory anyway once the archive holds
  // anything else; their bytes are reclaimed here.
  z_dropPlaceholders();
  for (size_t i = 1; i < d->entries_1.size(); ++i) {
    const MemoryBlockPtr& record = d->entries_1[i]->z_Header();
    compactEntries.push_back(record);
    compactOffset.push_back(record->UInt32Value(central::kLocalHeaderOffset));
  }
  // Entries that share a local header (an entry and its fake duplicates)
  // end up next to each other.
  if (!compactOffset.empty()) z_ArrayQuickSort(0, static_cast<int32_t>(compactOffset.size()) - 1);
  marked = false;
  d->dirty = true;

  BinaryStream& stream = *d->zipStream;
  const int64_t fileLength = stream.Length();
  MemoryBlock header(local::kSize);
  header.SetLittleEndian(true);
  int64_t written = 0;   // W: where the entry in hand goes
  int64_t placed = 0;    // L: bytes of the entry placed last
  int64_t handled = -1;  // G: the local header offset handled last
  // The flags of the header handled last, and whether its data descriptor
  // was dropped.
  uint16_t handledFlags = 0;
  bool descriptorDropped = false;
  bool ok = true;
  for (size_t k = 0; k < compactOffset.size() && ok; ++k) {
    const int64_t offset = compactOffset[k];
    MemoryBlock& record = *compactEntries[k];
    if (offset != handled) {
      // An entry must start behind the one before it: bytes inside an
      // entry already moved may have been overwritten.
      if (handled >= 0 && offset < handled + placed) {
        errmsg = kMsgMismatch;
        ok = false;
        break;
      }
      header = MemoryBlock(local::kSize);
      header.SetLittleEndian(true);
      stream.SetPosition(offset);
      const int64_t got = stream.ReadInto(header.Address(), local::kSize);
      written += placed;
      if (got != local::kSize || header.UInt32Value(0) != zipformat::kLocalHeaderSignature) {
        errmsg = kMsgBadSignature;
        ok = false;
        break;
      }
      const uint16_t flags = header.UInt16Value(local::kFlags);
      bool writeBack = false;
      if (flags & zipformat::kFlagDataDescriptor) {
        // The sizes live in a data descriptor behind the data, which is not
        // carried along: the header gets them from the record.
        header.SetUInt32Value(local::kCRC, record.UInt32Value(central::kCRC));
        header.SetUInt32Value(local::kCompressedSize, record.UInt32Value(central::kCompressedSize));
        header.SetUInt32Value(local::kUncompressedSize,
                              record.UInt32Value(central::kUncompressedSize));
        header.SetUInt16Value(local::kFlags, flags & ~zipformat::kFlagDataDescriptor);
        writeBack = true;
      }
      const bool agree =
          header.UInt16Value(local::kMethod) == record.UInt16Value(central::kMethod) &&
          header.UInt32Value(local::kCRC) == record.UInt32Value(central::kCRC) &&
          header.UInt32Value(local::kCompressedSize) ==
              record.UInt32Value(central::kCompressedSize) &&
          header.UInt32Value(local::kUncompressedSize) ==
              record.UInt32Value(central::kUncompressedSize) &&
          (flags == record.UInt16Value(central::kFlags) || d->isFakeEntry(record, flags));
      const int64_t length = local::kSize + int64_t{header.UInt16Value(local::kNameLength)} +
                             header.UInt16Value(local::kExtraLength) +
                             header.UInt32Value(local::kCompressedSize);
      if (!agree || offset + length > fileLength) {
        errmsg = kMsgMismatch;
        ok = false;
        break;
      }
      if (offset != written || writeBack) {
        // The directory on disk still lists the entries where they were;
        // from the first move on it would hand out overwritten bytes.
        if (!z_retireEndRecord()) {
          errmsg = kMsgCompactWrite;
          ok = false;
          break;
        }
        stream.SetPosition(written);
        stream.Write(header.Address(), local::kSize);
        if (!z_copy(offset + local::kSize, written + local::kSize, length - local::kSize) ||
            !stream.Flush() || stream.WriteFailed()) {
          errmsg = kMsgCompactWrite;
          ok = false;
          break;
        }
      }
      placed = length;
      handled = offset;
      handledFlags = flags;
      descriptorDropped = writeBack;
    }
    // A record that still announced the dropped data descriptor would no
    // longer match its local header; other tools refuse such an entry.
    if (descriptorDropped && record.UInt16Value(central::kFlags) == handledFlags) {
      record.SetUInt16Value(central::kFlags, handledFlags & ~zipformat::kFlagDataDescriptor);
    }
    record.SetUInt32Value(central::kLocalHeaderOffset, static_cast<uint32_t>(written));
  }
  if (ok) startOfDirInArchive = written + placed;
  // Failed or not, records may have moved.
  d->forgetEntryOffsets();
  compactEntries.clear();
  compactOffset.clear();
  return ok;
}

// --- The sort of Compact's working lists --------------------------------------
//
// A Hoare partition that follows the pivot element by its position. Equal
// offsets compare as greater, which decides the order of the records that
// share a local header.

void ZipArchive::z_ArrayQuickSort(int32_t low, int32_t high) {
  while (low < high) {
    const int32_t c = z_partition(low, high);
    z_ArrayQuickSort(low, c);
    low = c + 1;
  }
}

int32_t ZipArchive::z_partition(int32_t low, int32_t high) {
  int32_t p = (low + high) / 2;
  int32_t i = low - 1;
  int32_t j = high + 1;
  for (;;) {
    do {
      --j;
    } while (j != p && z_Compare(j, p) >= 0);
    do {
      ++i;
    } while (i != p && z_Compare(i, p) <= 0);
    if (i >= j) break;
    if (p < i) p = i;
    if (j < p) p = j;
    z_Swap(i, j);
    if (i == p) {
      p = j;
      ++j;
    } else if (j == p) {
      p = i;
      --i;
    }
  }
  return p == high ? p - 1 : p;
}

int32_t ZipArchive::z_Compare(int32_t a, int32_t b) const {
  return compactOffset[static_cast<size_t>(a)] < compactOffset[static_cast<size_t>(b)] ? -1 : 1;
}

void ZipArchive::z_Swap(int32_t a, int32_t b) {
  std::swap(compactOffset[static_cast<size_t>(a)], compactOffset[static_cast<size_t>(b)]);
  std::swap(compactEntries[static_cast<size_t>(a)], compactEntries[static_cast<size_t>(b)]);
}
