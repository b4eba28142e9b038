#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"

int main(int argc, char** argv) {
  // Only iostreams write here; unsynchronised they buffer, which a listing of
  // tens of thousands of lines notices.
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  return cli::Run(args, std::cout, std::cerr);
}
