#include "device/sim/SimPlatform.h"

#include <cctype>
#include <utility>

#include "device/sim/SimFile.h"
#include "device/sim/SimulatedPlatform.h"

namespace kalvorin::device {

std::unique_ptr<Platform> CreateSimulatedPlatform(const std::string& folder, std::string& error) {
  sim::MachineFolder machine;
  if (!machine.Load(folder, error)) return nullptr;
  return std::make_unique<sim::SimulatedPlatform>(std::move(machine));
}

namespace sim {

namespace {

constexpr const char* kDevicePrefix = "\\\\.\\";

bool EqualsIgnoringCase(const std::string& text, std::size_t from, const std::string& word) {
  if (text.size() - from < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[from + i])) !=
        std::toupper(static_cast<unsigned char>(word[i]))) {
      return false;
    }
  }
  return true;
}

// "n" of "PHYSICALDRIVEn": 0..127 written without sign or leading zero; -1
// for anything else.
int DiskNumber(const std::string& text, std::size_t from) {
  const std::size_t digits = text.size() - from;
  if (digits == 0 || digits > 3 || (digits > 1 && text[from] == '0')) return -1;
  int number = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    number = number * 10 + (text[i] - '0');
  }
  return number <= 127 ? number : -1;
}

}  // namespace

std::unique_ptr<File> SimulatedPlatform::Open(const std::string& path, Access access, Share,
                                              Disposition disposition) {
  if (path == kProgramVolumePath) return OpenProgramVolume();
  const std::string prefix = kDevicePrefix;
  if (path.compare(0, prefix.size(), prefix) == 0) {
    const std::size_t name = prefix.size();
    if (EqualsIgnoringCase(path, name, "PHYSICALDRIVE")) {
      const int number = DiskNumber(path, name + 13);
      return number < 0 ? nullptr : OpenDisk(number, access);
    }
    if (path.size() == name + 2 && path[name + 1] == ':') {
      const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[name])));
      return letter >= 'C' && letter <= 'Z' ? OpenLetter(letter) : nullptr;
    }
    return nullptr;
  }
  if (path.empty()) return nullptr;
  auto host = HostFile::Open(PathFromUtf8(path), access == Access::ReadWrite,
                             disposition == Disposition::CreateAlways);
  if (!host) return nullptr;
  return std::make_unique<HostBackedFile>(std::move(host), Faults{});
}

std::unique_ptr<File> SimulatedPlatform::OpenDisk(int number, Access access) {
  const MachineDescription& machine = folder_.Current();
  const DiskDescription* disk = machine.FindDisk(number);
  if (disk == nullptr || !disk->opens) return nullptr;
  if (disk->busy && access == Access::ReadWrite) return nullptr;
  // A disk is never created or truncated, whatever the disposition.
  auto host = HostFile::Open(folder_.Resolve(disk->image), access == Access::ReadWrite, false);
  if (!host) return nullptr;
  return std::make_unique<DiskFile>(std::move(host), *disk);
}

std::unique_ptr<File> SimulatedPlatform::OpenLetter(char letter) {
  const LetterDescription* entry = folder_.Current().FindLetter(letter);
  if (entry == nullptr || !entry->opens) return nullptr;
  return std::make_unique<VolumeFile>(entry->extents, false);
}

std::unique_ptr<File> SimulatedPlatform::OpenProgramVolume() {
  const MachineDescription& machine = folder_.Current();
  switch (machine.programDiskKind) {
    case ProgramDiskKind::Absent:
      return nullptr;
    case ProgramDiskKind::Fail:
      return std::make_unique<VolumeFile>(std::vector<ExtentDescription>{}, true);
    case ProgramDiskKind::Number:
      break;
  }
  // The program's volume starts where a first partition would.
  ExtentDescription extent{machine.programDisk, 2048, 0};
  if (const DiskDescription* disk = machine.FindDisk(machine.programDisk)) {
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(folder_.Resolve(disk->image), error);
    if (!error && bytes / 512 > 2048) extent.count = bytes / 512 - 2048;
  }
  return std::make_unique<VolumeFile>(std::vector<ExtentDescription>{extent}, false);
}

std::string SimulatedPlatform::ProgramVolumePath() { return kProgramVolumePath; }

std::optional<DiskUse> SimulatedPlatform::DiskInUse(int number, Access access) {
  const DiskDescription* disk = folder_.Current().FindDisk(number);
  if (disk == nullptr || !disk->busy || access != Access::ReadWrite) return std::nullopt;
  return DiskUse{disk->busy->first, disk->busy->second, false};
}

}  // namespace sim
}  // namespace kalvorin::device
