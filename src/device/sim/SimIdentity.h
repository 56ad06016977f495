// What a simulated disk or volume answers to the device queries and to the
// management query, in the Windows layouts of WindowsLayouts.h. Every answer
// respects the caller's output size: too small a buffer fails the query and
// nothing is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/Platform.h"
#include "device/sim/MachineDescription.h"

namespace kalvorin::device::sim {

// SMART_GET_VERSION (the disk has `smart`; byte 3 = device_map),
// SMART_RCV_DRIVE_DATA (IDENTIFY for the command the device accepts, see
// SmartDescription::packet), IOCTL_STORAGE_QUERY_PROPERTY (the device property,
// standard query; the disk has `descriptor`) and
// IOCTL_DISK_GET_DRIVE_GEOMETRY_EX (DiskSize = `imageBytes`; `geometry`).
// Any other code fails.
bool AnswerDiskQuery(const DiskDescription& disk, std::uint64_t imageBytes, std::uint32_t code,
                     const void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
                     std::uint32_t& returned);

// VOLUME_DISK_EXTENTS of `extents`; fails when there is none.
bool AnswerExtentsQuery(const std::vector<ExtentDescription>& extents, void* out,
                        std::uint32_t outSize, std::uint32_t& returned);

// The 512 IDENTIFY bytes: serial in words 10-19, model in words 27-46, two
// characters a word, the first in the high byte, blank padded, longer texts
// cut; capacity in words 60-61 and 100-103.
std::vector<std::uint8_t> BuildIdentifyBlock(const SmartDescription& smart, std::uint64_t sectors);

// "WIN32_DiskDrive" (every disk with a management object, by number) or
// "WIN32_DiskDrive where Index=N", case and blanks as WQL allows. Any other
// selection finds nothing.
std::vector<WmiObject> AnswerWmiQuery(const MachineDescription& machine,
                                      const std::string& selection);

}  // namespace kalvorin::device::sim
