// Extraction: an entry's data into files, into caller's streams, or nowhere
// (testing), and where an entry goes below a folder.
#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/MacBinary.h"
#include "engine/ZipBinaryStreamReader.h"
#include "engine/ZipEntry.h"
#include "engine/ZipFormat.h"
#include "engine/ZipProgressNotifier.h"
#include "platform/TypeCreatorTable.h"
#include "platform/plugin/ZStream.h"
#include "streams/FileWriter.h"
#include "streams/Helpers.h"
#include "streams/RsrcForkWriter.h"

namespace central = zipformat::central;
namespace fs = std::filesystem;
namespace local = zipformat::local;

namespace {

const char kMsgArchiveClosed[] = "Archive is closed";
const char kMsgBadLocalHeader[] =
    "Invalid Local File Header signature (archive appears to be severely corrupted)";
const char kMsgHeadersMismatch[] = "File Headers mismatch";
const char kMsgEncrypted[] = "Unsupported format (encrypted)";
const char kMsgOpenData[] = "Opening destination file failed";
const char kMsgOpenRsrc[] = "Opening destination rsrc fork failed";
const char kMsgAborted[] = "Aborted";
const char kMsgCorrupted[] = "Data appears to be corrupted";
const char kMsgWriteError[] = "File write error (disk full?)";
const char kMsgNoDestination[] = "No destination given";
const char kMsgFolderCreation[] = "Folder creation failed";
const char kMsgFolderOverFile[] =
    "Archive entry is a folder but a file exists at the destination already. Won't replace that.";
const char kMsgFileOverFolder[] =
    "Archive entry is a file but a folder exists at the destination already. Won't replace that.";
const char kMsgAliasStays[] = "Destination exists as an alias file that can't be deleted";
const char kMsgCreateFile[] = "Creating destination file failed";
const char kMsgLocked[] = "Destination file is write protected";
const char kMsgInternal[] = "Internal error (exception)";
// Entries that a hostile archive uses to fill the disk.
const char kMsgOverlap[] = "Entry overlaps another entry's data (possible zip bomb)";
const char kMsgImpossibleSize[] =
    "Entry's size is more than its compressed data can expand to (possible zip bomb)";

// Why an entry gets no destination.
const char kMsgLeavesBase[] = "Entry path leads outside the destination folder";
const char kMsgThroughAlias[] =
    "Entry path leads through an alias (symbolic link) in the destination; won't follow it";
const char kMsgNulInName[] = "Entry name holds a NUL byte, which file names can't hold";
const char kMsgNameTooLong[] = "Entry name is longer than the file system allows (255 bytes)";

// The longest name (in bytes) the file systems we run on take for one path
// component.
constexpr size_t kMaxNameBytes = 255;

constexpr int64_t kMacBinaryHeaderSize = macbinary::kHeaderSize;

// Deflate's densest code is a length of 258 and a distance, one bit each:
// no stream gives more than 258 * 4 bytes for each of its bytes. The margin
// on top keeps the check clear of sound streams whatever their block layout;
// as disk space it is nothing.
constexpr int64_t kMaxDeflateRatio = 1032;
constexpr int64_t kDeflateMargin = 1024;

// The gzip member header put in front of an entry's deflate data, so that the
// decompressing stream inflates it (without one the stream passes its input
// through unchanged): deflate, no flags, no time, made on a Macintosh. The
// same for every entry, so it is kept once rather than per entry.
const std::string zlib_prefix("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x07", 10);

std::string deflationError(int32_t code) {
  return "An error " + std::to_string(code) + " occured while deflation";
}

// Sets type and creator in one write, keeping the rest of the Finder
// information. A file that already shows them (the usual case: its name
// implies them and nothing is stored) is left alone.
void setTypeAndCreator(const FolderItem& file, const std::string& type,
                       const std::string& creator) {
  FinderInfo info = file.GetFinderInfo();
  FinderInfo wanted = info;
  wanted.SetType(type);
  wanted.SetCreator(creator);
  if (!(wanted == info)) file.SetFinderInfo(wanted);
}

// Passes everything on to the destination file's writer and notes when it
// is opened, which is when an existing file starts to change.
class OpenedOutput : public SeqDataOutputStream {
 public:
  OpenedOutput(SeqDataOutputStreamPtr inner, bool& opened)
      : inner_(std::move(inner)), opened_(opened) {}
  bool Write(std::string_view data) override { return inner_->Write(data); }
  bool Open() override {
    opened_ = true;
    return inner_->Open();
  }
  bool Close() override { return inner_->Close(); }
  void GetErrorDescription(int32_t& code, std::string& text) override {
    inner_->GetErrorDescription(code, text);
  }
  bool Skip(int32_t count) override { return inner_->Skip(count); }
  void ClearError() override { inner_->ClearError(); }
  bool Flush() override { return inner_->Flush(); }

