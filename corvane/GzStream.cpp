#include "corvane/GzStream.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>

#include "corvane/HostRoutines.h"
#include "corvane/ZlibStatePool.h"

namespace corvane {
namespace {

constexpr unsigned char kGzipMagic[2] = {0x1F, 0x8B};
// Identification, deflate, no flags, no time, no extra flags, Macintosh.
constexpr unsigned char kMemberHeader[10] = {0x1F, 0x8B, 0x08, 0x00, 0x00,
                                             0x00, 0x00, 0x00, 0x00, 0x07};
constexpr int kHeadCrc = 0x02;
constexpr int kExtraField = 0x04;
constexpr int kOrigName = 0x08;
constexpr int kComment = 0x10;
constexpr int kReserved = 0xE0;
constexpr int kEndOfInput = -1;
// Mode letters beyond this many are not looked at.
constexpr int kModeScanLimit = 80;

// The file set reports the classic File Manager's result codes, which the
// engine's callers know.
constexpr int32_t kNoErr = 0;
constexpr int32_t kIoErr = -36;
constexpr int32_t kEofErr = -39;
constexpr int32_t kPosErr = -40;

bool ReadFailed(int32_t status) { return static_cast<int16_t>(status) != 0; }

// Where the input may end (before a member), a reader that calls its end
// "end of file" has ended normally; any other failure code is still one.
bool FailedAtEnd(int32_t status) { return ReadFailed(status) && static_cast<int16_t>(status) != kEofErr; }

int32_t ClampPosition(uLong position) {
  return position > static_cast<uLong>(std::numeric_limits<int32_t>::max())
             ? std::numeric_limits<int32_t>::max()
             : static_cast<int32_t>(position);
}

// ---- The file set --------------------------------------------------------

int32_t FileWrite(gz_stream* s, const unsigned char* bytes, int32_t count) {
  return static_cast<int32_t>(std::fwrite(bytes, 1, static_cast<size_t>(count), s->refNum));
}

int32_t FileSeek(gz_stream* s, int64_t offset) {
  if (offset > std::numeric_limits<long>::max()) return kPosErr;
  return std::fseek(s->refNum, static_cast<long>(offset), SEEK_SET) == 0 ? kNoErr : kPosErr;
}

int32_t FileRead(gz_stream* s, unsigned char* buffer, int32_t* count) {
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(*count), s->refNum);
  *count = static_cast<int32_t>(got);
  if (got > 0) return kNoErr;
  return std::ferror(s->refNum) ? kIoErr : kEofErr;
}

// ---- The object set ------------------------------------------------------

int32_t FileWriteInterface(gz_stream* s, const unsigned char* bytes, int32_t count) {
  REALstring data = BuildString(bytes, count);
  if (!data) return 0;
  s->writerWrite(s->writerObject, data);
  UnlockString(data);
  // A writer that says it failed has lost these bytes; counting them as
  // written would let the stream finish a member with a hole in it.
  if (s->writerLastError(s->writerObject) != 0) return 0;
  return count;
}

int32_t FileSeekInterface(gz_stream*, int64_t) { return -1; }

int32_t FileReadInterface(gz_stream* s, unsigned char* buffer, int32_t* count) {
  const int32_t wanted = *count;
  REALstring data = s->readerRead(s->readerObject, wanted);
  const int32_t status = s->readerLastError(s->readerObject);
  const int32_t got = data ? data->length : 0;
  if (got < 0 || got > wanted) {
    // More than was asked for does not fit the buffer; such a reader's input
    // can't be trusted at all.
    UnlockString(data);
    *count = 0;
    s->inputFailed = true;
    s->lastError = Z_ERRNO;
    return -1;
  }
  if (got > 0) std::memcpy(buffer, data->bytes, static_cast<size_t>(got));
  UnlockString(data);
  s->readerTotal += got;
  *count = got;
  return status;
}

// ---- Helpers -------------------------------------------------------------

int32_t destroy(gz_stream* s) {
  int32_t err = Z_OK;
  if (s->zs) {
    err = s->mode == 'w' ? GiveBackDeflateState(s->zs, s->level, s->strategy, s->finished)
                         : GiveBackInflateState(s->zs);
  }
  if (s->refNum && std::fclose(s->refNum) != 0) err = kIoErr;
  std::free(s->inBuffer);
  std::free(s->outBuffer);
  UnlockObject(s->writerObject);
  UnlockObject(s->readerObject);
  if (s->lastError < 0) err = s->lastError;
  delete s;
  return err;
}

int get_byte(gz_stream* s) {
  if (s->inputEnded) return kEndOfInput;
  z_stream* zs = s->zs;
  if (zs->avail_in == 0) {
    int32_t count = Z_BUFSIZE;
    const int32_t status = s->readRoutine(s, s->inBuffer, &count);
    if (count <= 0) {
      s->inputEnded = 1;
      if (ReadFailed(status)) s->lastError = Z_ERRNO;
      return kEndOfInput;
    }
    zs->next_in = s->inBuffer;
    zs->avail_in = static_cast<uInt>(count);
  }
  zs->avail_in--;
  return *zs->next_in++;
}

uint32_t getLong(gz_stream* s) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const int c = get_byte(s);
    if (c == kEndOfInput) {
      s->lastError = Z_DATA_ERROR;
      return value;
    }
    value |= static_cast<uint32_t>(c) << (8 * i);
  }
  return value;
}

