// Adding entries: every new entry of an archive is written by z_zip.
//
// An add changes three things that must stay together: the bytes from the
// directory's start on, startOfDirInArchive, and the entry list. The bytes
// change first; startOfDirInArchive and the list change only once the entry
// is complete in the archive stream. A failed or aborted add therefore leaves
// the list and the directory's place as they were: what it wrote lies behind
// the directory's start, in space that the next directory write overwrites
// and cuts off. The first add after a directory write retires the end record
// before its first byte: until the directory is written again a crash leaves
// a file that fails to open, never one whose directory is half overwritten.
//
// An add does not flush: the stream's buffer takes the bytes of many small
// entries, header patches included, and hands them to the system in one
// write. A write that fails later may thus lose bytes of entries already
// listed; those entries are taken back (z_takeBackUnwritten), and the
// operation that found the failure reports it. The directory is written only
// once everything before it is on disk.
#include <algorithm>
#include <limits>

#include "engine/ZipArchive.h"
#include "engine/ZipBinaryStreamWriter.h"
#include "engine/ZipFormat.h"
#include "engine/ZipWriteSupport.h"
#include "platform/Exceptions.h"
#include "platform/plugin/ZStream.h"

namespace central = zipformat::central;
namespace local = zipformat::local;

namespace {
const char kMsgEmptyName[] = "Name must not be empty";
const char kMsgOpenData[] = "Opening the source data stream failed";
const char kMsgOpenRsrc[] = "Opening the source rsrc stream failed";
const char kMsgAborted[] = "Aborted";
const char kMsgReadError[] = "Read error, the archived item may be corrupted";
const char kMsgWriteError[] = "Write error, the archived item may be corrupted";

// The gzip member header that the compressing stream writes first, in one
// piece; the archive gets only what follows it.
constexpr int32_t kGzipHeaderSize = 10;
constexpr int32_t kGzipTrailerSize = 8;
constexpr int32_t kMacBinaryHeaderSize = 128;
// MacBinary header fields (big-endian): the lengths of the two forks.
constexpr int kMBDataLength = 83;
constexpr int kMBRsrcLength = 87;

int64_t roundUp128(int64_t n) { return (n + 127) / 128 * 128; }

uint32_t bigEndian32(const MemoryBlock& block, int offset) {
  return uint32_t{block.Byte(offset)} << 24 | uint32_t{block.Byte(offset + 1)} << 16 |
         uint32_t{block.Byte(offset + 2)} << 8 | uint32_t{block.Byte(offset + 3)};
}

// Closes the source streams that were opened, however the add ends: they
// belong to the caller, who may still need the files.
class OpenedStreams {
 public:
  OpenedStreams() = default;
  OpenedStreams(const OpenedStreams&) = delete;
  OpenedStreams& operator=(const OpenedStreams&) = delete;
  ~OpenedStreams() {
    for (SeqDataInputStream* s : open_) {
      try {
        s->Close();
      } catch (...) {
        // A stream that fails to close must not hide the add's own outcome.
      }
    }
  }
  bool Open(SeqDataInputStream& s) {
    if (!s.Open()) return false;
    open_.push_back(&s);
    return true;
  }
  void Close(SeqDataInputStream& s) {
    open_.erase(std::remove(open_.begin(), open_.end(), &s), open_.end());
    s.Close();
  }

 private:
  std::vector<SeqDataInputStream*> open_;
};
}  // namespace

void ZipArchive::z_noWriteMsg() { errmsg = zipwrite::kMsgReadOnly; }

void ZipArchive::SetProgressMonitor(ZipProgressNotifierPtr notifier) {
  d->monitor = std::move(notifier);
}

ZipProgressNotifierPtr ZipArchive::ProgressMonitor() const { return d->monitor; }

int32_t ZipArchive::AddItemByStreams(SeqDataInputStreamPtr dataStream, int32_t dataLength,
                                     SeqDataInputStreamPtr rsrcStream, int32_t rsrcLength,
                                     MemoryBlockPtr macBinaryHeader, const std::string& name,
                                     ZipExtraFieldPtr extra, std::optional<Date> date) {
  if (rsrcStream && !macBinaryHeader) {
    throw RuntimeException("AddItemByStreams: a resource fork needs a MacBinary header");
  }
  if (!IsWritable()) {
    z_noWriteMsg();
    return 0;
  }
  return z_zip(std::move(dataStream), dataLength, std::move(rsrcStream), rsrcLength,
               std::move(macBinaryHeader), name, std::move(date), std::move(extra));
}

