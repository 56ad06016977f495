// Writes a simulated machine folder (machine.json and sparse disk images) for
// tests and the demo:
//
//   MachineBuilder machine(dir.path().string());
//   machine.AddDisk(1, 204800).Smart("MODEL X", "SERIAL1").ReadFault(100, 8);
//   machine.AddLetter('D').Extent(1, 2048, 100000).label = "DATA";
//   machine.SetProgramDisk(0);
//   ASSERT_TRUE(machine.Write(error));
//   auto platform = device::CreateSimulatedPlatform(machine.folder(), error);
//
// A disk with only a number and a size opens, answers the geometry query and
// fails the identity queries. Write() may be called again after changes (plug
// or unplug disks between two refreshes): existing images keep their content.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kalvorin::demo {

struct SectorRun {
  std::uint64_t first = 0;
  std::uint64_t count = 0;
};

struct SmartIdentity {
  std::string model, serial;
  int deviceMap = 1;    // the controller's device-map byte
  bool packet = false;  // answers 0xA1 only instead of 0xEC only
};

struct DescriptorTexts {
  std::optional<std::string> product, serial;  // stored exactly; nullopt: offset 0
};

struct MachineDisk {
  int number = 0;
  std::uint64_t sectors = 0;  // size of the sparse image made by Write()
  std::string image;          // relative to the folder; default "diskN.img"
  bool opens = true;
  bool geometry = true;
  std::uint32_t logicalSectorSize = 512;  // written only when not 512

  std::optional<SmartIdentity> smart;         // nullopt: SMART queries fail
  std::optional<DescriptorTexts> descriptor;  // nullopt: the query fails

  // Management properties in order; a property with several values is an
  // array. nullopt: the management query finds no object.
  std::optional<std::vector<std::pair<std::string, std::vector<std::string>>>> wmi;

  std::vector<SectorRun> readFaults, writeFaults, seekFaults;

  MachineDisk& Smart(std::string model, std::string serial, int deviceMap = 1, bool packet = false);
  MachineDisk& Descriptor(std::optional<std::string> product, std::optional<std::string> serial);
  // Adds one string property (creates the management object).
  MachineDisk& Wmi(std::string name, std::string value);
  MachineDisk& WmiArray(std::string name, std::vector<std::string> values);
  MachineDisk& ReadFault(std::uint64_t first, std::uint64_t count);
  MachineDisk& WriteFault(std::uint64_t first, std::uint64_t count);
  MachineDisk& SeekFault(std::uint64_t first, std::uint64_t count);
};

struct MachineExtent {
  int disk = 0;
  std::uint64_t first = 0, count = 0;  // sectors
};

struct MachineLetter {
  char letter = 'C';
  int driveType = 3;
  std::optional<std::string> label = std::string();  // nullopt: label query fails
  bool opens = true;
  std::vector<MachineExtent> extents;  // none: the extents query fails

  MachineLetter& Extent(int disk, std::uint64_t first, std::uint64_t count);
};

class MachineBuilder {
 public:
  explicit MachineBuilder(std::string folder) : folder_(std::move(folder)) {}

  // Adds (or replaces) disk `number`. The reference stays valid until the
  // disk is removed.
  MachineDisk& AddDisk(int number, std::uint64_t sectors);
  MachineDisk& Disk(int number) { return disks_.at(number); }
  // Unplugs the disk: it leaves machine.json; its image stays.
  void RemoveDisk(int number) { disks_.erase(number); }

  MachineLetter& AddLetter(char letter, int driveType = 3);
  MachineLetter& Letter(char letter) { return letters_.at(letter); }
  void RemoveLetter(char letter) { letters_.erase(letter); }

  void SetProgramDisk(int number) { programDisk_ = std::to_string(number); }
  void SetProgramDiskFails() { programDisk_ = "\"fail\""; }
  void ClearProgramDisk() { programDisk_.reset(); }
  void SetFreeBytes(std::uint64_t bytes) { freeBytes_ = bytes; }
  void ClearFreeBytes() { freeBytes_.reset(); }

  // Creates the images that are missing, sets each image to its disk's size
  // (content kept) and writes machine.json. False with a message on failure.
  bool Write(std::string& error) const;
  // The text Write() puts in machine.json.
  std::string JsonText() const;

  const std::string& folder() const { return folder_; }
  // Full path of disk `number`'s image.
  std::string ImagePath(int number) const;

 private:
  std::string folder_;
  std::map<int, MachineDisk> disks_;
  std::map<char, MachineLetter> letters_;
  std::optional<std::string> programDisk_;  // JSON text of the value
  std::optional<std::uint64_t> freeBytes_;
};

}  // namespace kalvorin::demo