void putLong(gz_stream* s, uint32_t value) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(value),
                                  static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value >> 16),
                                  static_cast<unsigned char>(value >> 24)};
  if (s->writeRoutine(s, bytes, 4) != 4) s->lastError = Z_ERRNO;
}

// Recognises a member header and skips it. At the start of the input,
// anything that is not a gzip member is passed through unchanged; after a
// member, it is a data error.
void check_header(gz_stream* s, bool firstMember) {
  z_stream* zs = s->zs;
  // The two identification bytes are looked at before they are taken, so
  // that input which is no gzip member can be handed back exactly as it came,
  // even when the reader delivers it a byte at a time.
  while (zs->avail_in < 2 && !s->inputEnded) {
    if (zs->avail_in == 1) s->inBuffer[0] = zs->next_in[0];
    zs->next_in = s->inBuffer;
    int32_t count = Z_BUFSIZE - static_cast<int32_t>(zs->avail_in);
    const int32_t status = s->readRoutine(s, s->inBuffer + zs->avail_in, &count);
    if (count <= 0) {
      s->inputEnded = 1;
      if (FailedAtEnd(status)) s->inputFailed = true;
      break;
    }
    zs->avail_in += static_cast<uInt>(count);
  }
  if (zs->avail_in == 0 || s->inputFailed) {
    // The end where a member could start is the normal end of the input.
    s->lastError = s->inputFailed ? Z_ERRNO : Z_STREAM_END;
    return;
  }
  if (zs->avail_in < 2 || zs->next_in[0] != kGzipMagic[0] || zs->next_in[1] != kGzipMagic[1]) {
    if (firstMember) {
      s->transparent = true;
      s->lastError = Z_OK;
    } else {
      s->lastError = Z_DATA_ERROR;
    }
    return;
  }
  zs->next_in += 2;
  zs->avail_in -= 2;

  const int method = get_byte(s);
  const int flags = get_byte(s);
  if (method != Z_DEFLATED || (flags & kReserved) != 0) {
    s->lastError = Z_DATA_ERROR;
    return;
  }
  for (int i = 0; i < 6; ++i) get_byte(s);  // time, extra flags, system
  if (flags & kExtraField) {
    const int low = get_byte(s);
    const int high = get_byte(s);
    if (low != kEndOfInput && high != kEndOfInput) {
      for (int length = low | high << 8; length > 0 && get_byte(s) != kEndOfInput; --length) {
      }
    }
  }
  if (flags & kOrigName) {
    for (int c = get_byte(s); c != 0 && c != kEndOfInput; c = get_byte(s)) {
    }
  }
  if (flags & kComment) {
    for (int c = get_byte(s); c != 0 && c != kEndOfInput; c = get_byte(s)) {
    }
  }
  if (flags & kHeadCrc) {
    get_byte(s);
    get_byte(s);
  }
  s->lastError = s->inputEnded ? Z_DATA_ERROR : Z_OK;
}