int64_t ZipArchive::z_directorySize() {
  const size_t count = d->entries_1.size() - 1;
  if (dirSizeCache < 0 || dirSizeEntries > count) {
    dirSizeCache = 0;
    dirSizeEntries = 0;
  }
  for (size_t i = dirSizeEntries + 1; i <= count; ++i) {
    const ZipEntry& e = *d->entries_1[i];
    const MemoryBlock& record = *e.z_Header();
    // The record's name and extra lengths are kept up to date by whoever
    // changes them.
    dirSizeCache += central::kSize + record.UInt16Value(central::kNameLength) +
                    record.UInt16Value(central::kExtraLength) +
                    static_cast<int64_t>(e.z_origEncodedComment().size());
  }
  dirSizeEntries = count;
  return dirSizeCache;
}

bool ZipArchive::z_roomFor(int64_t recordBytes, int64_t dataBytes) {
  const int64_t entries = static_cast<int64_t>(d->entries_1.size()) - 1;
  if (entries + 1 > zipwrite::kMaxEntries) {
    errmsg = zipwrite::kMsgTooManyEntries;
    return false;
  }
  const int64_t fixed = startOfDirInArchive + dataBytes + zipformat::endofdir::kSize +
                        static_cast<int64_t>(comment_.size());
  // Most archives are far from the limit even if every record were as long
  // as a record can be; only near it is the directory measured.
  constexpr int64_t kLongestRecord = central::kSize + 3 * zipwrite::kMaxFieldLength;
  if (fixed + (entries + 1) * kLongestRecord < zipwrite::kArchiveSizeLimit) return true;
  if (fixed + z_directorySize() + recordBytes < zipwrite::kArchiveSizeLimit) return true;
  errmsg = zipwrite::kMsgTooLarge;
  return false;
}

