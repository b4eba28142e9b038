#include "platform/BinaryStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/WriteBudget.h"

namespace {
constexpr int64_t kBufferSize = 64 * 1024;

bool isRegularFile(int fd, struct stat* info = nullptr) {
  struct stat st {};
  struct stat& out = info ? *info : st;
  return fstat(fd, &out) == 0 && S_ISREG(out.st_mode);
}
}  // namespace

std::shared_ptr<BinaryStream> BinaryStream::Open(const std::filesystem::path& path,
                                                 bool writable, struct stat* info) {
  // Non-blocking, so that a pipe in a file's place can't hang the open; it
  // changes nothing for a regular file.
  int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  if (!isRegularFile(fd, info)) {
    ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<BinaryStream>(new BinaryStream(fd, writable));
}

std::shared_ptr<BinaryStream> BinaryStream::Create(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  if (!isRegularFile(fd)) {
    ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<BinaryStream>(new BinaryStream(fd, true));
}

BinaryStream::BinaryStream(int fd, bool writable) : fd_(fd), writable_(writable) {
  buf_.reset(new uint8_t[kBufferSize]);
}

BinaryStream::~BinaryStream() { Close(); }

void BinaryStream::Close() {
  if (fd_ < 0) return;
  flushWrites();
  ::close(fd_);
  fd_ = -1;
  bufLen_ = 0;
}

void BinaryStream::SetPosition(int64_t position) {
  if (position >= 0) pos_ = position;
}

void BinaryStream::writeRaw(int64_t at, const uint8_t* src, int64_t count) {
  while (count > 0) {
    ssize_t n = writebudget::PWrite(fd_, src, static_cast<size_t>(count), at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      writeFailed_ = true;
      return;
    }
    src += n;
    at += n;
    count -= n;
  }
}

void BinaryStream::writeNoting(int64_t at, const uint8_t* src, int64_t count) {
  const bool failedBefore = writeFailed_;
  writeFailed_ = false;
  writeRaw(at, src, count);
  if (writeFailed_) firstFailedWrite_ = std::min(firstFailedWrite_, at);
  writeFailed_ = writeFailed_ || failedBefore;
}

bool BinaryStream::flushWrites() {
  if (!bufDirty_) return !writeFailed_;
  writeNoting(bufStart_, buf_.get(), bufLen_);
  bufDirty_ = false;
  // What was written stays as read cache, so that reading back what was
  // just written (a trailer, a header to patch) costs no system call.
  if (writeFailed_) bufLen_ = 0;
  return !writeFailed_;
}

void BinaryStream::dropReadBuffer() {
  if (!bufDirty_) bufLen_ = 0;
}

int64_t BinaryStream::Length() {
  if (fd_ < 0) return 0;
  struct stat st {};
  int64_t length = fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  if (bufDirty_) length = std::max(length, bufStart_ + bufLen_);
  return length;
}

bool BinaryStream::SetLength(int64_t length) {
  if (fd_ < 0 || !writable_ || length < 0) return false;
  flushWrites();
  bufLen_ = 0;
  return ::ftruncate(fd_, length) == 0;
}

int64_t BinaryStream::ReadInto(void* dst, int64_t count) {
  if (fd_ < 0 || count <= 0) return 0;
  auto* out = static_cast<uint8_t*>(dst);
  int64_t done = 0;
  // Reading back bytes that are still in a dirty buffer needs no flush.
  if (bufDirty_ && !(pos_ >= bufStart_ && pos_ + count <= bufStart_ + bufLen_)) flushWrites();
  while (done < count) {
    // Serve from the buffer when the position lies in it.
    if (pos_ >= bufStart_ && pos_ < bufStart_ + bufLen_) {
      int64_t n = std::min(count - done, bufStart_ + bufLen_ - pos_);
      std::memcpy(out + done, buf_.get() + (pos_ - bufStart_), static_cast<size_t>(n));
      done += n;
      pos_ += n;
      continue;
    }
    int64_t want = count - done;
    if (want >= kBufferSize) {
      // Large reads go straight to the caller's memory.
      ssize_t n = ::pread(fd_, out + done, static_cast<size_t>(want), pos_);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
      pos_ += n;
      continue;
    }
    ssize_t n = ::pread(fd_, buf_.get(), static_cast<size_t>(kBufferSize), pos_);
    if (n < 0 && errno == EINTR) continue;
    bufStart_ = pos_;
    bufLen_ = n > 0 ? n : 0;
    if (n <= 0) break;
  }
  return done;
}

std::string BinaryStream::Read(int64_t count) {
  std::string out;
  if (count <= 0 || fd_ < 0) return out;
  // Don't trust the count for the allocation: a hostile length field must not
  // make us reserve gigabytes for a short file. Up to a buffer's worth is
  // allocated as asked, which spares small reads a look at the length.
  const int64_t n =
      count <= kBufferSize ? count : std::min(count, std::max<int64_t>(0, Length() - pos_));
  out.resize(static_cast<size_t>(n));
  out.resize(static_cast<size_t>(ReadInto(out.data(), static_cast<int64_t>(out.size()))));
  return out;
}

void BinaryStream::readFixed(uint8_t* dst, int count) {
  int64_t n = ReadInto(dst, count);
  if (n < count) {
    std::memset(dst + n, 0, static_cast<size_t>(count - n));
    readShort_ = true;
  }
}

uint8_t BinaryStream::ReadUInt8() {
  uint8_t b = 0;
  readFixed(&b, 1);
  return b;
}

uint16_t BinaryStream::ReadUInt16() {
  uint8_t p[2];
  readFixed(p, 2);
  return littleEndian_ ? static_cast<uint16_t>(p[0] | p[1] << 8)
                       : static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t BinaryStream::ReadUInt32() {
  uint8_t p[4];
  readFixed(p, 4);
  if (littleEndian_) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  }
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

void BinaryStream::Write(std::string_view bytes) {
  Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void BinaryStream::Write(const void* src, int64_t count) {
  if (fd_ < 0 || count <= 0) return;
  if (!writable_) {
    writeFailed_ = true;
    return;
  }
  const auto* in = static_cast<const uint8_t*>(src);
  // Writes stay in a dirty buffer when they continue it or land inside it:
  // a header patched once its data is written costs no system call.
  const bool fits = bufDirty_ && pos_ >= bufStart_ && pos_ <= bufStart_ + bufLen_ &&
                    pos_ - bufStart_ + count <= kBufferSize;
  if (!fits) {
    if (bufDirty_) flushWrites();
    bufLen_ = 0;
    bufStart_ = pos_;
    if (count >= kBufferSize) {
      writeNoting(pos_, in, count);
      pos_ += count;
      return;
    }
  }
  const int64_t at = pos_ - bufStart_;
  std::memcpy(buf_.get() + at, in, static_cast<size_t>(count));
  bufLen_ = std::max(bufLen_, at + count);
  bufDirty_ = true;
  pos_ += count;
}

void BinaryStream::WriteUInt8(uint8_t value) { Write(&value, 1); }

void BinaryStream::WriteUInt16(uint16_t value) {
  uint8_t p[2];
  if (littleEndian_) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
  } else {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
  }
  Write(p, 2);
}

void BinaryStream::WriteUInt32(uint32_t value) {
  uint8_t p[4];
  for (int i = 0; i < 4; ++i) {
    int shift = littleEndian_ ? 8 * i : 8 * (3 - i);
    p[i] = static_cast<uint8_t>(value >> shift);
  }
  Write(p, 4);
}

bool BinaryStream::Flush() {
  if (fd_ < 0) return false;
  return flushWrites();
}

bool BinaryStream::Sync() {
  if (!Flush()) return false;
  return writebudget::FSync(fd_) == 0;
}
