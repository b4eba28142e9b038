#pragma once
// What the tests of writing archives share: sources for AddItemByStreams,
// reading records back from the bytes of a written archive, and the other
// archivers' verdict on it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/ZipArchive.h"
#include "engine/ZipBytes.h"
#include "streams/SeqDataInputStream.h"
#include "support/TestSupport.h"

namespace writetest {

// An in-memory source that can refuse to open, deliver fewer bytes than it
// holds, and tells how it was used.
class StringSource : public SeqDataInputStream {
 public:
  explicit StringSource(std::string bytes) : bytes_(std::move(bytes)) {}

  std::string Read(int32_t count) override {
    reads.push_back(count);
    if (!open_) throw std::runtime_error("read while closed");
    std::string piece = bytes_.substr(std::min(pos_, bytes_.size()), static_cast<size_t>(count));
    pos_ += piece.size();
    return piece;
  }
  bool Eof() override { return pos_ >= bytes_.size(); }
  bool HadError() override { return false; }
  bool Open() override {
    ++opens;
    if (failOpen) return false;
    open_ = true;
    return true;
  }
  void Close() override {
    ++closes;
    open_ = false;
  }
  void GetErrorDescription(int32_t& code, std::string& text) override {
    code = 0;
    text.clear();
  }
  bool Skip(int32_t) override { return false; }
  void ClearError() override {}

  bool failOpen = false;
  int opens = 0;
  int closes = 0;
  std::vector<int32_t> reads;

 private:
  std::string bytes_;
  size_t pos_ = 0;
  bool open_ = false;
};

inline std::shared_ptr<StringSource> Source(std::string bytes) {
  return std::make_shared<StringSource>(std::move(bytes));
}

// Bytes that deflate can't shrink much, the same for the same seed.
inline std::string NoiseBytes(size_t n, uint32_t seed = 1) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

// Text that deflate shrinks well.
inline std::string TextBytes(size_t n) {
  std::string s;
  for (int i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of some text\n";
  s.resize(n);
  return s;
}

// Adds `data` as an entry from memory; the result of AddItemByStreams.
inline int32_t AddBytes(ZipArchive& archive, const std::string& name, const std::string& data,
                        std::optional<Date> date = std::nullopt) {
  return archive.AddItemByStreams(Source(data), static_cast<int32_t>(data.size()), nullptr, 0,
                                  nullptr, name, nullptr, date);
}

inline uint16_t Get16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b.at(at)) |
                               static_cast<uint8_t>(b.at(at + 1)) << 8);
}

inline uint32_t Get32(const std::string& b, size_t at) {
  return uint32_t{Get16(b, at)} | uint32_t{Get16(b, at + 2)} << 16;
}

// One entry as its central record and its local header tell it.
struct RecordPair {
  std::string name;
  uint16_t centralFlags, localFlags;
  uint16_t centralMethod, localMethod;
  uint32_t centralTimeDate, localTimeDate;
  uint32_t centralCRC, localCRC;
  uint32_t centralCompressed, localCompressed;
  uint32_t centralSize, localSize;
  uint32_t localOffset;
  std::string centralExtra, localExtra;
};

struct Layout {
  std::vector<RecordPair> entries;
  uint32_t dirOffset = 0;
  uint32_t dirSize = 0;
  uint16_t count = 0;
  std::string comment;
};

