// Adding files and folders: which entry an item becomes (its name, MacBinary
// form or data fork, extra field) and the order in which a folder's contents
// go in. Every entry is then written by z_zip; the same routines, measuring
// only, tell what an item or a folder would take.
#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "engine/MacBinary.h"
#include "engine/ZipArchive.h"
#include "engine/ZipWriteSupport.h"
#include "platform/ForkStore.h"
#include "streams/FileReader.h"
#include "streams/RsrcForkReader.h"

namespace fs = std::filesystem;

namespace {
const char kMsgNoFile[] = "no file reference given";
const char kMsgNoFolder[] = "no folder reference given";
const char kMsgEmptyName[] = "Name must not be empty";
// The same words z_zip uses when it can't open the stream: a file that is
// gone by the time it is added is one whose data can't be opened.
const char kMsgOpenData[] = "Opening the source data stream failed";
const char kMsgNotAFile[] = "Only files and folders can be added";
const char kMsgFolderUnreadable[] = "The folder can't be read";
const char kMsgStoreFile[] =
    "This file keeps the resource fork and Finder information of another item; it is not "
    "added on its own";
const char kMsgArchiveItself[] = "This is the archive being written; it is not added to itself";

constexpr int32_t kCodeParam = -50;
constexpr int32_t kCodeOpen = -38;

// Whether the item is one of the fork store's own files, or lies in one of
// its folders (the emulators' .rsrc and .finf).
bool isStoreFile(const FolderItem& item) {
  const ForkStorePtr store = ForkStore::Current();
  if (store->IsStoreFile(item.Name())) return true;
  const std::optional<FolderItem> parent = item.Parent();
  return parent && store->IsStoreFile(parent->Name());
}
}  // namespace

void ZipArchive::z_noteArchiveFile() {
  archiveVolume = 0;
  archiveFileID = 0;
  if (!d->zipStream) return;
  archiveFileID = d->theFile.DirectoryID();
  archiveVolume = d->theFile.VolumeID();
}

bool ZipArchive::z_isArchiveFile(const FolderItem::Status& status) const {
  return archiveFileID != 0 && status.fileID == archiveFileID &&
         status.volumeID == archiveVolume;
}

int32_t ZipArchive::z_refuse(const FolderItem& item) {
  if (isStoreFile(item)) {
    errmsg = kMsgStoreFile;
    return kCodeParam;
  }
  z_noteArchiveFile();
  if (z_isArchiveFile(item.GetStatus(true))) {
    // Reading the archive while its end is being rewritten would take in
    // bytes of the very entry being written.
    errmsg = kMsgArchiveItself;
    return kCodeParam;
  }
  return 0;
}

int32_t ZipArchive::AddItemToRoot(const FolderItem& item, int32_t mode) {
  if (!IsWritable()) {
    z_noWriteMsg();
    return 0;
  }
  if (item.Path().empty()) {
    errmsg = kMsgNoFile;
    return 0;
  }
  if (const int32_t refused = z_refuse(item)) return refused;
  const std::string name = d->cleanName(item.Name());
  // The top of the file system has no name: "/" would be no entry at all.
  if (name.empty()) {
    errmsg = kMsgEmptyName;
    return kCodeParam;
  }
  return z_addItem(item, item.Directory() ? name + "/" : name, mode, false);
}

int32_t ZipArchive::AddItemWithRawPath(const FolderItem& item, const std::string& path,
                                       int32_t mode) {
  if (!IsWritable()) {
    z_noWriteMsg();
    return 0;
  }
  if (item.Path().empty()) {
    errmsg = kMsgNoFile;
    return 0;
  }
  if (const int32_t refused = z_refuse(item)) return refused;
  return z_addItem(item, path, mode, false);
}

bool ZipArchive::AddFolderContents(const FolderItem& folder, const std::string& prefix,
                                   int32_t mode, bool followAliases) {
  if (!IsWritable()) {
    z_noWriteMsg();
    return false;
  }
  std::string path = prefix + "/";
  for (size_t at = path.find("//"); at != std::string::npos; at = path.find("//", at)) {
    path.erase(at, 1);
  }
  z_noteArchiveFile();
  return z_addFolder(folder, path, followAliases, mode, false) == 0;
}

int32_t ZipArchive::CalcItemSize(const FolderItem& item, int32_t mode) {
  return z_addItem(item, std::string(), mode, true);
}

int32_t ZipArchive::CalcFolderSize(const FolderItem& folder, bool followAliases, int32_t mode) {
  z_noteArchiveFile();
  return z_addFolder(folder, std::string(), followAliases, mode, true);
}

