// The whole disks of the machine as sysfs describes them, and where a block
// device (a partition or a whole disk) lies on its disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvorin::device::linuxbackend {

// Roots of the kernel's file systems; tests point them at fake trees.
struct SystemPaths {
  std::string sys = "/sys";
  std::string dev = "/dev";
  std::string run = "/run";
  std::string proc = "/proc";
};

struct WholeDisk {
  std::string name;  // kernel name: "sda", "nvme0n1", "loop3"
  unsigned major = 0;
  unsigned minor = 0;
  // Changes when another medium takes the same name (diskseq where the
  // kernel has it), so a number is never carried over to a new medium.
  std::string identity;
  bool readOnly = false;   // the kernel's read-only flag
  bool removable = false;  // the removable-media flag
  bool loop = false;
};

// The disks that stand for physical disks, in their stable order: sd, hd,
// nvme, vd, xvd, mmcblk, other kinds, then loop devices; by name within a
// kind ("sdz" before "sdaa", "loop2" before "loop10"). Left out: ram, zram,
// device-mapper, md arrays, optical and floppy drives, network block
// devices, hidden multipath paths, the boot and RPMB areas of eMMC, and loop
// devices without a backing file or attached read-only.
std::vector<WholeDisk> ListWholeDisks(const SystemPaths& paths);

// Where the block device major:minor lies: its own kernel name, the kernel
// name of its whole disk, and its first sector and length in 512-byte sectors
// (0 and the disk's length for a whole disk). nullopt when sysfs does not
// know the device.
struct BlockLocation {
  std::string name;
  std::string disk;
  bool partition = false;
  std::uint64_t firstSector = 0;
  std::uint64_t sectors = 0;
};
std::optional<BlockLocation> LocateBlockDevice(const SystemPaths& paths, unsigned major,
                                               unsigned minor);

// The block devices a device-mapper or md device is built on, as major:minor.
std::vector<std::pair<unsigned, unsigned>> SlaveDevices(const SystemPaths& paths,
                                                        const std::string& name);

// First line of a sysfs attribute, without its line end; nullopt when absent.
std::optional<std::string> ReadAttribute(const std::string& path);
std::optional<std::uint64_t> ReadNumber(const std::string& path);
// "maj:min" as sysfs and mountinfo write it.
bool ParseMajorMinor(const std::string& text, unsigned& major, unsigned& minor);

}  // namespace kalvorin::device::linuxbackend
