#pragma once
// Builds ZIP archives byte by byte, so that tests can make exactly the record
// they need, valid or damaged. Entries are stored (method 0) unless a method
// is given; the CRC is computed from the data unless given. Build() reports
// where each record landed, so that a test can patch single fields afterwards.
#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ziptest {

inline void Put16(std::string& bytes, size_t at, uint16_t v) {
  bytes[at] = static_cast<char>(v & 0xFF);
  bytes[at + 1] = static_cast<char>(v >> 8);
}

inline void Put32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string Le16(uint16_t v) {
  std::string s(2, '\0');
  Put16(s, 0, v);
  return s;
}

inline std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  Put32(s, 0, v);
  return s;
}

// One extra field block: id, data length, data.
inline std::string Block(uint16_t id, const std::string& data) {
  return Le16(id) + Le16(static_cast<uint16_t>(data.size())) + data;
}

// A short-form Macintosh type/creator block.
inline std::string MacShortBlock(const std::string& type, const std::string& creator) {
  return Block(0x2705, "ZPIT" + type + creator);
}

inline uint32_t Crc32(const std::string& data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Entry {
  std::string name;
  std::string data;  // the stored bytes, as they land in the archive
  uint16_t method = 0;
  uint16_t flags = 0;
  uint16_t versionNeeded = 20;
  uint16_t versionMadeBy = 20;  // low byte: version, high byte: host system
  uint16_t time = 0;
  uint16_t date = 0;
  std::optional<uint32_t> crc;   // default: CRC-32 of data
  std::optional<uint32_t> size;  // default: data size
  std::string extra;
  std::optional<std::string> localExtra;  // default: extra
  std::string comment;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
};

struct Built {
  std::string bytes;
  std::vector<size_t> localOffsets;
  std::vector<size_t> recordOffsets;
  size_t dirOffset = 0;
  size_t endRecordOffset = 0;
};

struct Archive {
  std::vector<Entry> entries;
  std::string comment;

  Built Build() const {
    Built b;
    for (const Entry& e : entries) {
      b.localOffsets.push_back(b.bytes.size());
      const std::string& lx = e.localExtra ? *e.localExtra : e.extra;
      b.bytes += Le32(0x04034B50) + Le16(e.versionNeeded) + Le16(e.flags) + Le16(e.method) +
                 Le16(e.time) + Le16(e.date) + Le32(crcOf(e)) +
                 Le32(static_cast<uint32_t>(e.data.size())) + Le32(sizeOf(e)) +
                 Le16(static_cast<uint16_t>(e.name.size())) +
                 Le16(static_cast<uint16_t>(lx.size())) + e.name + lx + e.data;
    }
    b.dirOffset = b.bytes.size();
    for (size_t i = 0; i < entries.size(); ++i) {
      const Entry& e = entries[i];
      b.recordOffsets.push_back(b.bytes.size());
      b.bytes += Le32(0x02014B50) + Le16(e.versionMadeBy) + Le16(e.versionNeeded) +
                 Le16(e.flags) + Le16(e.method) + Le16(e.time) + Le16(e.date) + Le32(crcOf(e)) +
                 Le32(static_cast<uint32_t>(e.data.size())) + Le32(sizeOf(e)) +
                 Le16(static_cast<uint16_t>(e.name.size())) +
                 Le16(static_cast<uint16_t>(e.extra.size())) +
                 Le16(static_cast<uint16_t>(e.comment.size())) + Le16(0) +
                 Le16(e.internalAttributes) + Le32(e.externalAttributes) +
                 Le32(static_cast<uint32_t>(b.localOffsets[i])) + e.name + e.extra + e.comment;
    }
    b.endRecordOffset = b.bytes.size();
    const auto n = static_cast<uint16_t>(entries.size());
    b.bytes += Le32(0x06054B50) + Le16(0) + Le16(0) + Le16(n) + Le16(n) +
               Le32(static_cast<uint32_t>(b.endRecordOffset - b.dirOffset)) +
               Le32(static_cast<uint32_t>(b.dirOffset)) +
               Le16(static_cast<uint16_t>(comment.size())) + comment;
    return b;
  }

 private:
  static uint32_t crcOf(const Entry& e) { return e.crc ? *e.crc : Crc32(e.data); }
  static uint32_t sizeOf(const Entry& e) {
    return e.size ? *e.size : static_cast<uint32_t>(e.data.size());
  }
};

// Offsets inside a central record and the end record, for patching.
namespace at {
inline constexpr size_t kRecVersionNeeded = 6;
inline constexpr size_t kRecFlags = 8;
inline constexpr size_t kRecNameLength = 28;
inline constexpr size_t kRecExtraLength = 30;
inline constexpr size_t kRecCommentLength = 32;
inline constexpr size_t kRecLocalOffset = 42;
inline constexpr size_t kEndDisk = 4;
inline constexpr size_t kEndDirDisk = 6;
inline constexpr size_t kEndCountOnDisk = 8;
inline constexpr size_t kEndCountTotal = 10;
inline constexpr size_t kEndDirSize = 12;
inline constexpr size_t kEndDirOffset = 16;
inline constexpr size_t kEndCommentLength = 20;
}  // namespace at

}  // namespace ziptest
