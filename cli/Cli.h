#pragma once
// The pellarc command-line tool, callable in-process so that tests can run it.
#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

enum ExitStatus { kOk = 0, kSomeFailed = 1, kUsage = 2 };

// Runs one command line (without the program name); output goes to `out`,
// messages to `err`. Returns the exit status.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace cli
