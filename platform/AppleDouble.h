#pragma once
// The AppleDouble version 2 format (RFC 1740 with the version-2 layout), as
// far as the fork store needs it: check a header, read its entries, and lay
// out a new file the way macOS writes one.
//
// A file is a 26-byte header (magic, version, 16 filler bytes, entry count)
// and one 12-byte descriptor per entry (id, offset, length), big-endian,
// followed by the entries' bytes. Nothing in a file is trusted: every offset
// and length is checked against the file's real size before use, and
// overlapping entries make the file damaged.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace appledouble {

constexpr uint32_t kMagic = 0x00051607;
constexpr uint32_t kVersion1 = 0x00010000;
constexpr uint32_t kVersion2 = 0x00020000;
constexpr uint32_t kResourceFork = 2;
constexpr uint32_t kFileDates = 8;
constexpr uint32_t kFinderInfo = 9;
constexpr int64_t kHeaderSize = 26;
constexpr int64_t kDescriptorSize = 12;
// What a file-dates entry holds for a date it does not know.
constexpr int32_t kUnknownDate = INT32_MIN;
// Seconds from the Unix epoch to 1 January 2000 UTC, the origin of the
// file-dates entry.
constexpr int64_t kUnixTo2000 = 946684800;
// Fifteen kinds of entry are defined; a file claiming more than this many
// entries is damaged.
constexpr uint16_t kMaxEntries = 256;
// Entries other than the resource fork are read into memory; none of the
// kinds we know comes near this, so a larger one marks a damaged file.
constexpr uint32_t kMaxEntryLength = 16 * 1024 * 1024;
// macOS writes this filler; version-2 readers ignore it.
inline constexpr std::string_view kFiller = "Mac OS X        ";

struct Descriptor {
  uint32_t id = 0;
  uint32_t offset = 0;
  uint32_t length = 0;
};

// Reads the entry count from the first 26 bytes. False, with the reason in
// `why`, when they are not an AppleDouble header.
bool ParseHeader(std::string_view head, uint16_t& count, std::string& why);

// Reads and checks `count` descriptors (the bytes after the header) against
// a file of `fileSize` bytes: every entry lies inside the file, behind the
// descriptors, apart from every other entry, and no id appears twice.
bool ParseDescriptors(std::string_view table, uint16_t count, uint64_t fileSize,
                      std::vector<Descriptor>& out, std::string& why);

// Everything a file holds except the resource fork's bytes.
struct Contents {
  std::array<uint8_t, 32> finderInfo{};
  // Entry 9 past its first 32 bytes: macOS keeps extended attributes there,
  // addressed by offsets from the start of the file.
  std::string finderInfoExtra;
  // Where entries 9 and 8 were in the file they were read from (offset 0:
  // not there), so that they can be updated in place.
  uint32_t finderInfoOffset = 0;
  uint32_t finderInfoLength = 0;
  uint32_t datesOffset = 0;
  // Creation, modification, backup and access, seconds since 2000 UTC.
  std::optional<std::array<int32_t, 4>> dates;
  // Entries of other kinds, kept as they are, in their order.
  std::vector<std::pair<uint32_t, std::string>> others;
  // The resource fork's place in the file it was read from.
  uint32_t rsrcOffset = 0;
  uint32_t rsrcLength = 0;

  // Nothing worth a file besides a resource fork: Finder information all
  // zero, no dates, no other entries and no extended attributes.
  bool HoldsNothingButFork() const;
};

// Reads a whole file through `read` (offset, length, out bytes; false on a
// failed or short read). False with the reason in `why` when the file is no
// AppleDouble file or is damaged; `readFailed` tells an I/O failure apart.
bool Read(uint64_t fileSize, const std::function<bool(uint64_t, uint32_t, std::string&)>& read,
          Contents& contents, std::string& why, bool& readFailed);

// The bytes of a new file up to where its resource fork starts: header,
// descriptors (Finder info first, the dates when there are any, other
// entries, resource fork last) and the entries' bytes. The resource fork of
// `rsrcLength` bytes follows directly; its offset is the result's size.
std::string BuildPreamble(const Contents& contents, uint32_t rsrcLength);

}  // namespace appledouble
