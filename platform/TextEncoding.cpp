#include "platform/TextEncoding.h"

#include <iconv.h>

#include <cerrno>

TextEncoding TextEncoding::FromCode(uint32_t code) {
  return {code & 0xFFFF, (code >> 16) & 0x3FF, code >> 26};
}

std::string TextEncoding::IconvName() const {
  switch (base) {
    case Encodings::kUnicodeBase:
      return format == Encodings::kUTF8Format ? "UTF-8" : "UTF-16BE";
    case Encodings::kDOSLatinUSBase: return "CP437";
    case Encodings::kWindowsLatin1Base: return "CP1252";
    // The Macintosh scripts that iconv knows; the others have no converter.
    case 0: return "MACINTOSH";
    case 1: return "CP932";
    case 2: return "CP950";
    case 3: return "CP949";
    case 7: return "MAC-CYRILLIC";
    case 21: return "TIS-620";
    case 25: return "CP936";
    case 29: return "MAC-CENTRALEUROPE";
    case 37: return "MAC-IS";
    case 152: return "MACUKRAINIAN";
    default: return "";
  }
}

std::optional<TextEncoding> GetFontTextEncoding(std::string_view fontName) {
  if (fontName == "System") return Encodings::MacRoman();
  return std::nullopt;
}

bool IsValidUTF8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    auto c = static_cast<unsigned char>(bytes[i]);
    size_t extra;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= bytes.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      auto cc = static_cast<unsigned char>(bytes[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = cp << 6 | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

std::optional<TextEncoding> GuessTextEncoding(std::string_view bytes) {
  if (IsValidUTF8(bytes)) return Encodings::UTF8();
  return std::nullopt;
}

TextConverterPtr GetTextConverter(TextEncoding from, TextEncoding to) {
  std::string fromName = from.IconvName();
  std::string toName = to.IconvName();
  if (fromName.empty() || toName.empty()) return nullptr;
  iconv_t cd = iconv_open(toName.c_str(), fromName.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return TextConverterPtr(new TextConverter(from, to, cd));
}

TextConverter::~TextConverter() { iconv_close(static_cast<iconv_t>(cd_)); }

std::string TextConverter::Convert(std::string_view bytes) const {
  if (bytes.empty()) return {};
  auto cd = static_cast<iconv_t>(cd_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  std::string out(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    if (r == static_cast<size_t>(-1)) {
      if (errno != E2BIG) return {};
      size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      outLeft = out.size() - used;
    } else if (r > 0) {
      // iconv made an irreversible substitution: the text did not convert.
      return {};
    }
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  return out;
}
