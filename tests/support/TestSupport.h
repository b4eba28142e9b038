#pragma once
// Helpers the test executables share: a scratch folder per test, and small
// file utilities.
#include <filesystem>
#include <functional>
#include <string>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed (with
// everything in it) when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// Runs a shell command; returns its exit status (-1 when it could not run).
int RunCommand(const std::string& command);

// Runs `body` in a child process that may not grow a file past `limit`
// bytes - a disk that fills up, for real: SIGXFSZ is ignored, so writes come
// back short. Returns the child's exit status (body's result), -1 when it did
// not exit normally.
int InChildWithFileSizeLimit(long limit, const std::function<int()>& body);
// Whether a program is on the PATH.
bool HaveProgram(const std::string& name);

}  // namespace testsupport
