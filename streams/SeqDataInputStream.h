#pragma once
// The sequential source the engine reads the bytes it adds from. One
// implementation reads a data fork (FileReader), one a resource fork
// (RsrcForkReader); callers may pass their own.
//
// Contract: created closed for one file; Open on an open stream answers true;
// Read and Skip on a closed stream raise RuntimeException; the error state
// survives Close; ClearError clears it; destroying a stream closes it.
#include <cstdint>
#include <memory>
#include <string>

class SeqDataInputStream {
 public:
  virtual ~SeqDataInputStream() = default;
  // At most `count` bytes; fewer at the end, the empty string past it.
  virtual std::string Read(int32_t count) = 0;
  virtual bool Eof() = 0;
  virtual bool HadError() = 0;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual void GetErrorDescription(int32_t& code, std::string& text) = 0;
  virtual bool Skip(int32_t count) = 0;
  virtual void ClearError() = 0;
};

using SeqDataInputStreamPtr = std::shared_ptr<SeqDataInputStream>;
