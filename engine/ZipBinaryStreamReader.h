#pragma once
// Feeds a deflated entry to Corvane's decompressing ZStream as one gzip
// member: a 10-byte member header from memory, the entry's stored bytes read
// straight from the archive stream, and an 8-byte trailer (CRC-32 and size)
// from memory. The stream checks the inflated bytes against that trailer, so
// the entry's CRC-32 is verified without the engine computing one.
//
// The archive stream must stand at the entry's first data byte when the
// reader is made, and nothing else may move it while the ZStream reads; the
// reader only reads forward from there and never closes it. One reader serves
// one extraction. It keeps no buffer of its own: it hands out exactly what the
// stream asks for, at most 16384 bytes a time.
//
// The end of the member shows as an empty Read with LastError -39 (the classic
// end-of-file code). An archive that ends before the stored bytes do gives
// short reads without an error code, so that the stream itself sees its input
// end too early and reports it.
#include <cstdint>
#include <string>

#include "platform/BinaryStream.h"
#include "platform/plugin/StreamInterfaces.h"

class ZipBinaryStreamReader : public IStreamReader {
 public:
  // `length` is the entry's compressed size. Byte counts are 64-bit so that
  // entries of 2 GB and more (sizes read as unsigned) are fed whole.
  ZipBinaryStreamReader(BinaryStreamPtr stream, int64_t length, std::string prefix,
                        std::string suffix);

  // The next `count` bytes of the member; fewer at its end. A count of 0 or
  // less returns nothing and changes nothing.
  std::string Read(int32_t count) override;
  // 0, -39 once a read found nothing left, -1 after a failure inside Read.
  int32_t LastError() override { return errCode; }
  int32_t ErrorValue() const { return errCode; }
  // Bytes of the member not yet handed out.
  int64_t Remaining() const { return leftToRead; }

 private:
  std::string fetch(int64_t count);

  BinaryStreamPtr theStream;
  int32_t errCode = 0;
  int64_t leftToRead = 0;
  std::string prefixStr;
  std::string suffixStr;
  int64_t prefixLen = 0;
  int64_t suffixLen = 0;
  int64_t streamLen = 0;
};
