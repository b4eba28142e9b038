#pragma once
// The scratch folder a benchmark run works in: made on first use below the
// temporary folder, removed by a RemoveScratch object at the end of main.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace bench {

inline const std::filesystem::path& Scratch() {
  static const std::filesystem::path dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellarc-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
  }();
  return dir;
}

struct RemoveScratch {
  ~RemoveScratch() {
    std::error_code ec;
    std::filesystem::remove_all(Scratch(), ec);
  }
};

}  // namespace bench
