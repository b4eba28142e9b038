#pragma once
// The baseline the add benchmarks compare with: a file through zlib alone,
// with the same reads and the same raw-deflate parameters as Corvane's
// streams, the output appended to `out`.
#include <zlib.h>

#include <cstdint>
#include <string>

#include "platform/BinaryStream.h"
#include "streams/FileReader.h"

namespace bench {

inline bool DeflateInto(FileReader& reader, BinaryStream& out, int level) {
  constexpr size_t kChunk = 16384;
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  unsigned char buffer[kChunk];
  int flush = Z_NO_FLUSH;
  do {
    const std::string piece = reader.Read(static_cast<int32_t>(kChunk));
    flush = piece.empty() ? Z_FINISH : Z_NO_FLUSH;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    zs.avail_in = static_cast<uInt>(piece.size());
    do {
      zs.next_out = buffer;
      zs.avail_out = kChunk;
      deflate(&zs, flush);
      out.Write(buffer, static_cast<int64_t>(kChunk - zs.avail_out));
    } while (zs.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&zs);
  return true;
}

}  // namespace bench
