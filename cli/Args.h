#pragma once
// Splitting a command line into options and positional arguments. Every
// command and the global options go through here, so that all of them accept
// the same forms: "--name", "--name=value", "--name value" and "-x value" for
// options that take a value, and "--" to end the options.
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

}  // namespace cli
