// Writing the central directory and the end record behind the last entry's
// data, in one pass, and cutting the file there.
//
// The order of the writes keeps a crash from costing more than the operation
// in progress: the entries' data is made durable before the directory that
// refers to it is written, and the directory before the file is cut, so the
// file never ends before its own directory.
#include "engine/ZipArchive.h"
#include "engine/ZipFormat.h"
#include "engine/ZipWriteSupport.h"
#include "platform/Exceptions.h"

namespace central = zipformat::central;
namespace endofdir = zipformat::endofdir;

namespace {
const char kMsgExtraMismatch[] = "Internal error (extra field length mismatch)";
const char kMsgDirectoryWrite[] = "Write error, the archive's directory may be incomplete";

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
    directorySize += central::kSize + static_cast<int64_t>(nameLength + extras.back().size() +
                                                           commentLength);
  }
  // The end record holds the directory's offset and size in 32 bits.
  if (startOfDirInArchive + directorySize > int64_t{0xFFFFFFFF}) {
    errmsg = zipwrite::kMsgTooLarge;
    return false;
  }

  BinaryStream& stream = *d->zipStream;
  stream.ClearFlags();
  if (!stream.Sync()) {
    errmsg = kMsgDirectoryWrite;
    return false;
  }
  stream.SetPosition(startOfDirInArchive);
  for (int64_t i = 1; i <= count; ++i) {
    const ZipEntry& e = *d->entries_1[static_cast<size_t>(i)];
    MemoryBlock& record = *e.z_Header();
    const std::string name = e.z_origEncodedName();
    const std::string comment = e.z_origEncodedComment();
    const std::string& extra = extras[static_cast<size_t>(i - 1)];
    record.SetUInt16Value(central::kNameLength, static_cast<uint16_t>(name.size()));
    record.SetUInt16Value(central::kExtraLength, static_cast<uint16_t>(extra.size()));
    record.SetUInt16Value(central::kCommentLength, static_cast<uint16_t>(comment.size()));
    stream.Write(record.Address(), central::kSize);
    stream.Write(name);
    stream.Write(extra);
    stream.Write(comment);
  }
  const int64_t endRecordAt = stream.Position();
  MemoryBlock end(endofdir::kSize);
  end.SetLittleEndian(true);
  end.SetUInt32Value(0, zipformat::kEndOfDirSignature);
  end.SetUInt16Value(endofdir::kRecordsOnDisk, static_cast<uint16_t>(count));
  end.SetUInt16Value(endofdir::kRecordsTotal, static_cast<uint16_t>(count));
  end.SetUInt32Value(endofdir::kDirectorySize,
                     static_cast<uint32_t>(endRecordAt - startOfDirInArchive));
  end.SetUInt32Value(endofdir::kDirectoryOffset, static_cast<uint32_t>(startOfDirInArchive));
  end.SetUInt16Value(endofdir::kCommentLength, static_cast<uint16_t>(comment_.size()));
  stream.Write(end.Address(), endofdir::kSize);
  stream.Write(comment_);
  // Whatever lies behind the end record (an older, longer directory, the
  // trailer behind the last entry's data) is cut off.
  const int64_t length = stream.Position();
  if (!stream.Sync() || stream.WriteFailed() || !stream.SetLength(length)) {
    errmsg = kMsgDirectoryWrite;
    return false;
  }
  d->dirty = false;
  if (entriesLost) {
    entriesLost = false;
    errmsg = kMsgDirectoryWrite;
    return false;
  }
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
