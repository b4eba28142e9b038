#pragma once
// What the Corvane tests share: writer and reader objects that record and
// script what a stream does with them, and gzip members built with zlib
// directly, so that the plug-in is checked against an independent framing.
#include <zlib.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/plugin/StreamInterfaces.h"

namespace gztest {

// Keeps every piece a compressing stream hands on.
class RecordingWriter : public IStreamWriter {
 public:
  void Write(std::string_view data) override {
    pieces.emplace_back(data);
    if (failAfterPieces >= 0 && static_cast<int>(pieces.size()) >= failAfterPieces) error = -1;
    if (throwOnWrite) throw std::runtime_error("disk on fire");
  }
  int32_t LastError() override { return error; }
  std::string All() const {
    std::string all;
    for (const auto& piece : pieces) all += piece;
    return all;
  }

  std::vector<std::string> pieces;
  int32_t error = 0;
  // Reports an error once this many pieces arrived (-1: never).
  int failAfterPieces = -1;
  bool throwOnWrite = false;
};

// Hands out fixed bytes, at most `maxPiece` per Read, like the archive
// engine's entry reader: once a Read finds nothing left, LastError gives
// `endStatus`.
class ScriptedReader : public IStreamReader {
 public:
  explicit ScriptedReader(std::string bytes, int32_t endStatus = -39,
                          size_t maxPiece = std::numeric_limits<size_t>::max())
      : bytes_(std::move(bytes)), endStatus_(endStatus), maxPiece_(maxPiece) {}

  std::string Read(int32_t count) override {
    if (throwOnRead) throw std::runtime_error("cable cut");
    if (count <= 0) return {};
    size_t n = std::min({static_cast<size_t>(count), maxPiece_, bytes_.size() - position_});
    if (n == 0) {
      status_ = endStatus_;
      return {};
    }
    std::string piece = bytes_.substr(position_, n);
    position_ += n;
    // A broken reader: more than was asked for.
    if (overdeliver) piece += std::string(static_cast<size_t>(count), 'X');
    return piece;
  }
  int32_t LastError() override { return status_; }
  bool Eof() override { return position_ == bytes_.size(); }

  bool throwOnRead = false;
  bool overdeliver = false;

 private:
  std::string bytes_;
  size_t position_ = 0;
  int32_t status_ = 0;
  int32_t endStatus_;
  size_t maxPiece_;
};

inline uint32_t Crc32(std::string_view data) {
  return static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

inline std::string Le32(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
  return bytes;
}

inline std::string RawDeflate(std::string_view data) {
  z_stream zs{};
  if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

// The inflated bytes of raw deflate data; `complete` tells whether the
// deflate stream ended exactly at the end of `data`.
inline std::string RawInflate(std::string_view data, bool* complete = nullptr) {
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) throw std::runtime_error("inflateInit2");
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  std::string out;
  char buffer[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    zs.next_out = reinterpret_cast<Bytef*>(buffer);
    zs.avail_out = sizeof buffer;
    result = inflate(&zs, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - zs.avail_out);
    if (result == Z_BUF_ERROR && zs.avail_in == 0) break;
  }
  if (complete) *complete = result == Z_STREAM_END && zs.avail_in == 0;
  inflateEnd(&zs);
  return out;
}

struct MemberOptions {
  uint8_t method = 8;
  uint8_t flags = 0;
  std::string extra;    // with flag 0x04
  std::string name;     // with flag 0x08
  std::string comment;  // with flag 0x10
  uint32_t crcDelta = 0;
  uint32_t lengthDelta = 0;
};

// One gzip member of `data`, framed by hand.
inline std::string GzipMember(std::string_view data, const MemberOptions& options = {}) {
  std::string member = {'\x1F', '\x8B', static_cast<char>(options.method),
                        static_cast<char>(options.flags)};
  member += std::string(4, '\0');  // time
  member += '\0';                  // extra flags
  member += '\x03';                // Unix
  if (options.flags & 0x04) {
    member += static_cast<char>(options.extra.size() & 0xFF);
    member += static_cast<char>(options.extra.size() >> 8);
    member += options.extra;
  }
  if (options.flags & 0x08) member += options.name + '\0';
  if (options.flags & 0x10) member += options.comment + '\0';
  if (options.flags & 0x02) member += Le32(Crc32(member)).substr(0, 2);
  member += RawDeflate(data);
  member += Le32(Crc32(data) + options.crcDelta);
  member += Le32(static_cast<uint32_t>(data.size()) + options.lengthDelta);
  return member;
}

// Text-like bytes that compress to about a third, repeatable.
inline std::string SampleText(size_t size, uint32_t seed = 1) {
  static const char* const kWords[] = {"archive ", "fork ", "resource ", "the ", "data ",
                                       "Macintosh ", "entry ", "of ", "\n", "type ",
                                       "creator ", "stream ", "1999 ", "a ", "zip "};
  std::string text;
  text.reserve(size + 16);
  uint32_t x = seed;
  while (text.size() < size) {
    x = x * 1103515245u + 12345u;
    text += kWords[(x >> 16) % (sizeof kWords / sizeof kWords[0])];
  }
  text.resize(size);
  return text;
}

// Bytes that do not compress.
inline std::string NoiseBytes(size_t size, uint32_t seed = 7) {
  std::string bytes(size, '\0');
  uint32_t x = seed;
  for (auto& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

}  // namespace gztest
