// Physical disk numbers 0..127 for the whole disks, kept for as long as a
// disk stays attached: attaching or removing another disk never renumbers
// it, so the number of the disk that holds the program, found at start-up,
// keeps naming that disk. The first listing numbers the disks in their
// listing order; a disk that appears later takes the lowest free number.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "device/linux/SysfsDisks.h"

namespace kalvorin::device::linuxbackend {

inline constexpr int kMaxDiskNumbers = 128;

class DiskNumbering {
 public:
  // Takes a fresh listing (in the order of ListWholeDisks). Disks beyond the
  // 128 numbers stay unnumbered until a number is freed.
  void Update(const std::vector<WholeDisk>& disks);

  // The disk holding `number`, or nullptr.
  const WholeDisk* Find(int number) const;
  std::optional<int> NumberOf(const std::string& kernelName) const;

 private:
  std::array<std::optional<WholeDisk>, kMaxDiskNumbers> slots_;
};

}  // namespace kalvorin::device::linuxbackend
