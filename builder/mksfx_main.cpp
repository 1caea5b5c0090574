// mksfx: the host tool that makes installers out of the stub.
#include <unistd.h>

#include <climits>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

namespace {

// The folder of the running program, for finding the stub beside it.
std::string ProgramFolder(const char* argv0) {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string program = length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string(argv0 != nullptr ? argv0 : "");
  const size_t slash = program.rfind('/');
  return slash == std::string::npos ? "." : program.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argc > 1 ? argv + 1 : argv, argc > 1 ? argv + argc : argv);
  return RunMksfx(arguments, ProgramFolder(argv[0]), std::cout, std::cerr);
}
