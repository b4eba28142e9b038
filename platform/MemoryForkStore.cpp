#include "platform/MemoryForkStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/ForkFiles.h"

namespace fs = std::filesystem;

class MemoryForkStore::Fork : public ForkStore::OpenFork {
 public:
  Fork(MemoryForkStore& store, std::string key, std::string bytes, bool writing)
      : store_(store), key_(std::move(key)), bytes_(std::move(bytes)), writing_(writing) {}

  int64_t Length() override { return static_cast<int64_t>(bytes_.size()); }

  OSErr SetLength(int64_t length) override {
    if (OSErr err = store_.fault(Op::SetEOF)) return Fail(err, "injected SetEOF failure");
    bytes_.resize(static_cast<size_t>(length));
    return ForkErr::noErr;
  }

  OSErr ReadAt(int64_t position, int32_t& count, void* buffer) override {
    if (OSErr err = store_.fault(Op::Read)) {
      count = 0;
      return Fail(err, "injected read failure");
    }
    std::memcpy(buffer, bytes_.data() + position, static_cast<size_t>(count));
    return ForkErr::noErr;
  }

  OSErr WriteAt(int64_t position, int32_t& count, const void* buffer) override {
    if (OSErr err = store_.fault(Op::Write)) {
      count = 0;
      return Fail(err, "injected write failure");
    }
    OSErr result = ForkErr::noErr;
    if (store_.writeLimit_ && position + count > *store_.writeLimit_) {
      count = static_cast<int32_t>(std::max<int64_t>(0, *store_.writeLimit_ - position));
      result = Fail(ForkErr::dskFulErr, "disk full (write limit)");
    }
    size_t end = static_cast<size_t>(position + count);
    if (bytes_.size() < end) bytes_.resize(end);
    std::memcpy(bytes_.data() + position, buffer, static_cast<size_t>(count));
    return result;
  }

  OSErr Commit() override {
    if (!writing_) return ForkErr::noErr;
    if (OSErr err = store_.fault(Op::Commit)) return Fail(err, "injected commit failure");
    store_.records_[key_].fork = std::move(bytes_);
    store_.tidy(key_);
    return ForkErr::noErr;
  }

  void Discard() override {}

 private:
  MemoryForkStore& store_;
  std::string key_;
  std::string bytes_;
  bool writing_;
};

std::string MemoryForkStore::key(const fs::path& item) {
  fs::path folder;
  std::string name;
  forkfiles::Split(item, folder, name);
  return (folder.lexically_normal() / name).string();
}

void MemoryForkStore::InjectFault(Op op, OSErr code, int skip) { faults_[op] = {skip, code}; }

void MemoryForkStore::ClearFaults() {
  faults_.clear();
  writeLimit_.reset();
}

OSErr MemoryForkStore::fault(Op op) {
  auto it = faults_.find(op);
  if (it == faults_.end()) return ForkErr::noErr;
  if (it->second.first > 0) {
    --it->second.first;
    return ForkErr::noErr;
  }
  OSErr code = it->second.second;
  faults_.erase(it);
  return code;
}

void MemoryForkStore::tidy(const std::string& k) {
  auto it = records_.find(k);
  if (it != records_.end() && it->second.Empty()) records_.erase(it);
}

OSErr MemoryForkStore::MakeFork(const fs::path& file, bool forWriting, std::unique_ptr<OpenFork>& fork) {
  if (OSErr err = fault(forWriting ? Op::OpenForWriting : Op::OpenForReading)) {
    return Fail(err, "injected open failure");
  }
  std::string k = key(file);
  auto it = records_.find(k);
  std::string bytes = it == records_.end() ? std::string() : it->second.fork;
  // A reader works on what the fork was when it was opened, as one reading
  // a file that gets replaced does.
  fork = std::make_unique<Fork>(*this, k, std::move(bytes), forWriting);
  return ForkErr::noErr;
}

int64_t MemoryForkStore::ResourceForkLength(const fs::path& file) {
  auto it = records_.find(key(file));
  return it == records_.end() ? 0 : static_cast<int64_t>(it->second.fork.size());
}

OSErr MemoryForkStore::GetFinderInfo(const fs::path& item, FinderInfo& info) {
  auto it = records_.find(key(item));
  info = it == records_.end() ? FinderInfo() : it->second.info;
  return ForkErr::noErr;
}

OSErr MemoryForkStore::SetFinderInfo(const fs::path& item, const FinderInfo& info) {
  bool isFolder = false;
  if (OSErr err = CheckItem(item, true, ForkErr::fLckdErr, isFolder)) return err;
  if (OSErr err = fault(Op::SetFinderInfo)) return Fail(err, "injected Finder info failure");
  std::string k = key(item);
  records_[k].info = info;
  tidy(k);
  return ForkErr::noErr;
}

OSErr MemoryForkStore::GetCreationDate(const fs::path& item, std::optional<int64_t>& unixTime) {
  auto it = records_.find(key(item));
  unixTime = it == records_.end() ? std::nullopt : it->second.created;
  return ForkErr::noErr;
}

OSErr MemoryForkStore::SetCreationDate(const fs::path& item, std::optional<int64_t> unixTime) {
  bool isFolder = false;
  if (OSErr err = CheckItem(item, false, ForkErr::noErr, isFolder)) return err;
  if (OSErr err = fault(Op::SetCreationDate)) return Fail(err, "injected date failure");
  std::string k = key(item);
  records_[k].created = unixTime;
  tidy(k);
  return ForkErr::noErr;
}

OSErr MemoryForkStore::ItemDeleted(const fs::path& item) {
  records_.erase(key(item));
  return ForkErr::noErr;
}

OSErr MemoryForkStore::ItemRenamed(const fs::path& from, const fs::path& to) {
  std::string a = key(from);
  std::string b = key(to);
  records_.erase(b);
  // A folder's contents move with it.
  std::map<std::string, Record> moved;
  for (auto it = records_.begin(); it != records_.end();) {
    const std::string& k = it->first;
    if (k == a || (k.size() > a.size() && k.compare(0, a.size(), a) == 0 && k[a.size()] == '/')) {
      moved.emplace(b + k.substr(a.size()), std::move(it->second));
      it = records_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& entry : moved) records_[entry.first] = std::move(entry.second);
  return ForkErr::noErr;
}

void MemoryForkStore::RemoveOrphans(const fs::path& folder) {
  std::string prefix = key(folder) + "/";
  for (auto it = records_.begin(); it != records_.end();) {
    struct stat st {};
    bool inside = it->first.compare(0, prefix.size(), prefix) == 0;
    if (inside && ::lstat(it->first.c_str(), &st) != 0) {
      it = records_.erase(it);
    } else {
      ++it;
    }
  }
}
