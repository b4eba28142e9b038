#include "platform/AppleDoubleStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <system_error>

#include "platform/AppleDouble.h"
#include "platform/ForkFiles.h"

namespace fs = std::filesystem;
using forkfiles::Fd;

namespace {
// Sidecars are built under this name; it starts with "._" so that listings
// never show one, and a crash leaves only an orphan that RemoveOrphans takes.
constexpr const char* kTempPrefix = "._pellarc-tmp-";

struct Sidecar {
  fs::path path;
  Fd fd;
  bool present = false;
  bool damaged = false;
  std::string why;
  appledouble::Contents contents;
};

// Opens a sidecar for reading: -1 and no error when there is none (or the
// file system can't hold its name), -1 and an errno value when it can't be
// opened.
int openSidecar(const fs::path& path, int& error) {
  error = 0;
  if (path.empty()) return -1;
  // Non-blocking, so that a FIFO put in a sidecar's place can't hang us.
  int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (raw < 0) {
    int e = errno;
    if (e != ENOENT && e != ENOTDIR && e != ENAMETOOLONG) error = e;
  }
  return raw;
}

// Parses a sidecar that `sc.fd` has open.
int parse(Sidecar& sc) {
  const int raw = sc.fd.Get();
  sc.present = true;
  struct stat st {};
  if (::fstat(raw, &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) {
    sc.damaged = true;
    sc.why = "not a regular file";
    return 0;
  }
  bool readFailed = false;
  auto read = [raw](uint64_t offset, uint32_t length, std::string& out) {
    return forkfiles::ReadAt(raw, offset, length, out) == 0;
  };
  if (!appledouble::Read(static_cast<uint64_t>(st.st_size), read, sc.contents, sc.why, readFailed)) {
    if (readFailed) return EIO;
    sc.damaged = true;
    sc.contents = appledouble::Contents();
  }
  return 0;
}

// Opens and parses a sidecar. Returns an errno value when one is there but
// can't be read; a missing sidecar, or one whose name the file system can't
// hold, is simply not present.
int load(const fs::path& path, Sidecar& sc) {
  sc.path = path;
  int error = 0;
  const int raw = openSidecar(path, error);
  if (raw < 0) return error;
  sc.fd = Fd(raw);
  return parse(sc);
}

// The resource fork's length as the header and the entry table of an open
// sidecar give it: enough to find the fork and to know that the file is
// sound. 0 for anything else.
int64_t forkLengthIn(int raw) {
  struct stat st {};
  if (::fstat(raw, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  std::string head;
  std::string table;
  std::string why;
  uint16_t count = 0;
  std::vector<appledouble::Descriptor> entries;
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (size < uint64_t(appledouble::kHeaderSize) ||
      forkfiles::ReadAt(raw, 0, appledouble::kHeaderSize, head) != 0 ||
      !appledouble::ParseHeader(head, count, why)) {
    return 0;
  }
  uint64_t tableLength = uint64_t(count) * appledouble::kDescriptorSize;
  if (appledouble::kHeaderSize + tableLength > size ||
      forkfiles::ReadAt(raw, appledouble::kHeaderSize, tableLength, table) != 0 ||
      !appledouble::ParseDescriptors(table, count, size, entries, why)) {
    return 0;
  }
  for (const auto& d : entries) {
    if (d.id == appledouble::kResourceFork) return d.length;
  }
  return 0;
}

// Loads a sidecar that is about to be replaced: one that can't be read or
// parsed must stay as it is.
OSErr loadForWriting(const fs::path& path, Sidecar& sc) {
  if (int error = load(path, sc)) return ForkStore::FailErrno(error, "cannot read", path);
  if (sc.damaged) {
    return ForkStore::Fail(ForkErr::ioErr, "damaged AppleDouble file " + path.string() + " (" +
                                               sc.why + "); left as it is");
  }
  return ForkErr::noErr;
}

// Writes a new sidecar holding `contents` and `rsrcLength` fork bytes taken
// from `from` at `fromOffset`, and renames it over the old one; removes the
// sidecar instead when it would hold nothing.
OSErr replace(const fs::path& sidecar, const appledouble::Contents& contents, int from,
              uint64_t fromOffset, uint32_t rsrcLength) {
  if (rsrcLength == 0 && contents.HoldsNothingButFork()) {
    if (int error = forkfiles::RemoveIfThere(sidecar)) {
      return ForkStore::FailErrno(error, "cannot remove", sidecar);
    }
    return ForkErr::noErr;
  }
  std::string preamble = appledouble::BuildPreamble(contents, rsrcLength);
  if (preamble.size() + uint64_t(rsrcLength) > std::numeric_limits<uint32_t>::max()) {
    return ForkStore::Fail(ForkErr::fsDataTooBigErr, "too large for an AppleDouble file: " +
                                                         sidecar.string());
  }
  fs::path temp;
  Fd fd;
  if (int error = forkfiles::CreateTemp(sidecar.parent_path(), kTempPrefix, temp, fd)) {
    return ForkStore::FailErrno(error, "cannot create a file in", sidecar.parent_path());
  }
  int error = forkfiles::WriteAt(fd.Get(), 0, preamble.data(), preamble.size());
  if (!error && rsrcLength > 0) {
    error = forkfiles::CopyRange(from, fromOffset, fd.Get(), preamble.size(), rsrcLength);
  }
  if (!error && ::rename(temp.c_str(), sidecar.c_str()) != 0) error = errno;
  if (error) {
    ::unlink(temp.c_str());
    return ForkStore::FailErrno(error, "cannot write", sidecar);
  }
  return ForkErr::noErr;
}

// Changes `length` bytes of a sidecar where they are.
OSErr patch(const fs::path& sidecar, uint64_t offset, const void* data, size_t length) {
  int raw = ::open(sidecar.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
  if (raw < 0) return ForkStore::FailErrno(errno, "cannot write", sidecar);
  Fd fd(raw);
  if (int error = forkfiles::WriteAt(raw, offset, data, length)) {
    return ForkStore::FailErrno(error, "cannot write", sidecar);
  }
  return ForkErr::noErr;
}

class ReadFork : public ForkStore::OpenFork {
 public:
  ReadFork(fs::path sidecar, Fd fd, uint64_t offset, int64_t length)
      : sidecar_(std::move(sidecar)), fd_(std::move(fd)), offset_(offset), length_(length) {}
  int64_t Length() override { return length_; }
  OSErr SetLength(int64_t) override { return ForkErr::wrPermErr; }
  OSErr ReadAt(int64_t position, int32_t& count, void* buffer) override {
    std::string bytes;
    if (int error = forkfiles::ReadAt(fd_.Get(), offset_ + uint64_t(position), size_t(count), bytes)) {
      count = 0;
      return ForkStore::FailErrno(error, "cannot read the resource fork in", sidecar_);
    }
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(buffer));
    return ForkErr::noErr;
  }
  OSErr WriteAt(int64_t, int32_t& count, const void*) override {
    count = 0;
    return ForkErr::wrPermErr;
  }
  OSErr Commit() override { return ForkErr::noErr; }
  void Discard() override {}

 private:
  fs::path sidecar_;
  Fd fd_;
  uint64_t offset_;
  int64_t length_;
};

// A fork being written: a complete new sidecar under a temporary name, its
// fork bytes behind a preamble of `start_` bytes. Committing rewrites the
// preamble from the sidecar as it is then (Finder information may have
// changed meanwhile) and renames the new file over the old.
class WriteFork : public ForkStore::OpenFork {
 public:
  WriteFork(fs::path sidecar, fs::path temp, Fd fd, uint64_t start, int64_t length)
      : sidecar_(std::move(sidecar)), temp_(std::move(temp)), fd_(std::move(fd)),
        start_(start), length_(length) {}
  ~WriteFork() override { Discard(); }

  int64_t Length() override { return length_; }

  OSErr SetLength(int64_t length) override {
    if (::ftruncate(fd_.Get(), static_cast<off_t>(start_ + uint64_t(length))) != 0) {
      return ForkStore::FailErrno(errno, "cannot write", temp_);
    }
    length_ = length;
    return ForkErr::noErr;
  }

  OSErr ReadAt(int64_t position, int32_t& count, void* buffer) override {
    std::string bytes;
    if (int error = forkfiles::ReadAt(fd_.Get(), start_ + uint64_t(position), size_t(count), bytes)) {
      count = 0;
      return ForkStore::FailErrno(error, "cannot read", temp_);
    }
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(buffer));
    return ForkErr::noErr;
  }

  OSErr WriteAt(int64_t position, int32_t& count, const void* buffer) override {
    if (int error = forkfiles::WriteAt(fd_.Get(), start_ + uint64_t(position), buffer, size_t(count))) {
      count = 0;
      return ForkStore::FailErrno(error, "cannot write resource fork of", sidecar_);
    }
    length_ = std::max<int64_t>(length_, position + count);
    return ForkErr::noErr;
  }

  OSErr Commit() override {
    Sidecar current;
    OSErr err = loadForWriting(sidecar_, current);
    if (err == ForkErr::noErr) {
      uint32_t length = static_cast<uint32_t>(length_);
      std::string preamble = appledouble::BuildPreamble(current.contents, length);
      if (length == 0 || preamble.size() != start_) {
        err = replace(sidecar_, current.contents, fd_.Get(), start_, length);
      } else if (int error = forkfiles::WriteAt(fd_.Get(), 0, preamble.data(), preamble.size())) {
        err = ForkStore::FailErrno(error, "cannot write", temp_);
      } else if (::rename(temp_.c_str(), sidecar_.c_str()) != 0) {
        err = ForkStore::FailErrno(errno, "cannot write", sidecar_);
      } else {
        temp_.clear();
      }
    }
    Discard();
    return err;
  }

  void Discard() override {
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    fd_ = Fd();
  }

 private:
  fs::path sidecar_;
  fs::path temp_;
  Fd fd_;
  uint64_t start_;
  int64_t length_;
};
}  // namespace

fs::path AppleDoubleStore::SidecarPath(const fs::path& item) {
  fs::path folder;
  std::string name;
  forkfiles::Split(item, folder, name);
  if (name.empty() || name == "." || name == "..") return {};
  return folder / ("._" + name);
}

OSErr AppleDoubleStore::MakeFork(const fs::path& file, bool forWriting, std::unique_ptr<OpenFork>& fork) {
  fs::path sidecar = SidecarPath(file);
  if (sidecar.empty()) return Fail(ForkErr::paramErr, "no resource fork for " + file.string());
  Sidecar old;
  if (!forWriting) {
    if (int error = load(sidecar, old)) return FailErrno(error, "cannot read", sidecar);
    // A damaged sidecar reads as no sidecar at all.
    int64_t length = old.damaged ? 0 : old.contents.rsrcLength;
    fork = std::make_unique<ReadFork>(sidecar, std::move(old.fd), old.contents.rsrcOffset, length);
    return ForkErr::noErr;
  }
  if (OSErr err = loadForWriting(sidecar, old)) return err;
  fs::path temp;
  Fd fd;
  if (int error = forkfiles::CreateTemp(sidecar.parent_path(), kTempPrefix, temp, fd)) {
    return FailErrno(error, "cannot create a file in", sidecar.parent_path());
  }
  // Only the preamble's size matters now; Commit writes the real one.
  std::string preamble = appledouble::BuildPreamble(old.contents, old.contents.rsrcLength);
  int error = forkfiles::WriteAt(fd.Get(), 0, preamble.data(), preamble.size());
  if (!error && old.contents.rsrcLength > 0) {
    error = forkfiles::CopyRange(old.fd.Get(), old.contents.rsrcOffset, fd.Get(), preamble.size(),
                                 old.contents.rsrcLength);
  }
  if (error) {
    ::unlink(temp.c_str());
    return FailErrno(error, "cannot write", temp);
  }
  fork = std::make_unique<WriteFork>(sidecar, temp, std::move(fd), preamble.size(),
                                     old.contents.rsrcLength);
  return ForkErr::noErr;
}

int64_t AppleDoubleStore::ResourceForkLength(const fs::path& file) {
  int error = 0;
  const int raw = openSidecar(SidecarPath(file), error);
  if (raw < 0) return 0;
  Fd fd(raw);
  return forkLengthIn(raw);
}

OSErr AppleDoubleStore::GetForkInfo(const fs::path& file, int64_t& rsrcLength, FinderInfo& info) {
  rsrcLength = 0;
  info = FinderInfo();
  Sidecar sc;
  sc.path = SidecarPath(file);
  int error = 0;
  const int raw = openSidecar(sc.path, error);
  if (raw < 0) return error ? FailErrno(error, "cannot read", sc.path) : ForkErr::noErr;
  sc.fd = Fd(raw);
  rsrcLength = forkLengthIn(raw);
  if ((error = parse(sc)) != 0) return FailErrno(error, "cannot read", sc.path);
  if (!sc.damaged) info.bytes = sc.contents.finderInfo;
  return ForkErr::noErr;
}

std::optional<std::unordered_set<std::string>> AppleDoubleStore::ItemsWithStoreFiles(
    const fs::path&, const std::vector<std::string>& storeNames) {
  std::unordered_set<std::string> items;
  for (const std::string& name : storeNames) {
    if (name.size() > 2) items.insert(name.substr(2));
  }
  return items;
}

OSErr AppleDoubleStore::GetFinderInfo(const fs::path& item, FinderInfo& info) {
  info = FinderInfo();
  Sidecar sc;
  if (int error = load(SidecarPath(item), sc)) return FailErrno(error, "cannot read", sc.path);
  if (!sc.damaged) info.bytes = sc.contents.finderInfo;
  return ForkErr::noErr;
}

OSErr AppleDoubleStore::SetFinderInfo(const fs::path& item, const FinderInfo& info) {
  bool isFolder = false;
  if (OSErr err = CheckItem(item, true, ForkErr::fLckdErr, isFolder)) return err;
  fs::path sidecar = SidecarPath(item);
  if (sidecar.empty()) return Fail(ForkErr::paramErr, "no Finder information for " + item.string());
  Sidecar old;
  if (OSErr err = loadForWriting(sidecar, old)) return err;
  if (!old.present && info.IsZero()) return ForkErr::noErr;
  if (old.present && old.contents.finderInfo == info.bytes) return ForkErr::noErr;
  appledouble::Contents contents = old.contents;
  contents.finderInfo = info.bytes;
  bool empties = contents.rsrcLength == 0 && contents.HoldsNothingButFork();
  if (old.present && contents.finderInfoLength >= 32 && !empties) {
    return patch(sidecar, contents.finderInfoOffset, info.bytes.data(), info.bytes.size());
  }
  return replace(sidecar, contents, old.fd.Get(), contents.rsrcOffset, contents.rsrcLength);
}

OSErr AppleDoubleStore::GetCreationDate(const fs::path& item, std::optional<int64_t>& unixTime) {
  unixTime.reset();
  Sidecar sc;
  if (int error = load(SidecarPath(item), sc)) return FailErrno(error, "cannot read", sc.path);
  if (!sc.damaged && sc.contents.dates && (*sc.contents.dates)[0] != appledouble::kUnknownDate) {
    unixTime = int64_t((*sc.contents.dates)[0]) + appledouble::kUnixTo2000;
  }
  return ForkErr::noErr;
}

OSErr AppleDoubleStore::SetCreationDate(const fs::path& item, std::optional<int64_t> unixTime) {
  bool isFolder = false;
  if (OSErr err = CheckItem(item, false, ForkErr::noErr, isFolder)) return err;
  fs::path sidecar = SidecarPath(item);
  if (sidecar.empty()) return Fail(ForkErr::paramErr, "no creation date for " + item.string());
  Sidecar old;
  if (OSErr err = loadForWriting(sidecar, old)) return err;
  appledouble::Contents contents = old.contents;
  if (!unixTime) {
    if (!contents.dates) return ForkErr::noErr;
    contents.dates.reset();
    return replace(sidecar, contents, old.fd.Get(), contents.rsrcOffset, contents.rsrcLength);
  }
  auto to2000 = [](int64_t t) -> std::optional<int32_t> {
    int64_t s = t - appledouble::kUnixTo2000;
    if (s <= std::numeric_limits<int32_t>::min() || s > std::numeric_limits<int32_t>::max()) {
      return std::nullopt;
    }
    return static_cast<int32_t>(s);
  };
  std::optional<int32_t> created = to2000(*unixTime);
  if (!created) {
    return Fail(ForkErr::paramErr, "creation date out of the AppleDouble range for " + item.string());
  }
  if (contents.dates) {
    if ((*contents.dates)[0] == *created) return ForkErr::noErr;
    if (contents.datesOffset != 0) {
      uint8_t bytes[4] = {uint8_t(uint32_t(*created) >> 24), uint8_t(uint32_t(*created) >> 16),
                          uint8_t(uint32_t(*created) >> 8), uint8_t(*created)};
      return patch(sidecar, contents.datesOffset, bytes, sizeof bytes);
    }
  } else {
    // The other dates as the file system knows them, for tools that read
    // them; we only ever read the creation date back.
    struct stat st {};
    std::optional<int32_t> modified;
    if (::stat(item.c_str(), &st) == 0) modified = to2000(st.st_mtim.tv_sec);
    int32_t m = modified.value_or(appledouble::kUnknownDate);
    contents.dates = std::array<int32_t, 4>{0, m, appledouble::kUnknownDate, m};
  }
  (*contents.dates)[0] = *created;
  return replace(sidecar, contents, old.fd.Get(), contents.rsrcOffset, contents.rsrcLength);
}

bool AppleDoubleStore::IsStoreFile(const std::string& name) const {
  return name.size() >= 2 && name[0] == '.' && name[1] == '_';
}

OSErr AppleDoubleStore::ItemDeleted(const fs::path& item) {
  fs::path sidecar = SidecarPath(item);
  if (sidecar.empty()) return ForkErr::noErr;
  if (int error = forkfiles::RemoveIfThere(sidecar)) return FailErrno(error, "cannot remove", sidecar);
  return ForkErr::noErr;
}

OSErr AppleDoubleStore::ItemRenamed(const fs::path& from, const fs::path& to) {
  fs::path a = SidecarPath(from);
  fs::path b = SidecarPath(to);
  if (a.empty() || b.empty()) return ForkErr::noErr;
  if (::rename(a.c_str(), b.c_str()) == 0) return ForkErr::noErr;
  int error = errno;
  if (error != ENOENT) return FailErrno(error, "cannot rename", a);
  // Nothing to move; a sidecar left over under the new name must not be
  // taken for the renamed file's.
  if (int e = forkfiles::RemoveIfThere(b)) return FailErrno(e, "cannot remove", b);
  return ForkErr::noErr;
}

void AppleDoubleStore::RemoveOrphans(const fs::path& folder) {
  std::error_code ec;
  std::vector<fs::path> orphans;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!IsStoreFile(name)) continue;
    struct stat st {};
    fs::path owner = folder / name.substr(2);
    if (name.size() == 2 || (::lstat(owner.c_str(), &st) != 0 && errno == ENOENT)) {
      orphans.push_back(it->path());
    }
  }
  for (const auto& orphan : orphans) ::unlink(orphan.c_str());
}
