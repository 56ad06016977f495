// The device queries of disks and volumes, answered in the Windows layouts.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "device/linux/DiskIdentity.h"
#include "device/linux/LinuxFile.h"

namespace kalvorin::device::linuxbackend {

struct DiskExtent {
  std::uint32_t diskNumber = 0;
  std::uint64_t startingOffset = 0;  // bytes
  std::uint64_t length = 0;          // bytes
};

// VOLUME_DISK_EXTENTS into `out`; false when it does not fit.
bool AnswerDiskExtents(const std::vector<DiskExtent>& extents, void* out, std::uint32_t outSize,
                       std::uint32_t& returned);

// A whole disk: geometry, storage descriptor, and the SMART version and
// IDENTIFY answers where the disk answers ATA IDENTIFY (the pass-through is
// tried on SCSI disks only, once per open). Not the volume extents.
std::unique_ptr<DeviceQueries> MakeDiskQueries(DiskIdentity identity, bool tryAtaPassThrough);

// A volume: the extents query only.
std::unique_ptr<DeviceQueries> MakeVolumeQueries(std::vector<DiskExtent> extents);

}  // namespace kalvorin::device::linuxbackend
