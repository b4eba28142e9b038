#pragma once
// The MacBinary header as the engine writes and recognises it: 128 bytes,
// big-endian, in the MacBinary III layout. Kept in one place so that the
// header maker, the recogniser, the extraction split and the tests agree on
// every offset.
#include <cstdint>

namespace macbinary {

inline constexpr int kHeaderSize = 128;
// Forks follow the header, each padded with zeros to a multiple of this.
inline constexpr int kBlockSize = 128;

inline constexpr int kOldVersion = 0;       // must be 0
inline constexpr int kNameLength = 1;       // 1..63 (1..31 for MacBinary I)
inline constexpr int kName = 2;             // 63 bytes
inline constexpr int kMaxNameLength = 63;
inline constexpr int kMaxNameLengthMB1 = 31;
inline constexpr int kFileType = 65;
inline constexpr int kFileCreator = 69;
inline constexpr int kFlagsHigh = 73;       // Finder flags, bits 8-15
inline constexpr int kProtected = 81;       // non-zero: the file is locked
inline constexpr int kZero82 = 82;          // must be 0
inline constexpr int kDataForkLength = 83;
inline constexpr int kRsrcForkLength = 87;
inline constexpr int kCreationDate = 91;    // unsigned seconds since 1904
inline constexpr int kModificationDate = 95;
inline constexpr int kFlagsLow = 101;       // Finder flags, bits 0-7
inline constexpr int kSignature = 102;      // "mBIN" marks MacBinary III
inline constexpr int kScript = 106;         // script of the name; bit 7: valid
inline constexpr int kWriterVersion = 122;
inline constexpr int kMinReaderVersion = 123;
inline constexpr int kCRC = 124;            // CRC-CCITT of bytes 0..123
inline constexpr int kCRCCoverage = 124;
inline constexpr int kReserved = 126;       // must be 0

inline constexpr uint32_t kSignatureValue = 0x6D42494E;  // "mBIN"
inline constexpr uint8_t kVersionMB2 = 129;
inline constexpr uint8_t kVersionMB3 = 130;

// Levels that ZipEntry::z_MBHdrLevel answers.
inline constexpr int32_t kNotMacBinary = 0;
inline constexpr int32_t kLevelMB1 = 1;
inline constexpr int32_t kLevelMB2 = 2;
inline constexpr int32_t kLevelMB3 = 3;
// The MacBinary III signature with a reader version above what we know.
inline constexpr int32_t kLevelNewer = 4;

// Finder flags the header never carries back onto a file: the Finder sets
// kHasBeenInited itself, and a locked name would stop the renaming that
// extraction may need.
inline constexpr uint8_t kWrittenHighFlagsMask = 0xFE;  // without kHasBeenInited
inline constexpr uint8_t kRestoredHighFlagsMask = 0xEE;  // without kHasBeenInited, kNameLocked
inline constexpr uint8_t kInvisibleHighFlag = 0x40;      // kIsInvisible >> 8

// A script byte with bit 7 set names a Macintosh text encoding in its low
// seven bits; otherwise the system's encoding applies.
inline constexpr int32_t kScriptValidBit = 0x80;

// The total length of a file in MacBinary form (header and padded forks).
inline constexpr int64_t PaddedLength(int64_t length) {
  return (length + kBlockSize - 1) / kBlockSize * kBlockSize;
}
inline constexpr int64_t StreamLength(int64_t dataLength, int64_t rsrcLength) {
  return kHeaderSize + PaddedLength(dataLength) + PaddedLength(rsrcLength);
}

}  // namespace macbinary
