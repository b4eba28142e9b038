#include "streams/RsrcForkReader.h"

#include <new>

#include "platform/Exceptions.h"

RsrcForkReader::RsrcForkReader(FolderItem file) : f(std::move(file)) {}

RsrcForkReader::~RsrcForkReader() { Close(); }

bool RsrcForkReader::Open() {
  if (refnum != 0) return true;
  errCode = 0;
  refnum = 0;
  length = 0;
  bytesRead = 0;
  // Forks are reached by path here, so only an item without one can't be
  // reached at all.
  if (f.Path().empty()) return false;
  store = ForkStore::Current();
  int16_t ref = 0;
  OSErr err = store->OpenRF(f.Path(), fsCurPerm, ref);
  if (err != ForkErr::noErr) {
    errCode = err;
    return false;
  }
  int32_t eof = 0;
  err = store->GetEOF(ref, eof);
  if (err != ForkErr::noErr) {
    store->FSClose(ref);
    errCode = err;
    return false;
  }
  length = eof;
  refnum = ref;
  return true;
}

std::string RsrcForkReader::Read(int32_t count) {
  if (errCode != 0) return {};
  if (refnum == 0) throw RuntimeException("RsrcForkReader.Read on a closed stream");
  if (length - bytesRead < count) count = length - bytesRead;
  if (count <= 0) return {};
  std::string buffer;
  try {
    buffer.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryException();
  }
  int32_t got = count;
  int32_t result = store->FSRead(static_cast<int16_t>(refnum), got, buffer.data());
  if (result == 0 && got < count) result = -1;
  if (result < 0) {
    errCode = result;
    return {};
  }
  bytesRead += got;
  buffer.resize(static_cast<size_t>(got));
  return buffer;
}

bool RsrcForkReader::Eof() { return bytesRead >= length || refnum == 0; }

void RsrcForkReader::Close() {
  if (refnum != 0) {
    store->FSClose(static_cast<int16_t>(refnum));
    refnum = 0;
  }
}

void RsrcForkReader::GetErrorDescription(int32_t& code, std::string& text) {
  code = errCode;
  text = errCode != 0 ? "open or read error (" + std::to_string(errCode) + ")" : "";
}

bool RsrcForkReader::Skip(int32_t count) {
  if (errCode != 0) return false;
  if (refnum == 0) throw RuntimeException("RsrcForkReader.Skip on a closed stream");
  if (count < 0) {
    errCode = ForkErr::paramErr;
    return false;
  }
  auto ref = static_cast<int16_t>(refnum);
  if (int64_t(bytesRead) + count > length) {
    store->SetFPos(ref, fsFromStart, length);
    bytesRead = length;
    return false;
  }
  bytesRead += count;
  OSErr err = store->SetFPos(ref, fsFromStart, bytesRead);
  if (err < 0) {
    errCode = err;
    return false;
  }
  return true;
}
