#pragma once
// A byte buffer with typed access at offsets and a byte-order switch.
//
// Every access is bounds-checked: reading or writing outside [0, Size()) raises
// OutOfBoundsException, so a length taken from a file can never index past the
// buffer. A block is big-endian until SetLittleEndian(true), as the classic
// platform's blocks were. Blocks are shared by std::shared_ptr; a block that
// can't be allocated raises OutOfMemoryException.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class MemoryBlock {
 public:
  // A zero-filled block of `size` bytes (negative sizes are out of bounds).
  explicit MemoryBlock(int64_t size);
  static std::shared_ptr<MemoryBlock> Make(int64_t size, bool littleEndian = false);
  // A block holding a copy of `bytes`.
  static std::shared_ptr<MemoryBlock> FromString(std::string_view bytes, bool littleEndian = false);

  int32_t Size() const { return static_cast<int32_t>(bytes_.size()); }
  // Grows with zeros or cuts at the end.
  void SetSize(int64_t size);

  bool LittleEndian() const { return littleEndian_; }
  void SetLittleEndian(bool little) { littleEndian_ = little; }

  uint8_t Byte(int64_t offset) const;
  void SetByte(int64_t offset, uint8_t value);
  int8_t Int8Value(int64_t offset) const { return static_cast<int8_t>(Byte(offset)); }
  uint16_t UInt16Value(int64_t offset) const;
  void SetUInt16Value(int64_t offset, uint16_t value);
  int16_t Int16Value(int64_t offset) const { return static_cast<int16_t>(UInt16Value(offset)); }
  void SetInt16Value(int64_t offset, int16_t value) { SetUInt16Value(offset, static_cast<uint16_t>(value)); }
  uint32_t UInt32Value(int64_t offset) const;
  void SetUInt32Value(int64_t offset, uint32_t value);
  int32_t Int32Value(int64_t offset) const { return static_cast<int32_t>(UInt32Value(offset)); }
  void SetInt32Value(int64_t offset, int32_t value) { SetUInt32Value(offset, static_cast<uint32_t>(value)); }

  // `length` bytes from `offset`, as a byte string.
  std::string StringValue(int64_t offset, int64_t length) const;
  // Copies all of `bytes` to `offset`.
  void SetStringValue(int64_t offset, std::string_view bytes);
  // A length-prefixed string (one length byte, then the bytes) at `offset`.
  std::string PString(int64_t offset) const;
  // Writes a length-prefixed string; `bytes` longer than 255 is cut to 255.
  void SetPString(int64_t offset, std::string_view bytes);

  // The whole block as a byte string.
  std::string ToString() const { return std::string(bytes_.begin(), bytes_.end()); }

  // The address of the byte at `offset` (offset == Size() gives the end).
  uint8_t* Address(int64_t offset = 0);
  const uint8_t* Address(int64_t offset = 0) const;

 private:
  void check(int64_t offset, int64_t length) const;

  std::vector<uint8_t> bytes_;
  bool littleEndian_ = false;
};

using MemoryBlockPtr = std::shared_ptr<MemoryBlock>;
