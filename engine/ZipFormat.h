#pragma once
// Signatures, record offsets and flag bits of the ZIP records the engine reads
// and writes. Every multi-byte field is little-endian. Kept in one place so that
// the directory reader, the entry accessors and the writers agree on every
// offset.
#include <cstdint>

namespace zipformat {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
inline constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
inline constexpr uint32_t kEndOfDirSignature = 0x06054B50;

// Local file header: 30 bytes, then name and extra field.
namespace local {
inline constexpr int kSize = 30;
inline constexpr int kVersionNeeded = 4;
inline constexpr int kFlags = 6;
inline constexpr int kMethod = 8;
inline constexpr int kTime = 10;
inline constexpr int kDate = 12;
inline constexpr int kCRC = 14;
inline constexpr int kCompressedSize = 18;
inline constexpr int kUncompressedSize = 22;
inline constexpr int kNameLength = 26;
inline constexpr int kExtraLength = 28;
}  // namespace local

// Central directory record: 46 bytes, then name, extra field and comment.
namespace central {
inline constexpr int kSize = 46;
inline constexpr int kVersionMadeBy = 4;
inline constexpr int kHostSystem = 5;
inline constexpr int kVersionNeeded = 6;
inline constexpr int kFlags = 8;
inline constexpr int kMethod = 10;
inline constexpr int kTime = 12;
inline constexpr int kDate = 14;
inline constexpr int kCRC = 16;
inline constexpr int kCompressedSize = 20;
inline constexpr int kUncompressedSize = 24;
inline constexpr int kNameLength = 28;
inline constexpr int kExtraLength = 30;
inline constexpr int kCommentLength = 32;
inline constexpr int kDiskStart = 34;
inline constexpr int kInternalAttributes = 36;
inline constexpr int kExternalAttributes = 38;
inline constexpr int kLocalHeaderOffset = 42;
}  // namespace central

// End-of-central-directory record: 22 bytes, then the archive comment.
namespace endofdir {
inline constexpr int kSize = 22;
inline constexpr int kDiskNumber = 4;
inline constexpr int kDirectoryDisk = 6;
inline constexpr int kRecordsOnDisk = 8;
inline constexpr int kRecordsTotal = 10;
inline constexpr int kDirectorySize = 12;
inline constexpr int kDirectoryOffset = 16;
inline constexpr int kCommentLength = 20;
// The comment length is 16 bits, so the record starts at most this far
// before the end of the file.
inline constexpr int kMaxCommentLength = 65535;
}  // namespace endofdir

inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
// Names and comments of this entry are UTF-8, whatever the archive's encoding.
inline constexpr uint16_t kFlagUTF8 = 0x0800;

// The highest "version needed to extract" the engine accepts: ZIP 2.0.
inline constexpr int kMaxVersionNeeded = 20;

inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;

// Macintosh type/creator blocks of an extra field.
inline constexpr uint16_t kMacBlockLongId = 0x2605;
inline constexpr uint16_t kMacBlockShortId = 0x2705;
// Host systems of "version made by" whose tools store names in UTF-8.
inline constexpr int32_t kHostUnix = 3;
inline constexpr int32_t kHostMacOSX = 19;
// Info-ZIP Unicode path field: version, CRC-32 of the stored name, UTF-8 name.
inline constexpr uint16_t kUnicodePathId = 0x7075;
inline constexpr char kMacBlockSignature[] = "ZPIT";

}  // namespace zipformat
