// What adding a folder tree costs, side by side with Info-ZIP and zlib on
// the same machine and the same files.
//
// MixedCorpus200MB: about 200 MB in 400-odd files of every kind (text that
// compresses like prose, noise that doesn't compress, structured binary
// records, many small files) in nested folders. `pellarc add` of the tree
// (the real executable, progress off), `zip -r -6` of the same tree, and the
// same bytes read in 16384-byte chunks and deflated by zlib at level 6, one
// raw stream per file, into one output file. Each of the three runs three
// times in turn; the fastest run of each counts.
//
// TinyFiles65000: 65,000 files of 10 to 300 bytes in 65 folders, where the
// per-file cost (stat, fork store lookup, stream set-up, records) is all
// there is. pellarc add versus zip -r -6.
//
// Counters: seconds of each contender; pellarc's time as a fraction of zip's
// (vs_zip) and its time over raw deflate in percent (over_deflate_pct); the
// archive sizes, and the compressed data in pellarc's archive against raw
// deflate's output in percent (data_vs_deflate_pct).
//
// The trees are made at run time in a temporary folder and removed at the
// end. Runs read warm files: the first pass over each tree is not timed.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchDeflate.h"
#include "bench/BenchScratch.h"
#include "engine/ZipArchive.h"
#include "platform/BinaryStream.h"
#include "streams/FileReader.h"

namespace {

namespace fs = std::filesystem;

using bench::RemoveScratch;
const auto& scratch = bench::Scratch;

// The pellarc executable next to this benchmark.
fs::path pellarcProgram() { return fs::read_symlink("/proc/self/exe").parent_path() / "pellarc"; }

std::string quote(const fs::path& p) { return "'" + p.string() + "'"; }

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Generators for the kinds of content a folder of documents holds.
class Content {
 public:
  Content() : gen_(11) {
    for (int i = 0; i < 4000; ++i) {
      std::string w;
      const int length = 2 + static_cast<int>(gen_() % 9);
      for (int c = 0; c < length; ++c) w += static_cast<char>('a' + gen_() % 26);
      words_.push_back(w);
    }
  }
  // Lines of words, common words more often: compresses about as prose does.
  std::string Text(size_t n) {
    std::string s;
    s.reserve(n + 100);
    while (s.size() < n) {
      const int lineWords = 4 + static_cast<int>(gen_() % 12);
      for (int w = 0; w < lineWords; ++w) {
        s += words_[std::min(gen_() % words_.size(), gen_() % words_.size())];
        s += w + 1 < lineWords ? ' ' : '\n';
      }
    }
    s.resize(n);
    return s;
  }
  // Already compressed data, as in images and archives.
  std::string Noise(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i + 4 <= n; i += 4) {
      const uint32_t v = gen_();
      std::memcpy(&s[i], &v, 4);
    }
    return s;
  }
  // Fixed-size records with counters, small numbers and padding, as in
  // databases and executables.
  std::string Records(size_t n) {
    std::string s;
    s.reserve(n + 64);
    uint32_t id = gen_() % 1000;
    while (s.size() < n) {
      char record[48] = {};
      ++id;
      std::memcpy(record, &id, 4);
      const uint16_t small = static_cast<uint16_t>(gen_() % 300);
      std::memcpy(record + 4, &small, 2);
      const std::string& w = words_[gen_() % 200];
      std::memcpy(record + 8, w.data(), std::min<size_t>(w.size(), 16));
      const uint32_t stamp = 1700000000 + (gen_() % 100000);
      std::memcpy(record + 24, &stamp, 4);
      s.append(record, sizeof record);
    }
    s.resize(n);
    return s;
  }
  uint32_t Next() { return gen_(); }

 private:
  std::mt19937 gen_;
  std::vector<std::string> words_;
};

// A size between lo and hi, spread evenly on a log scale.
size_t logSize(Content& c, double lo, double hi) {
  const double f = static_cast<double>(c.Next()) / 4294967296.0;
  return static_cast<size_t>(std::exp(std::log(lo) + f * (std::log(hi) - std::log(lo))));
}

int64_t makeMixedCorpus(const fs::path& root) {
  Content c;
  int64_t total = 0;
  int n = 0;
  auto put = [&](const std::string& folder, const std::string& ext, const std::string& bytes) {
    writeFile(root / folder / ("file" + std::to_string(n++) + ext), bytes);
    total += static_cast<int64_t>(bytes.size());
  };
  const char* folders[] = {"docs", "docs/old", "docs/old/drafts", "media", "media/raw",
                           "data", "data/2023", "data/2024", "src", "src/lib/deep"};
  for (int i = 0; total < (int64_t{200} << 20); ++i) {
    const std::string folder = folders[i % 10];
    switch (i % 6) {
      case 0:
      case 1:
        put(folder, ".txt", c.Text(logSize(c, 2000, 4e6)));
        break;
      case 2:
        put(folder, ".jpg", c.Noise(logSize(c, 10000, 6e6)));
        break;
      case 3:
        put(folder, ".dat", c.Records(logSize(c, 5000, 5e6)));
        break;
      default:
        // Small files, a handful at a time.
        for (int k = 0; k < 8; ++k) put(folder, ".txt", c.Text(logSize(c, 50, 4000)));
    }
  }
  return total;
}