// The records of an archive whose end record is the last 22 bytes before
// its comment; fails the test when the file is not laid out that way.
inline Layout ReadLayout(const std::string& b) {
  Layout l;
  size_t end = b.rfind(std::string("PK\x05\x06", 4));
  EXPECT_NE(end, std::string::npos);
  if (end == std::string::npos) return l;
  l.count = Get16(b, end + 10);
  l.dirSize = Get32(b, end + 12);
  l.dirOffset = Get32(b, end + 16);
  l.comment = b.substr(end + 22, Get16(b, end + 20));
  EXPECT_EQ(end + 22 + l.comment.size(), b.size()) << "the file must end with the comment";
  EXPECT_EQ(l.dirOffset + l.dirSize, end) << "the end record must follow the directory";
  size_t at = l.dirOffset;
  for (int i = 0; i < l.count; ++i) {
    RecordPair r{};
    EXPECT_EQ(Get32(b, at), 0x02014B50u);
    r.centralFlags = Get16(b, at + 8);
    r.centralMethod = Get16(b, at + 10);
    r.centralTimeDate = Get32(b, at + 12);
    r.centralCRC = Get32(b, at + 16);
    r.centralCompressed = Get32(b, at + 20);
    r.centralSize = Get32(b, at + 24);
    const uint16_t n = Get16(b, at + 28), m = Get16(b, at + 30), k = Get16(b, at + 32);
    r.localOffset = Get32(b, at + 42);
    r.name = b.substr(at + 46, n);
    r.centralExtra = b.substr(at + 46 + n, m);
    const size_t lh = r.localOffset;
    EXPECT_EQ(Get32(b, lh), 0x04034B50u) << r.name;
    r.localFlags = Get16(b, lh + 6);
    r.localMethod = Get16(b, lh + 8);
    r.localTimeDate = Get32(b, lh + 10);
    r.localCRC = Get32(b, lh + 14);
    r.localCompressed = Get32(b, lh + 18);
    r.localSize = Get32(b, lh + 22);
    r.localExtra = b.substr(lh + 30 + Get16(b, lh + 26), Get16(b, lh + 28));
    l.entries.push_back(r);
    at += 46 + n + m + k;
  }
  return l;
}

inline std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// Runs a command with its output in a file; returns the status, and the
// output through `output`.
inline int RunLogged(const testsupport::TempDir& tmp, const std::string& command,
                     std::string& output) {
  const auto log = tmp / "tool-output.txt";
  const int status = testsupport::RunCommand(command + " >" + Quote(log) + " 2>&1");
  output = testsupport::ReadFile(log);
  return status;
}

enum Tools { kUnzip = 1, kSevenZip = 2, kPython = 4, kAllTools = 7 };

// The other archivers named in `tools` (Info-ZIP unzip, 7-Zip, Python's
// zipfile) each test the archive without complaint and extract `files`
// (path to bytes) to exactly those bytes. With no files, only the tests run.
inline void ExpectOtherToolsAgree(const std::filesystem::path& zip,
                                  const std::map<std::string, std::string>& files,
                                  int tools = kAllTools) {
  testsupport::TempDir tmp;
  std::string output;
  if (tools & kUnzip) {
    EXPECT_EQ(RunLogged(tmp, "unzip -t " + Quote(zip), output), 0) << output;
  }
  if (tools & kSevenZip) {
    EXPECT_EQ(RunLogged(tmp, "7z t -bd " + Quote(zip), output), 0) << output;
  }
  testsupport::WriteFile(tmp / "check.py",
                         "import sys, zipfile\n"
                         "z = zipfile.ZipFile(sys.argv[1])\n"
                         "bad = z.testzip()\n"
                         "if bad is not None: sys.exit('bad entry ' + bad)\n"
                         "if len(sys.argv) > 2: z.extractall(sys.argv[2])\n");
  if (tools & kPython) {
    EXPECT_EQ(RunLogged(tmp, "python3 " + Quote(tmp / "check.py") + " " + Quote(zip), output), 0)
        << output;
  }
  if (files.empty()) return;
  const struct {
    Tools tool;
    const char* name;
    std::string command;
  } extractors[] = {
      {kUnzip, "unzip", "unzip -qq -o " + Quote(zip) + " -d " + Quote(tmp / "unzip")},
      {kSevenZip, "7z", "7z x -y -bd " + Quote(zip) + " -o" + Quote(tmp / "7z")},
      {kPython, "python",
       "python3 " + Quote(tmp / "check.py") + " " + Quote(zip) + " " + Quote(tmp / "python")},
  };
  for (const auto& x : extractors) {
    if (!(tools & x.tool)) continue;
    EXPECT_EQ(RunLogged(tmp, x.command, output), 0) << x.name << ": " << output;
    for (const auto& [path, bytes] : files) {
      const auto file = tmp / x.name / path;
      EXPECT_TRUE(std::filesystem::is_regular_file(file)) << x.name << ": " << path;
      EXPECT_EQ(testsupport::ReadFile(file), bytes) << x.name << ": " << path;
    }
  }
}

// Limits the size of the files this process writes, as a full disk would;
// writes past the limit fail. Restored when the object goes away.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(int64_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t oldHandler_;
};

}  // namespace writetest
