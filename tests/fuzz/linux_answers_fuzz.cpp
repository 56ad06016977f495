// What the Linux backend reads from the system, all from one input cut into
// fields at 0x1E bytes: a mount table, a device path, a disk-drive selection
// and a major:minor text, then the sysfs attributes and the udev database
// entry of one disk (vendor, model, rev, serial, vpd_pg80, the USB serial,
// udev's data). The disk's identity answers then go through the logic's
// decoders: the storage descriptor and the management object.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzMachine.h"
#include "device/linux/DeviceAnswers.h"
#include "device/linux/DevicePath.h"
#include "device/linux/DiskIdentity.h"
#include "device/linux/Mounts.h"
#include "device/linux/SysfsDisks.h"
#include "media/Identify.h"

namespace {

using namespace kalvorin;
using namespace kalvorin::device::linuxbackend;
namespace fs = std::filesystem;

std::vector<std::string> Fields(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0x1E && fields.size() < 11) {
      fields.emplace_back();
    } else {
      fields.back() += static_cast<char>(data[i]);
    }
  }
  fields.resize(11);
  return fields;
}

void Put(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A sysfs tree with one SCSI disk "sda" (8:0) behind a USB device, and a
// udev database, under a folder of the process.
struct FakeSystem {
  SystemPaths paths;
  fs::path device, usb;
  FakeSystem() {
    const fs::path root = fuzz::MakeTempFolder("kalvorin-fuzz-sysfs");
    paths = {(root / "sys").string(), (root / "dev").string(), (root / "run").string(),
             (root / "proc").string()};
    usb = root / "sys/devices/usb1/1-1";
    device = usb / "1-1:1.0/host0/target0:0:0/0:0:0:0";
    fs::create_directories(device);
    fs::create_directories(root / "sys/block/sda");
    fs::create_directories(root / "run/udev/data");
    fs::create_symlink(device, root / "sys/block/sda/device");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FakeSystem system;
  const auto f = Fields(data, size);

  for (const MountEntry& entry : ParseMountInfo(f[0])) {
    if (entry.mountPoint.size() > f[0].size()) __builtin_trap();
  }
  const DevicePath path = ParseDevicePath(f[1]);
  if (path.kind == DevicePath::Kind::PhysicalDrive && (path.number < 0 || path.number > 127)) {
    __builtin_trap();
  }
  ParseDiskDriveSelection(f[2]);
  unsigned major = 0, minor = 0;
  ParseMajorMinor(f[3], major, minor);

  Put(system.device / "vendor", f[4]);
  Put(system.device / "model", f[5]);
  Put(system.device / "rev", f[6]);
  Put(system.device / "serial", f[7]);
  Put(system.device / "vpd_pg80", f[8]);
  Put(system.usb / "serial", f[9]);
  Put(fs::path(system.paths.run) / "udev/data/b8:0", f[10]);
  WholeDisk disk;
  disk.name = "sda";
  disk.major = 8;
  const DiskIdentity identity = ReadDiskIdentity(system.paths, disk);

  const auto descriptor = BuildStorageDescriptor(identity);
  for (const std::size_t field : {std::size_t{16}, std::size_t{24}}) {
    const std::int64_t offset = descriptor[field] | (descriptor[field + 1] << 8) |
                                (descriptor[field + 2] << 16) |
                                (static_cast<std::int64_t>(descriptor[field + 3]) << 24);
    media::DecodeDescriptorText(descriptor.data(), descriptor.size(), offset);
  }
  media::InSupport answer;
  media::ApplyManagementAnswer(answer, BuildWmiObject(identity, 3, 1 << 20));
  return 0;
}
