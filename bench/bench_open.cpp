// Opening and listing an archive of 65,535 entries, side by side with
// Info-ZIP's `unzip -l` on the same archive. The archive is made at start by
// Python's zipfile (names in 66 folders, a different time for every entry) and
// removed at the end.
//
//   build/bin/bench_open [--benchmark_filter=...]
//
// The counters show the directory's size and the heap the open archive holds
// per entry, so that memory can be judged against the directory size.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>

#include "cli/Cli.h"
#include "engine/ZipArchive.h"

namespace {

std::filesystem::path gDir;
std::string gArchive;

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

const char kMakeArchive[] = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(65535):
        info = zipfile.ZipInfo('folder%03d/file%05d.txt' % (i // 1000, i),
                               (1990 + i % 30, 1 + i % 12, 1 + i % 28, i % 24, i % 60, i % 30 * 2))
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, 'entry %d\n' % i)
)";

bool runQuietly(const std::string& command) {
  int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string pellarcBinary() {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "pellarc").string();
}

void BM_UnzipList(benchmark::State& state) {
  const std::string command = "unzip -l '" + gArchive + "' >/dev/null 2>&1";
  for (auto _ : state) {
    if (!runQuietly(command)) state.SkipWithError("unzip -l failed");
  }
}

// The same work as a user's `pellarc list`, process start included.
void BM_PellarcListProcess(benchmark::State& state) {
  const std::string command = "'" + pellarcBinary() + "' list '" + gArchive + "' >/dev/null";
  for (auto _ : state) {
    if (!runQuietly(command)) state.SkipWithError("pellarc list failed");
  }
}

void BM_PellarcList(benchmark::State& state) {
  const bool json = state.range(0) != 0;
  NullBuffer sink;
  std::ostream out(&sink);
  std::vector<std::string> args = {"list", gArchive};
  if (json) args.push_back("--json");
  for (auto _ : state) {
    std::ostringstream err;
    if (cli::Run(args, out, err) != 0) state.SkipWithError(err.str().c_str());
  }
}

void BM_OpenAndClose(benchmark::State& state) {
  const size_t heapBefore = mallinfo2().uordblks;
  size_t heapOpen = heapBefore;
  int32_t entries = 0;
  for (auto _ : state) {
    ZipArchive archive;
    if (!archive.Open(FolderItem(gArchive), false)) {
      state.SkipWithError(archive.ErrorMessage().c_str());
      break;
    }
    entries = archive.EntryCount();
    heapOpen = mallinfo2().uordblks;
    archive.Close();
  }
  ZipArchive archive;
  if (archive.Open(FolderItem(gArchive), false)) {
    std::ifstream in(gArchive, std::ios::binary | std::ios::ate);
    const auto length = static_cast<int64_t>(in.tellg());
    // The end record's directory size, 10 bytes before its end (no comment).
    in.seekg(length - 10);
    unsigned char size[4] = {};
    in.read(reinterpret_cast<char*>(size), 4);
    state.counters["directory_bytes"] = size[0] | size[1] << 8 | size[2] << 16 | size[3] << 24;
  }
  state.counters["entries"] = entries;
  state.counters["heap_bytes_per_entry"] =
      entries ? static_cast<double>(heapOpen - heapBefore) / entries : 0;
}

// Child processes use next to no CPU time of ours: these two are timed by the
// wall clock.
BENCHMARK(BM_UnzipList)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_PellarcListProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_PellarcList)->Arg(0)->Arg(1)->ArgName("json")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndClose)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char pattern[] = "/tmp/pellarc-bench-XXXXXX";
  if (!mkdtemp(pattern)) {
    std::cerr << "bench_open: no temporary folder\n";
    return 1;
  }
  gDir = pattern;
  gArchive = (gDir / "65535.zip").string();
  {
    std::ofstream script(gDir / "make.py");
    script << kMakeArchive;
  }
  std::cerr << "bench_open: making " << gArchive << " with python3 ...\n";
  int rc = 0;
  if (!runQuietly("python3 '" + (gDir / "make.py").string() + "' '" + gArchive + "'")) {
    std::cerr << "bench_open: python3 could not make the archive\n";
    rc = 1;
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  std::filesystem::remove_all(gDir);
  return rc;
}
