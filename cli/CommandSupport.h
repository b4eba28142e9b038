#pragma once
// What the commands share: where they write, opening the archive they work
// on, finding an entry by its path, and reporting errors with the exit
// status the tool promises (2 for usage errors and archives that can't be
// opened, 1 when some entries failed).
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/ZipArchive.h"

namespace cli {

struct CommandContext {
  std::ostream& out;
  std::ostream& err;
  // -q/--quiet: no progress bar, no summary.
  bool quiet = false;
};

// A command: its arguments after the command name.
using CommandFunction = int (*)(const std::vector<std::string>& args, CommandContext& ctx);

int ListCommand(const std::vector<std::string>& args, CommandContext& ctx);
int InfoCommand(const std::vector<std::string>& args, CommandContext& ctx);
int ExtractCommand(const std::vector<std::string>& args, CommandContext& ctx);
int TestCommand(const std::vector<std::string>& args, CommandContext& ctx);

// Prints "pellarc: MESSAGE" and the command's usage line; returns the usage
// exit status.
int UsageError(CommandContext& ctx, const std::string& message, const std::string& usage);

// Whether the compression plug-in is loaded; if not, prints the loader's
// error. Commands that compress or decompress call it first.
bool PluginReady(CommandContext& ctx);

// Opens the archive at `path` read-only. On failure prints the engine's
// message, naming the archive, and returns false.
bool OpenForReading(ZipArchive& archive, const std::string& path, CommandContext& ctx);

// The index of the entry whose raw path is `path`; failing an exact match,
// the first whose stored name matches it regardless of case. 0 when none.
int32_t FindEntry(const ZipArchive& archive, const std::string& path);

}  // namespace cli
