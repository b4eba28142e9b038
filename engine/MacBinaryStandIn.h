#pragma once
// Temporary: a minimal MacBinary recogniser and Finder-information applier so
// that extraction can be built and tested before the MacBinary engine lands.
// Removed when it does.
#include <string>

#include "engine/ZipExtraField.h"
#include "platform/FolderItem.h"
#include "platform/MemoryBlock.h"
#include "streams/Helpers.h"

namespace mbstandin {

inline int32_t HdrLevel(const MemoryBlock& h, bool supportMB1) {
  if (h.Byte(0) != 0 || h.Byte(82) != 0 || h.UInt16Value(126) != 0 || h.Int32Value(83) < 0 ||
      h.Int32Value(87) < 0) {
    return 0;
  }
  const int n = h.Byte(1);
  if (n < 1 || n > 63) return 0;
  if (h.UInt16Value(124) == CRC_CCITT(h, 0, 124)) {
    if (h.UInt32Value(102) == 0x6D42494E) return h.Byte(123) <= 130 ? 3 : 4;
    return 2;
  }
  return supportMB1 && n < 32 ? 1 : 0;
}

inline void Apply(const FolderItem& f, const MemoryBlock& h) {
  FinderInfo info = f.GetFinderInfo();
  info.SetType(h.StringValue(65, 4));
  info.SetCreator(h.StringValue(69, 4));
  f.SetFinderInfo(info);
}

inline bool GetTypeCreatorName(const ZipExtraField& x, std::string& type, std::string& creator,
                               std::string& name) {
  const std::string bytes = x.AsData();
  const int32_t at = x.MacBlockOffset();
  if (at < 0 || static_cast<size_t>(at) + 4 > bytes.size()) return false;
  auto b = MemoryBlock::FromString(bytes, true);
  const uint16_t id = b->UInt16Value(at);
  const uint16_t len = b->UInt16Value(at + 2);
  if (!((id == 0x2605 && len >= 13) || (id == 0x2705 && len >= 12))) return false;
  int32_t k = 0;
  name.clear();
  if (id == 0x2605) {
    name = b->PString(at + 8);
    k = static_cast<int32_t>(name.size()) + 1;
  }
  type = b->StringValue(at + 8 + k, 4);
  creator = b->StringValue(at + 12 + k, 4);
  return true;
}

}  // namespace mbstandin
