#include "platform/FolderItem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/TextEncoding.h"
#include "platform/TypeCreatorTable.h"

namespace fs = std::filesystem;

namespace {
std::function<bool(const std::string&)>& listingFilter() {
  static std::function<bool(const std::string&)> hide;
  return hide;
}

bool lstatOf(const fs::path& p, struct stat& st) { return ::lstat(p.c_str(), &st) == 0; }
bool statOf(const fs::path& p, struct stat& st) { return ::stat(p.c_str(), &st) == 0; }

// The classic form of a name: Mac Roman, with ':' (the classic separator)
// shown as '/', as macOS maps them. Empty when a character has no Mac Roman
// form or the result is longer than `maxBytes`.
std::string classicName(const std::string& name, size_t maxBytes) {
  if (name.empty()) return {};
  static const TextConverterPtr toMac =
      GetTextConverter(Encodings::UTF8(), Encodings::MacRoman());
  if (!toMac) return {};
  std::string mac = toMac->Convert(name);
  if (mac.empty() || mac.size() > maxBytes) return {};
  std::replace(mac.begin(), mac.end(), ':', '/');
  return mac;
}
}  // namespace

FolderItem::FolderItem(fs::path path) : path_(std::move(path)) {}

void FolderItem::SetListingFilter(std::function<bool(const std::string&)> hide) {
  listingFilter() = std::move(hide);
}

std::string FolderItem::Name() const {
  // The last component, also of a path that ends in separators; a root has
  // no name. Folder walks ask this for every file, so without path objects.
  const std::string& p = path_.native();
  const size_t end = p.find_last_not_of('/');
  if (end == std::string::npos) return std::string();
  const size_t slash = p.rfind('/', end);
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  return p.substr(start, end + 1 - start);
}

bool FolderItem::Exists() const {
  struct stat st {};
  return !path_.empty() && lstatOf(path_, st);
}

bool FolderItem::Directory() const {
  struct stat st {};
  return !path_.empty() && statOf(path_, st) && S_ISDIR(st.st_mode);
}

bool FolderItem::Alias() const {
  struct stat st {};
  return !path_.empty() && lstatOf(path_, st) && S_ISLNK(st.st_mode);
}

bool FolderItem::Locked() const {
  struct stat st {};
  return statOf(path_, st) && (st.st_mode & S_IWUSR) == 0;
}

bool FolderItem::SetLocked(bool locked) const {
  struct stat st {};
  if (!statOf(path_, st)) return false;
  mode_t mode = st.st_mode & 07777;
  mode = locked ? mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
  return ::chmod(path_.c_str(), mode) == 0;
}

bool FolderItem::Visible() const {
  std::string name = Name();
  if (name.empty() || name[0] == '.') return false;
  // The name implies no flags, so only stored information can hide it.
  FinderInfo info;
  ForkStore::Current()->GetFinderInfo(path_, info);
  return (info.Flags() & FinderInfo::kIsInvisible) == 0;
}

bool FolderItem::SetVisible(bool visible) const {
  uint16_t flags = FinderFlags();
  flags = visible ? flags & ~FinderInfo::kIsInvisible : flags | FinderInfo::kIsInvisible;
  return SetFinderFlags(flags);
}

std::optional<FolderItem> FolderItem::Parent() const {
  fs::path p = path_;
  if (!p.has_filename() && p.has_parent_path()) p = p.parent_path();
  if (!p.has_parent_path() || p.parent_path() == p) return std::nullopt;
  return FolderItem(p.parent_path());
}

FolderItem FolderItem::Child(const std::string& name) const { return FolderItem(path_ / name); }

FolderItem FolderItem::ResolvedAlias() const {
  if (!Alias()) return *this;
  std::error_code ec;
  fs::path target = fs::canonical(path_, ec);
  return ec ? *this : FolderItem(target);
}

