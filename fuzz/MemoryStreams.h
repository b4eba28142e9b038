#pragma once
// In-memory sources and sinks for the engine's sequential streams.
#include <string>

#include "streams/SeqDataInputStream.h"
#include "streams/SeqDataOutputStream.h"

namespace fuzzsupport {

class StringSource : public SeqDataInputStream {
 public:
  explicit StringSource(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string Read(int32_t count) override {
    std::string piece = bytes_.substr(pos_, static_cast<size_t>(std::max(count, 0)));
    pos_ += piece.size();
    return piece;
  }
  bool Eof() override { return pos_ >= bytes_.size(); }
  bool HadError() override { return false; }
  bool Open() override { pos_ = 0; return true; }
  void Close() override {}
  void GetErrorDescription(int32_t& code, std::string& text) override { code = 0; text.clear(); }
  bool Skip(int32_t) override { return false; }
  void ClearError() override {}

 private:
  std::string bytes_;
  size_t pos_ = 0;
};

class StringSink : public SeqDataOutputStream {
 public:
  bool Write(std::string_view data) override { bytes.append(data); return true; }
  bool Open() override { bytes.clear(); return true; }
  bool Close() override { return true; }
  void GetErrorDescription(int32_t& code, std::string& text) override { code = 0; text.clear(); }
  bool Skip(int32_t) override { return false; }
  void ClearError() override {}
  bool Flush() override { return true; }
  std::string bytes;
};

}  // namespace fuzzsupport
