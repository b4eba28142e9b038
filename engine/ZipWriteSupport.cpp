#include "engine/ZipWriteSupport.h"

#include <algorithm>

#include "platform/TextEncoding.h"

namespace zipwrite {

void DosTimeAndDate(const std::optional<Date>& date, uint16_t& time, uint16_t& dosDate) {
  if (!date) {
    time = 0;
    dosDate = 0;
    return;
  }
  time = static_cast<uint16_t>(date->Hour() * 2048 + date->Minute() * 32 + date->Second() / 2);
  dosDate = static_cast<uint16_t>(date->Day() + date->Month() * 32 +
                                  512 * std::max(0, date->Year() - 1980));
}

std::string EncodeName(const ZipArchiveData& d, const std::string& name, bool& utf8) {
  utf8 = false;
  const bool ascii =
      std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; });
  // ASCII reads the same in every encoding the engine offers, and bytes that
  // are not UTF-8 have no text to convert: both go the ordinary way.
  if (ascii || !d.systemToArchive || !IsValidUTF8(name)) return d.encodeForZip(name);
  std::string converted = d.systemToArchive->Convert(name);
  if (!converted.empty()) return converted;
  utf8 = true;
  return name;
}

int64_t DeflateBound(int64_t size) { return size + (size >> 8) + 64; }

}  // namespace zipwrite
