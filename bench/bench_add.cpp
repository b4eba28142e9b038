// What adding an entry costs.
//
// AddVersusDeflate64MiB: a 64 MiB file added to a new archive through the
// whole pipeline (FileReader, ZStream in Corvane, ZipBinaryStreamWriter, the
// archive stream), and the same file read in 16384-byte chunks and
// compressed by zlib's deflate directly into a file, the two taking turns in
// one run. The counters give both times and the pipeline's overhead in
// percent; close_s is the archive's close that follows (directory and
// fsyncs), timed apart.
//
// Add1GiB: a 1 GiB file added to a new archive; peak_rss_MiB is the most
// memory the process held while adding (the kernel's high-water mark, reset
// just before the add), which must not depend on the file's size.
//
// The input files are made at run time in a temporary folder and removed at
// the end: lines of words, so that deflate works as it would on ordinary
// documents.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchDeflate.h"
#include "bench/BenchScratch.h"
#include "engine/ZipArchive.h"
#include "platform/BinaryStream.h"
#include "platform/plugin/PluginHost.h"
#include "streams/FileReader.h"

namespace {

namespace fs = std::filesystem;

using bench::RemoveScratch;
const auto& scratch = bench::Scratch;

fs::path makeInput(const std::string& name, int64_t size) {
  const fs::path path = scratch() / name;
  if (fs::exists(path)) return path;
  // Words from a vocabulary of a few thousand, common ones more often, in
  // lines of varying length: compresses about as well as prose.
  std::mt19937 gen(7);
  std::vector<std::string> words;
  for (int i = 0; i < 4000; ++i) {
    std::string w;
    const int length = 2 + static_cast<int>(gen() % 9);
    for (int c = 0; c < length; ++c) w += static_cast<char>('a' + gen() % 26);
    words.push_back(w);
  }
  std::ofstream out(path, std::ios::binary);
  std::string block;
  int64_t written = 0;
  while (written < size) {
    block.clear();
    while (block.size() < (1 << 20)) {
      const int lineWords = 4 + static_cast<int>(gen() % 12);
      for (int w = 0; w < lineWords; ++w) {
        // The smaller of two draws favours the front of the vocabulary.
        const size_t pick = std::min(gen() % words.size(), gen() % words.size());
        block += words[pick];
        block += w + 1 < lineWords ? ' ' : '\n';
      }
    }
    const auto n = static_cast<std::streamsize>(std::min<int64_t>(size - written, block.size()));
    out.write(block.data(), n);
    written += n;
  }
  return path;
}

// Adds the file to a new archive; the seconds the add and the close took
// come back through the two arguments.
int32_t addFile(const fs::path& input, const fs::path& zip, double& addSeconds,
                double& closeSeconds) {
  fs::remove(zip);
  const auto t0 = std::chrono::steady_clock::now();
  ZipArchive archive;
  if (!archive.Open(FolderItem(zip), true)) return -1;
  auto reader = std::make_shared<FileReader>(FolderItem(input));
  const int32_t index = archive.AddItemByStreams(
      reader, static_cast<int32_t>(fs::file_size(input)), nullptr, 0, nullptr,
      input.filename().string(), nullptr, std::nullopt);
  const auto t1 = std::chrono::steady_clock::now();
  if (!archive.Close()) return -1;
  const auto t2 = std::chrono::steady_clock::now();
  addSeconds += std::chrono::duration<double>(t1 - t0).count();
  closeSeconds += std::chrono::duration<double>(t2 - t1).count();
  return index;
}

// The file through zlib alone: the same reads, the same deflate parameters
// as Corvane's streams, the output written to a file.
bool deflateFile(const fs::path& input, const fs::path& output) {
  FileReader reader{FolderItem(input)};
  BinaryStreamPtr out = BinaryStream::Create(output);
  if (!reader.Open() || !out) return false;
  if (!bench::DeflateInto(reader, *out, Z_DEFAULT_COMPRESSION)) return false;
  out->Close();
  reader.Close();
  return true;
}

int64_t statusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::strlen(field)));
  }
  return -1;
}

void AddVersusDeflate64MiB(benchmark::State& state) {
  if (!PluginHost::Instance()->Ok()) {
    state.SkipWithError(PluginHost::Instance()->Error().c_str());
    return;
  }
  const fs::path input = makeInput("input-64MiB.txt", int64_t{64} << 20);
  double zlibSeconds = 0, addSeconds = 0, closeSeconds = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!deflateFile(input, scratch() / "raw.deflate")) state.SkipWithError("zlib failed");
    zlibSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (addFile(input, scratch() / "add.zip", addSeconds, closeSeconds) != 1) {
      state.SkipWithError("add failed");
    }
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["zlib_s"] = zlibSeconds / n;
  state.counters["add_s"] = addSeconds / n;
  state.counters["overhead_pct"] = 100.0 * (addSeconds - zlibSeconds) / zlibSeconds;
  // Writing the directory, with the two fsyncs that keep a crash from
  // costing more than the operation in progress: not part of compressing.
  state.counters["close_s"] = closeSeconds / n;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * (int64_t{64} << 20));
}

void Add1GiB(benchmark::State& state) {
  if (!PluginHost::Instance()->Ok()) {
    state.SkipWithError(PluginHost::Instance()->Error().c_str());
    return;
  }
  const int64_t size = int64_t{1} << 30;
  const fs::path input = makeInput("input-1GiB.txt", size);
  int64_t peakKiB = 0;
  for (auto _ : state) {
    // Reset the high-water mark to what the process holds now.
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    double addSeconds = 0, closeSeconds = 0;
    if (addFile(input, scratch() / "big.zip", addSeconds, closeSeconds) != 1) {
      state.SkipWithError("add failed");
    }
    peakKiB = std::max(peakKiB, statusKiB("VmHWM:"));
  }
  state.counters["peak_rss_MiB"] = static_cast<double>(peakKiB) / 1024.0;
  state.counters["archive_MiB"] =
      static_cast<double>(fs::file_size(scratch() / "big.zip")) / (1 << 20);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}

BENCHMARK(AddVersusDeflate64MiB)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Add1GiB)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  RemoveScratch cleanup;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
