// kalvorin-cli: list, detect, check, erase and copy from a terminal.
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Console.h"

int main(int argc, char** argv) {
  kalvorin::cli::Console& console = kalvorin::cli::SystemConsole();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  const int status = kalvorin::cli::RunCli(arguments, console);
  console.Out().flush();
  return status;
}