int64_t makeTinyFiles(const fs::path& root) {
  Content c;
  int64_t total = 0;
  for (int folder = 0; folder < 65; ++folder) {
    for (int i = 0; i < 1000; ++i) {
      const std::string bytes = c.Text(10 + c.Next() % 291);
      writeFile(root / ("d" + std::to_string(folder)) / ("f" + std::to_string(i) + ".txt"), bytes);
      total += static_cast<int64_t>(bytes.size());
    }
  }
  return total;
}

std::vector<fs::path> filesBelow(const fs::path& root) {
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The files through zlib alone, as Corvane's streams deflate them.
int64_t deflateFiles(const std::vector<fs::path>& files, const fs::path& output) {
  BinaryStreamPtr out = BinaryStream::Create(output);
  if (!out) return -1;
  for (const fs::path& file : files) {
    FileReader reader{FolderItem(file)};
    if (!reader.Open()) return -1;
    if (!bench::DeflateInto(reader, *out, 6)) return -1;
    reader.Close();
  }
  out->Close();
  return static_cast<int64_t>(fs::file_size(output));
}

double seconds(const std::function<bool()>& run, bool& ok) {
  const auto t0 = std::chrono::steady_clock::now();
  ok = run() && ok;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool runPellarc(const fs::path& root, const fs::path& zip) {
  fs::remove(zip);
  return std::system((quote(pellarcProgram()) + " -q add " + quote(zip) + " " + quote(root)).c_str()) == 0;
}

bool runZip(const fs::path& root, const fs::path& zip) {
  fs::remove(zip);
  return std::system(("cd " + quote(root.parent_path()) + " && zip -q -r -6 " + quote(zip) + " " +
                      quote(root.filename()))
                         .c_str()) == 0;
}

int64_t compressedData(const fs::path& zip) {
  ZipArchive a;
  if (!a.Open(FolderItem(zip), false)) return -1;
  int64_t sum = 0;
  for (int32_t i = 1; i <= a.EntryCount(); ++i) sum += a.Entry(i)->CompressedSize();
  return sum;
}

void compare(benchmark::State& state, const fs::path& root, bool withDeflate) {
  if (std::system("zip -v >/dev/null 2>&1") != 0) {
    state.SkipWithError("Info-ZIP zip is not installed");
    return;
  }
  const fs::path pz = scratch() / "pellarc.zip", iz = scratch() / "infozip.zip",
                 raw = scratch() / "raw.deflate";
  const std::vector<fs::path> files = filesBelow(root);
  int64_t inputBytes = 0;
  for (const fs::path& f : files) inputBytes += static_cast<int64_t>(fs::file_size(f));
  // Warm the page cache, so that every contender reads from memory.
  deflateFiles(files, raw);

  double best[3] = {1e9, 1e9, 1e9};
  bool ok = true;
  for (auto _ : state) {
    for (int run = 0; run < 3; ++run) {
      best[0] = std::min(best[0], seconds([&] { return runPellarc(root, pz); }, ok));
      best[1] = std::min(best[1], seconds([&] { return runZip(root, iz); }, ok));
      if (withDeflate) {
        best[2] = std::min(best[2], seconds([&] { return deflateFiles(files, raw) > 0; }, ok));
      }
    }
  }
  if (!ok) {
    state.SkipWithError("a contender failed");
    return;
  }
  state.counters["files"] = static_cast<double>(files.size());
  state.counters["input_MB"] = static_cast<double>(inputBytes) / 1e6;
  state.counters["pellarc_s"] = best[0];
  state.counters["zip_s"] = best[1];
  state.counters["vs_zip"] = best[0] / best[1];
  state.counters["pellarc_MB"] = static_cast<double>(fs::file_size(pz)) / 1e6;
  state.counters["zip_MB"] = static_cast<double>(fs::file_size(iz)) / 1e6;
  state.counters["size_vs_zip_pct"] =
      100.0 * (static_cast<double>(fs::file_size(pz)) / static_cast<double>(fs::file_size(iz)) - 1);
  if (withDeflate) {
    state.counters["deflate_s"] = best[2];
    state.counters["over_deflate_pct"] = 100.0 * (best[0] / best[2] - 1);
    state.counters["data_vs_deflate_pct"] =
        100.0 * (static_cast<double>(compressedData(pz)) / static_cast<double>(fs::file_size(raw)) - 1);
  }
}

void MixedCorpus200MB(benchmark::State& state) {
  const fs::path root = scratch() / "mixed";
  if (!fs::exists(root)) makeMixedCorpus(root);
  compare(state, root, true);
}

void TinyFiles65000(benchmark::State& state) {
  const fs::path root = scratch() / "tiny";
  if (!fs::exists(root)) makeTinyFiles(root);
  compare(state, root, false);
}

BENCHMARK(MixedCorpus200MB)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(TinyFiles65000)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  RemoveScratch cleanup;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