FolderItem::Status FolderItem::GetStatus(bool followAlias) const {
  Status status;
  struct stat st {};
  if (path_.empty() || !(followAlias ? statOf(path_, st) : lstatOf(path_, st))) return status;
  status.exists = true;
  status.alias = S_ISLNK(st.st_mode);
  status.directory = S_ISDIR(st.st_mode);
  status.file = S_ISREG(st.st_mode);
  status.length = status.file ? static_cast<int64_t>(st.st_size) : 0;
  status.modified = Date::FromUnixTime(st.st_mtim.tv_sec);
  status.fileID = static_cast<uint64_t>(st.st_ino);
  status.volumeID = static_cast<uint64_t>(st.st_dev);
  return status;
}

int32_t FolderItem::Count() const {
  if (!listing_) {
    auto listing = std::make_shared<Listing>();
    if (Directory()) {
      const auto& hide = listingFilter();
      ForkStorePtr store = ForkStore::Current();
      listing->store = store.get();
      // readdir rather than a directory iterator: the kind of each item and
      // its inode come with the names, which spares a folder walk a look at
      // every file.
      if (DIR* dir = ::opendir(path_.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
          std::string name = e->d_name;
          if (name == "." || name == "..") continue;
          if (store->IsStoreFile(name)) {
            listing->storeNames.push_back(std::move(name));
            continue;
          }
          if (hide && hide(name)) continue;
          listing->entries.push_back({std::move(name), e->d_type, static_cast<uint64_t>(e->d_ino)});
        }
        ::closedir(dir);
      }
      std::sort(listing->entries.begin(), listing->entries.end(),
                [](const Listing::Entry& a, const Listing::Entry& b) { return a.name < b.name; });
    }
    listing_ = std::move(listing);
  }
  return static_cast<int32_t>(listing_->entries.size());
}

FolderItem FolderItem::Item(int32_t index) const {
  if (index < 1 || index > Count()) return FolderItem();
  return Child(listing_->entries[static_cast<size_t>(index - 1)].name);
}

std::optional<FolderItem::ListedKind> FolderItem::ListedKindOf(int32_t index) const {
  if (index < 1 || index > Count()) return std::nullopt;
  const Listing::Entry& e = listing_->entries[static_cast<size_t>(index - 1)];
  ListedKind kind;
  switch (e.type) {
    case DT_REG: kind.file = true; break;
    case DT_DIR: kind.directory = true; break;
    case DT_LNK: kind.alias = true; break;
    default: return std::nullopt;
  }
  kind.fileID = e.inode;
  return kind;
}

std::optional<std::unordered_set<std::string>> FolderItem::ItemsWithStoreFiles() const {
  Count();
  const ForkStorePtr store = ForkStore::Current();
  // A store put in since the listing was read may keep other files.
  if (listing_->store != store.get()) return std::nullopt;
  return store->ItemsWithStoreFiles(path_, listing_->storeNames);
}

std::vector<FolderItem> FolderItem::Items() const {
  std::vector<FolderItem> items;
  int32_t n = Count();
  items.reserve(static_cast<size_t>(n));
  for (int32_t i = 1; i <= n; ++i) items.push_back(Item(i));
  return items;
}

bool FolderItem::CreateAsFolder() const { return ::mkdir(path_.c_str(), 0777) == 0; }

bool FolderItem::Delete() const {
  struct stat st {};
  if (!lstatOf(path_, st)) return false;
  ForkStorePtr store = ForkStore::Current();
  if (S_ISDIR(st.st_mode)) {
    store->RemoveOrphans(path_);
    if (::rmdir(path_.c_str()) != 0) return false;
  } else if (::unlink(path_.c_str()) != 0) {
    return false;
  }
  // The item is gone; a store file that stays behind is reported, although
  // listings would never show it.
  return store->ItemDeleted(path_) == ForkErr::noErr;
}

