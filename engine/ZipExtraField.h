#pragma once
// The extra field of one entry: a sequence of blocks (2-byte id, 2-byte data
// length, data), kept as one opaque byte block. The only thing the engine
// looks for inside it is a Macintosh type/creator block (id 0x2605 or 0x2705
// with the signature "ZPIT"), whose position is noted once, at construction.
//
// The bytes never change after construction; giving an entry another extra
// field means making a new object. Once an extra field belongs to an entry's
// record it is locked, and stays so. The object holds the archive's shared
// state, through which the name in a Macintosh block is converted.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ZipArchiveData.h"
#include "platform/MemoryBlock.h"

class ZipExtraField {
 public:
  // Copies the bytes (none when empty) and looks for the Macintosh block. Not
  // locked. Malformed block framing is not an error: the search just stops.
  ZipExtraField(ZipArchiveDataPtr d, std::string_view bytes);

  // The bytes; empty when there are none.
  std::string AsData() const;

  void Lock() { locked = true; }
  bool IsLocked() const { return locked; }

  // Offset inside the bytes of the Macintosh block found at construction (the
  // last one when there are several), or -1.
  int32_t MacBlockOffset() const { return zpit_rec; }

  // The file type and creator (four bytes each, as stored) and the name (from
  // the archive's encoding to UTF-8; empty in the short form) of the noted
  // Macintosh block. False, with all three emptied, when there is none or it
  // is malformed: a long form needs a data length of at least 13 and room in
  // its block for its name, type and creator.
  bool GetTypeCreatorName(std::string& type, std::string& creator, std::string& name) const;

  // The data of the first well-formed block with this id; none when there is
  // no such block.
  std::optional<std::string> BlockData(uint16_t id) const;

 private:
  ZipArchiveDataPtr d;
  MemoryBlockPtr data;  // little-endian; null when the extra field is empty
  bool locked = false;
  int32_t zpit_rec = -1;
};

using ZipExtraFieldPtr = std::shared_ptr<ZipExtraField>;