int32_t ZipArchive::z_zip(SeqDataInputStreamPtr dataStream, int32_t dataLength,
                          SeqDataInputStreamPtr rsrcStream, int32_t rsrcLength,
                          MemoryBlockPtr mbHeader, const std::string& nameIn,
                          std::optional<Date> date, ZipExtraFieldPtr extra) {
  if (!d->zipStream) throw RuntimeException("z_zip: the archive is not open");

  // 1. The name.
  if (nameIn.empty()) {
    errmsg = kMsgEmptyName;
    return -50;
  }
  const std::string name = nameIn != "/" && nameIn[0] == '/' ? nameIn.substr(1) : nameIn;

  // 2. Lengths and the total size. A resource fork is only ever stored inside
  // the MacBinary form.
  if (!dataStream) dataLength = 0;
  if (!rsrcStream || !mbHeader) rsrcLength = 0;
  if (dataLength < 0 || rsrcLength < 0) throw RuntimeException("z_zip: negative fork length");
  int64_t total = dataLength;
  if (mbHeader) {
    if (mbHeader->Size() != kMacBinaryHeaderSize) {
      throw RuntimeException("z_zip: a MacBinary header has 128 bytes");
    }
    if (bigEndian32(*mbHeader, kMBDataLength) != static_cast<uint32_t>(dataLength) ||
        bigEndian32(*mbHeader, kMBRsrcLength) != static_cast<uint32_t>(rsrcLength)) {
      throw RuntimeException("z_zip: the MacBinary header describes other fork lengths");
    }
    total = kMacBinaryHeaderSize + roundUp128(dataLength) + roundUp128(rsrcLength);
  }
  const uint16_t method = total > 0 ? zipformat::kMethodDeflated : zipformat::kMethodStored;

  // 3. to 5. Date, extra field and the name as stored.
  uint16_t dosTime = 0, dosDate = 0;
  zipwrite::DosTimeAndDate(date, dosTime, dosDate);
  const std::string extraBytes = extra ? extra->AsData() : std::string();
  bool utf8Name = false;
  const std::string encodedName = zipwrite::EncodeName(*d, name, utf8Name);
  if (encodedName.size() > zipwrite::kMaxFieldLength) {
    errmsg = zipwrite::kMsgNameTooLong;
    return -50;
  }
  if (extraBytes.size() > zipwrite::kMaxFieldLength) {
    errmsg = zipwrite::kMsgExtraTooLong;
    return -50;
  }
  const auto nameLength = static_cast<int64_t>(encodedName.size());
  const auto extraLength = static_cast<int64_t>(extraBytes.size());
  const int64_t headerSize = local::kSize + nameLength + extraLength;
  // Nothing is written for an add that could take the archive past what the
  // format holds.
  if (!z_roomFor(central::kSize + nameLength + extraLength,
                 headerSize + zipwrite::DeflateBound(total) + kGzipTrailerSize)) {
    return -50;
  }
  if (extra) extra->Lock();

  // 6. and 7. The central record in memory, and the entry that keeps it.
  MemoryBlockPtr record = MemoryBlock::Make(central::kSize, true);
  record->SetUInt32Value(0, zipformat::kCentralHeaderSignature);
  record->SetByte(central::kVersionMadeBy, zipformat::kMaxVersionNeeded);
  const bool dosHost = (d->defaultOSMadeBy & 0xFF) == 0;
  record->SetByte(central::kHostSystem, utf8Name && dosHost
                                            ? zipwrite::kHostNTFS
                                            : static_cast<uint8_t>(d->defaultOSMadeBy & 0xFF));
  record->SetUInt16Value(central::kVersionNeeded, zipformat::kMaxVersionNeeded);
  if (utf8Name) record->SetUInt16Value(central::kFlags, zipformat::kFlagUTF8);
  record->SetUInt16Value(central::kMethod, method);
  record->SetUInt16Value(central::kTime, dosTime);
  record->SetUInt16Value(central::kDate, dosDate);
  record->SetUInt32Value(central::kUncompressedSize, static_cast<uint32_t>(total));
  record->SetUInt16Value(central::kNameLength, static_cast<uint16_t>(nameLength));
  record->SetUInt16Value(central::kExtraLength, static_cast<uint16_t>(extraLength));
  auto entry = std::make_shared<ZipEntry>(d, record, encodedName, extra, std::string());
  d->dirty = true;

  // 8. The local header, over the old directory. Its version, flags, method,
  // time and date are those of the record.
  BinaryStream& stream = *d->zipStream;
  // A failure that something else met (reading an entry flushes the buffer)
  // may have lost bytes of entries listed before this one: that is this
  // add's failure to report.
  if (z_takeBackUnwritten()) {
    stream.ClearFlags();
    errmsg = kMsgWriteError;
    return -2;
  }
  stream.ClearFlags();
  // An add that fails leaves nothing in the buffer that a later write could
  // fail on, and a write that failed in it may have lost bytes of the
  // entries listed before it.
  struct OnFailure {
    ZipArchive& archive;
    bool listed = false;
    ~OnFailure() {
      if (listed) return;
      archive.d->zipStream->Flush();
      archive.z_takeBackUnwritten();
    }
  } onFailure{*this};
  const int64_t start = startOfDirInArchive;
  MemoryBlock header(local::kSize);
  header.SetLittleEndian(true);
  header.SetUInt32Value(0, zipformat::kLocalHeaderSignature);
  for (int i = 0; i < 10; ++i) {
    header.SetByte(local::kVersionNeeded + i, record->Byte(central::kVersionNeeded + i));
  }
  header.SetUInt32Value(local::kCompressedSize,
                        method == zipformat::kMethodStored ? static_cast<uint32_t>(total) : 0);
  header.SetUInt32Value(local::kUncompressedSize, static_cast<uint32_t>(total));
  header.SetUInt16Value(local::kNameLength, static_cast<uint16_t>(nameLength));
  header.SetUInt16Value(local::kExtraLength, static_cast<uint16_t>(extraLength));
  if (!z_retireEndRecord()) {
    errmsg = kMsgWriteError;
    return -2;
  }
  stream.SetPosition(start);
  stream.Write(header.Address(), local::kSize);
  stream.Write(encodedName);
  stream.Write(extraBytes);
  const int64_t dataStart = start + headerSize;

  uint32_t crc = 0;
  int64_t dataEnd = dataStart;
  if (total > 0) {
    // 10. to 15. Compress the forks.
    const ZipProgressNotifierPtr monitor = d->monitor;
    const int64_t chunk = std::max<int32_t>(d->copyChunkSize, kMacBinaryHeaderSize + 1);
    const auto total32 = static_cast<int32_t>(total);
    bool abort = false;
    if (monitor) monitor->ReportProgress(*entry, total32, 0, abort);
    int64_t fed = 0;
    int32_t written = 0;
    if (!abort) {
      OpenedStreams opened;
      auto writer = std::make_shared<ZipBinaryStreamWriter>(d->zipStream, kGzipHeaderSize);
      ZStream z(true, writer, nullptr);
      int64_t adjust = 0;
      // Reads a fork in chunks and hands each to the compressor at once. A
      // short read does not end the loop; the count tells afterwards.
      auto copyFork = [&](SeqDataInputStream& source, int64_t remaining) {
        while (remaining > 0 && !abort) {
          const int64_t n = std::min(remaining, chunk + adjust);
          adjust = 0;
          const std::string got = source.Read(static_cast<int32_t>(n));
          z.Write(got);
          remaining -= n;
          fed += static_cast<int64_t>(got.size());
          if (monitor && fed < total) {
            monitor->ReportProgress(*entry, total32, static_cast<int32_t>(fed), abort);
          }
        }
      };
      auto pad = [&](int64_t length) {
        const int64_t missing = roundUp128(length) - length;
        if (missing == 0 || abort) return;
        z.Write(std::string(static_cast<size_t>(missing), '\0'));
        fed += missing;
      };
      if (mbHeader) {
        z.Write(std::string_view(reinterpret_cast<const char*>(mbHeader->Address()),
                                 kMacBinaryHeaderSize));
        fed = kMacBinaryHeaderSize;
        // The header and the first chunk of the data fork make one chunk.
        adjust = -kMacBinaryHeaderSize;
        if (dataStream) {
          if (!opened.Open(*dataStream)) {
            errmsg = kMsgOpenData;
            return -38;
          }
          copyFork(*dataStream, dataLength);
          opened.Close(*dataStream);
        }
        pad(dataLength);
        if (rsrcStream && rsrcLength > 0) {
          if (!opened.Open(*rsrcStream)) {
            errmsg = kMsgOpenRsrc;
            return -38;
          }
          copyFork(*rsrcStream, rsrcLength);
          opened.Close(*rsrcStream);
        }
        pad(rsrcLength);
      } else {
        if (!opened.Open(*dataStream)) {
          errmsg = kMsgOpenData;
          return -38;
        }
        copyFork(*dataStream, total);
        opened.Close(*dataStream);
      }
      z.Close();
      written = z.LastError() == 0 ? writer->BytesWritten() : -1;
    }
    if (monitor) monitor->ReportProgress(*entry, total32, total32, abort);
    if (abort) {
      errmsg = kMsgAborted;
      return 0;
    }
    if (fed != total) {
      errmsg = kMsgReadError;
      return -2;
    }
    // 16. The stream must end where the header and the compressed bytes say,
    // and no write may have failed. The trailer and the patch are served by
    // the stream's buffer while the entry is small.
    const int64_t end = dataStart + written;
    if (written < kGzipTrailerSize || stream.Position() != end || stream.WriteFailed()) {
      errmsg = kMsgWriteError;
      return -2;
    }
    stream.SetPosition(end - kGzipTrailerSize);
    crc = stream.ReadUInt32();
    dataEnd = end - kGzipTrailerSize;
    stream.SetPosition(start + local::kCRC);
    stream.WriteUInt32(crc);
    stream.WriteUInt32(static_cast<uint32_t>(dataEnd - dataStart));
  }
  if (stream.WriteFailed() || stream.ReadShort()) {
    errmsg = kMsgWriteError;
    return -2;
  }

  // 17. and 18. Complete the record and list the entry. The trailer behind
  // the data is free space for the next local header or the directory.
  record->SetUInt32Value(central::kCRC, crc);
  record->SetUInt32Value(central::kCompressedSize, static_cast<uint32_t>(dataEnd - dataStart));
  record->SetUInt32Value(central::kLocalHeaderOffset, static_cast<uint32_t>(start));
  // The directory's start can move back (Rollback), so the lower one holds.
  unwrittenFrom = unwrittenFrom < 0 ? start : std::min(unwrittenFrom, start);
  startOfDirInArchive = dataEnd;
  d->entries_1.push_back(entry);
  d->forgetEntryOffsets();
  onFailure.listed = true;
  return static_cast<int32_t>(d->entries_1.size() - 1);
}

