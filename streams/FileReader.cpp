#include "streams/FileReader.h"

#include <algorithm>
#include <string>

#include "platform/Exceptions.h"

FileReader::FileReader(FolderItem file) : f(std::move(file)) {}

FileReader::FileReader(FolderItem file, BinaryStreamPtr opened)
    : f(std::move(file)), bs(std::move(opened)) {}

FileReader::~FileReader() { Close(); }

BinaryStream& FileReader::stream(const char* operation) {
  if (!bs) throw RuntimeException(std::string("FileReader.") + operation + " on a closed stream");
  return *bs;
}

bool FileReader::Open() {
  if (bs) return true;
  bs = f.OpenAsBinaryFile(false);
  error = bs == nullptr;
  return !error;
}

std::string FileReader::Read(int32_t count) { return stream("Read").Read(count); }

bool FileReader::Eof() { return !bs || bs->Eof(); }

void FileReader::Close() {
  if (bs) {
    bs->Close();
    bs.reset();
  }
}

void FileReader::GetErrorDescription(int32_t& code, std::string& text) {
  code = error ? -1 : 0;
  text = error ? "open or read error" : "";
}

bool FileReader::Skip(int32_t count) {
  BinaryStream& s = stream("Skip");
  int64_t target = s.Position() + count;
  // Never move past the end (or before the start): stop there and fail.
  int64_t reached = std::clamp<int64_t>(target, 0, s.Length());
  s.SetPosition(reached);
  if (s.Position() != target) error = true;
  return !error;
}