int32_t do_flush(gz_stream* s, int flush) {
  if (!s || s->mode != 'w') return Z_STREAM_ERROR;
  // Once output was lost the member can't be completed; finishing it anyway
  // would give it a trailer that vouches for data it doesn't hold.
  if (s->lastError < 0 && s->lastError != Z_BUF_ERROR) return s->lastError;
  z_stream* zs = s->zs;
  zs->avail_in = 0;
  bool done = false;
  for (;;) {
    const uInt pending = static_cast<uInt>(Z_BUFSIZE) - zs->avail_out;
    if (pending != 0) {
      if (s->writeRoutine(s, s->outBuffer, static_cast<int32_t>(pending)) !=
          static_cast<int32_t>(pending)) {
        s->lastError = Z_ERRNO;
        return Z_ERRNO;
      }
      zs->next_out = s->outBuffer;
      zs->avail_out = Z_BUFSIZE;
    }
    if (done) break;
    s->lastError = deflate(zs, flush);
    // A second flush in a row has nothing to do, which zlib calls a buffer
    // error.
    if (pending == 0 && s->lastError == Z_BUF_ERROR) s->lastError = Z_OK;
    // Flushing is over only when deflate left room in the buffer.
    done = zs->avail_out != 0 || s->lastError == Z_STREAM_END;
    if (s->lastError != Z_OK && s->lastError != Z_STREAM_END) break;
  }
  if (s->lastError == Z_STREAM_END) s->finished = true;
  return s->lastError == Z_STREAM_END ? Z_OK : s->lastError;
}

}  // namespace

