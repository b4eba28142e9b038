#include "platform/TextCompare.h"

#include <cstdint>

namespace {

// Decodes one UTF-8 sequence at `i`; on invalid bytes yields the byte itself
// as a code point marked invalid, so it passes through unchanged.
uint32_t decode(std::string_view s, size_t& i, bool& valid) {
  auto c = static_cast<unsigned char>(s[i]);
  valid = true;
  if (c < 0x80) {
    ++i;
    return c;
  }
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
  if (extra < 0 || c > 0xF4 || i + static_cast<size_t>(extra) >= s.size()) {
    valid = false;
    ++i;
    return c;
  }
  uint32_t cp = c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    auto cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
    if ((cc & 0xC0) != 0x80) {
      valid = false;
      ++i;
      return c;
    }
    cp = cp << 6 | (cc & 0x3F);
  }
  i += static_cast<size_t>(extra) + 1;
  return cp;
}

void encode(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

uint32_t lower(uint32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 32;
  if (cp < 0xC0) return cp;
  if (cp <= 0xDE && cp != 0xD7) return cp + 32;                       // Latin-1
  if (cp >= 0x100 && cp <= 0x137 && cp % 2 == 0) return cp + 1;       // Latin Extended-A
  if (cp >= 0x139 && cp <= 0x148 && cp % 2 == 1) return cp + 1;
  if (cp >= 0x14A && cp <= 0x177 && cp % 2 == 0) return cp + 1;
  if (cp == 0x178) return 0xFF;
  if (cp == 0x179 || cp == 0x17B || cp == 0x17D) return cp + 1;
  if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) return cp + 32;      // Greek
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;                     // Cyrillic
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
  return cp;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    bool valid;
    size_t start = i;
    uint32_t cp = decode(text, i, valid);
    if (valid) {
      encode(lower(cp), out);
    } else {
      out.append(text.substr(start, i - start));
    }
  }
  return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return FoldCase(a) == FoldCase(b);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  std::string folded = FoldCase(text), foldedPrefix = FoldCase(prefix);
  return folded.compare(0, foldedPrefix.size(), foldedPrefix) == 0;
}
