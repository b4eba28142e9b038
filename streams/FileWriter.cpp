#include "streams/FileWriter.h"

#include <string>

#include "platform/Exceptions.h"

FileWriter::FileWriter(FolderItem file) : f(std::move(file)) {}

FileWriter::~FileWriter() { Close(); }

BinaryStream& FileWriter::stream(const char* operation) {
  if (!bs) throw RuntimeException(std::string("FileWriter.") + operation + " on a closed stream");
  return *bs;
}

bool FileWriter::Open() {
  if (bs) return true;
  bs = f.Exists() ? f.OpenAsBinaryFile(true) : f.CreateBinaryFile();
  if (bs) bs->SetLength(0);
  error = !bs || bs->Length() != 0;
  return !error;
}

bool FileWriter::Write(std::string_view data) {
  BinaryStream& s = stream("Write");
  written += static_cast<int32_t>(data.size());
  s.Write(data);
  return true;
}

bool FileWriter::lengthMatches() {
  // Hand the buffered bytes to the system first: only then does the file's
  // length tell whether they all arrived.
  bs->Flush();
  return bs->Length() == written;
}

bool FileWriter::Flush() {
  stream("Flush");
  if (!lengthMatches()) error = true;
  return !error;
}

bool FileWriter::Close() {
  if (!bs) return true;
  if (!lengthMatches()) error = true;
  bs->Close();
  bs.reset();
  return !error;
}

void FileWriter::GetErrorDescription(int32_t& code, std::string& text) {
  code = error ? -1 : 0;
  text = error ? "open or write error" : "";
}

bool FileWriter::Skip(int32_t count) {
  BinaryStream& s = stream("Skip");
  written += count;
  if (s.Length() < written) s.SetLength(written);
  s.SetPosition(s.Position() + count);
  return true;
}