gz_stream* gz_open(const char* path, const char* mode, const REALfileSpec* spec,
                   REALobject writer, REALobject reader, const char* readerInterface,
                   const char* writerInterface) {
  if (!path || !mode) return nullptr;
  auto* s = new (std::nothrow) gz_stream;
  if (!s) return nullptr;
  try {
    s->pathCopy = path;
  } catch (const std::bad_alloc&) {
    destroy(s);
    return nullptr;
  }
  s->crc = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));

  int scanned = 0;
  for (const char* p = mode; *p && scanned < kModeScanLimit; ++p) {
    const char c = *p;
    if (c == 'r') s->mode = 'r';
    if (c == 'w' || c == 'a') s->mode = 'w';
    if (c >= '0' && c <= '9') {
      s->level = c - '0';
    } else if (c == 'f') {
      s->strategy = Z_FILTERED;
    } else if (c == 'h') {
      s->strategy = Z_HUFFMAN_ONLY;
    } else {
      ++scanned;
    }
  }
  if (s->mode == '\0') {
    destroy(s);
    return nullptr;
  }

  int result = Z_OK;
  if (s->mode == 'w') {
    s->zs = TakeDeflateState(s->level, s->strategy, &result);
    s->outBuffer = static_cast<unsigned char*>(std::malloc(Z_BUFSIZE));
    if (!s->zs || !s->outBuffer) {
      destroy(s);
      return nullptr;
    }
    s->zs->next_out = s->outBuffer;
  } else {
    s->inBuffer = static_cast<unsigned char*>(std::malloc(Z_BUFSIZE));
    s->zs = TakeInflateState(&result);
    if (!s->zs || !s->inBuffer) {
      destroy(s);
      return nullptr;
    }
    s->zs->next_in = s->inBuffer;
    s->zs->avail_in = 0;
  }
  s->zs->avail_out = Z_BUFSIZE;

  const bool useFile = s->mode == 'w' ? !writer : !reader;
  if (useFile) {
    if (!spec || spec->path[0] == '\0') {
      destroy(s);
      return nullptr;
    }
    std::error_code ec;
    const auto status = std::filesystem::status(spec->path, ec);
    if (s->mode == 'w') {
      // A new member replaces the whole file: bytes of an older, longer file
      // left behind it would read as a corrupt second member.
      if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        destroy(s);
        return nullptr;
      }
      s->refNum = std::fopen(spec->path, "wb");
    } else if (!ec && std::filesystem::is_regular_file(status)) {
      s->refNum = std::fopen(spec->path, "rb");
    }
    if (!s->refNum) {
      destroy(s);
      return nullptr;
    }
    s->writeRoutine = FileWrite;
    s->seekRoutine = FileSeek;
    s->readRoutine = FileRead;
  } else {
    // A routine the object doesn't have is never called: the stream doesn't
    // open instead.
    if (s->mode == 'w') {
      s->writerWrite =
          reinterpret_cast<ObjectWriteProc>(REALInterfaceRoutine(writer, writerInterface, "Write"));
      s->writerLastError = reinterpret_cast<ObjectLastErrorProc>(
          REALInterfaceRoutine(writer, writerInterface, "LastError"));
      if (!s->writerWrite || !s->writerLastError) {
        destroy(s);
        return nullptr;
      }
      LockObject(writer);
      s->writerObject = writer;
    } else {
      s->readerTotal = 0;
      s->readerRead =
          reinterpret_cast<ObjectReadProc>(REALInterfaceRoutine(reader, readerInterface, "Read"));
      s->readerLastError = reinterpret_cast<ObjectLastErrorProc>(
          REALInterfaceRoutine(reader, readerInterface, "LastError"));
      if (!s->readerRead || !s->readerLastError) {
        destroy(s);
        return nullptr;
      }
      LockObject(reader);
      s->readerObject = reader;
    }
    s->writeRoutine = FileWriteInterface;
    s->seekRoutine = FileSeekInterface;
    s->readRoutine = FileReadInterface;
  }

  if (s->mode == 'w') {
    // The header goes out at once and in one piece: the archive engine's
    // writer drops exactly these first ten bytes.
    if (s->writeRoutine(s, kMemberHeader, sizeof kMemberHeader) !=
        static_cast<int32_t>(sizeof kMemberHeader)) {
      s->lastError = Z_ERRNO;
    }
    s->startPos = sizeof kMemberHeader;
  } else {
    check_header(s, true);
    const int64_t mark = s->refNum ? static_cast<int64_t>(std::ftell(s->refNum)) : s->readerTotal;
    s->startPos = mark - static_cast<int64_t>(s->zs->avail_in);
  }
  return s;
}