bool FolderItem::Rename(const std::string& newName) {
  ForkStorePtr store = ForkStore::Current();
  auto parent = Parent();
  if (!parent || newName.empty() || newName == "." || newName == ".." ||
      newName.find('/') != std::string::npos || newName.find('\0') != std::string::npos ||
      store->IsStoreFile(newName)) {
    return false;
  }
  struct stat st {};
  if (!lstatOf(path_, st)) return false;
  if (newName == Name()) return true;
  bool plainFile = S_ISREG(st.st_mode);
  if (plainFile && (st.st_mode & S_IWUSR) == 0) return false;
  fs::path target = parent->Path() / newName;

  // The type and creator go with the file, not with its name.
  bool keepInfo = plainFile && TypeCreatorTable::ForName(Name()) != TypeCreatorTable::ForName(newName);
  FinderInfo info = keepInfo ? GetFinderInfo() : FinderInfo();

  if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    // Some file systems can't refuse to replace; check by hand there.
    if (errno != EINVAL || lstatOf(target, st) || ::rename(path_.c_str(), target.c_str()) != 0) {
      return false;
    }
  }
  if (store->ItemRenamed(path_, target) != ForkErr::noErr) {
    // Without its store files the file would lose its fork: put it back.
    ::rename(target.c_str(), path_.c_str());
    return false;
  }
  path_ = target;
  listing_.reset();
  if (keepInfo) SetFinderInfo(info);
  return true;
}

int64_t FolderItem::Length() const {
  struct stat st {};
  if (!statOf(path_, st) || !S_ISREG(st.st_mode)) return 0;
  return static_cast<int64_t>(st.st_size);
}

int64_t FolderItem::ResourceForkLength() const {
  if (path_.empty()) return 0;
  return ForkStore::Current()->ResourceForkLength(path_);
}

void FolderItem::GetFileForkInfo(bool storeFilesListed, int64_t& rsrcLength,
                                 FinderInfo& info) const {
  rsrcLength = 0;
  info = FinderInfo();
  if (path_.empty()) return;
  if (storeFilesListed) ForkStore::Current()->GetForkInfo(path_, rsrcLength, info);
  if (!info.IsZero()) return;
  // A file: what its name implies needs no look at the file system.
  if (auto codes = TypeCreatorTable::ForName(Name())) {
    info.SetType(codes->type);
    info.SetCreator(codes->creator);
  }
}

FinderInfo FolderItem::impliedFinderInfo() const {
  FinderInfo info;
  auto codes = TypeCreatorTable::ForName(Name());
  struct stat st {};
  // Names imply codes for files only; the stat is paid only when the name
  // implies any.
  if (codes && statOf(path_, st) && !S_ISDIR(st.st_mode)) {
    info.SetType(codes->type);
    info.SetCreator(codes->creator);
  }
  return info;
}

FinderInfo FolderItem::GetFinderInfo() const {
  FinderInfo info;
  if (path_.empty()) return info;
  ForkStore::Current()->GetFinderInfo(path_, info);
  return info.IsZero() ? impliedFinderInfo() : info;
}

bool FolderItem::SetFinderInfo(const FinderInfo& info) const {
  if (path_.empty()) return false;
  // What the name implies needs no storing: ordinary files keep no store
  // files, and stored information that now says the same is dropped.
  FinderInfo stored = info == impliedFinderInfo() ? FinderInfo() : info;
  return ForkStore::Current()->SetFinderInfo(path_, stored) == ForkErr::noErr;
}

std::string FolderItem::MacType() const { return GetFinderInfo().Type(); }
std::string FolderItem::MacCreator() const { return GetFinderInfo().Creator(); }

bool FolderItem::SetMacType(const std::string& type) const {
  FinderInfo info = GetFinderInfo();
  info.SetType(type);
  return SetFinderInfo(info);
}

bool FolderItem::SetMacCreator(const std::string& creator) const {
  FinderInfo info = GetFinderInfo();
  info.SetCreator(creator);
  return SetFinderInfo(info);
}

uint16_t FolderItem::FinderFlags() const { return GetFinderInfo().Flags(); }

