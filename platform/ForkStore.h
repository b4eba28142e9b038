#pragma once
// Where the parts of a Macintosh file that a Linux file system has no room
// for live: the resource fork, the 32 bytes of Finder information and the
// creation date.
//
// One store serves the whole process (Current); Select picks a built-in one by
// name, Install puts in any object (tests use MemoryForkStore). Stores address
// files by path; the data fork stays an ordinary file that the store never
// writes.
//
// Resource forks are reached through a small File-Manager-like interface:
// OpenRF hands out a reference number, and reads, writes, positions and the
// logical end of file go through it, each answering a File Manager result
// code (ForkErr below). A fork opened for writing is built aside and replaces
// the old one only when it is closed without a failed write, so a write that
// fails half-way leaves the old fork and Finder information as they were.
// Until that close, readers keep seeing the old fork.
//
// Stores keep exactly what they are given: all-zero Finder information, an
// empty fork and no creation date mean "nothing stored", and a store file
// that would hold nothing else is removed. Choosing the codes that a file name
// implies is FolderItem's business, not the store's.
//
// Not thread-safe: one thread at a time uses a store (the program has one).
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

using OSErr = int16_t;

// File Manager result codes, with their classic values.
namespace ForkErr {
constexpr OSErr noErr = 0;
constexpr OSErr dskFulErr = -34;   // disk or quota full
constexpr OSErr ioErr = -36;       // I/O error; also a store file that can't be parsed
constexpr OSErr bdNamErr = -37;    // name too long for the file system
constexpr OSErr eofErr = -39;      // read or position past the logical end of file
constexpr OSErr posErr = -40;      // position before the start of the fork
constexpr OSErr tmfoErr = -42;     // too many files open
constexpr OSErr fnfErr = -43;      // file not found
constexpr OSErr wPrErr = -44;      // volume is read-only
constexpr OSErr fLckdErr = -45;    // file is locked
constexpr OSErr paramErr = -50;    // bad argument
constexpr OSErr rfNumErr = -51;    // no fork open with this reference number
constexpr OSErr permErr = -54;     // write access refused (a locked file)
constexpr OSErr wrPermErr = -61;   // write to a fork opened for reading only
constexpr OSErr dirNFErr = -120;   // a folder on the way does not exist
constexpr OSErr notAFileErr = -1302;  // the item is a folder
constexpr OSErr fsDataTooBigErr = -1310;  // fork larger than 2 GB - 1
}  // namespace ForkErr

// Open permissions, as the File Manager numbers them. Read and current
// permission open for reading; the others for reading and writing.
enum ForkPermission : int8_t {
  fsCurPerm = 0,
  fsRdPerm = 1,
  fsWrPerm = 2,
  fsRdWrPerm = 3,
  fsRdWrShPerm = 4,
};

// SetFPos modes.
enum ForkPosMode : int16_t { fsAtMark = 0, fsFromStart = 1, fsFromLEOF = 2, fsFromMark = 3 };

// The 32 bytes of Finder information (FInfo then FXInfo for a file, DInfo
// then DXInfo for a folder), big-endian as stored on a Macintosh.
struct FinderInfo {
  static constexpr uint16_t kHasBeenInited = 0x0100;
  static constexpr uint16_t kNameLocked = 0x1000;
  static constexpr uint16_t kIsInvisible = 0x4000;

  std::array<uint8_t, 32> bytes{};

  // Four bytes each.
  std::string Type() const;
  std::string Creator() const;
  // A shorter value is padded with spaces, a longer one cut to four bytes;
  // an empty one is four zero bytes.
  void SetType(const std::string& type);
  void SetCreator(const std::string& creator);
  uint16_t Flags() const;
  void SetFlags(uint16_t flags);
  // fdScript of the extended information: the script of the file's name.
  uint8_t NameScript() const { return bytes[24]; }
  bool IsZero() const;
  bool operator==(const FinderInfo& other) const = default;
};

class ForkStore {
 public:
  virtual ~ForkStore();
  ForkStore(const ForkStore&) = delete;
  ForkStore& operator=(const ForkStore&) = delete;

  // The store the process uses; the AppleDouble store until changed.
  static std::shared_ptr<ForkStore> Current();
  // Picks a built-in store: "appledouble" or "extfs". False (and no change)
  // for any other name.
  static bool Select(const std::string& name);
  // Puts in any store; nullptr restores the default.
  static void Install(std::shared_ptr<ForkStore> store);
  static std::vector<std::string> Names() { return {"appledouble", "extfs"}; }
  // What went wrong in the last failed call of any store on this thread:
  // the file concerned and the reason. Not cleared by a success.
  static const std::string& LastErrorText();

  virtual std::string Name() const = 0;

