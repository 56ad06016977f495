// The simulated machine as machine.json describes it, validated: every number
// is in range and every image path stays inside the machine folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kalvorin::device::sim {

// A sector range [first, first + count); count 0 holds no sector.
struct SectorRange {
  std::uint64_t first = 0;
  std::uint64_t count = 0;
};

struct Faults {
  std::vector<SectorRange> read, write, seek;
};

bool TouchesRange(const std::vector<SectorRange>& ranges, std::uint64_t firstSector,
                  std::uint64_t lastSector);

struct SmartDescription {
  std::string model, serial;
  std::uint8_t deviceMap = 1;
  // A packet device answers IDENTIFY PACKET DEVICE (0xA1) and refuses
  // IDENTIFY DEVICE (0xEC), as ATAPI devices do; other devices the reverse.
  bool packet = false;
};

struct DescriptorDescription {
  std::optional<std::string> product, serial;  // nullopt: offset 0
};

// "Name=value" pairs in the file's order; arrays already joined with ", ".
using WmiProperties = std::vector<std::pair<std::string, std::string>>;

struct DiskDescription {
  int number = 0;     // 0..127
  std::string image;  // relative to the machine folder
  bool opens = true;
  bool geometry = true;
  // Bytes per logical sector, as the geometry answers it. Sizes that are a
  // power of two above 512 also make the disk refuse transfers that are not
  // whole logical sectors, as a physical disk does.
  std::uint32_t logicalSectorSize = 512;
  std::optional<SmartDescription> smart;
  std::optional<DescriptorDescription> descriptor;
  std::optional<WmiProperties> wmi;
  Faults faults;
};

struct ExtentDescription {
  int disk = 0;             // 0..127
  std::uint64_t first = 0;  // sectors; first * 512 fits a signed 64-bit offset
  std::uint64_t count = 0;  // sectors; count * 512 fits as well
};

struct LetterDescription {
  char letter = 'C';                       // 'C'..'Z'
  int driveType = 3;                       // 0..6
  std::optional<std::string> label;        // nullopt: the label query fails
  std::vector<ExtentDescription> extents;  // empty: the extents query fails
  bool opens = true;
};

enum class ProgramDiskKind { Absent, Number, Fail };

struct MachineDescription {
  ProgramDiskKind programDiskKind = ProgramDiskKind::Absent;
  int programDisk = 0;
  std::vector<DiskDescription> disks;      // numbers unique
  std::vector<LetterDescription> letters;  // letters unique
  std::optional<std::uint64_t> freeBytes;

  const DiskDescription* FindDisk(int number) const;
  const LetterDescription* FindLetter(char letter) const;
};

// Parses the text of a machine.json. False with a French message naming the
// faulty key in `error`; no exception leaves it.
bool ParseMachineDescription(const std::string& text, MachineDescription& machine,
                             std::string& error);

}  // namespace kalvorin::device::sim
