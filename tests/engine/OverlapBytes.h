#pragma once
// Archives whose records point into each other's data, built byte by byte:
// local headers and central records written one by one at chosen offsets,
// and the overlapping chain of a zip bomb, in which every entry's deflate
// data runs on through the next entry's local header into one shared stream.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ZipBytes.h"

namespace overlaptest {

// What a local header and its central record say of an entry.
struct Record {
  std::string name;
  uint16_t method = 0;
  uint16_t flags = 0;
  uint32_t crc = 0;
  uint32_t compressed = 0;
  uint32_t size = 0;
  uint32_t offset = 0;  // of the local header; central record only
};

inline std::string LocalHeader(const Record& r, uint16_t flags) {
  using ziptest::Le16;
  using ziptest::Le32;
  return Le32(0x04034B50) + Le16(20) + Le16(flags) + Le16(r.method) + Le16(0) + Le16(0) +
         Le32(r.crc) + Le32(r.compressed) + Le32(r.size) +
         Le16(static_cast<uint16_t>(r.name.size())) + Le16(0) + r.name;
}

inline std::string LocalHeader(const Record& r) { return LocalHeader(r, r.flags); }

// The records in this order and the end record, for a directory at `at`.
inline std::string Directory(const std::vector<Record>& records, size_t at) {
  using ziptest::Le16;
  using ziptest::Le32;
  std::string dir;
  for (const Record& r : records) {
    dir += Le32(0x02014B50) + Le16(20) + Le16(20) + Le16(r.flags) + Le16(r.method) + Le16(0) +
           Le16(0) + Le32(r.crc) + Le32(r.compressed) + Le32(r.size) +
           Le16(static_cast<uint16_t>(r.name.size())) + Le16(0) + Le16(0) + Le16(0) + Le16(0) +
           Le32(0) + Le32(r.offset) + r.name;
  }
  const auto n = static_cast<uint16_t>(records.size());
  return dir + Le32(0x06054B50) + Le16(0) + Le16(0) + Le16(n) + Le16(n) +
         Le32(static_cast<uint32_t>(dir.size())) + Le32(static_cast<uint32_t>(at)) + Le16(0);
}

// A stored deflate block, not the last one, holding `bytes`.
inline std::string StoredBlock(const std::string& bytes) {
  const auto n = static_cast<uint16_t>(bytes.size());
  return std::string(1, '\0') + ziptest::Le16(n) + ziptest::Le16(static_cast<uint16_t>(~n)) +
         bytes;
}

// Entries "f0" to "f<n-1>", deflated. The last one's data is `kernel`, the
// raw deflate form of `plain`. Every other entry's data is a stored block
// quoting the next entry's local header, followed by the next entry's data:
// entry i inflates to the local headers of entries i+1 to n-1 and `plain`,
// and its data holds all of them. Each entry is sound on its own.
struct Chain {
  std::string body;              // from the first local header to the directory
  std::vector<Record> records;   // in chain order
  std::vector<std::string> contents;  // what each entry inflates to
};

inline Chain OverlappingChain(int n, const std::string& kernel, const std::string& plain) {
  Chain c;
  c.records.resize(static_cast<size_t>(n));
  c.contents.resize(static_cast<size_t>(n));
  std::vector<size_t> headerSizes(static_cast<size_t>(n));
  std::string data = kernel;
  std::string content = plain;
  for (int i = n - 1; i >= 0; --i) {
    const auto k = static_cast<size_t>(i);
    Record& r = c.records[k];
    r = {.name = "f" + std::to_string(i), .method = 8, .crc = ziptest::Crc32(content),
         .compressed = static_cast<uint32_t>(data.size()),
         .size = static_cast<uint32_t>(content.size())};
    c.contents[k] = content;
    const std::string header = LocalHeader(r);
    headerSizes[k] = header.size();
    if (i > 0) {
      data = StoredBlock(header) + data;
      content = header + content;
    } else {
      c.body = header + data;
    }
  }
  // Each header sits behind the one before and the 5-byte stored block
  // header quoting it.
  for (size_t k = 1; k < c.records.size(); ++k) {
    c.records[k].offset = static_cast<uint32_t>(c.records[k - 1].offset + headerSizes[k - 1] + 5);
  }
  return c;
}

}  // namespace overlaptest