 private:
  SeqDataOutputStreamPtr inner_;
  bool& opened_;
};

// Whether `p` lies inside `folder` (or is it); both absolute and normal.
bool isInside(const fs::path& p, const fs::path& folder) {
  auto rel = p.lexically_relative(folder);
  return !rel.empty() && *rel.begin() != "..";
}

}  // namespace

// --- The data ---------------------------------------------------------------

bool ZipEntry::z_unzip(const SeqDataOutputStreamPtr& dataOut,
                       const SeqDataOutputStreamPtr& rsrcOut, bool macBinary, bool headerOnly,
                       MemoryBlockPtr& macBinaryHeader) {
  macBinaryHeader.reset();
  if (!d->zipStream) {
    errmsg = kMsgArchiveClosed;
    return false;
  }
  BinaryStreamPtr zipStream = d->zipStream;

  MemoryBlock lh(local::kSize);
  lh.SetLittleEndian(true);
  const int64_t headerAt = header->UInt32Value(central::kLocalHeaderOffset);
  zipStream->SetPosition(headerAt);
  if (zipStream->ReadInto(lh.Address(), local::kSize) != local::kSize ||
      lh.UInt32Value(0) != zipformat::kLocalHeaderSignature) {
    errmsg = kMsgBadLocalHeader;
    return false;
  }
  const uint16_t localFlags = lh.UInt16Value(local::kFlags);
  const uint16_t localMethod = lh.UInt16Value(local::kMethod);
  uint32_t crc = lh.UInt32Value(local::kCRC);
  uint32_t compressedSize = lh.UInt32Value(local::kCompressedSize);
  uint32_t size = lh.UInt32Value(local::kUncompressedSize);
  const int64_t dataAt = headerAt + local::kSize + lh.UInt16Value(local::kNameLength) +
                         lh.UInt16Value(local::kExtraLength);
  zipStream->SetPosition(dataAt);

  // Sizes and CRC then follow the data; the central record has them.
  if (localFlags & zipformat::kFlagDataDescriptor) {
    crc = CRC32();
    compressedSize = static_cast<uint32_t>(CompressedSize());
    size = static_cast<uint32_t>(Size());
  }

  if (macBinary && size < kMacBinaryHeaderSize) {
    if (headerOnly) return true;
    macBinary = false;
  }

  const uint16_t centralFlags = header->UInt16Value(central::kFlags);
  if (localMethod != CompressionMethod() || crc != CRC32() ||
      compressedSize != static_cast<uint32_t>(CompressedSize()) ||
      size != static_cast<uint32_t>(Size()) ||
      (localFlags != centralFlags && !d->isFakeEntry(*header, localFlags))) {
    errmsg = kMsgHeadersMismatch;
    return false;
  }
  if (localFlags & zipformat::kFlagEncrypted) {
    errmsg = kMsgEncrypted;
    return false;
  }
  // The overlapping zip bomb: many records, each with a local header of its
  // own inside the data of the one before, all running on into one shared
  // deflate stream. Of two entries whose bytes overlap, the one that starts
  // first holds the other's header; refusing every entry whose data holds
  // another entry's header leaves entries that share no byte, so what they
  // expand to is bounded by the archive's size. Records sharing one header
  // (an entry and its fake duplicates) are one entry listed twice. The last
  // entry of a chain goes on, so that one damaged size field costs only its
  // own entry, not every entry behind it.
  if (d->headerWithin(headerAt, dataAt + compressedSize)) {
    errmsg = kMsgOverlap;
    return false;
  }

  // Sizes are unsigned on disk: an entry of 2 GB or more is read whole.
  const int64_t uncompressed = size;
  std::unique_ptr<ZStream> inflater;
  if (localMethod == zipformat::kMethodDeflated) {
    // A size no stream of this length can reach is refused before anything
    // is written: the data would end early anyway, after filling the disk.
    if (uncompressed > kMaxDeflateRatio * compressedSize + kDeflateMargin) {
      errmsg = kMsgImpossibleSize;
      return false;
    }
    MemoryBlock suffix(8);
    suffix.SetLittleEndian(true);
    suffix.SetUInt32Value(0, crc);
    suffix.SetUInt32Value(4, size);
    auto reader = std::make_shared<ZipBinaryStreamReader>(zipStream, compressedSize,
                                                           zlib_prefix, suffix.ToString());
    inflater = std::make_unique<ZStream>(false, nullptr, reader);
    if (inflater->ErrorValue() != 0) {
      errmsg = deflationError(inflater->ErrorValue());
      return false;
    }
  } else if (localMethod == zipformat::kMethodStored) {
    // Stored bytes are copied as they stand, so a size that disagrees with
    // itself would copy the neighbouring entry's bytes.
    if (compressedSize != size) {
      errmsg = kMsgCorrupted;
      return false;
    }
  } else {
    errmsg = "Unsupported compression method (" + std::to_string(localMethod) + ")";
    return false;
  }

  if (!headerOnly && dataOut && !dataOut->Open()) {
    errmsg = kMsgOpenData;
    return false;
  }
  SeqDataOutputStream* current = headerOnly ? nullptr : dataOut.get();

  const int64_t chunk = std::max<int64_t>(2048, d->copyChunkSize);
  int64_t bytesLeft = uncompressed;
  int64_t produced = 0;
  int64_t adjustment = 0;
  bool abort = false;
  bool streamError = false;
  bool writeError = false;
  bool gotHeader = false;
  // The header claims forks that the entry can't hold.
  bool headerTooLarge = false;
  // MacBinary split: once a header is recognised, the data fork, the padding
  // behind it, the resource fork and what follows go their own ways.
  bool splitting = false;
  int64_t dataForkLeft = 0;
  int64_t rsrcStart = 0;
  int64_t rsrcForkLeft = 0;
  bool rsrcOpened = false;
  uint32_t storedCRC = 0;
  std::string bytes;
  // The notifier counts in the record's signed 32-bit sizes.
  const std::shared_ptr<ZipProgressNotifier> monitor = headerOnly ? nullptr : d->monitor;
  const auto total = static_cast<int32_t>(size);
  if (monitor) monitor->ReportProgress(*this, total, 0, abort);

  while (bytesLeft > 0 && !abort) {
    int64_t n;
    if (macBinary) {
      // The header alone first; the next read is shorter by as much, so that
      // later reads end on multiples of the chunk size again.
      n = kMacBinaryHeaderSize;
      adjustment = -kMacBinaryHeaderSize;
    } else {
      const int64_t piece = chunk + adjustment;
      adjustment = 0;
      if (!splitting) {
        n = std::min(piece, bytesLeft);
      } else if (dataForkLeft > 0) {
        n = std::min(piece, dataForkLeft);
        dataForkLeft -= n;
      } else if (produced < rsrcStart) {
        n = rsrcStart - produced;
        current = nullptr;
      } else if (rsrcForkLeft > 0) {
        if (!rsrcOpened) {
          rsrcOpened = true;
          if (dataOut && !dataOut->Close()) {
            writeError = true;
            break;
          }
          if (rsrcOut && !rsrcOut->Open()) {
            errmsg = kMsgOpenRsrc;
            return false;
          }
          current = rsrcOut.get();
        }
        n = std::min(piece, rsrcForkLeft);
        rsrcForkLeft -= n;
      } else {
        current = nullptr;
        n = std::min(piece, bytesLeft);
      }
    }

    if (inflater) {
      bytes = inflater->Read(static_cast<int32_t>(n));
      const int32_t code = inflater->ErrorValue();
      if (code != 0 && code != 1) {
        errmsg = deflationError(code);
        streamError = true;
        break;
      }
    } else {
      bytes.resize(static_cast<size_t>(n));
      const int64_t got = zipStream->ReadInto(bytes.data(), n);
      bytes.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
      storedCRC = CRC_32OfStrCont(bytes, storedCRC);
    }
    produced += static_cast<int64_t>(bytes.size());
    if (static_cast<int64_t>(bytes.size()) < n) break;

    bool dropBytes = false;
    if (macBinary) {
      macBinary = false;
      MemoryBlockPtr block = MemoryBlock::FromString(bytes);
      if (z_MBHdrLevel(*block) >= macbinary::kLevelMB1) {
        macBinaryHeader = block;
        const int64_t dataForkLength = block->Int32Value(macbinary::kDataForkLength);
        const int64_t rsrcForkLength = block->Int32Value(macbinary::kRsrcForkLength);
        rsrcStart = macbinary::kHeaderSize + macbinary::PaddedLength(dataForkLength);
        if (bytesLeft < rsrcStart + rsrcForkLength) {
          headerTooLarge = true;
          break;
        }
        splitting = true;
        dataForkLeft = dataForkLength;
        rsrcForkLeft = rsrcForkLength;
        dropBytes = true;
      }
    }
    if (headerOnly) {
      gotHeader = true;
      break;
    }
    if (current && !dropBytes && !current->Write(bytes)) {
      writeError = true;
      break;
    }
    bytesLeft -= n;
    if (monitor && bytesLeft > 0) {
      monitor->ReportProgress(*this, total, static_cast<int32_t>(uncompressed - bytesLeft), abort);
    }
  }

  // Every byte the headers promised came out; make sure nothing else would,
  // and that it all matches the CRC-32. The decompressing stream compares
  // the CRC only once it reaches the end of the deflate data, which asking
  // for exactly the entry's size need not do.
  bool damaged = false;
  if (!streamError && !abort && !writeError && !gotHeader && !headerTooLarge &&
      bytesLeft == 0 && produced == uncompressed) {
    if (inflater) {
      const std::string more = inflater->Read(1);
      const int32_t code = inflater->ErrorValue();
      if (code != 0 && code != 1) {
        errmsg = deflationError(code);
        streamError = true;
      } else if (!more.empty()) {
        damaged = true;
      }
    } else {
      damaged = storedCRC != crc;
    }
  }

  if (monitor) monitor->ReportProgress(*this, total, total, abort);
  if (rsrcOut && !rsrcOut->Close()) writeError = true;
  if (dataOut && !dataOut->Close()) writeError = true;

  if (streamError) return false;
  if (abort) {
    errmsg = kMsgAborted;
    return false;
  }
  if ((!writeError && produced != uncompressed && !gotHeader) || headerTooLarge || damaged) {
    errmsg = kMsgCorrupted;
    return false;
  }
  if (writeError) {
    errmsg = kMsgWriteError;
    return false;
  }
  return true;
}

