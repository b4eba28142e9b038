#include "cli/Args.h"

#include "engine/ZipArchive.h"
#include "platform/ForkStore.h"

namespace cli {

std::string Arguments::Value(const std::string& name) const {
  auto it = options.find(name);
  return it == options.end() ? std::string() : it->second;
}

bool ParseArguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& known,
                    Arguments& out, std::string& error) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      out.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, eq);
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& s : known) {
      if (s.name == name) spec = &s;
    }
    if (!spec) {
      error = "unknown option \"" + name + "\"";
      return false;
    }
    if (!spec->takesValue) {
      if (eq != std::string::npos) {
        error = "option " + name + " takes no value";
        return false;
      }
      out.options[name] = "";
    } else if (eq != std::string::npos) {
      out.options[name] = arg.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      out.options[name] = args[++i];
    } else {
      error = "option " + name + " needs a value";
      return false;
    }
  }
  return true;
}

size_t CommandPosition(const std::vector<std::string>& args,
                       const std::vector<OptionSpec>& global) {
  size_t i = 0;
  while (i < args.size() && args[i].size() > 1 && args[i][0] == '-') {
    const std::string& arg = args[i++];
    if (arg == "--") break;
    if (arg.find('=') != std::string::npos) continue;
    for (const OptionSpec& spec : global) {
      if (spec.name == arg && spec.takesValue && i < args.size()) ++i;
    }
  }
  return i;
}

bool ApplyForksOption(const Arguments& global, std::string& error) {
  if (!global.Has(kForksOption.name)) return true;
  const std::string name = global.Value(kForksOption.name);
  if (ForkStore::Select(name)) return true;
  std::string names;
  for (const std::string& n : ForkStore::Names()) names += (names.empty() ? "" : "|") + n;
  error = "unknown fork store \"" + name + "\" (use --forks=" + names + ")";
  return false;
}

bool MacBinaryModeFromName(const std::string& name, int32_t& mode) {
  if (name == "never") {
    mode = ZipArchive::MacBinaryNever();
  } else if (name == "smart") {
    mode = ZipArchive::MacBinarySmart();
  } else if (name == "always") {
    mode = ZipArchive::MacBinaryAlways();
  } else {
    return false;
  }
  return true;
}

}  // namespace cli
