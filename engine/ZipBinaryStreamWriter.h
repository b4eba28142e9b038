#pragma once
// The writer a compressing ZStream gets when an entry is added: it turns the
// gzip member the stream produces into the raw deflate data a ZIP entry holds.
//
// The first `discardLeadingBytes` bytes it receives (the 10-byte gzip header)
// are dropped; everything after them goes straight into the archive stream at
// its current position: the deflate data, then the 8-byte gzip trailer
// (CRC-32 and length, little-endian). The adding code reads the CRC-32 back
// from that trailer and lets the next record overwrite it.
//
// The writer holds the archive stream but never moves or closes it; the
// stream belongs to the archive. Write failures are not seen here: the adding
// code compares where the stream ends with what BytesWritten predicts and
// asks the stream whether a write failed.
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/BinaryStream.h"
#include "platform/plugin/StreamInterfaces.h"

class ZipBinaryStreamWriter : public IStreamWriter {
 public:
  ZipBinaryStreamWriter(BinaryStreamPtr binstream, int32_t discardLeadingBytes);

  // Called by the compressing stream only.
  void Write(std::string_view data) override;
  // Always 0.
  int32_t LastError() override { return 0; }
  int32_t ErrorValue() { return LastError(); }
  // Nothing to do: the archive stream stays open.
  void Close() {}
  // Bytes that reached the archive stream (dropped ones not counted).
  int32_t BytesWritten() const { return written; }
  // From now on CRC() follows every byte received, dropped ones included.
  void EnableCRCCalculation() { calcCRC = true; }
  int32_t CRC() const { return crc_; }

 private:
  BinaryStreamPtr binstream;
  int32_t discardLeadingBytes;
  int32_t written = 0;
  int32_t crc_ = 0;
  bool calcCRC = false;
};

using ZipBinaryStreamWriterPtr = std::shared_ptr<ZipBinaryStreamWriter>;