// --- The public forms -------------------------------------------------------

bool ZipEntry::Extract(const std::optional<FolderItem>& destination) {
  return Extract(destination, true);
}

bool ZipEntry::Extract(const std::optional<FolderItem>& destination, bool macBinary) {
  if (!destination || destination->Path().empty()) {
    errmsg = kMsgNoDestination;
    return false;
  }
  bool written = false;
  try {
    return z_extractTo(*destination, macBinary, written);
  } catch (const std::exception&) {
    errmsg = kMsgInternal;
    // Whatever was written is incomplete.
    if (written) destination->Delete();
    return false;
  }
}

bool ZipEntry::z_extractTo(const FolderItem& dest, bool macBinary, bool& written) {
  if (isFolder) {
    if (!dest.Exists()) dest.CreateAsFolder();
    if (dest.Exists()) {
      if (dest.Directory()) return true;
      errmsg = kMsgFolderOverFile;
      return false;
    }
    errmsg = kMsgFolderCreation;
    return false;
  }

  // One look at the destination answers what the checks below ask; an
  // archive of many small files pays for every call to the file system.
  std::error_code ec;
  fs::file_status status = fs::symlink_status(dest.Path(), ec);
  if (fs::is_symlink(status) ? dest.Directory() : fs::is_directory(status)) {
    errmsg = kMsgFileOverFolder;
    return false;
  }
  // A link at the destination is replaced, never written through.
  if (fs::is_symlink(status)) {
    dest.Delete();
    status = fs::symlink_status(dest.Path(), ec);
    if (fs::exists(status) || fs::is_symlink(status)) {
      errmsg = kMsgAliasStays;
      return false;
    }
  }
  // A missing file is made by the data output when it opens, once the
  // entry's headers have passed their checks: an entry that fails them
  // leaves nothing behind, and the file is opened once, not twice.
  const bool existed = fs::exists(status);
  if (existed && dest.Locked()) {
    errmsg = kMsgLocked;
    return false;
  }

  MemoryBlockPtr macBinaryHeader;
  bool ok;
  {
    auto dataOut = std::make_shared<OpenedOutput>(std::make_shared<FileWriter>(dest), written);
    std::shared_ptr<RsrcForkWriter> rsrcOut;
    if (macBinary) rsrcOut = std::make_shared<RsrcForkWriter>(dest);
    ok = z_unzip(dataOut, rsrcOut, macBinary, isFolder, macBinaryHeader);
  }
  if (!ok) {
    if (!existed && errmsg == kMsgOpenData) errmsg = kMsgCreateFile;
    // A file that was there and was never opened is the user's, untouched:
    // an entry refused for its headers must not cost it.
    if (written) dest.Delete();
    written = false;
    return false;
  }

  if (std::optional<Date> time = Time()) dest.SetModificationDate(*time);
  FolderItem file = dest;
  std::string type, creator, name;
  if (macBinaryHeader) {
    ApplyMacBinaryInformation(file, macBinaryHeader);
  } else if (extra && extra->GetTypeCreatorName(type, creator, name)) {
    setTypeAndCreator(file, type, creator);
    z_adjustMacFilename(name, kNameIsUTF8, file);
  } else if (z_icMapFilename(file.Name(), type, creator)) {
    setTypeAndCreator(file, type, creator);
  }
  return true;
}

