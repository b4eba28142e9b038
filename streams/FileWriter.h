#pragma once
// Writes a file's data fork as a SeqDataOutputStream.
//
// The binary stream does not report a failed write, so the writer counts every
// byte it is given (`written`, never reset) and trusts the file only when its
// length equals that count, at Flush and at Close: a full disk shows as a
// mismatch. Open empties the data fork. Meant for one pass.
#include "platform/BinaryStream.h"
#include "platform/FolderItem.h"
#include "streams/SeqDataOutputStream.h"

class FileWriter : public SeqDataOutputStream {
 public:
  explicit FileWriter(FolderItem f);
  ~FileWriter() override;

  bool Write(std::string_view data) override;
  bool Open() override;
  bool Close() override;
  void GetErrorDescription(int32_t& code, std::string& text) override;
  // Counts the skipped bytes and extends the file to cover them; the next
  // write lands after them.
  bool Skip(int32_t count) override;
  void ClearError() override { error = false; }
  bool Flush() override;

  int32_t Written() const { return written; }

 private:
  BinaryStream& stream(const char* operation);
  bool lengthMatches();

  FolderItem f;
  bool error = false;
  BinaryStreamPtr bs;
  int32_t written = 0;
};
