#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace fuzzsupport {

namespace {
void RemoveScratch() {
  std::error_code ec;
  fs::remove_all(Scratch(), ec);
}
}  // namespace

const fs::path& Scratch() {
  static const fs::path folder = [] {
    std::string pattern = (fs::temp_directory_path() / "pellarc-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) Fail("can't make a scratch folder");
    return fs::path(pattern);
  }();
  static const bool cleanup = [] { return std::atexit(RemoveScratch) == 0; }();
  (void)cleanup;
  return folder;
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("can't write " + path.string());
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void EmptyFolder(const fs::path& folder) {
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(folder, ec)) {
    std::error_code ignored;
    // Locked files keep the owner's write bit off; make them removable.
    fs::permissions(item.path(), fs::perms::owner_all, fs::perm_options::add |
                    fs::perm_options::nofollow, ignored);
    fs::remove_all(item.path(), ignored);
  }
}

void CheckNothingEscaped(const fs::path& jail, const fs::path& allowed, const fs::path& trap) {
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(jail, ec)) {
    if (item.path() == allowed || item.path() == trap) continue;
    Fail("extraction left " + item.path().string() + " outside its folder");
  }
  const fs::path root = fs::weakly_canonical(allowed);
  for (auto it = fs::recursive_directory_iterator(allowed, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (!it->is_symlink(ec)) continue;
    const fs::path target = fs::weakly_canonical(it->path(), ec);
    if (target == fs::weakly_canonical(trap)) continue;
    const auto rel = target.lexically_relative(root);
    if (rel.empty() || *rel.begin() == "..") {
      Fail("extraction made a link out of its folder: " + it->path().string());
    }
  }
}

void Fail(const std::string& why) {
  std::fprintf(stderr, "fuzz check failed: %s\n", why.c_str());
  std::abort();
}

std::string Decisions::Bytes(size_t max) {
  size_t n = U16() % (max + 1);
  n = std::min(n, size_ - std::min(pos_, size_));
  std::string out(reinterpret_cast<const char*>(data_ + pos_), n);
  pos_ += n;
  return out;
}

}  // namespace fuzzsupport
