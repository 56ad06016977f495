// kalvorin-cli: the jobs of the window from a terminal or a script.
#pragma once

#include <string>
#include <vector>

#include "cli/Console.h"

namespace kalvorin::cli {

// Runs the command line `arguments` (the program's name left out) on
// `console`; the exit status (see Options.h).
int RunCli(const std::vector<std::string>& arguments, Console& console);

}  // namespace kalvorin::cli
