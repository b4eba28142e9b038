#pragma once
// What the writing side of the engine shares: the DOS date and time of a
// record, names in the archive's encoding, the limits of the format as the
// engine writes it, and the messages of writing and maintenance.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/ZipArchiveData.h"
#include "platform/Date.h"

namespace zipwrite {

// The largest archive the engine writes is one byte short of 2 GB: every
// offset and size is also read back as a signed 32-bit value.
inline constexpr int64_t kArchiveSizeLimit = int64_t{1} << 31;
// Entry counts are 16-bit in the end record; names, extra fields and
// comments have 16-bit lengths.
inline constexpr int64_t kMaxEntries = 65535;
inline constexpr int64_t kMaxFieldLength = 65535;

// Host system "Windows NTFS" in "version made by". Info-ZIP unzip converts
// the names of entries from MS-DOS hosts (code 0) from code page 437 even
// when flag bit 11 says they are UTF-8; from this host it takes them as they
// are, as every other tool does.
inline constexpr uint8_t kHostNTFS = 11;

inline constexpr char kMsgReadOnly[] = "Archive was opened read-only";
inline constexpr char kMsgTooLarge[] =
    "The archive would reach 2 GB, more than a ZIP archive written here may hold";
inline constexpr char kMsgTooManyEntries[] =
    "The archive would hold more than 65535 entries, more than a ZIP archive may hold";
inline constexpr char kMsgNameTooLong[] = "Name is longer than 65535 bytes";
inline constexpr char kMsgExtraTooLong[] = "Extra field is longer than 65535 bytes";
inline constexpr char kMsgCommentTooLong[] = "Comment is longer than 65535 bytes";

// DOS time and date of a record; both 0 for no date. Years before 1980
// become 1980; the date is cut to 16 bits after 2107.
void DosTimeAndDate(const std::optional<Date>& date, uint16_t& time, uint16_t& dosDate);

// `name` (UTF-8) in the archive's encoding. A name that the encoding can't
// hold is stored as its UTF-8 bytes, and `utf8` is set: the record must then
// carry flag bit 11, or no reader would take the bytes as UTF-8.
std::string EncodeName(const ZipArchiveData& d, const std::string& name, bool& utf8);

// The most bytes deflate can make of `size` bytes, with room for the flush
// and the end of the stream.
int64_t DeflateBound(int64_t size);

}  // namespace zipwrite
