#include "platform/AppleDouble.h"

#include <algorithm>

namespace appledouble {

namespace {
uint32_t get32(std::string_view s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3]));
}

uint16_t get16(std::string_view s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) << 8 | static_cast<uint8_t>(s[at + 1]));
}

void put32(std::string& s, size_t at, uint32_t v) {
  s[at] = static_cast<char>(v >> 24);
  s[at + 1] = static_cast<char>(v >> 16);
  s[at + 2] = static_cast<char>(v >> 8);
  s[at + 3] = static_cast<char>(v);
}

void append32(std::string& s, uint32_t v) {
  s.resize(s.size() + 4);
  put32(s, s.size() - 4, v);
}

// The extended-attribute block macOS puts behind the Finder info in entry 9:
// two bytes of padding, then "ATTR", a debug tag, the end of the attribute
// area, the start and length of the attribute data, 12 reserved bytes, flags
// and the number of attributes; then one record per attribute (data offset,
// data length, flags, name length, name, padded to 4 bytes). All offsets
// count from the start of the file.
constexpr uint32_t kAttrMagic = 0x41545452;  // "ATTR"
constexpr size_t kAttrHeader = 2 + 36;

// Whether `extra` is such a block whose offsets all point inside it, where
// it sat at file offset `start`; `count` is its number of attributes.
bool validAttributes(std::string_view extra, uint64_t start, uint16_t& count) {
  if (extra.size() < kAttrHeader || get32(extra, 2) != kAttrMagic) return false;
  uint64_t end = start + extra.size();
  auto inside = [&](uint64_t offset, uint64_t length) {
    return offset >= start && offset <= end && length <= end - offset;
  };
  uint32_t totalSize = get32(extra, 10);
  uint32_t dataStart = get32(extra, 14);
  uint32_t dataLength = get32(extra, 18);
  count = get16(extra, 36);
  if (totalSize < start || totalSize > end || !inside(dataStart, dataLength)) return false;
  size_t at = kAttrHeader;
  for (uint16_t i = 0; i < count; ++i) {
    if (at + 11 > extra.size()) return false;
    if (!inside(get32(extra, at), get32(extra, at + 4))) return false;
    size_t recordSize = (11 + static_cast<uint8_t>(extra[at + 10]) + 3) & ~size_t(3);
    at += recordSize;
  }
  return at <= extra.size();
}

// The block moved from file offset `from` to `to`: every absolute offset
// in it moves along. Blocks that aren't valid are left as they are.
std::string relocateAttributes(std::string extra, uint64_t from, uint64_t to) {
  uint16_t count = 0;
  if (from == to || !validAttributes(extra, from, count)) return extra;
  auto shift = [&](size_t at) { put32(extra, at, static_cast<uint32_t>(get32(extra, at) - from + to)); };
  shift(10);
  shift(14);
  size_t at = kAttrHeader;
  for (uint16_t i = 0; i < count; ++i) {
    shift(at);
    at += (11 + static_cast<uint8_t>(extra[at + 10]) + 3) & ~size_t(3);
  }
  return extra;
}
}  // namespace

bool ParseHeader(std::string_view head, uint16_t& count, std::string& why) {
  count = 0;
  if (head.size() < static_cast<size_t>(kHeaderSize)) {
    why = "shorter than an AppleDouble header";
    return false;
  }
  if (get32(head, 0) != kMagic) {
    why = "not an AppleDouble file (wrong magic number)";
    return false;
  }
  uint32_t version = get32(head, 4);
  if (version != kVersion1 && version != kVersion2) {
    why = "unknown AppleDouble version " + std::to_string(version >> 16);
    return false;
  }
  count = get16(head, 24);
  if (count > kMaxEntries) {
    why = "claims " + std::to_string(count) + " entries";
    return false;
  }
  return true;
}

bool ParseDescriptors(std::string_view table, uint16_t count, uint64_t fileSize,
                      std::vector<Descriptor>& out, std::string& why) {
  out.clear();
  uint64_t tableEnd = kHeaderSize + uint64_t(count) * kDescriptorSize;
  if (tableEnd > fileSize || table.size() < tableEnd - kHeaderSize) {
    why = "entry table runs past the end of the file";
    return false;
  }
  for (uint16_t i = 0; i < count; ++i) {
    size_t at = size_t(i) * kDescriptorSize;
    Descriptor d{get32(table, at), get32(table, at + 4), get32(table, at + 8)};
    std::string name = "entry " + std::to_string(d.id);
    if (d.offset > fileSize || d.length > fileSize - d.offset) {
      why = name + " runs past the end of the file";
      return false;
    }
    if (d.length > 0 && d.offset < tableEnd) {
      why = name + " overlaps the entry table";
      return false;
    }
    if (d.id != kResourceFork && d.length > kMaxEntryLength) {
      why = name + " is too large";
      return false;
    }
    out.push_back(d);
  }
  // Sorted copies find twins and overlaps without comparing every pair: a
  // file may claim 65535 entries.
  std::vector<Descriptor> sorted = out;
  std::sort(sorted.begin(), sorted.end(),
            [](const Descriptor& a, const Descriptor& b) { return a.id < b.id; });
  for (size_t i = 1; i < sorted.size(); ++i) {
    if (sorted[i].id == sorted[i - 1].id) {
      why = "entry " + std::to_string(sorted[i].id) + " appears twice";
      return false;
    }
  }
  std::erase_if(sorted, [](const Descriptor& d) { return d.length == 0; });
  std::sort(sorted.begin(), sorted.end(),
            [](const Descriptor& a, const Descriptor& b) { return a.offset < b.offset; });
  for (size_t i = 1; i < sorted.size(); ++i) {
    if (uint64_t(sorted[i - 1].offset) + sorted[i - 1].length > sorted[i].offset) {
      why = "entry " + std::to_string(sorted[i].id) + " overlaps entry " +
            std::to_string(sorted[i - 1].id);
      return false;
    }
  }
  return true;
}

