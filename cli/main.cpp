#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/plugin/PluginHost.h"

namespace {

// Commands that compress or decompress entry data, and so need Corvane. The
// others (and --help, --version) work without the plug-in.
bool needsPlugin(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h" || arg == "--version") return false;
  }
  // The command is the first argument that is not an option, as Run takes it.
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-') continue;
    return arg == "add" || arg == "extract" || arg == "test";
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Only iostreams write here; unsynchronised they buffer, which a listing of
  // tens of thousands of lines notices.
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (needsPlugin(args)) {
    const std::shared_ptr<PluginHost> host = PluginHost::Instance();
    if (!host->Ok()) {
      std::cerr << "pellarc: " << host->Error() << "\n";
      return cli::kUsage;
    }
  }
  return cli::Run(args, std::cout, std::cerr);
}
