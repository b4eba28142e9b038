#pragma once
// Small file routines that the on-disk fork stores share. Each returns an
// errno value (0 for success) so that the stores can turn it into a File
// Manager code and a message.
#include <cstdint>
#include <filesystem>
#include <string>

namespace forkfiles {

// A file descriptor closed when the holder goes away.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd();
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int Release();

 private:
  int fd_ = -1;
};

// The folder and the name of an item, also for a path ending in a
// separator. The name is empty for a root.
void Split(const std::filesystem::path& item, std::filesystem::path& folder, std::string& name);

// Creates a new, empty file named `prefix` plus a random tail in `folder`,
// open for reading and writing, with the permissions new files get.
int CreateTemp(const std::filesystem::path& folder, const std::string& prefix,
               std::filesystem::path& path, Fd& fd);

// Reads exactly `length` bytes at `offset`; EIO when the file is shorter.
int ReadAt(int fd, uint64_t offset, size_t length, std::string& out);
// Writes all of `length` bytes at `offset`.
int WriteAt(int fd, uint64_t offset, const void* data, size_t length);
// Copies `length` bytes from one file to another.
int CopyRange(int from, uint64_t fromOffset, int to, uint64_t toOffset, uint64_t length);

// unlink, with a missing file counting as success.
int RemoveIfThere(const std::filesystem::path& path);

}  // namespace forkfiles
