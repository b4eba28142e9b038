#pragma once
// The interfaces through which Corvane's streams call back into the program.
//
// A compressing stream hands every byte it produces to an IStreamWriter; a
// decompressing stream pulls its input from an IStreamReader. Implement one in
// C++ and pass it to a ZStream (or ZStreamWriter / ZStreamReader) as a
// std::shared_ptr: the plug-in keeps its own reference for as long as the
// stream lives and drops it when the stream is destroyed.
//
// Nothing may throw across the plug-in boundary. An exception escaping one of
// these methods is caught there and shows as LastError() == -1 from then on.
#include <cstdint>
#include <string>
#include <string_view>

// Receives the bytes a compressing stream produces, in order: first the
// 10-byte gzip member header (in one piece), then the deflate data in pieces
// of at most 16384 bytes, then the CRC-32 and the length (4 bytes each).
class IStreamWriter {
 public:
  virtual ~IStreamWriter() = default;
  // `data` is valid during the call only.
  virtual void Write(std::string_view data) = 0;
  // Non-zero once bytes were lost; the stream then fails instead of finishing
  // a member with a hole in it.
  virtual int32_t LastError() = 0;
};

// Supplies a decompressing stream's input.
class IStreamReader {
 public:
  virtual ~IStreamReader() = default;
  // At most `count` bytes; the empty string at the end of the data.
  virtual std::string Read(int32_t count) = 0;
  // Asked after every Read. Only when a Read returned nothing does it matter:
  // then a value whose low 16 bits are non-zero is an input error. At the
  // end of the data a reader may report 0 or -39 (the classic end-of-file
  // code); where the input may end (after a complete gzip member) both are a
  // normal end, while inside a member any non-zero value is an input error.
  virtual int32_t LastError() = 0;
  // Answers EOF when the reader is used as an IBinaryStreamReader
  // (ZStreamReader); ZStream never asks.
  virtual bool Eof() { return false; }
};