  // --- Resource forks, File Manager style ---------------------------------
  // Opens the resource fork of `file`, which must exist and not be a folder.
  // A file without a resource fork has an empty one. Opening for writing
  // fails with permErr when the file is locked and with ioErr when its store
  // file can't be parsed (it is left alone).
  OSErr OpenRF(const std::filesystem::path& file, int8_t permission, int16_t& refNum);
  OSErr GetEOF(int16_t refNum, int32_t& logicalEOF);
  // Cuts or extends (with zeros) a fork open for writing.
  OSErr SetEOF(int16_t refNum, int32_t logicalEOF);
  // Reads up to `count` bytes from the mark; `count` comes back as the bytes
  // read, with eofErr when the end came first.
  OSErr FSRead(int16_t refNum, int32_t& count, void* buffer);
  // Writes `count` bytes at the mark, extending the fork; `count` comes back
  // as the bytes written.
  OSErr FSWrite(int16_t refNum, int32_t& count, const void* buffer);
  OSErr GetFPos(int16_t refNum, int32_t& position);
  // Past the logical end is eofErr, before the start posErr; the mark stays.
  OSErr SetFPos(int16_t refNum, int16_t posMode, int32_t offset);
  // Closes the fork. For a fork opened for writing this is when it replaces
  // the old one; after a failed write the new fork is dropped instead and
  // that failure's code comes back.
  OSErr FSClose(int16_t refNum);

  // --- Metadata --------------------------------------------------------
  // Length of the resource fork; 0 when there is none or it can't be read.
  // Costs one failed lookup for a file without store files.
  virtual int64_t ResourceForkLength(const std::filesystem::path& file) = 0;
  // The stored Finder information; all zero when none is stored.
  virtual OSErr GetFinderInfo(const std::filesystem::path& item, FinderInfo& info) = 0;
  // Stores Finder information (all zero forgets it). fLckdErr for a locked
  // file, fnfErr for a missing one.
  virtual OSErr SetFinderInfo(const std::filesystem::path& item, const FinderInfo& info) = 0;
  // A creation date kept by the store (Unix time), or none.
  virtual OSErr GetCreationDate(const std::filesystem::path& item,
                                std::optional<int64_t>& unixTime) = 0;
  // Keeps a creation date (none forgets it). paramErr when the store can't
  // keep dates or the date does not fit its format.
  virtual OSErr SetCreationDate(const std::filesystem::path& item,
                                std::optional<int64_t> unixTime) = 0;
  virtual bool KeepsCreationDates() const = 0;

  // --- Folder walks ------------------------------------------------------
  // The resource fork length and the stored Finder information of a file,
  // as ResourceForkLength and GetFinderInfo answer them, for the cost of
  // one look where the store can (GetFinderInfo's code comes back).
  virtual OSErr GetForkInfo(const std::filesystem::path& file, int64_t& rsrcLength,
                            FinderInfo& info);
  // Which items of `folder` may have store files, told from the folder's
  // listing: `storeNames` are the listed names that IsStoreFile claimed. An
  // item not in the result had none when the folder was listed. None when
  // the store can't tell (the default), so that every item is asked.
  virtual std::optional<std::unordered_set<std::string>> ItemsWithStoreFiles(
      const std::filesystem::path& folder, const std::vector<std::string>& storeNames);

  // --- Store files travel with their items -----------------------------
  // Whether a name in a folder listing is one of the store's own files.
  virtual bool IsStoreFile(const std::string& name) const = 0;
  // Removes what the store keeps for an item that was just deleted.
  virtual OSErr ItemDeleted(const std::filesystem::path& item) = 0;
  // Moves what the store keeps for an item that was just renamed; anything
  // stale kept for the new name goes first.
  virtual OSErr ItemRenamed(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Removes store files inside `folder` whose items are gone, so that a
  // folder that lists as empty can be deleted.
  virtual void RemoveOrphans(const std::filesystem::path& folder) = 0;

  // --- For the stores ---------------------------------------------------
  // One open resource fork. Positions are the base class's business; a
  // fork opened for writing commits in Commit and throws its work away in
  // Discard (also when destroyed without either).
  class OpenFork {
   public:
    virtual ~OpenFork() = default;
    virtual int64_t Length() = 0;
    virtual OSErr SetLength(int64_t length) = 0;
    // `count` comes back as the bytes moved.
    virtual OSErr ReadAt(int64_t position, int32_t& count, void* buffer) = 0;
    virtual OSErr WriteAt(int64_t position, int32_t& count, const void* buffer) = 0;
    virtual OSErr Commit() = 0;
    virtual void Discard() = 0;
  };

  // Records the reason for a failure (see LastErrorText) and passes the code
  // on.
  static OSErr Fail(OSErr code, const std::string& text);
  // The File Manager code for an errno value.
  static OSErr ErrFromErrno(int error);
  // Fails with the code for an errno value and a text naming the file.
  static OSErr FailErrno(int error, const std::string& what, const std::filesystem::path& path);
  // The checks every store makes before changing an item: it exists
  // (fnfErr), and when `forWriting` it is no locked file (`lockedCode`).
  // `isFolder` tells what was found.
  static OSErr CheckItem(const std::filesystem::path& item, bool forWriting, OSErr lockedCode,
                         bool& isFolder);

 protected:
  ForkStore() = default;

  // Opens the fork of an existing file that is not a folder (checked by the
  // caller). For writing the new fork starts as a copy of the old one.
  virtual OSErr MakeFork(const std::filesystem::path& file, bool forWriting,
                         std::unique_ptr<OpenFork>& fork) = 0;

 private:
  struct Open {
    std::unique_ptr<OpenFork> fork;
    bool writable = false;
    int64_t mark = 0;
    OSErr failed = ForkErr::noErr;
  };
  Open* find(int16_t refNum);

  std::map<int16_t, Open> open_;
  int16_t nextRefNum_ = 2;
};

using ForkStorePtr = std::shared_ptr<ForkStore>;
