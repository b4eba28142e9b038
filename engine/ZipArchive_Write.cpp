// Writing the central directory and the end record behind the last entry's
// data, in one pass, and cutting the file there.
//
// The order of the writes keeps a crash from costing more than the operation
// in progress. Whatever could make the directory on disk list bytes that are
// no longer there (an add over the old directory, a Compact moving entries,
// a directory written over the old one) first retires the old end record and
// makes that durable, so from then on the file fails to open. The new end
// record becomes valid last: its signature is written only once the entries'
// data, the directory and the cut are on disk.
#include "engine/ZipArchive.h"
#include "engine/ZipFormat.h"
#include "engine/ZipWriteSupport.h"
#include "platform/Exceptions.h"

namespace central = zipformat::central;
namespace endofdir = zipformat::endofdir;

namespace {
const char kMsgExtraMismatch[] = "Internal error (extra field length mismatch)";
const char kMsgDirectoryWrite[] = "Write error, the archive's directory may be incomplete";
// The end record's signature as it lies in the file, and what replaces it
// where an end record must no longer be found.
constexpr char kEndSignature[] = "PK\x05\x06";
constexpr int kSignatureSize = 4;
constexpr char kNoSignature[kSignatureSize] = {};

// The root placeholder: the entry an archive holds only so that it begins
// with a local header while it has nothing else.
bool isPlaceholder(const ZipEntry& e) {
  return e.z_origEncodedName() == "/" && e.CompressedSize() == 0 && e.Size() == 0;
}
}  // namespace

void ZipArchive::z_dropPlaceholders() {
  auto& entries = d->entries_1;
  bool others = false;
  for (size_t i = 1; i < entries.size() && !others; ++i) others = !isPlaceholder(*entries[i]);
  if (!others) return;
  // An entry named "/" makes Info-ZIP unzip stop ("stripped absolute path
  // spec"); once the archive holds anything else it has no use. Its bytes
  // become free space, reclaimed by the next Compact.
  for (size_t i = entries.size() - 1; i >= 1; --i) {
    if (!isPlaceholder(*entries[i])) continue;
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
    dirSizeCache = -1;
    d->forgetEntryOffsets();
    // A mark counts entries; it must keep pointing behind the same ones.
    if (marked && static_cast<int64_t>(i) <= markEntries) --markEntries;
  }
}

