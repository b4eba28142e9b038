#pragma once
// Describing an entry's attributes in words, for list and info.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ZipEntry.h"
#include "engine/ZipExtraField.h"

namespace cli {

// "Stored", "Deflated", ... or "Method N" for a method without a name here.
std::string MethodName(int32_t method);
// The host systems of "version made by", as the ZIP application note numbers
// them; "" for an unknown code.
std::string HostSystemName(int32_t code);
// What the ZIP application note and common tools call an extra field block;
// "" for an unknown id.
std::string ExtraBlockName(uint16_t id);

// Record values are signed 32-bit; what they count is not.
inline uint32_t Unsigned(int32_t value) { return static_cast<uint32_t>(value); }
std::string Hex32(uint32_t value);

// The entry's time as "YYYY-MM-DD", the separator, "HH:MM:SS"; none when it has
// no time.
std::optional<std::string> TimeText(const ZipEntry& entry, std::string_view separator);

// Type and creator (converted from Mac Roman for display) and, in the long
// form, the name (converted from the archive's encoding) of the Macintosh
// block that the extra field noted, as the engine reads them; none when there
// is none or it is malformed.
struct MacBlockInfo {
  std::string type;
  std::string creator;
  std::optional<std::string> name;
};
std::optional<MacBlockInfo> MacBlockOf(const ZipExtraField& extra);

// The blocks of an extra field as far as their framing holds; `rest` gets
// the bytes behind the last whole block.
struct ExtraBlock {
  size_t offset;
  uint16_t id;
  std::string data;
};
std::vector<ExtraBlock> SplitExtraField(std::string_view bytes, std::string& rest);

}  // namespace cli
