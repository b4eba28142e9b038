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

bool ZipExtraField::GetTypeCreatorName(std::string& type, std::string& creator,
                                       std::string& name) const {
  type.clear();
  creator.clear();
  name.clear();
  if (!data || zpit_rec < 0) return false;
  const int64_t at = zpit_rec;
  const int64_t length = data->UInt16Value(at + 2);
  const uint16_t id = data->UInt16Value(at);
  int64_t k = 0;
  if (id == zipformat::kMacBlockLongId && length >= 13) {
    k = data->Byte(at + 8) + 1;
    // A name length running past the block would have type and creator read
    // from whatever follows it: such a block says nothing we can trust.
    if (12 + k > length) return false;
  } else if (!(id == zipformat::kMacBlockShortId && length >= 12)) {
    return false;
  }
  // The constructor noted the block only when all of it lies in the bytes.
  type = data->StringValue(at + 8 + k, 4);
  creator = data->StringValue(at + 12 + k, 4);
  if (k > 0) name = d->decodeFromZip(data->StringValue(at + 9, k - 1));
  return true;
}
