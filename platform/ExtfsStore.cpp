#include "platform/ExtfsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/ForkFiles.h"

namespace fs = std::filesystem;
using forkfiles::Fd;

namespace {
constexpr const char* kForkFolder = ".rsrc";
constexpr const char* kInfoFolder = ".finf";
// Temporary files start with "." so that an emulator shows nothing for
// them even while they exist.
constexpr const char* kTempPrefix = ".pellarc-tmp-";

fs::path inFolder(const fs::path& item, const char* sub) {
  fs::path folder;
  std::string name;
  forkfiles::Split(item, folder, name);
  if (name.empty() || name == "." || name == "..") return {};
  return folder / sub / name;
}

// Makes the `.rsrc` or `.finf` folder that `path` goes into.
int makeFolderFor(const fs::path& path) {
  if (::mkdir(path.parent_path().c_str(), 0777) == 0 || errno == EEXIST) return 0;
  return errno;
}

// Removes a store file and, when that empties it, its folder.
int removeWithFolder(const fs::path& path) {
  if (int error = forkfiles::RemoveIfThere(path)) return error;
  ::rmdir(path.parent_path().c_str());
  return 0;
}

// Opens a store file for reading; a missing one gives an empty Fd and 0.
int openIfThere(const fs::path& path, Fd& fd, struct stat& st) {
  if (path.empty()) return 0;
  int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (raw < 0) {
    int error = errno;
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG ? 0 : error;
  }
  fd = Fd(raw);
  if (::fstat(raw, &st) != 0) return errno;
  // Anything but a plain file in a store file's place counts as absent.
  if (!S_ISREG(st.st_mode)) fd = Fd();
  return 0;
}

class RawFork : public ForkStore::OpenFork {
 public:
  // Reading: `fd` is the fork (or empty for none). Writing: `fd` is a
  // temporary file that replaces `path` at Commit.
  RawFork(fs::path path, fs::path temp, Fd fd, int64_t length)
      : path_(std::move(path)), temp_(std::move(temp)), fd_(std::move(fd)), length_(length) {}
  ~RawFork() override { Discard(); }

  int64_t Length() override { return length_; }

  OSErr SetLength(int64_t length) override {
    if (::ftruncate(fd_.Get(), static_cast<off_t>(length)) != 0) {
      return ForkStore::FailErrno(errno, "cannot write", temp_);
    }
    length_ = length;
    return ForkErr::noErr;
  }

  OSErr ReadAt(int64_t position, int32_t& count, void* buffer) override {
    std::string bytes;
    if (int error = forkfiles::ReadAt(fd_.Get(), uint64_t(position), size_t(count), bytes)) {
      count = 0;
      return ForkStore::FailErrno(error, "cannot read", path_);
    }
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(buffer));
    return ForkErr::noErr;
  }

  OSErr WriteAt(int64_t position, int32_t& count, const void* buffer) override {
    if (int error = forkfiles::WriteAt(fd_.Get(), uint64_t(position), buffer, size_t(count))) {
      count = 0;
      return ForkStore::FailErrno(error, "cannot write resource fork", path_);
    }
    length_ = std::max<int64_t>(length_, position + count);
    return ForkErr::noErr;
  }

  OSErr Commit() override {
    OSErr err = ForkErr::noErr;
    if (temp_.empty()) return err;
    if (length_ == 0) {
      if (int error = removeWithFolder(path_)) err = ForkStore::FailErrno(error, "cannot remove", path_);
    } else if (::rename(temp_.c_str(), path_.c_str()) != 0) {
      err = ForkStore::FailErrno(errno, "cannot write", path_);
    } else {
      temp_.clear();
    }
    Discard();
    return err;
  }

  void Discard() override {
    if (!temp_.empty()) {
      ::unlink(temp_.c_str());
      // A `.rsrc` folder made for this fork alone goes again.
      ::rmdir(temp_.parent_path().c_str());
    }
    temp_.clear();
    fd_ = Fd();
  }

 private:
  fs::path path_;
  fs::path temp_;
  Fd fd_;
  int64_t length_;
};

// Replaces a small store file through a temporary name.
int replaceSmall(const fs::path& path, const void* data, size_t length) {
  if (int error = makeFolderFor(path)) return error;
  fs::path temp;
  Fd fd;
  if (int error = forkfiles::CreateTemp(path.parent_path(), kTempPrefix, temp, fd)) return error;
  int error = forkfiles::WriteAt(fd.Get(), 0, data, length);
  if (!error && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error) ::unlink(temp.c_str());
  return error;
}
}  // namespace

fs::path ExtfsStore::ForkPath(const fs::path& item) { return inFolder(item, kForkFolder); }
fs::path ExtfsStore::FinderInfoPath(const fs::path& item) { return inFolder(item, kInfoFolder); }

