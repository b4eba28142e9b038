// Replays saved fuzz inputs through a target without libFuzzer: each
// argument is a file or a folder of files. An input that crashes, or that
// trips a check, ends the run with the target's report; a missing folder
// means nothing to replay.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
void Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  std::printf("replaying %s (%zu bytes)\n", file.string().c_str(), bytes.size());
  std::fflush(stdout);
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
}  // namespace

int main(int argc, char** argv) {
  // The empty input is every target's first case.
  LLVMFuzzerTestOneInput(nullptr, 0);
  size_t count = 1;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto& item : std::filesystem::directory_iterator(arg)) {
        if (!item.is_regular_file()) continue;
        Replay(item.path());
        ++count;
      }
    } else if (std::filesystem::exists(arg)) {
      Replay(arg);
      ++count;
    }
  }
  std::printf("%zu inputs replayed\n", count);
  return 0;
}
