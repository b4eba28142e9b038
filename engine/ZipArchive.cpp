#include "engine/ZipArchive.h"

#include "platform/Exceptions.h"
#include "streams/Helpers.h"

namespace {
const char kMsgNoFile[] = "No file specified";
const char kMsgCreateFailed[] = "Creating the archive file failed";
const char kMsgOpenFailed[] = "Opening the archive file failed";
}  // namespace

ZipArchive::ZipArchive() { z_setup(); }

ZipArchive::~ZipArchive() {
  // Nothing may escape a destructor; a directory that could not be written
  // counts as a failed close.
  const bool created = d->zipStream && justCreated;
  FolderItem file = d->theFile;
  bool closed = false;
  try {
    closed = Close();
  } catch (...) {
    closed = false;
  }
  if (created && !closed) file.Delete();
  // Entries hold d and d holds them: the list must not outlive the archive.
  d->entries_1.resize(1);
}

void ZipArchive::z_setup() {
  d = std::make_shared<ZipArchiveData>();
  d->copyChunkSize = 16384;
}

// --- Opening and closing ----------------------------------------------------

bool ZipArchive::Open(const FolderItem& file, bool writable) {
  return Open(file, writable, EncodedAsDOSLatinUS());
}

bool ZipArchive::Open(const FolderItem& file, bool writable,
                      std::optional<TextEncoding> encoding) {
  errmsg.clear();
  if (entriesRead) throw RuntimeException("ZipArchive::Open: the archive is already open");
  if (file.Path().empty()) {
    errmsg = kMsgNoFile;
    return false;
  }
  d->theFile = file;
  d->setArchiveEncoding(encoding);
  // Whatever a failed Open before this one left behind is gone now.
  d->entries_1.resize(1);
  comment_.clear();
  startOfDirInArchive = 0;
  liveEndRecordAt = -1;

  bool result = false;
  if (writable && !file.Exists()) {
    BinaryStreamPtr stream = file.CreateBinaryFile("application/zip");
    if (stream) {
      stream->SetLittleEndian(true);
      d->zipStream = stream;
      entriesRead = true;
      justCreated = true;
      result = true;
    } else {
      errmsg = kMsgCreateFailed;
    }
  } else {
    BinaryStreamPtr stream = file.OpenAsBinaryFile(writable);
    if (!stream) {
      errmsg = kMsgOpenFailed;
    } else {
      stream->SetLittleEndian(true);
      d->zipStream = stream;
      z_readDirectory();
      result = entriesRead;
      if (!result) {
        stream->Close();
        d->zipStream.reset();
        // The records read before the failing one can't be reached; drop
        // them now rather than keep them alive until the next Open.
        d->entries_1.resize(1);
      }
    }
  }
  writeMode = writable && result;
  // A writable archive gets its directory written again when closed; a
  // read-only one must not inherit a dirty flag from an earlier session.
  d->dirty = writeMode;
  return result;
}

bool ZipArchive::Close() {
  if (!d->zipStream) return true;
  bool written = false;
  try {
    written = z_writeDirectory();
  } catch (...) {
    // The archive is closed whatever happened; the caller still learns why.
    z_release();
    throw;
  }
  z_release();
  return written;
}

void ZipArchive::z_release() {
  d->zipStream->Close();
  d->zipStream.reset();
  d->entries_1.resize(1);
  entriesRead = false;
  liveEndRecordAt = -1;
  justCreated = false;
  marked = false;
  dirSizeCache = -1;
  d->forgetEntryOffsets();
  unwrittenFrom = -1;
  entriesLost = false;
  // Entries handed out keep this state object and see it closed for good; a
  // later Open of this archive object works on a state object of its own.
  if (d.use_count() > 1) d = std::make_shared<ZipArchiveData>(*d);
}

// --- State ------------------------------------------------------------------

int32_t ZipArchive::EntryCount() const {
  if (!entriesRead) throw RuntimeException("ZipArchive::EntryCount: the archive is not open");
  return static_cast<int32_t>(d->entries_1.size() - 1);
}

ZipEntryPtr ZipArchive::Entry(int32_t index) const {
  if (!entriesRead) throw RuntimeException("ZipArchive::Entry: the archive is not open");
  if (index < 1 || index > EntryCount()) {
    throw OutOfBoundsException("ZipArchive::Entry: index " + std::to_string(index) +
                               " out of range");
  }
  return d->entries_1[static_cast<size_t>(index)];
}

// --- Encodings --------------------------------------------------------------

TextEncoding ZipArchive::EncodedAsDOSLatinUS() { return GetTextEncoding(0x0400, 0, 0); }

TextEncoding ZipArchive::EncodedAsWinLatin1() { return GetTextEncoding(0x0500, 0, 0); }

TextEncoding ZipArchive::EncodedAsUnicode() { return GetTextEncoding(0x0100, 0, 2); }

TextEncoding ZipArchive::EncodedAsMacDefault() {
  return GetFontTextEncoding("System").value_or(GetTextEncoding(0, 0, 0));
}

// --- Names and extra fields -------------------------------------------------

TaggedString ZipArchive::CleanName(const TaggedString& s) const {
  TaggedString cleaned{d->cleanName(s.bytes)};
  SetStringEncoding(cleaned, GetStringEncoding(s));
  return cleaned;
}

std::string ZipArchive::CleanName(const std::string& s) const { return d->cleanName(s); }

bool ZipArchive::IsValidName(const std::string& s) const { return s == d->cleanName(s); }

ZipExtraFieldPtr ZipArchive::MakeZipExtraField(std::string_view bytes) const {
  return std::make_shared<ZipExtraField>(d, bytes);
}