bool ZipArchive::z_writeDirectory() {
  if (!d->dirty) return true;
  // Changing an entry's record marks even a read-only archive dirty; its file
  // must stay as it is.
  if (!writeMode || !d->zipStream->Writable()) {
    z_noWriteMsg();
    return false;
  }
  // What adds left in the stream's buffer goes to the file first. Entries
  // whose bytes a failed write lost are left out of the directory, which is
  // still written for the others, and the write reports the loss.
  if (!z_settle() && !entriesLost) {
    errmsg = kMsgDirectoryWrite;
    return false;
  }
  if (d->entries_1.size() == 1) {
    // An archive must begin with a local header, also when it has no entries.
    if (z_zip(nullptr, 0, nullptr, 0, nullptr, "/", std::nullopt, nullptr) <= 0) return false;
  }
  z_dropPlaceholders();

  // Everything is checked before the first byte is written, so that a
  // refusal leaves the file as it was.
  const auto count = static_cast<int64_t>(d->entries_1.size() - 1);
  if (count > zipwrite::kMaxEntries) {
    errmsg = zipwrite::kMsgTooManyEntries;
    return false;
  }
  if (comment_.size() > zipwrite::kMaxFieldLength) {
    errmsg = zipwrite::kMsgCommentTooLong;
    return false;
  }
  std::vector<std::string> extras;
  extras.reserve(static_cast<size_t>(count));
  int64_t directorySize = 0;
  for (int64_t i = 1; i <= count; ++i) {
    const ZipEntry& e = *d->entries_1[static_cast<size_t>(i)];
    extras.push_back(e.ExtraFieldInCentralDir()->AsData());
    if (extras.back().size() != e.z_Header()->UInt16Value(central::kExtraLength)) {
      errmsg = kMsgExtraMismatch;
      return false;
    }
    const size_t nameLength = e.z_origEncodedName().size();
    const size_t commentLength = e.z_origEncodedComment().size();
    if (nameLength > zipwrite::kMaxFieldLength || commentLength > zipwrite::kMaxFieldLength) {
      errmsg = nameLength > zipwrite::kMaxFieldLength ? zipwrite::kMsgNameTooLong
                                                       : zipwrite::kMsgCommentTooLong;
      return false;
    }
    MemoryBlock& record = *e.z_Header();
    record.SetUInt16Value(central::kNameLength, static_cast<uint16_t>(nameLength));
    record.SetUInt16Value(central::kCommentLength, static_cast<uint16_t>(commentLength));
    directorySize += central::kSize + static_cast<int64_t>(nameLength + extras.back().size() +
                                                           commentLength);
  }
  // The end record holds the directory's offset and size in 32 bits.
  if (startOfDirInArchive + directorySize > int64_t{0xFFFFFFFF}) {
    errmsg = zipwrite::kMsgTooLarge;
    return false;
  }

  const int64_t endRecordAt = startOfDirInArchive + directorySize;
  const int64_t length = endRecordAt + endofdir::kSize + static_cast<int64_t>(comment_.size());
  MemoryBlock end(endofdir::kSize);
  end.SetLittleEndian(true);
  end.SetUInt32Value(0, zipformat::kEndOfDirSignature);
  end.SetUInt16Value(endofdir::kRecordsOnDisk, static_cast<uint16_t>(count));
  end.SetUInt16Value(endofdir::kRecordsTotal, static_cast<uint16_t>(count));
  end.SetUInt32Value(endofdir::kDirectorySize, static_cast<uint32_t>(directorySize));
  end.SetUInt32Value(endofdir::kDirectoryOffset, static_cast<uint32_t>(startOfDirInArchive));
  end.SetUInt16Value(endofdir::kCommentLength, static_cast<uint16_t>(comment_.size()));
  const auto* endBytes = reinterpret_cast<const char*>(end.Address());
  // Hands the directory, the end record and the comment to `sink` piece by
  // piece, in file order, until the sink says no.
  auto pieces = [&](bool withSignature, auto&& sink) {
    for (int64_t i = 1; i <= count; ++i) {
      const ZipEntry& e = *d->entries_1[static_cast<size_t>(i)];
      const std::string name = e.z_origEncodedName();
      const std::string comment = e.z_origEncodedComment();
      const auto* record = reinterpret_cast<const char*>(e.z_Header()->Address());
      if (!sink(std::string_view(record, central::kSize)) || !sink(name) ||
          !sink(extras[static_cast<size_t>(i - 1)]) || !sink(comment)) {
        return false;
      }
    }
    return sink(std::string_view(withSignature ? endBytes : kNoSignature, kSignatureSize)) &&
           sink(std::string_view(endBytes + kSignatureSize, endofdir::kSize - kSignatureSize)) &&
           sink(comment_);
  };

  BinaryStream& stream = *d->zipStream;
  stream.ClearFlags();
  if (liveEndRecordAt == endRecordAt && stream.Length() == length) {
    // The file may hold this very directory already, as when an archive
    // opened for writing is closed unchanged. Writing it again would gain
    // nothing, and it would have to be retired first.
    stream.SetPosition(startOfDirInArchive);
    std::string onDisk;
    const bool same = pieces(true, [&](std::string_view piece) {
      onDisk.resize(piece.size());
      return stream.ReadInto(onDisk.data(), static_cast<int64_t>(onDisk.size())) ==
                 static_cast<int64_t>(piece.size()) &&
             onDisk == piece;
    });
    if (same) {
      d->dirty = false;
      return true;
    }
  }

  if (!z_retireEndRecord()) {
    errmsg = kMsgDirectoryWrite;
    return false;
  }
  // The new end record goes out without its signature. That comes last, on
  // its own, once everything else (the entries' data, the directory, the cut)
  // is on disk; until then the file has no end record a reader would take,
  // so a crash leaves it failing to open instead of listing a directory that
  // is not all there.
  stream.SetPosition(startOfDirInArchive);
  pieces(false, [&](std::string_view piece) {
    stream.Write(piece);
    return true;
  });
  // Whatever lies behind the comment (an older, longer directory, the
  // trailer behind the last entry's data) is cut off before the signature
  // is written: the valid end record is then always the one whose comment
  // ends the file.
  if (stream.Position() != length || !stream.SetLength(length) || !stream.Sync() ||
      stream.WriteFailed()) {
    errmsg = kMsgDirectoryWrite;
    return false;
  }
  stream.SetPosition(endRecordAt);
  stream.Write(endBytes, kSignatureSize);
  if (!stream.Sync() || stream.WriteFailed()) {
    errmsg = kMsgDirectoryWrite;
    return false;
  }
  liveEndRecordAt = endRecordAt;
  d->dirty = false;
  if (entriesLost) {
    entriesLost = false;
    errmsg = kMsgDirectoryWrite;
    return false;
  }
  return true;
}

bool ZipArchive::z_retireEndRecord() {
  if (liveEndRecordAt < 0) return true;
  BinaryStream& stream = *d->zipStream;
  const int64_t length = stream.Length();
  stream.SetPosition(liveEndRecordAt);
  const std::string tail = stream.Read(length - liveEndRecordAt);
  // Only signatures are cleared: the rest stays for tools that rebuild a
  // damaged archive. Those in the comment go too, for once the real one is
  // gone, a reader would take the nearest look-alike.
  const std::string_view signature(kEndSignature, kSignatureSize);
  for (size_t at = tail.find(signature); at != std::string::npos;
       at = tail.find(signature, at + kSignatureSize)) {
    stream.SetPosition(liveEndRecordAt + static_cast<int64_t>(at));
    stream.Write(kNoSignature, kSignatureSize);
  }
  if (!stream.Sync() || stream.WriteFailed()) return false;
  liveEndRecordAt = -1;
  return true;
}

bool ZipArchive::Flush() {
  // A closed archive keeps the mode it was opened with: flushing a closed
  // writable archive is misuse, a read-only one an ordinary refusal.
  if (!writeMode) {
    z_noWriteMsg();
    return false;
  }
  if (!entriesRead) throw RuntimeException("ZipArchive::Flush: the archive is not open");
  return z_writeDirectory();
}