int32_t gzread(gz_stream* s, void* buffer, uint32_t length) {
  if (!s || s->mode != 'r') return Z_STREAM_ERROR;
  if (s->lastError == Z_DATA_ERROR || s->lastError == Z_ERRNO) return -1;
  if (s->lastError == Z_STREAM_END) return 0;
  length = std::min<uint32_t>(length, std::numeric_limits<int32_t>::max());

  z_stream* zs = s->zs;
  auto* start = static_cast<unsigned char*>(buffer);
  zs->next_out = start;
  zs->avail_out = length;

  if (s->transparent) {
    const uInt buffered = std::min(zs->avail_in, zs->avail_out);
    if (buffered > 0) {
      std::memcpy(zs->next_out, zs->next_in, buffered);
      zs->next_out += buffered;
      zs->next_in += buffered;
      zs->avail_out -= buffered;
      zs->avail_in -= buffered;
    }
    if (zs->avail_out > 0) {
      int32_t count = static_cast<int32_t>(zs->avail_out);
      s->readRoutine(s, zs->next_out, &count);
      if (count > 0) {
        zs->next_out += count;
        zs->avail_out -= static_cast<uInt>(count);
      }
    }
    const uint32_t delivered = length - zs->avail_out;
    zs->total_in += delivered;
    zs->total_out += delivered;
    if (delivered == 0) s->inputEnded = 1;
    return static_cast<int32_t>(delivered);
  }

  while (zs->avail_out != 0) {
    if (zs->avail_in == 0 && !s->inputEnded) {
      int32_t count = Z_BUFSIZE;
      const int32_t status = s->readRoutine(s, s->inBuffer, &count);
      zs->next_in = s->inBuffer;
      zs->avail_in = count > 0 ? static_cast<uInt>(count) : 0;
      if (count <= 0) {
        s->inputEnded = 1;
        if (ReadFailed(status)) {
          s->lastError = Z_ERRNO;
          break;
        }
      }
    }
    s->lastError = inflate(zs, Z_NO_FLUSH);

    if (s->lastError == Z_STREAM_END) {
      s->crc = static_cast<uint32_t>(
          crc32(s->crc, start, static_cast<uInt>(zs->next_out - start)));
      start = zs->next_out;
      const uint32_t storedCrc = getLong(s);
      if (s->lastError != Z_STREAM_END || storedCrc != s->crc) {
        s->lastError = Z_DATA_ERROR;
      } else {
        // The length is checked as well: a trailer that ends early, or
        // that disagrees with what was inflated, means the member is not
        // what its writer made.
        const uint32_t storedLength = getLong(s);
        if (s->lastError != Z_STREAM_END ||
            storedLength != static_cast<uint32_t>(zs->total_out - s->memberStart)) {
          s->lastError = Z_DATA_ERROR;
        } else {
          check_header(s, false);
          if (s->lastError == Z_OK) {
            // Concatenated members read as one stream.
            const uLong totalIn = zs->total_in;
            const uLong totalOut = zs->total_out;
            inflateReset(zs);
            zs->total_in = totalIn;
            zs->total_out = totalOut;
            s->crc = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
            s->memberStart = totalOut;
          }
        }
      }
    }
    if (s->lastError != Z_OK || s->inputEnded) break;
  }
  s->crc = static_cast<uint32_t>(crc32(s->crc, start, static_cast<uInt>(zs->next_out - start)));
  return static_cast<int32_t>(length - zs->avail_out);
}

int32_t gzwrite(gz_stream* s, const void* data, uint32_t length) {
  if (!s || s->mode != 'w') return Z_STREAM_ERROR;
  // After lost output nothing more is taken (see do_flush).
  if (s->lastError < 0 && s->lastError != Z_BUF_ERROR) return 0;
  length = std::min<uint32_t>(length, std::numeric_limits<int32_t>::max());

  z_stream* zs = s->zs;
  zs->next_in = static_cast<Bytef*>(const_cast<void*>(data));
  zs->avail_in = length;
  while (zs->avail_in != 0) {
    if (zs->avail_out == 0) {
      if (s->writeRoutine(s, s->outBuffer, Z_BUFSIZE) != Z_BUFSIZE) {
        s->lastError = Z_ERRNO;
        break;
      }
      zs->next_out = s->outBuffer;
      zs->avail_out = Z_BUFSIZE;
    }
    s->lastError = deflate(zs, Z_NO_FLUSH);
    if (s->lastError != Z_OK) break;
  }
  // Only what deflate took belongs in the trailer's checksum.
  const uint32_t consumed = length - zs->avail_in;
  s->crc = static_cast<uint32_t>(crc32(s->crc, static_cast<const Bytef*>(data), consumed));
  return static_cast<int32_t>(consumed);
}

