#pragma once
// What the extraction tests share: raw deflate data, MacBinary streams, an
// output stream that keeps what it gets (and fails on request), and an
// archive written to a scratch folder and opened.
#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <string>

#include "engine/ZipArchive.h"
#include "engine/ZipBytes.h"
#include "platform/MemoryBlock.h"
#include "streams/Helpers.h"
#include "streams/SeqDataOutputStream.h"
#include "support/TestSupport.h"

namespace extracttest {

// Raw deflate data, as a ZIP entry stores it; level 9 with memory level 9
// gives the densest stream zlib makes.
inline std::string RawDeflate(const std::string& data, int level = Z_DEFAULT_COMPRESSION,
                              int memLevel = 8) {
  z_stream zs{};
  EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, -15, memLevel, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// Bytes that deflate poorly and differ from position to position.
inline std::string Noise(size_t n, uint32_t seed = 1) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1103515245 + 12345;
    c = static_cast<char>(seed >> 16);
  }
  return s;
}

struct MacBinaryFields {
  std::string name = "Read Me";
  std::string type = "TEXT";
  std::string creator = "ttxt";
  int32_t dataLength = 0;
  int32_t rsrcLength = 0;
  bool signature = true;
};

// A MacBinary III header with a valid CRC.
inline MemoryBlockPtr MacBinaryHeader(const MacBinaryFields& f) {
  auto h = MemoryBlock::Make(128);
  h->SetPString(1, f.name);
  h->SetStringValue(65, f.type);
  h->SetStringValue(69, f.creator);
  h->SetInt32Value(83, f.dataLength);
  h->SetInt32Value(87, f.rsrcLength);
  if (f.signature) h->SetUInt32Value(102, 0x6D42494E);
  h->SetByte(122, 130);
  h->SetByte(123, 129);
  h->SetUInt16Value(124, CRC_CCITT(*h, 0, 124));
  return h;
}

inline std::string PadTo128(std::string s) {
  s.resize((s.size() + 127) / 128 * 128, '\0');
  return s;
}

// Header, data fork and resource fork, each padded to a multiple of 128.
inline std::string MacBinaryStream(const std::string& data, const std::string& rsrc,
                                   MacBinaryFields f = {}) {
  f.dataLength = static_cast<int32_t>(data.size());
  f.rsrcLength = static_cast<int32_t>(rsrc.size());
  return MacBinaryHeader(f)->ToString() + PadTo128(data) + PadTo128(rsrc);
}

// Keeps what is written; fails where told to.
class MemoryOutput : public SeqDataOutputStream {
 public:
  bool Write(std::string_view data) override {
    if (!open) throw std::logic_error("write to a closed stream");
    if (failWrites) return false;
    bytes.append(data);
    return true;
  }
  bool Open() override {
    ++opens;
    if (failOpen) return false;
    open = true;
    bytes.clear();
    return true;
  }
  bool Close() override {
    open = false;
    return !failWrites;
  }
  void GetErrorDescription(int32_t& code, std::string& text) override {
    code = 0;
    text.clear();
  }
  bool Skip(int32_t) override { return false; }
  void ClearError() override {}
  bool Flush() override { return true; }

  std::string bytes;
  int opens = 0;
  bool open = false;
  bool failOpen = false;
  bool failWrites = false;
};

// An archive written into a scratch folder and opened read-only.
class OpenArchive {
  // First, so that the folder outlives the archive.
  testsupport::TempDir dir_;
  std::filesystem::path path_;

 public:
  explicit OpenArchive(const ziptest::Archive& a) : OpenArchive(a.Build().bytes) {}
  explicit OpenArchive(const std::string& bytes) : path_(dir_ / "test.zip") {
    testsupport::WriteFile(path_, bytes);
    EXPECT_TRUE(archive.Open(FolderItem(path_), false)) << archive.ErrorMessage();
  }
  ZipEntryPtr Entry(int32_t i) const { return archive.Entry(i); }
  const std::filesystem::path& path() const { return path_; }
  const testsupport::TempDir& dir() const { return dir_; }

  ZipArchive archive;
};

}  // namespace extracttest
