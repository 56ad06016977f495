#include "cli/Cli.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <system_error>
#include <vector>

#include "cli/DiskNames.h"
#include "cli/JobCommand.h"
#include "cli/Listing.h"
#include "cli/Options.h"
#include "cli/TerminalWindow.h"
#include "detect/VolumeNodes.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/DemoMachine.h"
#include "media/Refresh.h"
#ifdef _WIN32
#include "device/win32/ComInit.h"
#endif

namespace kalvorin::cli {

namespace {

// The demo machine's folder, removed when the command ends.
class DemoFolder {
 public:
  bool Create(std::string& error) {
    std::error_code code;
    const std::filesystem::path base = std::filesystem::temp_directory_path(code);
    if (code) {
      error = code.message();
      return false;
    }
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::filesystem::path candidate =
          base / ("kalvorin-demo-" + std::to_string(seed() % 1000000000u));
      if (std::filesystem::create_directory(candidate, code)) {
        path_ = candidate;
        return true;
      }
    }
    error = "aucun dossier temporaire libre";
    return false;
  }
  ~DemoFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

int Usage(Console& console, const std::string& error) {
  console.Err() << "kalvorin-cli : " << error << '\n';
  return kStatusRefused;
}

// The numbers of the disks a job names, when every one is named by its
// device path; nullopt when a disk is named otherwise.
std::optional<std::vector<int>> PathNamedDisks(device::Platform& platform, const Options& options) {
  std::optional<std::vector<int>> numbers = DiskNumbersAtPath(platform, options.disk);
  if (!numbers || options.targetDisk.empty()) return numbers;
  const std::optional<std::vector<int>> target = DiskNumbersAtPath(platform, options.targetDisk);
  if (!target) return std::nullopt;
  numbers->insert(numbers->end(), target->begin(), target->end());
  return numbers;
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, Console& console) {
  std::string error;
  const Options options = ParseArguments(arguments, error);
  if (!error.empty()) return Usage(console, error);
  if (options.help) {
    console.Out() << HelpText(options.command);
    return kStatusDone;
  }
  if (options.version) {
    console.Out() << VersionText();
    return kStatusDone;
  }

  DemoFolder demoFolder;
  std::string machine = options.machine;
  if (options.demo) {
    std::string why;
    if (!demoFolder.Create(why) || !demo::BuildDemoMachine(demoFolder.path(), why)) {
      return Usage(console, "la machine de démonstration n'a pas pu être créée : " + why);
    }
    machine = demoFolder.path();
  }
  std::unique_ptr<device::Platform> platform;
  if (!machine.empty()) {
    platform = device::CreateSimulatedPlatform(machine, error);
    if (!platform) {
      return Usage(console, "la machine simulée « " + machine + " » est refusée : " + error);
    }
  } else {
    platform = device::CreateNativePlatform();
#ifdef _WIN32
    if (!device::win32::InitializeComForWmi()) {
      return Usage(console, "Erreur lors de l'initialisation WMI.");
    }
#endif
  }

  TerminalWindow window(console, {options.json, options.yes, options.ignoreErrors});
  media::MediaState state;
  media::FindProgramDisk(*platform, window, state);
  // Volumes are detected only where they are asked for: detection reads the
  // first sectors of every disk and may show read errors.
  state.DetectionVolumes = options.command == Command::Detect || options.volume.has_value();
  // A job given its disks by device path identifies those disks only: the
  // others are neither opened nor asked their identity, which matters when
  // many processes start at once on a bench of disks.
  const bool job = options.command == Command::Check || options.command == Command::Erase ||
                   options.command == Command::Copy;
  if (const auto numbers = job ? PathNamedDisks(*platform, options) : std::nullopt) {
    media::RefreshNamedDisks(*platform, window, state, detect::AddVolumeNodes, *numbers);
  } else {
    media::RefreshMediaList(*platform, window, state, detect::AddVolumeNodes);
  }

  switch (options.command) {
    case Command::List:
      PrintDisks(console, *platform, state, options.json);
      return kStatusDone;
    case Command::Detect:
      return PrintVolumes(console, *platform, state, options.disk, options.json);
    case Command::Check:
    case Command::Erase:
    case Command::Copy:
      return RunJobCommand(options, console, window, *platform, state);
    case Command::None:
      break;
  }
  return kStatusRefused;
}

}  // namespace kalvorin::cli
