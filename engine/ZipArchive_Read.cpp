// Reading the central directory of an archive that Open has opened.
//
// Every offset and length comes from the file and is checked against the
// file's length before anything is read or allocated for it, so a damaged or
// hostile archive fails with one of the messages below, never with a read past
// the end or an allocation larger than the file.
#include <algorithm>
#include <cstring>

#include "engine/ZipArchive.h"
#include "engine/ZipFormat.h"
#include "platform/Exceptions.h"

namespace central = zipformat::central;
namespace endofdir = zipformat::endofdir;

namespace {
const char kMsgNotZip[] = "File does not appear to by a Zip file ('PK' header missing)";
const char kMsgNoDirectory[] = "Central Directory not found, probably not a Zip file";
const char kMsgMultiSegment[] =
    "This is part of a multi-segment archive, which is not supported by the ZipArchive class";
const char kMsgDirectorySize[] = "Central Directory is corrupted.";
const char kMsgBadRecord[] = "Central Directory is corrupted";
const char kMsgNewerFormat[] =
    "Archive was written in a newer format than what this software supports (it supports up "
    "to v2.0 archives)";

// The furthest below the last possible end record position that the search
// goes: a full-length comment plus a little slack.
constexpr int64_t kSearchSpan = 65560;

uint16_t le16(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint16_t>(u[0] | u[1] << 8);
}

// The offset of the end-of-central-directory record, or -1. Of the signatures
// found, the one nearest the end whose comment runs exactly to the end of the
// file wins: an archive comment may itself contain the signature, and taking
// such a stray one would read a directory that isn't there. When none fits
// exactly (trailing bytes, a cut-off comment), the one nearest the end is taken.
int64_t findEndOfDirectory(BinaryStream& stream, int64_t fileLength) {
  const int64_t high = fileLength - endofdir::kSize;
  if (high < 0) return -1;
  const int64_t low = std::max<int64_t>(0, high - kSearchSpan);
  // One read for the whole search range.
  std::string tail(static_cast<size_t>(fileLength - low), '\0');
  stream.SetPosition(low);
  tail.resize(static_cast<size_t>(stream.ReadInto(tail.data(), static_cast<int64_t>(tail.size()))));
  int64_t nearest = -1;
  for (int64_t at = std::min<int64_t>(high, low + static_cast<int64_t>(tail.size()) - endofdir::kSize);
       at >= low; --at) {
    const char* p = tail.data() + (at - low);
    if (std::memcmp(p, "PK\x05\x06", 4) != 0) continue;
    if (at + endofdir::kSize + le16(p + endofdir::kCommentLength) == fileLength) return at;
    if (nearest < 0) nearest = at;
  }
  return nearest;
}
}  // namespace

bool ZipArchive::z_readDirectory() {
  BinaryStream& stream = *d->zipStream;
  const int64_t fileLength = stream.Length();
  d->forgetEntryOffsets();

  // Anything before the first local header (a self-extractor's stub) is
  // refused: new entries are written where the directory starts, and offsets
  // must count from the start of the file.
  stream.SetPosition(0);
  if (stream.ReadUInt32() != zipformat::kLocalHeaderSignature) {
    errmsg = kMsgNotZip;
    return false;
  }

  const int64_t endRecordAt = findEndOfDirectory(stream, fileLength);
  if (endRecordAt < 0) {
    errmsg = kMsgNoDirectory;
    return false;
  }
  MemoryBlock endRecord(endofdir::kSize);
  endRecord.SetLittleEndian(true);
  stream.SetPosition(endRecordAt);
  stream.ReadInto(endRecord.Address(), endofdir::kSize);
  // A comment cut short by the end of the file is kept as far as it goes.
  const uint16_t commentLength = endRecord.UInt16Value(endofdir::kCommentLength);
  if (commentLength != 0) comment_ = stream.Read(commentLength);

  const uint16_t recordCount = endRecord.UInt16Value(endofdir::kRecordsOnDisk);
  if (endRecord.UInt16Value(endofdir::kDiskNumber) != 0 ||
      endRecord.UInt16Value(endofdir::kDirectoryDisk) != 0 ||
      recordCount != endRecord.UInt16Value(endofdir::kRecordsTotal)) {
    errmsg = kMsgMultiSegment;
    return false;
  }

  const int64_t dirOffset = endRecord.UInt32Value(endofdir::kDirectoryOffset);
  const int32_t dirSize = endRecord.Int32Value(endofdir::kDirectorySize);
  startOfDirInArchive = dirOffset;
  if (dirSize < int32_t{recordCount} * central::kSize ||
      dirOffset + std::max(dirSize, 0) > fileLength) {
    // Too small for its records, or claiming more than the file holds.
    errmsg = kMsgDirectorySize;
    return false;
  }
  if (recordCount == 0) {
    entriesRead = true;
    liveEndRecordAt = endRecordAt;
    return true;
  }

  const int64_t dirEnd = dirOffset + dirSize;
  d->entries_1.reserve(size_t{recordCount} + 1);
  stream.SetPosition(dirOffset);
  for (int count = 1;; ++count) {
    if (stream.Position() + central::kSize > fileLength) {
      errmsg = kMsgBadRecord;
      return false;
    }
    auto header = MemoryBlock::Make(central::kSize, true);
    stream.ReadInto(header->Address(), central::kSize);
    if (header->UInt32Value(0) != zipformat::kCentralHeaderSignature) {
      errmsg = kMsgBadRecord;
      return false;
    }
    if (header->UInt16Value(central::kVersionNeeded) > zipformat::kMaxVersionNeeded) {
      errmsg = kMsgNewerFormat;
      return false;
    }
    const int64_t nameLength = header->UInt16Value(central::kNameLength);
    const int64_t extraLength = header->UInt16Value(central::kExtraLength);
    const int64_t entryCommentLength = header->UInt16Value(central::kCommentLength);
    if (stream.Position() + nameLength + extraLength + entryCommentLength > fileLength) {
      errmsg = kMsgBadRecord;
      return false;
    }
    std::string name(static_cast<size_t>(nameLength), '\0');
    stream.ReadInto(name.data(), nameLength);
    std::string extraBytes(static_cast<size_t>(extraLength), '\0');
    stream.ReadInto(extraBytes.data(), extraLength);
    ZipExtraFieldPtr extra = MakeZipExtraField(extraBytes);
    extra->Lock();
    std::string entryComment(static_cast<size_t>(entryCommentLength), '\0');
    stream.ReadInto(entryComment.data(), entryCommentLength);

    d->entries_1.push_back(std::make_shared<ZipEntry>(d, std::move(header), std::move(name),
                                                      std::move(extra), std::move(entryComment)));
    if (count == recordCount) break;
    if (stream.Position() >= dirEnd) {
      // The directory's size ran out before its record count did. Opening
      // with fewer entries would lose the rest at the next directory write.
      errmsg = kMsgDirectorySize;
      return false;
    }
  }
  entriesRead = true;
  liveEndRecordAt = endRecordAt;
  return true;
}
