#include "engine/ZipExtraField.h"

#include <cstring>

#include "engine/ZipFormat.h"

ZipExtraField::ZipExtraField(ZipArchiveDataPtr d_, std::string_view bytes) : d(std::move(d_)) {
  if (bytes.empty()) return;
  data = MemoryBlock::FromString(bytes, true);

  // Walk the block framing; a zero length or a block running past the end
  // means the rest can't be trusted, so the search ends there.
  const int64_t n = data->Size();
  int64_t c = 0;
  while (c + 4 < n) {
    const int64_t length = data->UInt16Value(c + 2);
    if (length == 0 || c + 4 + length > n) break;
    const uint16_t id = data->UInt16Value(c);
    if (length >= 12 && std::memcmp(data->Address(c + 4), zipformat::kMacBlockSignature, 4) == 0 &&
        (id == zipformat::kMacBlockLongId || id == zipformat::kMacBlockShortId)) {
      zpit_rec = static_cast<int32_t>(c);
    }
    c += 4 + length;
  }
}

std::string ZipExtraField::AsData() const { return data ? data->ToString() : std::string(); }

std::optional<std::string> ZipExtraField::BlockData(uint16_t id) const {
  if (!data) return std::nullopt;
  const int64_t n = data->Size();
  for (int64_t c = 0; c + 4 <= n;) {
    const int64_t length = data->UInt16Value(c + 2);
    if (c + 4 + length > n) break;
    if (data->UInt16Value(c) == id) return data->StringValue(c + 4, length);
    c += 4 + length;
  }
  return std::nullopt;
}
