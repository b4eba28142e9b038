#include "platform/MemoryBlock.h"

#include <cstring>
#include <new>

#include "platform/Exceptions.h"

MemoryBlock::MemoryBlock(int64_t size) {
  if (size < 0) throw OutOfBoundsException("MemoryBlock size is negative");
  try {
    bytes_.assign(static_cast<size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryException();
  } catch (const std::length_error&) {
    throw OutOfMemoryException();
  }
}

std::shared_ptr<MemoryBlock> MemoryBlock::Make(int64_t size, bool littleEndian) {
  auto block = std::make_shared<MemoryBlock>(size);
  block->littleEndian_ = littleEndian;
  return block;
}

std::shared_ptr<MemoryBlock> MemoryBlock::FromString(std::string_view bytes, bool littleEndian) {
  auto block = Make(static_cast<int64_t>(bytes.size()), littleEndian);
  if (!bytes.empty()) std::memcpy(block->bytes_.data(), bytes.data(), bytes.size());
  return block;
}

void MemoryBlock::SetSize(int64_t size) {
  if (size < 0) throw OutOfBoundsException("MemoryBlock size is negative");
  try {
    bytes_.resize(static_cast<size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryException();
  }
}

void MemoryBlock::check(int64_t offset, int64_t length) const {
  if (offset < 0 || length < 0 || offset > static_cast<int64_t>(bytes_.size()) ||
      length > static_cast<int64_t>(bytes_.size()) - offset) {
    throw OutOfBoundsException("MemoryBlock access out of bounds");
  }
}

uint8_t MemoryBlock::Byte(int64_t offset) const {
  check(offset, 1);
  return bytes_[static_cast<size_t>(offset)];
}

void MemoryBlock::SetByte(int64_t offset, uint8_t value) {
  check(offset, 1);
  bytes_[static_cast<size_t>(offset)] = value;
}

uint16_t MemoryBlock::UInt16Value(int64_t offset) const {
  check(offset, 2);
  const uint8_t* p = bytes_.data() + offset;
  return littleEndian_ ? static_cast<uint16_t>(p[0] | p[1] << 8)
                       : static_cast<uint16_t>(p[0] << 8 | p[1]);
}

void MemoryBlock::SetUInt16Value(int64_t offset, uint16_t value) {
  check(offset, 2);
  uint8_t* p = bytes_.data() + offset;
  if (littleEndian_) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
  } else {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
  }
}

uint32_t MemoryBlock::UInt32Value(int64_t offset) const {
  check(offset, 4);
  const uint8_t* p = bytes_.data() + offset;
  if (littleEndian_) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  }
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

void MemoryBlock::SetUInt32Value(int64_t offset, uint32_t value) {
  check(offset, 4);
  uint8_t* p = bytes_.data() + offset;
  for (int i = 0; i < 4; ++i) {
    int shift = littleEndian_ ? 8 * i : 8 * (3 - i);
    p[i] = static_cast<uint8_t>(value >> shift);
  }
}

std::string MemoryBlock::StringValue(int64_t offset, int64_t length) const {
  check(offset, length);
  return std::string(reinterpret_cast<const char*>(bytes_.data()) + offset,
                     static_cast<size_t>(length));
}

void MemoryBlock::SetStringValue(int64_t offset, std::string_view bytes) {
  check(offset, static_cast<int64_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
}

std::string MemoryBlock::PString(int64_t offset) const {
  return StringValue(offset + 1, Byte(offset));
}

void MemoryBlock::SetPString(int64_t offset, std::string_view bytes) {
  if (bytes.size() > 255) bytes = bytes.substr(0, 255);
  check(offset, static_cast<int64_t>(bytes.size()) + 1);
  SetByte(offset, static_cast<uint8_t>(bytes.size()));
  SetStringValue(offset + 1, bytes);
}

uint8_t* MemoryBlock::Address(int64_t offset) {
  check(offset, 0);
  return bytes_.data() + offset;
}

const uint8_t* MemoryBlock::Address(int64_t offset) const {
  check(offset, 0);
  return bytes_.data() + offset;
}
