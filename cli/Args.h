#pragma once
// Splitting a command line into options and positional arguments. Every
// command and the global options go through here, so that all of them accept
// the same forms: "--name", "--name=value", "--name value" and "-x value" for
// options that take a value, and "--" to end the options.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cli {

struct OptionSpec {
  std::string name;  // with its dashes: "--json", "-d"
  bool takesValue = false;
};

struct Arguments {
  std::vector<std::string> positional;
  // Option name (as in its OptionSpec) to value; "" for an option without one.
  std::map<std::string, std::string> options;

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  std::string Value(const std::string& name) const;
};

// Parses `args` against the options in `known`. False with a message in
// `error` for an unknown option, a missing value or a value given to an
// option that takes none. A lone "-" is positional.
bool ParseArguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& known,
                    Arguments& out, std::string& error);

// Where the command name stands in a whole command line: the first argument
// that is neither a global option in `global` nor the value of one given as
// the next argument ("--forks extfs list ..."). An unknown option counts as
// a global one, so that ParseArguments reports it.
size_t CommandPosition(const std::vector<std::string>& args, const std::vector<OptionSpec>& global);

// --forks=appledouble|extfs chooses where resource forks and Finder
// information are kept on disk, for the whole process.
inline const OptionSpec kForksOption{"--forks", true};
// Selects the store that --forks names, when given. False with a message for
// a name that is no store; the store in use then stays.
bool ApplyForksOption(const Arguments& global, std::string& error);

// pellarc add: how files are stored, and whether aliases met in folders are
// followed.
inline const OptionSpec kMacBinaryOption{"--macbinary", true};
inline const OptionSpec kFollowAliasesOption{"--follow-aliases"};
// The MacBinary mode that a --macbinary value (never, smart, always) names;
// false for any other value.
bool MacBinaryModeFromName(const std::string& name, int32_t& mode);

}  // namespace cli
