// What Corvane costs on top of zlib.
//
// Compression64MiB: 64 MiB of text-like data compressed in 16384-byte pieces,
// once with zlib's deflate directly (the parameters every stream uses: level
// -1, method 8, window bits -15, memory level 8, default strategy; a
// 16384-byte output buffer) and once through ZStream on a writer object, the
// two taking turns in one run. The counters give both times and Corvane's
// overhead in percent (the gzip framing's CRC-32 included).
//
// Streams*: the cost of one stream's open and close, over 65,000 streams as
// an archive with that many entries would open; RawInitEnd shows what a fresh
// zlib state per stream would cost instead.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/plugin/PluginHost.h"
#include "platform/plugin/ZStream.h"

namespace {

constexpr size_t kChunk = 16384;
constexpr int kStreams = 65000;

// Takes the bytes and does as little as possible with them, the same in both
// contestants.
struct Sink {
  size_t bytes = 0;
  unsigned char check = 0;
  void Take(const void* data, size_t n) {
    bytes += n;
    if (n) check ^= *static_cast<const unsigned char*>(data);
  }
};

class SinkWriter : public IStreamWriter {
 public:
  explicit SinkWriter(Sink& sink) : sink_(sink) {}
  void Write(std::string_view data) override { sink_.Take(data.data(), data.size()); }
  int32_t LastError() override { return 0; }

