#include "engine/ZipBinaryStreamWriter.h"

#include "streams/Helpers.h"

ZipBinaryStreamWriter::ZipBinaryStreamWriter(BinaryStreamPtr binstream_,
                                             int32_t discardLeadingBytes_)
    : binstream(std::move(binstream_)), discardLeadingBytes(discardLeadingBytes_) {}

void ZipBinaryStreamWriter::Write(std::string_view data) {
  const auto n = static_cast<int32_t>(data.size());
  if (calcCRC) {
    crc_ = static_cast<int32_t>(CRC_32OfStrCont(data, static_cast<uint32_t>(crc_)));
  }
  if (discardLeadingBytes <= 0) {
    binstream->Write(data);
    written += n;
  } else if (n < discardLeadingBytes) {
    discardLeadingBytes -= n;
  } else {
    binstream->Write(data.substr(static_cast<size_t>(discardLeadingBytes)));
    written += n - discardLeadingBytes;
    discardLeadingBytes = 0;
  }
}
