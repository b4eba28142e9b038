#pragma once
// What the fuzz targets share: a scratch folder of their own, file helpers,
// a reader that turns fuzz input into decisions, and the checks a target
// makes after letting the engine loose on hostile bytes.
//
// A failed check calls Fail, which prints the reason and aborts, so that
// libFuzzer (or the replay driver) reports the input as a finding.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzzsupport {

// A folder private to this process, made on first use and removed at exit.
const std::filesystem::path& Scratch();

// Writes `bytes` to `path`, replacing what was there.
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

// Removes everything inside `folder` (not the folder itself), following no
// links.
void EmptyFolder(const std::filesystem::path& folder);

// Fails when anything but `allowed` and `trap` lies in `jail`, or when a
// link below `allowed` points out of it (other than to `trap`, where the
// target's own links point).
void CheckNothingEscaped(const std::filesystem::path& jail, const std::filesystem::path& allowed,
                         const std::filesystem::path& trap);

[[noreturn]] void Fail(const std::string& why);

// Hands out fuzz input as decisions. Reads past the end give zeros, so a
// short input still decides something.
class Decisions {
 public:
  Decisions(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  // A value from 0 to `bound` - 1 (`bound` > 0).
  uint32_t Below(uint32_t bound) { return U16() % bound; }
  bool Flag() { return (Byte() & 1) != 0; }
  // Up to `max` bytes, length first.
  std::string Bytes(size_t max);

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace fuzzsupport
