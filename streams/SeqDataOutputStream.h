#pragma once
// The sequential destination the engine writes extracted bytes to. One
// implementation writes a data fork (FileWriter), one a resource fork
// (RsrcForkWriter).
//
// Contract as for SeqDataInputStream; Close answers whether everything
// written reached the file, and may be called twice.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class SeqDataOutputStream {
 public:
  virtual ~SeqDataOutputStream() = default;
  virtual bool Write(std::string_view data) = 0;
  virtual bool Open() = 0;
  virtual bool Close() = 0;
  virtual void GetErrorDescription(int32_t& code, std::string& text) = 0;
  virtual bool Skip(int32_t count) = 0;
  virtual void ClearError() = 0;
  virtual bool Flush() = 0;
};

using SeqDataOutputStreamPtr = std::shared_ptr<SeqDataOutputStream>;
