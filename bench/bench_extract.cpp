// Extracting and testing, side by side with bsdtar and Info-ZIP's unzip on the
// same archives and the same disk:
//
//   mixed  ~185 MB: 300 text files, 100 binaries, one large compressible log
//          and one incompressible file; pellarc test against
//          `bsdtar -xOf ARCHIVE >/dev/null`, pellarc extract against `bsdtar -xf`.
//   tiny   65,000 files of a few bytes; pellarc extract against `unzip`,
//          pellarc test against `unzip -tq`.
//
// The corpora are made at start by Python and zipped with `zip`, in a
// temporary folder (PELLARC_BENCH_DIR to choose another, for example one on
// the disk to be measured), and removed at the end.
//
//   build/bin/bench_extract [--benchmark_filter=...]
//
// Every run extracts into a folder of its own and nothing is deleted until
// the end: freshly freed inodes make file creation on ext4 slower for a while
// (it avoids reusing them at once), which would penalise whichever tool runs
// right after a deletion. All runs are timed by the wall clock, process start
// included.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>

#include "cli/Cli.h"
#include "engine/ZipArchive.h"

namespace fs = std::filesystem;

namespace {

fs::path gDir;
std::string gMixed;
std::string gTiny;
int gRun = 0;

const char kMakeCorpus[] = R"(
import os, sys, random
root, kind = sys.argv[1], sys.argv[2]
rnd = random.Random(42)
words = [''.join(rnd.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rnd.randint(2, 9)))
         for _ in range(5000)]
def text(n):
    out, size = [], 0
    while size < n:
        line = ' '.join(rnd.choice(words) for _ in range(rnd.randint(4, 14))) + '\n'
        out.append(line)
        size += len(line)
    return ''.join(out)[:n].encode()
if kind == 'mixed':
    os.makedirs(root + '/text')
    os.makedirs(root + '/bin')
    for i in range(300):
        open('%s/text/doc%03d.txt' % (root, i), 'wb').write(text(100000))
    for i in range(100):
        parts = []
        for j in range(30):
            parts.append(os.urandom(4000) if j % 3 == 0 else
                         bytes(rnd.choice(range(16)) for _ in range(100)) * 60)
        open('%s/bin/prog%03d' % (root, i), 'wb').write(b''.join(parts)[:300000])
    block = text(1 << 20)
    with open(root + '/large.log', 'wb') as f:
        for i in range(80):
            f.write(block)
    with open(root + '/random.dat', 'wb') as f:
        for i in range(60):
            f.write(os.urandom(1 << 20))
else:
    for i in range(65000):
        d = '%s/d%02d' % (root, i // 1000)
        if i % 1000 == 0:
            os.makedirs(d)
        open('%s/f%05d.txt' % (d, i), 'w').write('file %d\n' % i)
)";

