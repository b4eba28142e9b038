// Corvane's gzip reader on arbitrary bytes, through the plug-in as the
// engine uses it: read the stream to its end in pieces whose sizes the
// input's first bytes choose. It must end or fail with one of its error
// codes; what it hands out must match what zlib makes of the same member,
// and input that isn't gzip comes through unchanged.
#include <zlib.h>

#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "platform/plugin/PluginHost.h"
#include "platform/plugin/ZStream.h"

using fuzzsupport::Fail;

namespace {

class BytesReader : public IStreamReader {
 public:
  BytesReader(std::string bytes, int32_t piece) : bytes_(std::move(bytes)), piece_(piece) {}
  std::string Read(int32_t count) override {
    const size_t n = std::min<size_t>(static_cast<size_t>(std::min(count, piece_)),
                                      bytes_.size() - pos_);
    std::string out = bytes_.substr(pos_, n);
    pos_ += n;
    return out;
  }
  int32_t LastError() override { return pos_ >= bytes_.size() ? -39 : 0; }

 private:
  std::string bytes_;
  int32_t piece_;
  size_t pos_ = 0;
};

// What zlib itself inflates from the first gzip member: the bytes, and
// whether the member was complete and correct.
std::string ZlibInflate(const std::string& in, bool& complete) {
  z_stream z{};
  complete = false;
  std::string out;
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return out;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  char buffer[16384];
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
    if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) break;
    if (out.size() > (64u << 20)) break;
  }
  complete = rc == Z_STREAM_END;
  inflateEnd(&z);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    if (!PluginHost::Instance()->Ok()) Fail(PluginHost::Instance()->Error());
    return true;
  }();
  (void)started;
  if (size < 2) return 0;
  const int32_t piece = 1 + data[0] % 64 * 256 + data[0] / 64;
  const int32_t ask = 1 + data[1] * 97;
  const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);

  ZStream stream(false, nullptr, std::make_shared<BytesReader>(input, piece));
  std::string out;
  while (stream.ErrorValue() == 0) {
    const std::string got = stream.Read(ask);
    if (got.empty()) break;
    if (got.size() > static_cast<size_t>(ask)) Fail("Read gave more than asked");
    out += got;
    if (out.size() > (64u << 20)) return 0;
  }
  const int32_t error = stream.ErrorValue();
  if (error != 0 && error != 1 && error != -1 && error != -2 && error != -3 && error != -5) {
    Fail("unexpected error value " + std::to_string(error));
  }
  stream.Close();

  if (error != 0) return 0;
  // Input that isn't gzip passes through as it is.
  if (input.size() < 2 || input[0] != '\x1f' || input[1] != '\x8b') {
    if (out != input) Fail("input without the gzip magic did not pass through");
    return 0;
  }
  // The reader skips a header's own CRC (FHCRC) unchecked, as the gzip
  // library it follows does; zlib checks it. The trailer's CRC still covers
  // the data.
  if (input.size() > 3 && (input[3] & 0x02)) return 0;
  // A member that read cleanly is one zlib accepts, with the same bytes.
  bool complete = false;
  const std::string reference = ZlibInflate(input, complete);
  if (!complete) Fail("a damaged member read as complete");
  if (out.compare(0, reference.size(), reference) != 0) Fail("the bytes differ from zlib's");
  return 0;
}