bool Contents::HoldsNothingButFork() const {
  if (std::any_of(finderInfo.begin(), finderInfo.end(), [](uint8_t b) { return b != 0; })) return false;
  if (dates || !others.empty()) return false;
  uint16_t count = 0;
  if (validAttributes(finderInfoExtra, uint64_t(finderInfoOffset) + 32, count)) return count == 0;
  return std::all_of(finderInfoExtra.begin(), finderInfoExtra.end(), [](char c) { return c == 0; });
}

bool Read(uint64_t fileSize, const std::function<bool(uint64_t, uint32_t, std::string&)>& read,
          Contents& contents, std::string& why, bool& readFailed) {
  contents = Contents();
  readFailed = false;
  std::string head;
  uint16_t count = 0;
  if (fileSize < uint64_t(kHeaderSize)) {
    why = "shorter than an AppleDouble header";
    return false;
  }
  if (!read(0, kHeaderSize, head)) {
    readFailed = true;
    why = "read error";
    return false;
  }
  if (!ParseHeader(head, count, why)) return false;
  std::string table;
  std::vector<Descriptor> entries;
  uint64_t tableLength = uint64_t(count) * kDescriptorSize;
  if (kHeaderSize + tableLength > fileSize) {
    why = "entry table runs past the end of the file";
    return false;
  }
  if (!read(kHeaderSize, static_cast<uint32_t>(tableLength), table)) {
    readFailed = true;
    why = "read error";
    return false;
  }
  if (!ParseDescriptors(table, count, fileSize, entries, why)) return false;

  for (const Descriptor& d : entries) {
    if (d.id == kResourceFork) {
      contents.rsrcOffset = d.offset;
      contents.rsrcLength = d.length;
      continue;
    }
    std::string bytes;
    if (d.length > 0 && !read(d.offset, d.length, bytes)) {
      readFailed = true;
      why = "read error";
      return false;
    }
    if (d.id == kFinderInfo) {
      std::copy_n(bytes.begin(), std::min<size_t>(32, bytes.size()), contents.finderInfo.begin());
      if (bytes.size() > 32) contents.finderInfoExtra = bytes.substr(32);
      contents.finderInfoOffset = d.offset;
      contents.finderInfoLength = d.length;
    } else if (d.id == kFileDates && bytes.size() >= 16) {
      std::array<int32_t, 4> dates{};
      for (size_t i = 0; i < 4; ++i) dates[i] = static_cast<int32_t>(get32(bytes, i * 4));
      contents.dates = dates;
      contents.datesOffset = d.offset;
    } else {
      contents.others.emplace_back(d.id, std::move(bytes));
    }
  }
  return true;
}

std::string BuildPreamble(const Contents& contents, uint32_t rsrcLength) {
  std::vector<std::pair<uint32_t, std::string>> entries;
  std::string finderInfo(contents.finderInfo.begin(), contents.finderInfo.end());
  entries.emplace_back(kFinderInfo, std::move(finderInfo));
  if (contents.dates) {
    std::string dates;
    for (int32_t d : *contents.dates) append32(dates, static_cast<uint32_t>(d));
    entries.emplace_back(kFileDates, std::move(dates));
  }
  for (const auto& other : contents.others) entries.push_back(other);

  uint32_t count = static_cast<uint32_t>(entries.size() + 1);
  uint32_t dataStart = static_cast<uint32_t>(kHeaderSize + count * kDescriptorSize);
  if (!contents.finderInfoExtra.empty()) {
    uint64_t from = uint64_t(contents.finderInfoOffset) + 32;
    entries[0].second += relocateAttributes(contents.finderInfoExtra, from, dataStart + 32);
  }

  std::string out;
  append32(out, kMagic);
  append32(out, kVersion2);
  out += kFiller;
  out += static_cast<char>(count >> 8);
  out += static_cast<char>(count);
  uint32_t offset = dataStart;
  for (const auto& [id, bytes] : entries) {
    append32(out, id);
    append32(out, offset);
    append32(out, static_cast<uint32_t>(bytes.size()));
    offset += static_cast<uint32_t>(bytes.size());
  }
  append32(out, kResourceFork);
  append32(out, offset);
  append32(out, rsrcLength);
  for (const auto& entry : entries) out += entry.second;
  return out;
}

}  // namespace appledouble
