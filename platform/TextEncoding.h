#pragma once
// Text encodings identified as on the classic platform (base, variant,
// format), and converters between them over iconv.
//
// Base codes used here: 0..0x20 the Macintosh scripts (0 Roman), 0x0100 Unicode
// (format 2 = UTF-8), 0x0400 DOS Latin US (code page 437), 0x0500 Windows
// Latin 1 (code page 1252). A conversion that fails anywhere yields an empty
// string: callers rely on that to detect a failure.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct TextEncoding {
  uint32_t base = 0;
  uint32_t variant = 0;
  uint32_t format = 0;

  // The single platform encoding value (base | variant << 16 | format << 26),
  // as carried by a tagged string.
  uint32_t Code() const { return base | (variant << 16) | (format << 26); }
  static TextEncoding FromCode(uint32_t code);
  // The iconv name, or empty when iconv has no character set for it.
  std::string IconvName() const;
  bool IsUnicode() const { return base == 0x0100; }
  bool operator==(const TextEncoding&) const = default;
};

namespace Encodings {
inline constexpr uint32_t kMacRomanBase = 0;
inline constexpr uint32_t kUnicodeBase = 0x0100;
inline constexpr uint32_t kDOSLatinUSBase = 0x0400;
inline constexpr uint32_t kWindowsLatin1Base = 0x0500;
inline constexpr uint32_t kUTF8Format = 2;
// The tag of a string whose encoding nobody stated.
inline constexpr uint32_t kUnknownCode = 0xFFFF;

inline TextEncoding MacRoman() { return {kMacRomanBase, 0, 0}; }
inline TextEncoding UTF8() { return {kUnicodeBase, 0, kUTF8Format}; }
inline TextEncoding DOSLatinUS() { return {kDOSLatinUSBase, 0, 0}; }
inline TextEncoding WindowsLatin1() { return {kWindowsLatin1Base, 0, 0}; }
}  // namespace Encodings

// GetTextEncoding(base, variant, format).
inline TextEncoding GetTextEncoding(uint32_t base, uint32_t variant = 0, uint32_t format = 0) {
  return {base, variant, format};
}

// The encoding of the named font; only "System" is known (Mac Roman), others
// give none.
std::optional<TextEncoding> GetFontTextEncoding(std::string_view fontName);

// The platform's guess of a name's encoding: UTF-8 when the bytes are valid
// UTF-8, none otherwise.
std::optional<TextEncoding> GuessTextEncoding(std::string_view bytes);
bool IsValidUTF8(std::string_view bytes);

// Converts from one encoding to another. Not thread-safe: one converter per
// thread of use.
class TextConverter {
 public:
  ~TextConverter();
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  // The converted bytes, or the empty string when any byte can't be converted.
  std::string Convert(std::string_view bytes) const;
  TextEncoding Source() const { return from_; }
  TextEncoding Destination() const { return to_; }

 private:
  friend std::shared_ptr<TextConverter> GetTextConverter(TextEncoding, TextEncoding);
  TextConverter(TextEncoding from, TextEncoding to, void* cd) : from_(from), to_(to), cd_(cd) {}
  TextEncoding from_;
  TextEncoding to_;
  void* cd_;  // iconv_t
};

using TextConverterPtr = std::shared_ptr<TextConverter>;

// nullptr when iconv can't convert between the two.
TextConverterPtr GetTextConverter(TextEncoding from, TextEncoding to);

// A byte string with the text-encoding tag the platform attaches to strings.
struct TaggedString {
  std::string bytes;
  uint32_t encoding = Encodings::kUnknownCode;
};
