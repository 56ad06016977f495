#include "detect/FileSystem.h"

#include "detect/FileSystemProbes.h"

namespace kalvorin::detect {
namespace {

using Probe = bool (*)(media::InSupport&, const std::uint8_t*);

// The first probe that matches decides.
// - ext first: mkfs.ext* leaves the first 1024 bytes alone, so an ext volume
//   may still carry the boot sector of the FAT or NTFS volume it replaced;
//   its superblock is the newer truth.
// - FAT and NTFS read the same OEM field and cannot both match.
// - HFS+ after the boot-sector formats: its "H+" at byte 1024 lies where a
//   FAT or NTFS volume keeps ordinary data.
// - XFS last: its magic replaces the whole boot sector.
constexpr Probe kProbes[] = {ProbeExt, ProbeFat, ProbeNtfs, ProbeHfsPlus, ProbeXfs};

}  // namespace

bool IdentifyFileSystem(media::InSupport& identity, const std::uint8_t* buffer) {
  for (const Probe probe : kProbes) {
    if (probe(identity, buffer)) return true;
  }
  return false;
}

}  // namespace kalvorin::detect
