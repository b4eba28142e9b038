#include "platform/ForkStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>

#include "platform/AppleDoubleStore.h"
#include "platform/ExtfsStore.h"

namespace fs = std::filesystem;

// --- FinderInfo ----------------------------------------------------------

namespace {
std::string fourBytes(const std::array<uint8_t, 32>& bytes, size_t at) {
  return std::string(reinterpret_cast<const char*>(bytes.data()) + at, 4);
}

void setFourBytes(std::array<uint8_t, 32>& bytes, size_t at, const std::string& value) {
  for (size_t i = 0; i < 4; ++i) {
    char c = i < value.size() ? value[i] : value.empty() ? '\0' : ' ';
    bytes[at + i] = static_cast<uint8_t>(c);
  }
}
}  // namespace

std::string FinderInfo::Type() const { return fourBytes(bytes, 0); }
std::string FinderInfo::Creator() const { return fourBytes(bytes, 4); }
void FinderInfo::SetType(const std::string& type) { setFourBytes(bytes, 0, type); }
void FinderInfo::SetCreator(const std::string& creator) { setFourBytes(bytes, 4, creator); }
uint16_t FinderInfo::Flags() const { return static_cast<uint16_t>(bytes[8] << 8 | bytes[9]); }

void FinderInfo::SetFlags(uint16_t flags) {
  bytes[8] = static_cast<uint8_t>(flags >> 8);
  bytes[9] = static_cast<uint8_t>(flags);
}