std::string ZipArchive::RawPath(const std::vector<std::string>& components) const {
  std::string path;
  for (size_t i = 0; i < components.size(); ++i) {
    if (i > 0) path += '/';
    path += d->cleanName(components[i]);
  }
  return path;
}

std::string ZipArchive::RawPath(const FolderItem& base, const FolderItem& item) const {
  if (!base.Directory()) return std::string();
  std::vector<std::string> names;
  FolderItem current = item;
  while (!z_sameFolder(current, base)) {
    names.push_back(current.Name());
    std::optional<FolderItem> parent = current.Parent();
    if (!parent || z_sameFolder(*parent, current)) return std::string();
    current = std::move(*parent);
  }
  std::reverse(names.begin(), names.end());
  return RawPath(names);
}

bool ZipArchive::z_sameFolder(const FolderItem& a, const FolderItem& b) {
  const uint64_t id = a.DirectoryID();
  // Inode numbers repeat across volumes, so the volume counts too.
  return id != 0 && id == b.DirectoryID() && a.VolumeID() == b.VolumeID();
}

int32_t ZipArchive::z_addItem(const FolderItem& item, const std::string& name, int32_t mode,
                              bool sizeOnly) {
  if (!sizeOnly && !IsWritable()) {
    z_noWriteMsg();
    return 0;
  }
  if (item.Path().empty()) {
    errmsg = kMsgNoFile;
    return 0;
  }
  return z_addItem(item, item.GetStatus(true), name, mode, sizeOnly);
}

int32_t ZipArchive::z_addItem(const FolderItem& item, const FolderItem::Status& status,
                              const std::string& name, int32_t mode, bool sizeOnly,
                              BinaryStreamPtr opened, bool storeFilesListed) {
  const bool folder = status.directory;
  if (!sizeOnly) {
    // A file that went away since its folder was listed must not become an
    // empty entry, and a pipe or device would never end (or never open).
    if (!status.exists) {
      errmsg = kMsgOpenData;
      return kCodeOpen;
    }
    if (!folder && !status.file) {
      errmsg = kMsgNotAFile;
      return kCodeParam;
    }
  }

  const int64_t dataLength = status.length;
  // The fork's length and the Finder information come in one look at the
  // store; adding needs the information even where no fork is wanted.
  int64_t rsrcLength = 0;
  FinderInfo info;
  if (!folder && (mode > MacBinaryNever() || !sizeOnly)) {
    item.GetFileForkInfo(storeFilesListed, rsrcLength, info);
    if (mode <= MacBinaryNever()) rsrcLength = 0;
  }
  const bool macBinary =
      mode == MacBinaryAlways() || (mode == MacBinarySmart() && rsrcLength > 0);
  const int64_t size =
      macBinary ? macbinary::StreamLength(dataLength, rsrcLength) : dataLength;
  if (size > std::numeric_limits<int32_t>::max()) {
    errmsg = zipwrite::kMsgTooLarge;
    return sizeOnly ? -1 : kCodeParam;
  }
  if (sizeOnly) return static_cast<int32_t>(size);

  const auto data32 = static_cast<int32_t>(dataLength);
  const auto rsrc32 = macBinary ? static_cast<int32_t>(rsrcLength) : 0;
  SeqDataInputStreamPtr dataReader;
  SeqDataInputStreamPtr rsrcReader;
  if (!folder) {
    dataReader = opened ? std::make_shared<FileReader>(item, std::move(opened))
                        : std::make_shared<FileReader>(item);
  }
  if (rsrc32 > 0) rsrcReader = std::make_shared<RsrcForkReader>(item);
  MemoryBlockPtr header;
  ZipExtraFieldPtr extra;
  if (macBinary) {
    const std::string ownName = item.Name();
    if (ownName.empty()) {
      errmsg = kMsgEmptyName;
      return kCodeParam;
    }
    header = MakeMacBinaryHeader(item, data32, rsrc32, ownName);
    extra = MakeZipExtraField(item);
  } else if (!folder) {
    // The short block: type and creator only. What the item is is known
    // already, so the file system is not asked again.
    extra = MakeZipExtraField(info.Type(), info.Creator(), std::string());
  }
  return z_zip(std::move(dataReader), data32, std::move(rsrcReader), rsrc32, std::move(header),
               name, status.modified, std::move(extra));
}