bool ZipEntry::Extract(bool macBinary, const SeqDataOutputStreamPtr& dataOut,
                       const SeqDataOutputStreamPtr& rsrcOut, MemoryBlockPtr& macBinaryHeader) {
  macBinaryHeader.reset();
  try {
    if (!dataOut && !rsrcOut && !macBinary) {
      // Nothing to write to and nothing to split: a caller's mistake.
      errmsg = kMsgInternal;
      return false;
    }
    return z_unzip(dataOut, rsrcOut, macBinary, isFolder, macBinaryHeader);
  } catch (const std::exception&) {
    errmsg = kMsgInternal;
    return false;
  }
}

bool ZipEntry::Verify() {
  try {
    MemoryBlockPtr unused;
    return z_unzip(nullptr, nullptr, false, false, unused);
  } catch (const std::exception&) {
    errmsg = kMsgInternal;
    return false;
  }
}

bool ZipEntry::GetMacBinaryHeader(MemoryBlockPtr& macBinaryHeader) {
  macBinaryHeader.reset();
  try {
    MemoryBlockPtr found;
    if (!z_unzip(nullptr, nullptr, true, true, found)) return false;
    errmsg.clear();
    macBinaryHeader = std::move(found);
    return macBinaryHeader != nullptr;
  } catch (const std::exception&) {
    errmsg = kMsgInternal;
    return false;
  }
}