bool ZipArchive::z_takeBackUnwritten() {
  const int64_t lost = d->zipStream->FirstFailedWrite();
  if (unwrittenFrom < 0 || lost < 0 || lost >= startOfDirInArchive) return false;
  // The entries added since unwrittenFrom lie one behind the other: the one
  // that holds the first lost byte goes, and every one behind it. Bytes
  // before it were handed to the system.
  int64_t cut = unwrittenFrom;
  auto& entries = d->entries_1;
  auto offsetOf = [](const ZipEntryPtr& e) {
    return int64_t{e->z_Header()->UInt32Value(central::kLocalHeaderOffset)};
  };
  for (size_t i = 1; i < entries.size(); ++i) {
    const int64_t offset = offsetOf(entries[i]);
    if (offset >= unwrittenFrom && offset <= lost) cut = std::max(cut, offset);
  }
  entries.erase(std::remove_if(entries.begin() + 1, entries.end(),
                               [&](const ZipEntryPtr& e) { return offsetOf(e) >= cut; }),
                entries.end());
  startOfDirInArchive = cut;
  if (cut == unwrittenFrom) unwrittenFrom = -1;
  dirSizeCache = -1;
  d->forgetEntryOffsets();
  d->dirty = true;
  entriesLost = true;
  return true;
}

bool ZipArchive::z_settle() {
  BinaryStream& stream = *d->zipStream;
  const bool tookBack = z_takeBackUnwritten();
  stream.ClearFlags();
  const bool flushed = stream.Flush();
  if (flushed) {
    unwrittenFrom = -1;
  } else {
    z_takeBackUnwritten();
  }
  return flushed && !tookBack;
}