int32_t gzflush(gz_stream* s, int flush) {
  const int32_t err = do_flush(s, flush);
  if (err != Z_OK) return err;
  return s->lastError == Z_STREAM_END ? Z_OK : s->lastError;
}

int32_t gzseek(gz_stream* s, int32_t offset, int whence) {
  if (!s || (whence != 0 && whence != 1)) return -1;
  if (s->lastError == Z_ERRNO || s->lastError == Z_DATA_ERROR) return -1;
  z_stream* zs = s->zs;
  int64_t target = offset;

  if (s->mode == 'w') {
    if (whence == 0) target -= static_cast<int64_t>(zs->total_in);
    if (target < 0) return -1;
    if (!s->inBuffer) {
      s->inBuffer = static_cast<unsigned char*>(std::calloc(Z_BUFSIZE, 1));
      if (!s->inBuffer) return -1;
    }
    // Forward in write mode means zeros in the data.
    while (target > 0) {
      const auto piece = static_cast<uint32_t>(std::min<int64_t>(target, Z_BUFSIZE));
      const int32_t taken = gzwrite(s, s->inBuffer, piece);
      if (taken <= 0) return -1;
      target -= taken;
    }
    return ClampPosition(zs->total_in);
  }

  if (whence == 1) target += static_cast<int64_t>(zs->total_out);
  if (target < 0) return -1;

  if (s->transparent) {
    // Staying put needs no repositioning, which objects can't do.
    if (target == static_cast<int64_t>(zs->total_out)) return ClampPosition(zs->total_out);
    // The buffered input is dropped only once the source has moved: a
    // source that can't seek keeps the stream as it was.
    if (s->seekRoutine(s, target) != 0) return -1;
    zs->avail_in = 0;
    zs->next_in = s->inBuffer;
    s->inputEnded = 0;
    zs->total_in = zs->total_out = static_cast<uLong>(target);
    return ClampPosition(zs->total_out);
  }

  if (target >= static_cast<int64_t>(zs->total_out)) {
    target -= static_cast<int64_t>(zs->total_out);
  } else if (gzrewind(s) < 0) {
    return -1;
  }
  if (target > 0 && !s->outBuffer) {
    s->outBuffer = static_cast<unsigned char*>(std::malloc(Z_BUFSIZE));
    if (!s->outBuffer) return -1;
  }
  while (target > 0) {
    const auto piece = static_cast<uint32_t>(std::min<int64_t>(target, Z_BUFSIZE));
    const int32_t got = gzread(s, s->outBuffer, piece);
    if (got <= 0) return -1;
    target -= got;
  }
  return ClampPosition(zs->total_out);
}

int32_t gzrewind(gz_stream* s) {
  if (!s || s->mode != 'r') return -1;
  // Repositioning comes first: a source that can't go back (a reader object)
  // leaves the stream untouched rather than half reset.
  if (s->seekRoutine(s, s->startPos) != 0) return -1;
  z_stream* zs = s->zs;
  s->lastError = Z_OK;
  s->inputEnded = 0;
  zs->avail_in = 0;
  zs->next_in = s->inBuffer;
  s->crc = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
  inflateReset(zs);
  s->memberStart = 0;
  if (s->startPos == 0) {
    // No member header was taken at open (plain or empty input): look again,
    // as at open.
    s->transparent = false;
    check_header(s, true);
  }
  return 0;
}

int32_t gztell(gz_stream* s) { return gzseek(s, 0, 1); }

int32_t gzeof(gz_stream* s) { return s && s->mode == 'r' ? s->inputEnded : 0; }

int32_t gzclose(gz_stream* s) {
  if (!s) return Z_STREAM_ERROR;
  if (s->mode == 'w') {
    if (do_flush(s, Z_FINISH) != Z_OK) return destroy(s);
    putLong(s, s->crc);
    putLong(s, static_cast<uint32_t>(s->zs->total_in));
  }
  return destroy(s);
}

}  // namespace corvane
