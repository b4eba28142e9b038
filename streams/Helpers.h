#pragma once
// Checksum, byte-copy and string-tag routines that the engine and the streams
// share. All stateless.
#include <cstdint>
#include <string_view>

#include "platform/MemoryBlock.h"
#include "platform/TextEncoding.h"

// ZIP's CRC-32 (zlib's crc32) of the bytes covered by `prevCRC` followed by
// `s`. Start from 0 and feed each chunk in order.
uint32_t CRC_32OfStrCont(std::string_view s, uint32_t prevCRC);

// CRC-CCITT as MacBinary II prescribes it (polynomial 0x1021, start 0, most
// significant bit first, no final inversion) over `length` bytes at `address`.
// The 16-bit result comes back sign-extended: values of 0x8000 and more are
// negative, and callers add 0x10000 before comparing.
int32_t CRC_CCITTInMem(const void* address, int32_t length);

// The same CRC over `numBytes` bytes of `block` from `offset` (bounds-checked).
uint16_t CRC_CCITT(const MemoryBlock& block, int32_t offset, int32_t numBytes);

// Copies `numBytes` bytes of `src` at `srcOfs` into `dest` at `destOfs`; both
// ranges are bounds-checked.
void CopyBytes(const MemoryBlock& src, int32_t srcOfs, int32_t numBytes, MemoryBlock& dest,
               int32_t destOfs);

// The encoding tag a string carries, and setting it without touching the bytes.
uint32_t GetStringEncoding(const TaggedString& s);
void SetStringEncoding(TaggedString& s, uint32_t encoding);
