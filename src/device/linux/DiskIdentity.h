// What the machine says about a whole disk, read from sysfs (and udev's
// database where present), shaped into the answers Windows gives: the
// storage descriptor and the WIN32_DiskDrive object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/Platform.h"
#include "device/linux/SysfsDisks.h"

namespace kalvorin::device::linuxbackend {

struct DiskIdentity {
  std::string vendor;
  std::string model;  // "vendor model", or the model alone for ATA disks
  std::string revision;
  std::string serial;  // empty when the machine does not tell
  // "USB" for a disk behind USB, "IDE" for an ATA/SATA disk, "SCSI" for the
  // rest (SCSI/SAS, NVMe, virtio, MMC, loop), as Windows reports them.
  std::string interfaceType;
  // USB disks: "USBSTOR\DISK&VEN_v&PROD_p&REV_r\<USB serial>&0"; others:
  // "SCSI\DISK&VEN_v&PROD_p\4&<kernel name>&0".
  std::string pnpDeviceId;
  std::uint32_t busType = 0;  // STORAGE_BUS_TYPE
  bool removable = false;
};

// Loop devices: model "Loop device /dev/loopN", serial the backing file's
// name, so the user sees which image is attached.
DiskIdentity ReadDiskIdentity(const SystemPaths& paths, const WholeDisk& disk);

// STORAGE_DEVICE_DESCRIPTOR with the texts after the fixed part. Product and
// serial are stored hex-encoded (two hex digits per character), which the
// logic decodes without ambiguity whatever characters they hold.
std::vector<std::uint8_t> BuildStorageDescriptor(const DiskIdentity& identity);

// The WIN32_DiskDrive object of disk `number`.
WmiObject BuildWmiObject(const DiskIdentity& identity, int number, std::uint64_t sizeBytes);

// The disk number of a "WIN32_DiskDrive where Index=N" selection; -1 when the
// selection is anything else.
int ParseDiskDriveSelection(const std::string& selection);

}  // namespace kalvorin::device::linuxbackend
