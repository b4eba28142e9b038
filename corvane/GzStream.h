#pragma once
// The stream engine: one gzip member (RFC 1952) written from bytes, or gzip
// data read back into bytes, over zlib's raw deflate and inflate.
//
// A stream works either on a file or on host objects: a writer object whose
// Write receives the produced bytes, a reader object whose Read and LastError
// supply the input. Which of the two I/O sets a stream uses is chosen once, at
// open; everything after goes through it.
//
// Codes are zlib's: 0 ok, 1 end of stream, -1 input/output error, -2 stream
// error, -3 data error, -4 memory error, -5 buffer error.
//
// Calling order: gz_open; then gzwrite/gzflush (write mode) or gzread/gzeof
// (read mode), and gzseek/gztell/gzrewind in either; gzclose exactly once,
// after which the record is gone. A stream is used by one thread at a time.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/plugin/PluginABI.h"

namespace corvane {

// Input is asked for, and output handed on, in pieces of at most this size.
constexpr int32_t Z_BUFSIZE = 16384;

struct gz_stream;

// The I/O set. write returns the count written; seek (from the start of the
// underlying data) returns 0 on success; read sets *count to what it delivered
// and returns a status, of which only the low 16 bits count, and only when
// nothing was delivered.
using WriteRoutine = int32_t (*)(gz_stream* s, const unsigned char* bytes, int32_t count);
using SeekRoutine = int32_t (*)(gz_stream* s, int64_t offset);
using ReadRoutine = int32_t (*)(gz_stream* s, unsigned char* buffer, int32_t* count);

using ObjectWriteProc = void (*)(REALobject self, REALstring data);
using ObjectReadProc = REALstring (*)(REALobject self, int32_t count);
using ObjectLastErrorProc = int32_t (*)(REALobject self);

// The state of one open stream, freed by gzclose (or by gz_open on failure).
struct gz_stream {
  // Deflate or inflate state, taken from the pool of reusable states; its
  // input and output counts are the stream's positions.
  z_stream* zs = nullptr;
  int32_t lastError = Z_OK;
  int32_t inputEnded = 0;
  // The reader broke its contract (handed out more than asked for); its
  // input is refused from then on.
  bool inputFailed = false;
  // The open file; none when the stream works on objects.
  std::FILE* refNum = nullptr;
  unsigned char* inBuffer = nullptr;
  unsigned char* outBuffer = nullptr;
  uint32_t crc = 0;
  std::string pathCopy;
  bool transparent = false;
  char mode = '\0';
  // Offset in the underlying data of the first deflate byte.
  int64_t startPos = 0;
  REALobject writerObject = nullptr;
  REALobject readerObject = nullptr;
  WriteRoutine writeRoutine = nullptr;
  SeekRoutine seekRoutine = nullptr;
  ReadRoutine readRoutine = nullptr;
  ObjectWriteProc writerWrite = nullptr;
  ObjectLastErrorProc writerLastError = nullptr;
  ObjectReadProc readerRead = nullptr;
  ObjectLastErrorProc readerLastError = nullptr;
  int64_t readerTotal = 0;

  // Deflate parameters, kept to give the state back to the right pool slot.
  int level = Z_DEFAULT_COMPRESSION;
  int strategy = Z_DEFAULT_STRATEGY;
  // The final flush reached the end of the deflate stream.
  bool finished = false;
  // Output count at the start of the member being read, for its length check.
  uLong memberStart = 0;
};

// Opens a stream. `path` and `mode` must be present (the path may be empty);
// `spec` names the file and is used only when no object is given for the
// direction. The interface names say through which host interface the
// objects' methods are found. None when the stream can't be opened.
gz_stream* gz_open(const char* path, const char* mode, const REALfileSpec* spec,
                   REALobject writer, REALobject reader, const char* readerInterface,
                   const char* writerInterface);

// Bytes placed in `buffer` (0 at the end), -1 after an input or data error,
// -2 when the stream is not open for reading.
int32_t gzread(gz_stream* s, void* buffer, uint32_t length);
// Bytes of `data` consumed, -2 when the stream is not open for writing.
int32_t gzwrite(gz_stream* s, const void* data, uint32_t length);
int32_t gzflush(gz_stream* s, int flush);
// Position in uncompressed bytes, or -1. whence 0: from the start; 1: from the
// current position; 2 is refused.
int32_t gzseek(gz_stream* s, int32_t offset, int whence);
int32_t gzrewind(gz_stream* s);
int32_t gztell(gz_stream* s);
int32_t gzeof(gz_stream* s);
int32_t gzclose(gz_stream* s);

}  // namespace corvane
