#pragma once
// Running the tool in-process, and the sample archive the command tests share.
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "engine/ZipBytes.h"

namespace clitest {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

inline Outcome Run(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = cli::Run(args, out, err);
  return {status, out.str(), err.str()};
}

// 2024-01-02 13:45:10 as DOS time and date.
inline constexpr uint16_t kTime = 13 << 11 | 45 << 5 | 10 / 2;
inline constexpr uint16_t kDate = (2024 - 1980) << 9 | 1 << 5 | 2;

// Five entries that cover what list and info show: a Macintosh block, a
// folder without time, a control character in a name, an encrypted entry of
// an unknown method and 2 GiB, and a name flagged as UTF-8.
inline ziptest::Archive SampleArchive() {
  ziptest::Archive a;
  a.entries.push_back({.name = "notes.txt", .data = "hello", .time = kTime, .date = kDate,
                       .extra = ziptest::Block(0x5455, std::string("\x01\x00\x00\x00\x00", 5)) +
                                ziptest::MacShortBlock("TEXT", "ttxt"),
                       .localExtra = ziptest::Block(0x2605, std::string("ZPIT\x07Read Me", 12) +
                                                                "TEXTttxt"),
                       .comment = "say \"hi\"",
                       .internalAttributes = 1});
  a.entries.push_back({.name = "Photos/", .versionMadeBy = 3 << 8 | 30});
  a.entries.push_back({.name = "Photos/bell\x07.jpg", .data = "xyz", .method = 8, .time = kTime,
                       .date = kDate, .size = 1000});
  a.entries.push_back({.name = "secret.bin", .data = "????", .method = 12, .flags = 1,
                       .time = kTime, .date = kDate, .crc = 0xDEADBEEF, .size = 0x80000000});
  a.entries.push_back({.name = "Gr\xC3\xBC\xC3\x9F" "e.txt", .flags = 0x0800, .time = kTime,
                       .date = kDate});
  return a;
}

}  // namespace clitest
