// One simulated machine per fuzzing process: a temporary folder with
// machine.json and one disk image that each input overwrites, so detection
// reads fuzz data through the same platform layer as on a real machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "device/Platform.h"
#include "media/Records.h"

namespace kalvorin::fuzz {

class FuzzMachine {
 public:
  static constexpr int kDisk = 1;
  static constexpr std::uint64_t kDiskSectors = 8192;
  // Reads touching these sectors fail, as on a disk with bad sectors.
  static constexpr std::uint64_t kBadFirst = 3000, kBadCount = 16;

  // The process's machine, made on first use; aborts when it cannot be made.
  static FuzzMachine& Get();

  // Zeroes the disk and writes `data` at `sector` (cut at the disk's end).
  void Load(const std::uint8_t* data, std::size_t size, std::uint64_t sector = 0);
  device::Platform& platform() { return *platform_; }
  // The record of the disk as a whole.
  media::listeSupport DiskNode() const;

  ~FuzzMachine();

 private:
  FuzzMachine() = default;
  std::string folder_;
  std::string image_;
  int descriptor_ = -1;
  std::uint64_t writtenOffset_ = 0;  // the bytes the previous input holds
  std::size_t writtenBytes_ = 0;
  std::unique_ptr<device::Platform> platform_;
};

// A folder removed with its contents at the end of the process.
std::string MakeTempFolder(const char* prefix);

}  // namespace kalvorin::fuzz
