#pragma once
// Reads a file's resource fork as a SeqDataInputStream, through the fork
// store's File-Manager-like interface (ForkStore::Current at Open).
//
// Failures keep the File Manager's result code in `errCode` (-1 for a read
// that came back short without one); a recorded error answers every Read and
// Skip with "" or false until ClearError or a new Open of the closed stream.
// The fork's length is taken at Open; reading stops there.
#include "platform/FolderItem.h"
#include "platform/ForkStore.h"
#include "streams/SeqDataInputStream.h"

class RsrcForkReader : public SeqDataInputStream {
 public:
  explicit RsrcForkReader(FolderItem f);
  ~RsrcForkReader() override;

  std::string Read(int32_t count) override;
  bool Eof() override;
  bool HadError() override { return errCode != 0; }
  // False, with no code, for an item without a path; otherwise false with
  // the File Manager's code (fnfErr for a missing file, notAFileErr for a
  // folder).
  bool Open() override;
  void Close() override;
  // "open or read error (CODE)" while a code is recorded.
  void GetErrorDescription(int32_t& code, std::string& text) override;
  // A skip past the end stops at the end and fails without a code; a
  // negative count fails with paramErr and leaves the position alone.
  bool Skip(int32_t count) override;
  void ClearError() override { errCode = 0; }

 private:
  int32_t refnum = 0;
  int32_t errCode = 0;
  int32_t length = 0;
  FolderItem f;
  int32_t bytesRead = 0;
  // The store the fork was opened in; it answers for `refnum`.
  ForkStorePtr store;
};