bool runQuietly(const std::string& command) {
  int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

std::string pellarc() {
  return shellQuoted((fs::read_symlink("/proc/self/exe").parent_path() / "pellarc").string());
}

// A folder no run has used yet.
std::string freshFolder(const std::string& label) {
  return (gDir / "out" / (label + "-" + std::to_string(++gRun))).string();
}

void runEach(benchmark::State& state, const std::string& command, const char* what) {
  for (auto _ : state) {
    if (!runQuietly(command)) state.SkipWithError(what);
  }
}

void extractEach(benchmark::State& state, const std::string& label,
                 std::string (*command)(const std::string& out)) {
  for (auto _ : state) {
    state.PauseTiming();
    const std::string out = freshFolder(label);
    fs::create_directories(out);
    state.ResumeTiming();
    if (!runQuietly(command(out))) state.SkipWithError(label.c_str());
  }
}

// --- mixed ---------------------------------------------------------------------

void BM_Mixed_PellarcTest(benchmark::State& state) {
  runEach(state, pellarc() + " -q test " + shellQuoted(gMixed), "pellarc test failed");
}
void BM_Mixed_BsdtarToNull(benchmark::State& state) {
  runEach(state, "bsdtar -xOf " + shellQuoted(gMixed) + " >/dev/null", "bsdtar -xO failed");
}
void BM_Mixed_PellarcExtract(benchmark::State& state) {
  extractEach(state, "mixed-pellarc", [](const std::string& out) -> std::string {
    return pellarc() + " -q extract " + shellQuoted(gMixed) + " -d " + shellQuoted(out);
  });
}
void BM_Mixed_BsdtarExtract(benchmark::State& state) {
  extractEach(state, "mixed-bsdtar", [](const std::string& out) -> std::string {
    return "bsdtar -xf " + shellQuoted(gMixed) + " -C " + shellQuoted(out);
  });
}

// --- tiny ----------------------------------------------------------------------

void BM_Tiny_PellarcExtract(benchmark::State& state) {
  extractEach(state, "tiny-pellarc", [](const std::string& out) -> std::string {
    return pellarc() + " -q extract " + shellQuoted(gTiny) + " -d " + shellQuoted(out);
  });
}
void BM_Tiny_UnzipExtract(benchmark::State& state) {
  extractEach(state, "tiny-unzip", [](const std::string& out) -> std::string {
    return "unzip -qo " + shellQuoted(gTiny) + " -d " + shellQuoted(out);
  });
}
void BM_Tiny_PellarcTest(benchmark::State& state) {
  runEach(state, pellarc() + " -q test " + shellQuoted(gTiny), "pellarc test failed");
}
void BM_Tiny_UnzipTest(benchmark::State& state) {
  runEach(state, "unzip -tq " + shellQuoted(gTiny) + " >/dev/null", "unzip -tq failed");
}

// In-process, to tell the directory's share of `test` from the entries': how
// long opening the archive takes, and opening plus verifying every entry.
void BM_Tiny_OpenOnly(benchmark::State& state) {
  for (auto _ : state) {
    ZipArchive archive;
    if (!archive.Open(FolderItem(gTiny), false)) state.SkipWithError("open failed");
    archive.Close();
  }
}
void BM_Tiny_OpenAndVerify(benchmark::State& state) {
  for (auto _ : state) {
    ZipArchive archive;
    if (!archive.Open(FolderItem(gTiny), false)) state.SkipWithError("open failed");
    for (int32_t i = 1; i <= archive.EntryCount(); ++i) {
      if (!archive.Entry(i)->Verify()) state.SkipWithError("verify failed");
    }
    archive.Close();
  }
}

BENCHMARK(BM_Mixed_PellarcTest)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Mixed_BsdtarToNull)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Mixed_PellarcExtract)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Mixed_BsdtarExtract)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Tiny_PellarcExtract)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Tiny_UnzipExtract)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Tiny_PellarcTest)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_Tiny_UnzipTest)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_Tiny_OpenOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tiny_OpenAndVerify)->Unit(benchmark::kMillisecond);

bool makeArchive(const std::string& kind, const std::string& archive) {
  const fs::path src = gDir / (kind + "-src");
  std::cerr << "bench_extract: making " << archive << " ...\n";
  return runQuietly("python3 " + shellQuoted((gDir / "corpus.py").string()) + " " +
                    shellQuoted(src.string()) + " " + kind) &&
         runQuietly("cd " + shellQuoted(src.string()) + " && zip -qr " + shellQuoted(archive) + " .");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* base = std::getenv("PELLARC_BENCH_DIR");
  std::string pattern = (fs::path(base ? base : "/tmp") / "pellarc-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::cerr << "bench_extract: no temporary folder\n";
    return 1;
  }
  gDir = pattern;
  gMixed = (gDir / "mixed.zip").string();
  gTiny = (gDir / "tiny.zip").string();
  {
    std::ofstream script(gDir / "corpus.py");
    script << kMakeCorpus;
  }
  int rc = 0;
  if (!makeArchive("mixed", gMixed) || !makeArchive("tiny", gTiny)) {
    std::cerr << "bench_extract: could not make the archives (python3 and zip needed)\n";
    rc = 1;
  } else {
    // The sources stay until the end, for the reason runs never delete.
    runQuietly("cat " + shellQuoted(gMixed) + " " + shellQuoted(gTiny) + " >/dev/null");
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  fs::remove_all(gDir);
  return rc;
}
