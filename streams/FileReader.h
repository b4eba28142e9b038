#pragma once
// Reads a file's data fork as a SeqDataInputStream. Reading past the end
// gives short or empty reads and is not an error.
#include "platform/BinaryStream.h"
#include "platform/FolderItem.h"
#include "streams/SeqDataInputStream.h"

class FileReader : public SeqDataInputStream {
 public:
  explicit FileReader(FolderItem f);
  // A reader that starts open on `opened`, the data fork of `f` (see
  // FolderItem::OpenForReading); it takes the stream over.
  FileReader(FolderItem f, BinaryStreamPtr opened);
  ~FileReader() override;

  std::string Read(int32_t count) override;
  bool Eof() override;
  bool HadError() override { return error; }
  bool Open() override;
  void Close() override;
  void GetErrorDescription(int32_t& code, std::string& text) override;
  // A skip past the end stops at the end and fails, leaving the file alone.
  bool Skip(int32_t count) override;
  void ClearError() override { error = false; }

 private:
  BinaryStream& stream(const char* operation);

  FolderItem f;
  bool error = false;
  BinaryStreamPtr bs;
};