// --- Destinations -----------------------------------------------------------

std::string ZipEntry::z_badComponent(const std::string& name) {
  if (name == "..") return kMsgLeavesBase;
  if (name.find('\0') != std::string::npos) return kMsgNulInName;
  if (name.size() > kMaxNameBytes) return kMsgNameTooLong;
  return std::string();
}

std::optional<FolderItem> ZipEntry::MakeDestination(const FolderItem& base,
                                                    bool followAliases) const {
  std::string problem;
  return MakeDestination(base, followAliases, problem);
}

std::optional<FolderItem> ZipEntry::MakeDestination(const FolderItem& base, bool followAliases,
                                                    std::string& problem) const {
  problem.clear();
  // With aliases followed, every step is checked against where the base
  // really is.
  fs::path realBase;
  if (followAliases) {
    std::error_code ec;
    realBase = fs::weakly_canonical(fs::absolute(base.Path()), ec);
    if (ec) {
      problem = kMsgFolderCreation;
      return std::nullopt;
    }
  }
  const std::vector<std::string> path = z_checkRawPath();
  // Refused before anything is made, so that a refused entry leaves nothing.
  for (const std::string& component : path) {
    problem = z_badComponent(component);
    if (!problem.empty()) return std::nullopt;
  }
  FolderItem current = base;
  bool atBase = true;
  for (const std::string& component : path) {
    if (component.empty()) continue;
    // One look at each folder on the way: whether it is there, a folder, or
    // a link. The base is the caller's choice, link or not; a link further
    // down is not, and following it could lead anywhere.
    std::error_code ec;
    fs::file_status status =
        atBase ? fs::status(current.Path(), ec) : fs::symlink_status(current.Path(), ec);
    if (fs::is_symlink(status)) {
      problem = kMsgThroughAlias;
      return std::nullopt;
    }
    if (!fs::exists(status)) {
      current.CreateAsFolder();
      status = fs::status(current.Path(), ec);
    }
    if (!fs::is_directory(status)) {
      problem = kMsgFolderCreation;
      return std::nullopt;
    }
    std::optional<FolderItem> next = z_childOf(current, component, followAliases);
    if (!next) {
      problem = kMsgFolderCreation;
      return std::nullopt;
    }
    if (followAliases) {
      auto real = fs::weakly_canonical(next->Path(), ec);
      if (ec || !isInside(real, realBase)) {
        problem = kMsgLeavesBase;
        return std::nullopt;
      }
    }
    current = std::move(*next);
    atBase = false;
  }
  return current;
}

std::optional<FolderItem> ZipEntry::MakeDestinationChild(const FolderItem& folder,
                                                         const std::string& name,
                                                         bool followAliases) const {
  try {
    if (!folder.Exists()) folder.CreateAsFolder();
    return z_childOf(folder, name, followAliases);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<FolderItem> ZipEntry::z_childOf(const FolderItem& folder, const std::string& name,
                                              bool followAliases) const {
  try {
    // Through the archive's encoding and back, so that a name comes out as a
    // stored one would. A name the archive's encoding can't hold (it comes
    // back unchanged, though not ASCII) keeps its own characters.
    std::string converted = z_encode(name);
    converted = converted == name ? name : z_decode(converted);
    if (converted.empty()) return folder;
    if (!z_badComponent(converted).empty()) return std::nullopt;
    FolderItem child = folder.Child(converted);
    return followAliases ? child.ResolvedAlias() : child;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool ZipEntry::z_icMapFilename(const std::string& name, std::string& type,
                               std::string& creator) const {
  std::optional<TypeCreator> codes = TypeCreatorTable::ForName(name);
  if (!codes) return false;
  type = codes->type;
  creator = codes->creator;
  return true;
}