OSErr ExtfsStore::MakeFork(const fs::path& file, bool forWriting, std::unique_ptr<OpenFork>& fork) {
  fs::path path = ForkPath(file);
  if (path.empty()) return Fail(ForkErr::paramErr, "no resource fork for " + file.string());
  Fd old;
  struct stat st {};
  if (int error = openIfThere(path, old, st)) return FailErrno(error, "cannot read", path);
  int64_t length = old ? static_cast<int64_t>(st.st_size) : 0;
  if (!forWriting) {
    fork = std::make_unique<RawFork>(path, fs::path(), std::move(old), length);
    return ForkErr::noErr;
  }
  if (int error = makeFolderFor(path)) return FailErrno(error, "cannot create", path.parent_path());
  fs::path temp;
  Fd fd;
  if (int error = forkfiles::CreateTemp(path.parent_path(), kTempPrefix, temp, fd)) {
    return FailErrno(error, "cannot create a file in", path.parent_path());
  }
  if (length > 0) {
    if (int error = forkfiles::CopyRange(old.Get(), 0, fd.Get(), 0, uint64_t(length))) {
      ::unlink(temp.c_str());
      return FailErrno(error, "cannot write", temp);
    }
  }
  fork = std::make_unique<RawFork>(path, temp, std::move(fd), length);
  return ForkErr::noErr;
}

int64_t ExtfsStore::ResourceForkLength(const fs::path& file) {
  fs::path path = ForkPath(file);
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<int64_t>(st.st_size);
}

std::optional<std::unordered_set<std::string>> ExtfsStore::ItemsWithStoreFiles(
    const fs::path& folder, const std::vector<std::string>& storeNames) {
  std::unordered_set<std::string> items;
  for (const std::string& sub : storeNames) {
    std::error_code ec;
    fs::directory_iterator it(folder / sub, ec);
    // A store folder that can't be listed (or is no folder) could still
    // answer for single names: every item is asked then.
    if (ec) return std::nullopt;
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
      items.insert(it->path().filename().string());
    }
    if (ec) return std::nullopt;
  }
  return items;
}

OSErr ExtfsStore::GetFinderInfo(const fs::path& item, FinderInfo& info) {
  info = FinderInfo();
  fs::path path = FinderInfoPath(item);
  Fd fd;
  struct stat st {};
  if (int error = openIfThere(path, fd, st)) return FailErrno(error, "cannot read", path);
  if (!fd) return ForkErr::noErr;
  // Older emulator versions wrote only the first 16 bytes.
  size_t length = static_cast<size_t>(std::min<off_t>(st.st_size, 32));
  std::string bytes;
  if (int error = forkfiles::ReadAt(fd.Get(), 0, length, bytes)) return FailErrno(error, "cannot read", path);
  std::copy(bytes.begin(), bytes.end(), info.bytes.begin());
  return ForkErr::noErr;
}

OSErr ExtfsStore::SetFinderInfo(const fs::path& item, const FinderInfo& info) {
  bool isFolder = false;
  if (OSErr err = CheckItem(item, true, ForkErr::fLckdErr, isFolder)) return err;
  fs::path path = FinderInfoPath(item);
  if (path.empty()) return Fail(ForkErr::paramErr, "no Finder information for " + item.string());
  int error = info.IsZero() ? removeWithFolder(path) : replaceSmall(path, info.bytes.data(), info.bytes.size());
  if (error) return FailErrno(error, "cannot write", path);
  return ForkErr::noErr;
}

OSErr ExtfsStore::GetCreationDate(const fs::path&, std::optional<int64_t>& unixTime) {
  unixTime.reset();
  return ForkErr::noErr;
}

OSErr ExtfsStore::SetCreationDate(const fs::path& item, std::optional<int64_t> unixTime) {
  if (!unixTime) return ForkErr::noErr;
  return Fail(ForkErr::paramErr, "the extfs layout keeps no creation date: " + item.string());
}

bool ExtfsStore::IsStoreFile(const std::string& name) const {
  return name == kForkFolder || name == kInfoFolder;
}

OSErr ExtfsStore::ItemDeleted(const fs::path& item) {
  for (const fs::path& path : {ForkPath(item), FinderInfoPath(item)}) {
    if (path.empty()) continue;
    if (int error = removeWithFolder(path)) return FailErrno(error, "cannot remove", path);
  }
  return ForkErr::noErr;
}

OSErr ExtfsStore::ItemRenamed(const fs::path& from, const fs::path& to) {
  for (const char* sub : {kForkFolder, kInfoFolder}) {
    fs::path a = inFolder(from, sub);
    fs::path b = inFolder(to, sub);
    if (a.empty() || b.empty()) continue;
    struct stat st {};
    if (::lstat(a.c_str(), &st) != 0) {
      // Nothing to move; whatever is left under the new name is stale.
      if (int error = removeWithFolder(b)) return FailErrno(error, "cannot remove", b);
      continue;
    }
    if (int error = makeFolderFor(b)) return FailErrno(error, "cannot create", b.parent_path());
    if (::rename(a.c_str(), b.c_str()) != 0) return FailErrno(errno, "cannot rename", a);
    ::rmdir(a.parent_path().c_str());
  }
  return ForkErr::noErr;
}

void ExtfsStore::RemoveOrphans(const fs::path& folder) {
  for (const char* sub : {kForkFolder, kInfoFolder}) {
    std::error_code ec;
    fs::path dir = folder / sub;
    std::vector<fs::path> orphans;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      struct stat st {};
      fs::path owner = folder / it->path().filename();
      if (::lstat(owner.c_str(), &st) != 0 && errno == ENOENT) orphans.push_back(it->path());
    }
    for (const auto& orphan : orphans) ::unlink(orphan.c_str());
    ::rmdir(dir.c_str());
  }
}
