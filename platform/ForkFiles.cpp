#include "platform/ForkFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace forkfiles {

Fd::~Fd() {
  if (fd_ >= 0) ::close(fd_);
}

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

int Fd::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

void Split(const fs::path& item, fs::path& folder, std::string& name) {
  fs::path p = item;
  if (!p.has_filename() && p.has_parent_path() && p != p.root_path()) p = p.parent_path();
  name = p.filename().string();
  folder = p.parent_path();
  if (folder.empty()) folder = ".";
}

int CreateTemp(const fs::path& folder, const std::string& prefix, fs::path& path, Fd& fd) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 random{std::random_device{}()};
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 8; ++i) name += kChars[random() % (sizeof(kChars) - 1)];
    path = folder / name;
    int raw = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw >= 0) {
      fd = Fd(raw);
      return 0;
    }
    error = errno;
  }
  path.clear();
  return error;
}

int ReadAt(int fd, uint64_t offset, size_t length, std::string& out) {
  out.assign(length, '\0');
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(fd, out.data() + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int WriteAt(int fd, uint64_t offset, const void* data, size_t length) {
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::pwrite(fd, bytes + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int CopyRange(int from, uint64_t fromOffset, int to, uint64_t toOffset, uint64_t length) {
  std::vector<char> buffer(64 * 1024);
  uint64_t done = 0;
  while (done < length) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(buffer.size(), length - done));
    ssize_t n = ::pread(from, buffer.data(), chunk, static_cast<off_t>(fromOffset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    if (int error = WriteAt(to, toOffset + done, buffer.data(), static_cast<size_t>(n))) return error;
    done += static_cast<uint64_t>(n);
  }
  return 0;
}

int RemoveIfThere(const fs::path& path) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return 0;
  return errno;
}

}  // namespace forkfiles
