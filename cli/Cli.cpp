#include "cli/Cli.h"

#include <ostream>

namespace cli {
namespace {

const char kUsageText[] =
    "usage: pellarc [global options] COMMAND ARCHIVE [ARGS...]\n"
    "\n"
    "commands:\n"
    "  create  ARCHIVE\n"
    "  list    ARCHIVE [--json]\n"
    "  add     ARCHIVE PATH... [--macbinary=never|smart|always] [--follow-aliases]\n"
    "  extract ARCHIVE [ENTRY...] [-d DIR] [--no-macbinary]\n"
    "  test    ARCHIVE [ENTRY...]\n"
    "  delete  ARCHIVE ENTRY...\n"
    "  comment ARCHIVE [TEXT]\n"
    "  info    ARCHIVE ENTRY\n"
    "\n"
    "global options: --forks=appledouble|extfs, -q/--quiet, --help, --version\n";

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsageText;
    return kUsage;
  }
  for (const auto& arg : args) {
    if (arg == "--help" || arg == "-h") {
      out << kUsageText;
      return kOk;
    }
    if (arg == "--version") {
      out << "pellarc " << PELLARC_VERSION << "\n";
      return kOk;
    }
  }
  err << "pellarc: unknown command \"" << args.front() << "\"\n" << kUsageText;
  return kUsage;
}

}  // namespace cli