int32_t ZipArchive::z_addFolder(const FolderItem& folder, const std::string& prefix,
                                bool followAliases, int32_t mode, bool sizeOnly) {
  if (folder.Path().empty()) {
    errmsg = kMsgNoFolder;
    return -1;
  }
  if (!sizeOnly) {
    // A listing that fails is empty; without this a folder that can't be
    // read (or went away) would simply leave its files out.
    bool readable = false;
    if (folder.Directory()) {
      std::error_code ec;
      fs::directory_iterator probe(folder.Path(), ec);
      readable = !ec;
    } else if (folder.Exists()) {
      return 0;  // a file has no contents
    }
    if (!readable) return z_abort(folder, kCodeOpen, kMsgFolderUnreadable, true) ? -1 : 0;
  }

  // One look at each item sorts it; its ids also tell whether it is the
  // archive. For a regular file the listing itself says enough: adding it
  // looks at it when it opens it.
  struct Listed {
    FolderItem item;
    FolderItem::Status status;
    // The target of an alias, which lies elsewhere.
    bool viaAlias = false;
  };
  std::vector<Listed> files;
  std::vector<FolderItem> folders;
  const int32_t count = folder.Count();
  for (int32_t i = 1; i <= count; ++i) {
    FolderItem item = folder.Item(i);
    if (item.Path().empty()) break;
    FolderItem::Status status;
    const std::optional<FolderItem::ListedKind> kind =
        sizeOnly ? std::nullopt : folder.ListedKindOf(i);
    if (kind && kind->file && kind->fileID != archiveFileID) {
      status.exists = status.file = true;
      status.fileID = kind->fileID;
    } else {
      status = item.GetStatus(false);
    }
    if (status.alias) {
      if (!followAliases) continue;
      FolderItem target = item.ResolvedAlias();
      status = target.GetStatus(true);
      // An alias to a folder could lead back up the tree; and what a store
      // keeps is part of another item even when an alias points at it.
      if (status.directory || isStoreFile(target)) continue;
      files.push_back({std::move(target), status, true});
    } else if (status.directory) {
      folders.push_back(std::move(item));
    } else {
      files.push_back({std::move(item), status, false});
    }
  }

  // Which files may have store files, from the same listing: the others
  // cost the store no look at all.
  const std::optional<std::unordered_set<std::string>> withStoreFiles =
      folder.ItemsWithStoreFiles();
  double total = 0;
  // The archive is left out, and said so while adding; true when the walk
  // must stop.
  auto leaveOutArchive = [&](const FolderItem& file) {
    bool abort = false;
    if (!sizeOnly && d->monitor) d->monitor->ReportError(file, 0, kMsgArchiveItself, abort);
    return abort;
  };
  for (const auto& [file, listed, viaAlias] : files) {
    if (z_isArchiveFile(listed)) {
      if (leaveOutArchive(file)) return -1;
      continue;
    }
    bool abort = false;
    if (d->monitor) d->monitor->WillAddItem(file, abort);
    if (abort) return -1;
    const std::string ownName = file.Name();
    // This listing knows nothing of what an alias points to.
    const bool storeFilesListed =
        !withStoreFiles || viaAlias || withStoreFiles->count(ownName) != 0;
    const std::string name = sizeOnly ? std::string() : prefix + d->cleanName(ownName);
    int32_t n = 0;
    if (sizeOnly) {
      n = z_addItem(file, listed, name, mode, true, nullptr, storeFilesListed);
    } else {
      // Sizes are those of the listing; an add looks again, since the item
      // may have changed while the files before it went in. A file is
      // opened at once, and what it is comes from the open file.
      FolderItem::Status now;
      BinaryStreamPtr opened;
      if (listed.file) {
        opened = file.OpenForReading(now);
      } else {
        now = file.GetStatus(true);
      }
      // Where the listing's inode numbers are not the file system's own
      // (some layered file systems), the open file still tells.
      if (z_isArchiveFile(now)) {
        if (leaveOutArchive(file)) return -1;
        continue;
      }
      n = z_addItem(file, now, name, mode, false, std::move(opened), storeFilesListed);
    }
    // While adding, 0 comes only from z_zip when the monitor aborted: it
    // asked to stop, so it is not asked again whether to go on.
    if (!sizeOnly && n == 0) return -1;
    if (n < 0) {
      if (z_abort(file, n, errmsg, true)) return -1;
      continue;
    }
    if (sizeOnly) total += n;
  }

  for (const FolderItem& sub : folders) {
    const std::string subPrefix =
        sizeOnly ? std::string() : prefix + d->cleanName(sub.Name()) + "/";
    const int32_t n = z_addFolder(sub, subPrefix, followAliases, mode, sizeOnly);
    if (n < 0) return n;
    if (sizeOnly) total += n;
  }

  if (!sizeOnly) return 0;
  return total >= maxIntPlus1 ? -1 : static_cast<int32_t>(total);
}

bool ZipArchive::z_abort(const FolderItem& item, int32_t code, const std::string& message,
                         bool mayContinue) {
  errmsg = message;
  bool abort = true;
  if (d->monitor) {
    abort = false;
    d->monitor->ReportError(item, code, message, abort);
  }
  return abort || !mayContinue;
}
