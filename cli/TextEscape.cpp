#include "cli/TextEscape.h"

#include <cstdio>

namespace cli {
namespace {

// The length of the valid UTF-8 sequence at bytes[i] and its code point, or 0
// when the byte there does not start one.
size_t utf8Sequence(std::string_view bytes, size_t i, uint32_t& codePoint) {
  const auto c = static_cast<unsigned char>(bytes[i]);
  size_t extra;
  if (c < 0x80) {
    codePoint = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    extra = 1;
    codePoint = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2;
    codePoint = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3;
    codePoint = c & 0x07;
  } else {
    return 0;
  }
  if (i + extra >= bytes.size()) return 0;
  for (size_t k = 1; k <= extra; ++k) {
    const auto cc = static_cast<unsigned char>(bytes[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    codePoint = codePoint << 6 | (cc & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if ((extra == 2 && codePoint < 0x800) || (extra == 3 && (codePoint < 0x10000 || codePoint > 0x10FFFF)) ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return 0;
  }
  return extra + 1;
}

bool isControl(uint32_t codePoint) {
  return codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint <= 0x9F);
}

std::string hexByte(unsigned char c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\x%02X", c);
  return buf;
}

// Plain printable ASCII needs no attention: the escaping loops copy runs of it
// in one go.
bool isPlain(char c) { return c >= 0x20 && c < 0x7F && c != '\\' && c != '"'; }

size_t plainRun(std::string_view bytes, size_t i) {
  size_t j = i;
  while (j < bytes.size() && isPlain(bytes[j])) ++j;
  return j - i;
}

}  // namespace

std::string EscapeForTerminal(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    if (size_t run = plainRun(bytes, i)) {
      out.append(bytes.substr(i, run));
      i += run;
      continue;
    }
    uint32_t codePoint = 0;
    const size_t length = utf8Sequence(bytes, i, codePoint);
    if (length == 0 || isControl(codePoint)) {
      const size_t n = length == 0 ? 1 : length;
      for (size_t k = 0; k < n; ++k) out += hexByte(static_cast<unsigned char>(bytes[i + k]));
      i += n;
    } else if (codePoint == '\\') {
      out += "\\\\";
      ++i;
    } else {
      out.append(bytes.substr(i, length));
      i += length;
    }
  }
  return out;
}

void AppendJsonString(std::string& out, std::string_view bytes) {
  out += '"';
  size_t i = 0;
  while (i < bytes.size()) {
    if (size_t run = plainRun(bytes, i)) {
      out.append(bytes.substr(i, run));
      i += run;
      continue;
    }
    uint32_t codePoint = 0;
    const size_t length = utf8Sequence(bytes, i, codePoint);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    switch (codePoint) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (isControl(codePoint)) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(codePoint));
          out += buf;
        } else {
          out.append(bytes.substr(i, length));
        }
    }
    i += length;
  }
  out += '"';
}

std::string JsonString(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 2);
  AppendJsonString(out, bytes);
  return out;
}

JsonObject& JsonObject::key(std::string_view name) {
  if (!members_.empty()) members_ += ", ";
  AppendJsonString(members_, name);
  members_ += ": ";
  return *this;
}

JsonObject& JsonObject::AddString(std::string_view name, std::string_view value) {
  AppendJsonString(key(name).members_, value);
  return *this;
}

JsonObject& JsonObject::AddNumber(std::string_view name, int64_t value) {
  key(name).members_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::AddBool(std::string_view name, bool value) {
  key(name).members_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::AddNull(std::string_view name) {
  key(name).members_ += "null";
  return *this;
}

}  // namespace cli
