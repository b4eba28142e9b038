#include "cli/Cli.h"

#include <ostream>

#include "cli/Args.h"
#include "cli/CommandSupport.h"

namespace cli {

int CreateCommand(const std::vector<std::string>& args, CommandContext& ctx);
int CommentCommand(const std::vector<std::string>& args, CommandContext& ctx);
int DeleteCommand(const std::vector<std::string>& args, CommandContext& ctx);
int AddCommand(const std::vector<std::string>& args, CommandContext& ctx);

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

struct CommandEntry {
  const char* name;
  CommandFunction run;
};

const CommandEntry kCommands[] = {
    {"list", ListCommand},
    {"info", InfoCommand},
    {"extract", ExtractCommand},
    {"test", TestCommand},
    {"create", CreateCommand},
    {"comment", CommentCommand},
    {"delete", DeleteCommand},
    {"add", AddCommand},
};

// Options that stand before the command name.
const std::vector<OptionSpec> kGlobalOptions = {{"--help"}, {"-h"}, {"--version"},
                                                {"-q"},     {"--quiet"}, kForksOption};

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsageText;
    return kUsage;
  }
  // Help and version win wherever they stand.
  for (const auto& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      out << kUsageText;
      return kOk;
    }
    if (arg == "--version") {
      out << "pellarc " << PELLARC_VERSION << "\n";
      return kOk;
    }
  }

  // Global options (and their values) end at the command.
  const size_t commandAt = CommandPosition(args, kGlobalOptions);
  Arguments global;
  std::string error;
  if (!ParseArguments({args.begin(), args.begin() + static_cast<long>(commandAt)}, kGlobalOptions,
                      global, error)) {
    err << "pellarc: " << error << "\n" << kUsageText;
    return kUsage;
  }
  if (!ApplyForksOption(global, error)) {
    err << "pellarc: " << error << "\n";
    return kUsage;
  }
  if (commandAt == args.size()) {
    err << kUsageText;
    return kUsage;
  }

  const std::string& command = args[commandAt];
  CommandContext ctx{out, err, global.Has("-q") || global.Has("--quiet")};
  for (const CommandEntry& entry : kCommands) {
    if (command == entry.name) {
      return entry.run({args.begin() + static_cast<long>(commandAt) + 1, args.end()}, ctx);
    }
  }
  err << "pellarc: unknown command \"" << command << "\"\n" << kUsageText;
  return kUsage;
}

}  // namespace cli
