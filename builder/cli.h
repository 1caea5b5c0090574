// The mksfx command line: subcommands, options and their checks, messages and exit status.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "build_command.h"

// Parses the arguments of `mksfx build` (those after the subcommand). Throws std::invalid_argument naming the
// problem. The stub defaults to defaultStub when --stub is not given.
BuildRequest ParseBuildArguments(const std::vector<std::string>& arguments, const std::string& defaultStub);

// The stub mksfx uses when none is named: sfx.exe beside the program, else ../win32/sfx.exe from it (the build
// tree's layout).
std::string DefaultStubPath(const std::string& programFolder);

// Runs mksfx with its arguments (without the program name); returns the exit status.
int RunMksfx(const std::vector<std::string>& arguments, const std::string& programFolder, std::ostream& out,
             std::ostream& err);