bool FinderInfo::IsZero() const {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

// --- The process-wide store --------------------------------------------------

namespace {
std::mutex& currentMutex() {
  static std::mutex m;
  return m;
}

ForkStorePtr& currentStore() {
  static ForkStorePtr store;
  return store;
}

std::string& lastErrorText() {
  thread_local std::string text;
  return text;
}
}  // namespace

ForkStore::~ForkStore() = default;

ForkStorePtr ForkStore::Current() {
  std::lock_guard<std::mutex> lock(currentMutex());
  ForkStorePtr& store = currentStore();
  if (!store) store = std::make_shared<AppleDoubleStore>();
  return store;
}

bool ForkStore::Select(const std::string& name) {
  ForkStorePtr store;
  if (name == "appledouble") {
    store = std::make_shared<AppleDoubleStore>();
  } else if (name == "extfs") {
    store = std::make_shared<ExtfsStore>();
  } else {
    return false;
  }
  Install(std::move(store));
  return true;
}

void ForkStore::Install(ForkStorePtr store) {
  std::lock_guard<std::mutex> lock(currentMutex());
  currentStore() = std::move(store);
}

const std::string& ForkStore::LastErrorText() { return lastErrorText(); }

OSErr ForkStore::Fail(OSErr code, const std::string& text) {
  lastErrorText() = text;
  return code;
}

OSErr ForkStore::ErrFromErrno(int error) {
  switch (error) {
    case 0: return ForkErr::noErr;
    case ENOENT: return ForkErr::fnfErr;
    case ENOTDIR: return ForkErr::dirNFErr;
    case EISDIR: return ForkErr::notAFileErr;
    case EACCES:
    case EPERM: return ForkErr::permErr;
    case EROFS: return ForkErr::wPrErr;
    case ENOSPC:
    case EDQUOT: return ForkErr::dskFulErr;
    case EFBIG: return ForkErr::fsDataTooBigErr;
    case ENAMETOOLONG: return ForkErr::bdNamErr;
    case EMFILE:
    case ENFILE: return ForkErr::tmfoErr;
    default: return ForkErr::ioErr;
  }
}

OSErr ForkStore::FailErrno(int error, const std::string& what, const fs::path& path) {
  return Fail(ErrFromErrno(error), what + " " + path.string() + ": " + std::strerror(error));
}

OSErr ForkStore::CheckItem(const fs::path& item, bool forWriting, OSErr lockedCode, bool& isFolder) {
  struct stat st {};
  isFolder = false;
  if (item.empty() || ::lstat(item.c_str(), &st) != 0) {
    return Fail(ForkErr::fnfErr, "no such file: " + item.string());
  }
  isFolder = S_ISDIR(st.st_mode);
  if (forWriting && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
    return Fail(lockedCode, "file is locked: " + item.string());
  }
  return ForkErr::noErr;
}

OSErr ForkStore::GetForkInfo(const fs::path& file, int64_t& rsrcLength, FinderInfo& info) {
  rsrcLength = ResourceForkLength(file);
  return GetFinderInfo(file, info);
}

std::optional<std::unordered_set<std::string>> ForkStore::ItemsWithStoreFiles(
    const fs::path&, const std::vector<std::string>&) {
  return std::nullopt;
}

// --- File Manager style access ----------------------------------------------

ForkStore::Open* ForkStore::find(int16_t refNum) {
  auto it = open_.find(refNum);
  return it == open_.end() ? nullptr : &it->second;
}

OSErr ForkStore::OpenRF(const fs::path& file, int8_t permission, int16_t& refNum) {
  refNum = 0;
  if (permission < fsCurPerm || permission > fsRdWrShPerm) {
    return Fail(ForkErr::paramErr, "bad permission for " + file.string());
  }
  bool writing = permission >= fsWrPerm;
  bool isFolder = false;
  if (OSErr err = CheckItem(file, writing, ForkErr::permErr, isFolder)) return err;
  if (isFolder) return Fail(ForkErr::notAFileErr, "a folder has no resource fork: " + file.string());
  if (open_.size() >= 30000) return Fail(ForkErr::tmfoErr, "too many forks open");

  Open entry;
  entry.writable = writing;
  if (OSErr err = MakeFork(file, writing, entry.fork)) return err;
  while (open_.count(nextRefNum_) != 0 || nextRefNum_ <= 0) {
    nextRefNum_ = nextRefNum_ >= std::numeric_limits<int16_t>::max() ? 2 : nextRefNum_ + 1;
  }
  refNum = nextRefNum_;
  open_.emplace(refNum, std::move(entry));
  nextRefNum_ = refNum >= std::numeric_limits<int16_t>::max() ? 2 : static_cast<int16_t>(refNum + 1);
  return ForkErr::noErr;
}

OSErr ForkStore::GetEOF(int16_t refNum, int32_t& logicalEOF) {
  logicalEOF = 0;
  Open* o = find(refNum);
  if (!o) return Fail(ForkErr::rfNumErr, "no fork open as " + std::to_string(refNum));
  int64_t length = o->fork->Length();
  if (length > std::numeric_limits<int32_t>::max()) {
    return Fail(ForkErr::fsDataTooBigErr, "resource fork larger than 2 GB");
  }
  logicalEOF = static_cast<int32_t>(length);
  return ForkErr::noErr;
}

OSErr ForkStore::SetEOF(int16_t refNum, int32_t logicalEOF) {
  Open* o = find(refNum);
  if (!o) return Fail(ForkErr::rfNumErr, "no fork open as " + std::to_string(refNum));
  if (!o->writable) return Fail(ForkErr::wrPermErr, "fork is open for reading only");
  if (logicalEOF < 0) return Fail(ForkErr::paramErr, "negative end of file");
  OSErr err = o->fork->SetLength(logicalEOF);
  if (err != ForkErr::noErr) {
    o->failed = err;
    return err;
  }
  o->mark = std::min<int64_t>(o->mark, logicalEOF);
  return ForkErr::noErr;
}

OSErr ForkStore::FSRead(int16_t refNum, int32_t& count, void* buffer) {
  int32_t wanted = count;
  count = 0;
  Open* o = find(refNum);
  if (!o) return Fail(ForkErr::rfNumErr, "no fork open as " + std::to_string(refNum));
  if (wanted < 0) return Fail(ForkErr::paramErr, "negative read count");
  int64_t available = std::max<int64_t>(0, o->fork->Length() - o->mark);
  int32_t n = static_cast<int32_t>(std::min<int64_t>(wanted, available));
  if (n > 0) {
    int32_t got = n;
    OSErr err = o->fork->ReadAt(o->mark, got, buffer);
    o->mark += got;
    count = got;
    if (err != ForkErr::noErr) return err;
    n = got;
  }
  return n < wanted ? ForkErr::eofErr : ForkErr::noErr;
}

OSErr ForkStore::FSWrite(int16_t refNum, int32_t& count, const void* buffer) {
  int32_t wanted = count;
  count = 0;
  Open* o = find(refNum);
  if (!o) return Fail(ForkErr::rfNumErr, "no fork open as " + std::to_string(refNum));
  if (!o->writable) return Fail(ForkErr::wrPermErr, "fork is open for reading only");
  if (wanted < 0) return Fail(ForkErr::paramErr, "negative write count");
  if (o->mark + wanted > std::numeric_limits<int32_t>::max()) {
    o->failed = ForkErr::fsDataTooBigErr;
    return Fail(ForkErr::fsDataTooBigErr, "resource fork would pass 2 GB");
  }
  int32_t done = wanted;
  OSErr err = wanted > 0 ? o->fork->WriteAt(o->mark, done, buffer) : ForkErr::noErr;
  o->mark += done;
  count = done;
  // A fork that missed some bytes must not replace the old one at close.
  if (err == ForkErr::noErr && done < wanted) err = Fail(ForkErr::ioErr, "short write");
  if (err != ForkErr::noErr) o->failed = err;
  return err;
}

OSErr ForkStore::GetFPos(int16_t refNum, int32_t& position) {
  position = 0;
  Open* o = find(refNum);
  if (!o) return Fail(ForkErr::rfNumErr, "no fork open as " + std::to_string(refNum));
  position = static_cast<int32_t>(o->mark);
  return ForkErr::noErr;
}

OSErr ForkStore::SetFPos(int16_t refNum, int16_t posMode, int32_t offset) {
  Open* o = find(refNum);
  if (!o) return Fail(ForkErr::rfNumErr, "no fork open as " + std::to_string(refNum));
  int64_t length = o->fork->Length();
  int64_t target = 0;
  switch (posMode) {
    case fsAtMark: return ForkErr::noErr;
    case fsFromStart: target = offset; break;
    case fsFromLEOF: target = length + offset; break;
    case fsFromMark: target = o->mark + offset; break;
    default: return Fail(ForkErr::paramErr, "bad positioning mode");
  }
  if (target < 0) return Fail(ForkErr::posErr, "position before the start of the fork");
  if (target > length) return Fail(ForkErr::eofErr, "position past the end of the fork");
  o->mark = target;
  return ForkErr::noErr;
}

OSErr ForkStore::FSClose(int16_t refNum) {
  auto it = open_.find(refNum);
  if (it == open_.end()) return Fail(ForkErr::rfNumErr, "no fork open as " + std::to_string(refNum));
  Open entry = std::move(it->second);
  open_.erase(it);
  if (!entry.writable) return ForkErr::noErr;
  if (entry.failed != ForkErr::noErr) {
    entry.fork->Discard();
    return entry.failed;
  }
  return entry.fork->Commit();
}
