#include "streams/RsrcForkWriter.h"

#include <limits>

#include "platform/Exceptions.h"

RsrcForkWriter::RsrcForkWriter(FolderItem file) : f(std::move(file)) {}

RsrcForkWriter::~RsrcForkWriter() { Close(); }

bool RsrcForkWriter::Open() {
  if (refnum != 0) return true;
  errCode = 0;
  refnum = 0;
  if (f.Path().empty()) return false;
  store = ForkStore::Current();
  int16_t ref = 0;
  OSErr err = store->OpenRF(f.Path(), fsRdWrShPerm, ref);
  if (err != ForkErr::noErr) {
    errCode = err;
    return false;
  }
  // The old fork is discarded, also when nothing is written.
  err = store->SetEOF(ref, 0);
  if (err != ForkErr::noErr) {
    store->FSClose(ref);
    errCode = err;
    return false;
  }
  refnum = ref;
  return true;
}

bool RsrcForkWriter::Write(std::string_view data) {
  if (errCode != 0) return false;
  if (refnum == 0) throw RuntimeException("RsrcForkWriter.Write on a closed stream");
  if (data.size() > size_t(std::numeric_limits<int32_t>::max())) {
    errCode = ForkErr::paramErr;
    return false;
  }
  auto count = static_cast<int32_t>(data.size());
  int32_t written = count;
  int32_t result = store->FSWrite(static_cast<int16_t>(refnum), written, data.data());
  if (result == 0 && written < count) result = -1;
  if (result < 0) {
    errCode = result;
    return false;
  }
  return true;
}

bool RsrcForkWriter::Close() {
  OSErr closed = ForkErr::noErr;
  if (refnum != 0) {
    closed = store->FSClose(static_cast<int16_t>(refnum));
    refnum = 0;
  }
  return errCode == 0 && closed == ForkErr::noErr;
}

bool RsrcForkWriter::Flush() {
  if (refnum == 0) throw RuntimeException("RsrcForkWriter.Flush on a closed stream");
  return errCode == 0;
}

void RsrcForkWriter::GetErrorDescription(int32_t& code, std::string& text) {
  code = errCode;
  text = errCode != 0 ? "open or write error" : "";
}

bool RsrcForkWriter::Skip(int32_t count) {
  if (errCode != 0) return false;
  if (refnum == 0) throw RuntimeException("RsrcForkWriter.Skip on a closed stream");
  auto ref = static_cast<int16_t>(refnum);
  int32_t position = 0;
  if (store->GetFPos(ref, position) != ForkErr::noErr) return false;
  int64_t target = int64_t(position) + count;
  if (target > std::numeric_limits<int32_t>::max()) return false;
  return store->SetFPos(ref, fsFromStart, static_cast<int32_t>(target)) == ForkErr::noErr;
}
