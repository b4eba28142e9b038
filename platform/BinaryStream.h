#pragma once
// A random-access file stream with typed reads and writes.
//
// Reads and writes go through one buffer, so reading a 46-byte record costs no
// system call, and many small writes (also ones that go back to patch bytes
// still in the buffer) reach the system as one. The stream is big-endian until
// SetLittleEndian(true).
//
// Like the classic platform's stream, a failed write is not reported by Write:
// the bytes are dropped and the failure latched (WriteFailed). Callers that
// must know check the length afterwards or ask WriteFailed. A read past the
// end returns fewer bytes (typed reads fill the missing bytes with zeros and
// latch ReadShort), never garbage: a file that shrinks while open only gives
// short reads.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct stat;

class BinaryStream {
 public:
  // Opens an existing regular file; nullptr when it can't be opened (missing,
  // a folder, no permission). Something else in a file's place (a pipe) is
  // refused without waiting for it. `info`, when given, gets what the open
  // file is.
  static std::shared_ptr<BinaryStream> Open(const std::filesystem::path& path, bool writable,
                                            struct stat* info = nullptr);
  // Creates the file, or empties an existing one, open for reading and
  // writing; nullptr on failure.
  static std::shared_ptr<BinaryStream> Create(const std::filesystem::path& path);

  ~BinaryStream();
  BinaryStream(const BinaryStream&) = delete;
  BinaryStream& operator=(const BinaryStream&) = delete;

  bool LittleEndian() const { return littleEndian_; }
  void SetLittleEndian(bool little) { littleEndian_ = little; }

  bool IsOpen() const { return fd_ >= 0; }
  bool Writable() const { return writable_; }
  // Writes what is buffered and closes the file. Safe to call twice.
  void Close();

  int64_t Position() const { return pos_; }
  // Any position >= 0 is allowed, also past the end; negative positions are
  // ignored.
  void SetPosition(int64_t position);
  // The file's length, including bytes still in the write buffer.
  int64_t Length();
  // Cuts or extends the file (with zeros). False when the system refused.
  bool SetLength(int64_t length);
  bool Eof() { return pos_ >= Length(); }

  // Up to `count` bytes from the position; fewer at the end of the file.
  std::string Read(int64_t count);
  // Reads up to `count` bytes into `dst`; returns how many were read.
  int64_t ReadInto(void* dst, int64_t count);
  uint8_t ReadUInt8();
  int8_t ReadInt8() { return static_cast<int8_t>(ReadUInt8()); }
  uint16_t ReadUInt16();
  int16_t ReadInt16() { return static_cast<int16_t>(ReadUInt16()); }
  uint32_t ReadUInt32();
  int32_t ReadInt32() { return static_cast<int32_t>(ReadUInt32()); }

  void Write(std::string_view bytes);
  void Write(const void* src, int64_t count);
  void WriteUInt8(uint8_t value);
  void WriteInt8(int8_t value) { WriteUInt8(static_cast<uint8_t>(value)); }
  void WriteUInt16(uint16_t value);
  void WriteInt16(int16_t value) { WriteUInt16(static_cast<uint16_t>(value)); }
  void WriteUInt32(uint32_t value);
  void WriteInt32(int32_t value) { WriteUInt32(static_cast<uint32_t>(value)); }

  // Hands buffered bytes to the system. False when a write failed.
  bool Flush();
  // Flush, then make the bytes durable (fsync). False on any failure.
  bool Sync();

  // Latched when the system refused a write (disk full, file too large).
  bool WriteFailed() const { return writeFailed_; }
  // The lowest file position from which written bytes may be lost, while
  // WriteFailed holds (bytes before it were handed to the system); -1 when
  // no write failed. A failed buffer counts from its start.
  int64_t FirstFailedWrite() const { return writeFailed_ ? firstFailedWrite_ : -1; }
  // Latched when a typed read ran past the end of the file.
  bool ReadShort() const { return readShort_; }
  void ClearFlags() {
    writeFailed_ = readShort_ = false;
    firstFailedWrite_ = INT64_MAX;
  }

 private:
  BinaryStream(int fd, bool writable);
  bool flushWrites();
  void dropReadBuffer();
  void readFixed(uint8_t* dst, int count);
  void writeRaw(int64_t at, const uint8_t* src, int64_t count);
  // writeRaw, noting where a failure began.
  void writeNoting(int64_t at, const uint8_t* src, int64_t count);

  int fd_ = -1;
  bool writable_ = false;
  bool littleEndian_ = false;
  bool writeFailed_ = false;
  bool readShort_ = false;
  int64_t firstFailedWrite_ = INT64_MAX;
  int64_t pos_ = 0;
  // The buffer covers the file bytes [bufStart_, bufStart_ + bufLen_); when
  // bufDirty_ it holds writes not yet handed to the system.
  // Not zero-filled: a stream opened to read a few bytes must not pay for
  // clearing all of it.
  std::unique_ptr<uint8_t[]> buf_;
  int64_t bufStart_ = 0;
  int64_t bufLen_ = 0;
  bool bufDirty_ = false;
};

using BinaryStreamPtr = std::shared_ptr<BinaryStream>;
