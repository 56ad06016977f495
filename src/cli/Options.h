// The command line: commands, options and their French help.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvorin::cli {

enum class Command { None, List, Detect, Check, Erase, Copy };

// Exit statuses.
inline constexpr int kStatusDone = 0;          // job done, no failed block
inline constexpr int kStatusFailedBlocks = 1;  // job done (or ended) with failures
inline constexpr int kStatusRefused = 2;       // refused, or bad usage
inline constexpr int kStatusStopped = 3;       // stopped by Ctrl+C or SIGTERM

struct Options {
  Command command = Command::None;
  bool help = false;
  bool version = false;                      // --version
  std::string disk;                          // DISK (optional for detect)
  std::string targetDisk;                    // --vers DISK
  std::string image;                         // --image FILE
  std::optional<std::uint64_t> first;        // --premier-secteur
  std::optional<std::uint64_t> firstTarget;  // --premier-secteur-cible
  std::optional<std::uint64_t> count;        // --nombre-secteurs
  std::optional<int> volume;                 // --volume N, 1-based as detect shows
  bool ignoreErrors = false;                 // --ignorer-erreurs
  bool yes = false;                          // --oui
  bool json = false;                         // --json
  bool demo = false;                         // --demo
  std::string machine;                       // --machine DIR
  std::string report;                        // --rapport FILE
};

// Options, or a French message saying what is wrong in `error`.
Options ParseArguments(const std::vector<std::string>& arguments, std::string& error);

// The name of a command as typed ("check").
const char* CommandName(Command command);

// The line --version prints: the program, its suite and the version.
std::string VersionText();

// French help: of the program (Command::None) or of one command.
std::string HelpText(Command command);

}  // namespace kalvorin::cli