 private:
  Sink& sink_;
};

class BytesReader : public IStreamReader {
 public:
  explicit BytesReader(const std::string& bytes) : bytes_(bytes) {}
  std::string Read(int32_t count) override {
    const size_t n = std::min(static_cast<size_t>(count), bytes_.size() - at_);
    std::string piece = bytes_.substr(at_, n);
    at_ += n;
    return piece;
  }
  int32_t LastError() override { return at_ == bytes_.size() ? -39 : 0; }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

const std::string& Sample() {
  static const std::string text = [] {
    static const char* const kWords[] = {"archive ", "fork ", "resource ", "the ", "data ",
                                         "Macintosh ", "entry ", "of ", "\n", "type ",
                                         "creator ", "stream ", "1999 ", "a ", "zip ", "and "};
    std::string t;
    const size_t size = size_t{64} << 20;
    t.reserve(size + 16);
    uint32_t x = 12345;
    while (t.size() < size) {
      x = x * 1103515245u + 12345u;
      t += kWords[(x >> 16) % 16];
      if (((x >> 8) & 63) == 7) t += static_cast<char>('0' + (x >> 3) % 10);
    }
    t.resize(size);
    return t;
  }();
  return text;
}

std::shared_ptr<PluginHost> Host(benchmark::State& state) {
  auto host = PluginHost::Instance();
  if (!host->Ok()) state.SkipWithError(host->Error().c_str());
  return host;
}

double RawDeflate(const std::string& data, Sink& sink) {
  const auto start = std::chrono::steady_clock::now();
  z_stream zs{};
  deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> out(kChunk);
  zs.next_out = out.data();
  zs.avail_out = kChunk;
  auto drain = [&](int flush) {
    int result;
    do {
      result = deflate(&zs, flush);
      if (zs.avail_out == 0 || (flush == Z_FINISH && zs.avail_out != kChunk)) {
        sink.Take(out.data(), kChunk - zs.avail_out);
        zs.next_out = out.data();
        zs.avail_out = kChunk;
      }
    } while (zs.avail_in != 0 || (flush == Z_FINISH && result != Z_STREAM_END));
  };
  for (size_t at = 0; at < data.size(); at += kChunk) {
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
    zs.avail_in = static_cast<uInt>(std::min(kChunk, data.size() - at));
    drain(Z_NO_FLUSH);
  }
  drain(Z_FINISH);
  deflateEnd(&zs);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ThroughZStream(const std::shared_ptr<PluginHost>& host, const std::string& data, Sink& sink) {
  const auto start = std::chrono::steady_clock::now();
  ZStream stream(host, true, std::make_shared<SinkWriter>(sink), nullptr);
  const std::string_view all(data);
  for (size_t at = 0; at < all.size(); at += kChunk) stream.Write(all.substr(at, kChunk));
  stream.Close();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Compression64MiB(benchmark::State& state) {
  auto host = Host(state);
  const std::string& data = Sample();
  double raw = 0;
  double corvane = 0;
  size_t rawBytes = 0;
  size_t corvaneBytes = 0;
  bool rawFirst = true;
  for (auto _ : state) {
    Sink rawSink;
    Sink corvaneSink;
    double r;
    double c;
    if (rawFirst) {
      r = RawDeflate(data, rawSink);
      c = ThroughZStream(host, data, corvaneSink);
    } else {
      c = ThroughZStream(host, data, corvaneSink);
      r = RawDeflate(data, rawSink);
    }
    rawFirst = !rawFirst;
    raw += r;
    corvane += c;
    rawBytes = rawSink.bytes;
    corvaneBytes = corvaneSink.bytes;
    state.SetIterationTime(r + c);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["raw_s"] = raw / n;
  state.counters["zstream_s"] = corvane / n;
  state.counters["overhead_pct"] = (corvane - raw) / raw * 100.0;
  // The member is the raw data plus 10 header and 8 trailer bytes (and the
  // few bytes of the full flush at close).
  state.counters["raw_out"] = static_cast<double>(rawBytes);
  state.counters["zstream_out"] = static_cast<double>(corvaneBytes);
}
BENCHMARK(Compression64MiB)->Iterations(4)->UseManualTime()->Unit(benchmark::kMillisecond);

void StreamsEmpty(benchmark::State& state) {
  auto host = Host(state);
  Sink sink;
  for (auto _ : state) {
    for (int i = 0; i < kStreams; ++i) {
      ZStream stream(host, true, std::make_shared<SinkWriter>(sink), nullptr);
      stream.Close();
    }
  }
  state.SetItemsProcessed(state.iterations() * kStreams);
  state.counters["per_stream"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kStreams),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(StreamsEmpty)->Unit(benchmark::kMillisecond);

void StreamsTiny(benchmark::State& state) {
  auto host = Host(state);
  Sink sink;
  const std::string tiny = Sample().substr(0, 200);
  for (auto _ : state) {
    for (int i = 0; i < kStreams; ++i) {
      ZStream stream(host, true, std::make_shared<SinkWriter>(sink), nullptr);
      stream.Write(tiny);
      stream.Close();
    }
  }
  state.SetItemsProcessed(state.iterations() * kStreams);
  state.counters["per_stream"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kStreams),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(StreamsTiny)->Unit(benchmark::kMillisecond);

void StreamsTinyDecompress(benchmark::State& state) {
  auto host = Host(state);
  std::string member;
  {
    struct Collect : IStreamWriter {
      std::string* out;
      void Write(std::string_view data) override { out->append(data); }
      int32_t LastError() override { return 0; }
    };
    auto collect = std::make_shared<Collect>();
    collect->out = &member;
    ZStream stream(host, true, collect, nullptr);
    stream.Write(Sample().substr(0, 200));
    stream.Close();
  }
  size_t total = 0;
  for (auto _ : state) {
    for (int i = 0; i < kStreams; ++i) {
      ZStream stream(host, false, nullptr, std::make_shared<BytesReader>(member));
      total += stream.Read(16384).size();
    }
  }
  benchmark::DoNotOptimize(total);
  state.SetItemsProcessed(state.iterations() * kStreams);
  state.counters["per_stream"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kStreams),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(StreamsTinyDecompress)->Unit(benchmark::kMillisecond);

// For comparison: a fresh deflate state per stream, as without reuse. Fewer
// streams, as each costs a fault-in of zlib's state.
void RawInitEnd(benchmark::State& state) {
  constexpr int kFewStreams = 2000;
  for (auto _ : state) {
    for (int i = 0; i < kFewStreams; ++i) {
      z_stream zs{};
      deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
      unsigned char out[64];
      zs.next_out = out;
      zs.avail_out = sizeof out;
      deflate(&zs, Z_FINISH);
      deflateEnd(&zs);
    }
  }
  state.SetItemsProcessed(state.iterations() * kFewStreams);
  state.counters["per_stream"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kFewStreams),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(RawInitEnd)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
