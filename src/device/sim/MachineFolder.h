// The machine folder and its description, read again whenever machine.json
// changes so that tests can plug and unplug disks between two refreshes.
#pragma once

#include <filesystem>
#include <string>

#include "device/sim/MachineDescription.h"

namespace kalvorin::device::sim {

class MachineFolder {
 public:
  // Reads `folder`/machine.json. False with a French message when the folder
  // or the file cannot be read or the description is malformed.
  bool Load(const std::string& folder, std::string& error);

  // The description as machine.json holds it now. When the file has become
  // unreadable or malformed since, the last good description stays.
  const MachineDescription& Current();

  const std::filesystem::path& folder() const { return folder_; }
  // A path given relative to the folder.
  std::filesystem::path Resolve(const std::string& relative) const;

 private:
  bool ReadText(std::string& text) const;

  std::filesystem::path folder_;
  std::string text_;  // the text `machine_` was parsed from
  MachineDescription machine_;
};

// A path as UTF-8 text, on every platform.
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace kalvorin::device::sim
