#include "streams/Helpers.h"

#include <zlib.h>

#include <algorithm>

#include "platform/Exceptions.h"

uint32_t CRC_32OfStrCont(std::string_view s, uint32_t prevCRC) {
  uLong crc = prevCRC;
  const auto* p = reinterpret_cast<const Bytef*>(s.data());
  size_t left = s.size();
  // zlib takes the length as uInt; feed very large strings in pieces.
  while (left > 0) {
    uInt n = static_cast<uInt>(std::min<size_t>(left, 1u << 30));
    crc = crc32(crc, p, n);
    p += n;
    left -= n;
  }
  return static_cast<uint32_t>(crc);
}

int32_t CRC_CCITTInMem(const void* address, int32_t length) {
  uint16_t crc = 0;
  const auto* p = static_cast<const uint8_t*>(address);
  for (int32_t i = 0; i < length; ++i) {
    crc ^= static_cast<uint16_t>(p[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<uint16_t>(crc << 1 ^ 0x1021) : static_cast<uint16_t>(crc << 1);
    }
  }
  return static_cast<int16_t>(crc);
}

uint16_t CRC_CCITT(const MemoryBlock& block, int32_t offset, int32_t numBytes) {
  if (numBytes < 0 || offset < 0 || offset > block.Size() || numBytes > block.Size() - offset) {
    throw OutOfBoundsException("CRC_CCITT range out of bounds");
  }
  return static_cast<uint16_t>(CRC_CCITTInMem(block.Address(offset), numBytes));
}

void CopyBytes(const MemoryBlock& src, int32_t srcOfs, int32_t numBytes, MemoryBlock& dest,
               int32_t destOfs) {
  // StringValue and SetStringValue check both ranges.
  dest.SetStringValue(destOfs, src.StringValue(srcOfs, numBytes));
}

uint32_t GetStringEncoding(const TaggedString& s) { return s.encoding; }

void SetStringEncoding(TaggedString& s, uint32_t encoding) { s.encoding = encoding; }
