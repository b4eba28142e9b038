#include "engine/ZipBinaryStreamReader.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {
// The classic File Manager's end-of-file code, which the stream takes as the
// normal end of its input where a member may end.
constexpr int32_t kEofErr = -39;
}  // namespace

ZipBinaryStreamReader::ZipBinaryStreamReader(BinaryStreamPtr stream, int64_t length,
                                             std::string prefix, std::string suffix)
    : theStream(std::move(stream)),
      prefixStr(std::move(prefix)),
      suffixStr(std::move(suffix)),
      prefixLen(static_cast<int64_t>(prefixStr.size())),
      suffixLen(static_cast<int64_t>(suffixStr.size())),
      streamLen(std::max<int64_t>(length, 0)) {
  leftToRead = prefixLen + streamLen + suffixLen;
}

std::string ZipBinaryStreamReader::Read(int32_t count) {
  try {
    int64_t n = std::min<int64_t>(count, leftToRead);
    if (count > 0 && n == 0) errCode = kEofErr;
    if (n <= 0) return std::string();
    leftToRead -= n;
    return fetch(n);
  } catch (const std::exception&) {
    // Nothing may cross the plug-in boundary; the stream sees an input error.
    errCode = -1;
    return std::string();
  }
}

std::string ZipBinaryStreamReader::fetch(int64_t count) {
  std::string result;
  result.reserve(static_cast<size_t>(count));
  while (count > 0) {
    int64_t n;
    if (prefixLen >= 1) {
      n = std::min(prefixLen, count);
      const size_t from = prefixStr.size() - static_cast<size_t>(prefixLen);
      result.append(prefixStr, from, static_cast<size_t>(n));
      prefixLen -= n;
    } else if (streamLen >= 1) {
      n = std::min(streamLen, count);
      streamLen -= n;
      // Accounting goes by what was asked for: when the archive ends early the
      // result is short and the stream notices the missing bytes itself.
      const size_t at = result.size();
      result.resize(at + static_cast<size_t>(n));
      const int64_t got = theStream->ReadInto(result.data() + at, n);
      result.resize(at + static_cast<size_t>(std::max<int64_t>(got, 0)));
    } else {
      n = std::min(suffixLen, count);
      const size_t from = suffixStr.size() - static_cast<size_t>(suffixLen);
      result.append(suffixStr, from, static_cast<size_t>(n));
      suffixLen -= n;
      // The counts always cover what Read asks for; this guards the loop
      // should they ever not.
      if (n == 0) break;
    }
    count -= n;
  }
  return result;
}
