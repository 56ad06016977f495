// The records behind the media tree and the identity of one disk.
// Texts are UTF-8; 8-bit texts read from disks are converted from cp1252
// (see Text.h) before they reach a record.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "device/Platform.h"

namespace kalvorin::media {

// NumDisque of records that are not on a physical disk (group headers,
// images, copy-target files): never a disk number and never -1 (the "no
// dock" value), so no disk-number rule can mistake them for a disk.
inline constexpr std::int32_t kNoDisk = -1000;

inline constexpr std::uint32_t kSectorSize = 512;
inline constexpr int kMaxDisks = 128;
inline constexpr int kPartitionSlots = 32;

// Node kinds (TypeSupport).
inline constexpr std::int32_t kGroupHeader = 0;
inline constexpr std::int32_t kPhysical = 1;  // a disk, or a volume on it
inline constexpr std::int32_t kImage = 2;

// Volume kinds (TypeVolume) of a volume node.
inline constexpr std::int32_t kVolumeUnknown = 1;  // unrecognised, or md member
inline constexpr std::int32_t kVolumeExt2 = 2;
inline constexpr std::int32_t kVolumeExt3 = 3;
inline constexpr std::int32_t kVolumeExt4 = 4;
inline constexpr std::int32_t kVolumeFat = 5;
inline constexpr std::int32_t kVolumeNtfs = 6;
inline constexpr std::int32_t kVolumeHfsPlus = 7;
inline constexpr std::int32_t kVolumeXfs = 8;

// What identified a disk when it was listed. A job compares it with the disk
// it has opened, so that it never acts on another disk that took the number.
struct IdentiteDisque {
  std::string Modele;   // 8-bit (cp1252), as InSupport
  std::string NoSerie;  // 8-bit (cp1252), as InSupport
  std::uint64_t NBSctDisque = 0;
  // The system's sequence number of the medium (Linux diskseq), which
  // changes when another medium takes the device's name; nullopt where the
  // system has none.
  std::optional<std::uint64_t> NumSequence;
  bool operator==(const IdentiteDisque&) const = default;
};

// One node of the media tree (or a copy target).
struct listeSupport {
  std::int32_t NumDisque = kNoDisk;
  // The medium while an operation has it open; empty otherwise.
  std::unique_ptr<device::File> HandleSupport;
  std::string Libelle;        // column 0
  std::string NumSerie;       // column 1
  std::string CheminImage;    // image records and copy-target files
  std::string TypeInterface;  // disk nodes
  std::string IdUSB;          // disk nodes with TypeInterface "USB"
  std::int32_t TypeSupport = kGroupHeader;
  std::int32_t TypeVolume = 0;
  std::uint64_t FirstSct = 0;
  std::uint64_t NBSct = 0;
  std::uint64_t NBSctDisque = 0;
  // Disk and volume nodes: the identity of their disk at the refresh that
  // listed it. Empty for other records; a job refuses a disk record without it.
  std::optional<IdentiteDisque> Identite;
};

struct PartitionSlot {
  std::uint8_t TypePartition = 0;  // 0: free slot (ends the list)
  std::uint64_t FirstSct = 0;
  std::uint64_t NBSct = 0;
};

// Identity of one disk, reused for every disk and volume of one refresh.
struct InSupport {
  std::string Modele;   // 8-bit (cp1252) as read, at most 255 bytes
  std::string NoSerie;  // 8-bit (cp1252), without blanks, at most 255 bytes
  std::uint64_t NBSctDisque = 0;
  std::array<PartitionSlot, kPartitionSlots> TablePartition{};
  std::uint64_t FirstSctRaid = 0;
  std::int32_t TypeVolume = 0;
  std::string LibelleVolume;  // UTF-8
  std::string InfoVolume;     // UTF-8
  std::string TypeInterface;  // UTF-8
  std::string PNPDeviceID;    // UTF-8
  std::optional<std::uint64_t>
      NumSequence;  // the medium's sequence number, where the system has one
};

}  // namespace kalvorin::media
