#pragma once
// Which entries the ENTRY arguments of extract and test pick: each argument
// selects what a list row with that raw path covers (RowCovers), so a folder
// path ending in "/" takes the folder and everything below it. An argument
// that covers nothing as given is tried once more as a folder ("Photos" as
// "Photos/"), since typing the slash is easy to forget. No arguments select
// every entry.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/CommandSupport.h"
#include "engine/ZipArchive.h"

namespace cli {

struct EntrySelection {
  // Entry indices, in archive order, each once.
  std::vector<int32_t> indices;
  // The arguments that selected nothing.
  std::vector<std::string> unmatched;
};

EntrySelection SelectEntries(const ZipArchive& archive, const std::vector<std::string>& patterns);

// The same, naming on ctx.err each argument that selected nothing; `status`
// becomes 1 when there was one.
EntrySelection SelectAndReport(const ZipArchive& archive, const std::vector<std::string>& patterns,
                               CommandContext& ctx, int& status);

// The uncompressed bytes of the selected entries, for a progress bar.
uint64_t SelectedBytes(const ZipArchive& archive, const EntrySelection& selection);

}  // namespace cli