bool FolderItem::SetFinderFlags(uint16_t flags) const {
  FinderInfo info = GetFinderInfo();
  info.SetFlags(flags);
  return SetFinderInfo(info);
}

std::optional<FolderItem::CatalogInfo> FolderItem::GetCatalogInfo() const {
  if (!Exists()) return std::nullopt;
  FinderInfo info = GetFinderInfo();
  return CatalogInfo{info.Flags(), info.NameScript()};
}

std::optional<int64_t> FolderItem::fileSystemCreationTime() const {
  struct statx stx {};
  if (path_.empty() || ::statx(AT_FDCWD, path_.c_str(), 0, STATX_BTIME | STATX_MTIME, &stx) != 0) {
    return std::nullopt;
  }
  if (stx.stx_mask & STATX_BTIME) return stx.stx_btime.tv_sec;
  return stx.stx_mtime.tv_sec;
}

Date FolderItem::CreationDate() const {
  std::optional<int64_t> kept;
  if (!path_.empty()) ForkStore::Current()->GetCreationDate(path_, kept);
  if (!kept) kept = fileSystemCreationTime();
  return Date::FromUnixTime(kept.value_or(0));
}

bool FolderItem::SetCreationDate(const Date& date) const {
  if (path_.empty()) return false;
  ForkStorePtr store = ForkStore::Current();
  std::optional<int64_t> kept;
  store->GetCreationDate(path_, kept);
  std::optional<int64_t> reported = fileSystemCreationTime();
  if (!reported) return false;
  // The file system can't set its own date, so anything else is kept.
  if (!kept && *reported == date.UnixTime()) return true;
  return store->SetCreationDate(path_, date.UnixTime()) == ForkErr::noErr;
}

Date FolderItem::ModificationDate() const {
  struct stat st {};
  if (!statOf(path_, st)) return Date::FromUnixTime(0);
  return Date::FromUnixTime(st.st_mtim.tv_sec);
}

bool FolderItem::SetModificationDate(const Date& date) const {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = date.UnixTime();
  times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, path_.c_str(), times, 0) == 0;
}

uint64_t FolderItem::DirectoryID() const {
  struct stat st {};
  return statOf(path_, st) ? static_cast<uint64_t>(st.st_ino) : 0;
}

uint64_t FolderItem::VolumeID() const {
  struct stat st {};
  return statOf(path_, st) ? static_cast<uint64_t>(st.st_dev) : 0;
}

BinaryStreamPtr FolderItem::OpenAsBinaryFile(bool writable) const {
  return BinaryStream::Open(path_, writable);
}

BinaryStreamPtr FolderItem::OpenForReading(Status& status) const {
  struct stat st {};
  BinaryStreamPtr stream = path_.empty() ? nullptr : BinaryStream::Open(path_, false, &st);
  if (!stream) {
    status = GetStatus(true);
    return nullptr;
  }
  status = Status();
  status.exists = true;
  status.file = true;
  status.length = static_cast<int64_t>(st.st_size);
  status.modified = Date::FromUnixTime(st.st_mtim.tv_sec);
  status.fileID = static_cast<uint64_t>(st.st_ino);
  status.volumeID = static_cast<uint64_t>(st.st_dev);
  return stream;
}

BinaryStreamPtr FolderItem::CreateBinaryFile(const std::string&) const {
  return BinaryStream::Create(path_);
}

MemoryBlockPtr FolderItem::MacFSSpec() const {
  std::string name = classicName(Name(), 63);
  auto parent = Parent();
  if (name.empty() || !parent) return nullptr;
  auto spec = MemoryBlock::Make(70);
  spec->SetInt16Value(0, static_cast<int16_t>(-1 - static_cast<int>(parent->VolumeID() & 0x7FFE)));
  spec->SetInt32Value(2, static_cast<int32_t>(parent->DirectoryID() & 0x7FFFFFFF));
  spec->SetPString(6, name);
  return spec;
}

std::string FolderItem::MacClassicName() const { return classicName(Name(), 31); }
