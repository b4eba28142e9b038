#pragma once
// Writes a file's resource fork as a SeqDataOutputStream, through the fork
// store's File-Manager-like interface (ForkStore::Current at Open).
//
// Open empties the fork. The store builds the new fork aside and puts it in
// place at Close, so the old fork (and the file's Finder information) stay
// as they were when a write fails: Close then drops the new fork and answers
// false. Failures keep the File Manager's result code in `errCode` (-1 for a
// write that came back short without one) until ClearError or a new Open of
// the closed stream; Close does not clear it.
#include "platform/FolderItem.h"
#include "platform/ForkStore.h"
#include "streams/SeqDataOutputStream.h"

class RsrcForkWriter : public SeqDataOutputStream {
 public:
  explicit RsrcForkWriter(FolderItem f);
  ~RsrcForkWriter() override;

  bool Write(std::string_view data) override;
  // False, with no code, for an item without a path; otherwise false with
  // the File Manager's code (fnfErr for a missing file, permErr for a locked
  // one, ioErr for a store file that can't be parsed and is left alone).
  bool Open() override;
  // True exactly when no error is recorded and the fork was put in place
  // (or nothing was open).
  bool Close() override;
  // "open or write error" while a code is recorded.
  void GetErrorDescription(int32_t& code, std::string& text) override;
  // Moves within the fork written so far; past its end fails. Failures
  // here record no code.
  bool Skip(int32_t count) override;
  void ClearError() override { errCode = 0; }
  // Touches nothing: the fork reaches the file at Close.
  bool Flush() override;

 private:
  int32_t errCode = 0;
  int32_t refnum = 0;
  FolderItem f;
  // The store the fork was opened in; it answers for `refnum`.
  ForkStorePtr store;
};
