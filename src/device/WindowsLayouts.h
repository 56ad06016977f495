// Control codes and byte layouts of the Windows device queries the logic uses.
// Every backend answers File::DeviceIoControl with exactly these layouts, so
// the logic decodes one format whatever the platform. Offsets are in bytes;
// all numbers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kalvorin::device {

inline constexpr std::uint32_t kIoctlVolumeGetVolumeDiskExtents = 0x00560000;
inline constexpr std::uint32_t kSmartGetVersion = 0x00074080;
inline constexpr std::uint32_t kSmartRcvDriveData = 0x0007C088;
inline constexpr std::uint32_t kIoctlStorageQueryProperty = 0x002D1400;
inline constexpr std::uint32_t kIoctlDiskGetDriveGeometryEx = 0x000700A0;

// VOLUME_DISK_EXTENTS: NumberOfDiskExtents (u32) at 0, then DISK_EXTENT
// records of 24 bytes from byte 8: DiskNumber (u32) +0, StartingOffset (i64)
// +8, ExtentLength (i64) +16.
namespace disk_extents {
inline constexpr std::size_t kCount = 0;
inline constexpr std::size_t kFirstExtent = 8;
inline constexpr std::size_t kExtentSize = 24;
inline constexpr std::size_t kDiskNumber = 0;
inline constexpr std::size_t kStartingOffset = 8;
inline constexpr std::size_t kExtentLength = 16;
}  // namespace disk_extents

// GETVERSIONINPARAMS, 24 bytes: bVersion 0, bRevision 1, bReserved 2,
// bIDEDeviceMap 3, fCapabilities (u32) 4, dwReserved[4] 8.
namespace smart_version {
inline constexpr std::size_t kSize = 24;
inline constexpr std::size_t kIdeDeviceMap = 3;
}  // namespace smart_version

// SENDCMDINPARAMS (packed): cBufferSize (u32) 0, IDEREGS 4..11 (features 4,
// sector count 5, sector number 6, cylinder low 7, cylinder high 8,
// drive/head 9, command 10, reserved 11), bDriveNumber 12, reserved 13..31,
// bBuffer 32. sizeof is 33; the request sent is 32 bytes (less the buffer).
namespace send_cmd_in {
inline constexpr std::size_t kSize = 32;
inline constexpr std::size_t kBufferSize = 0;
inline constexpr std::size_t kFeatures = 4;
inline constexpr std::size_t kSectorCount = 5;
inline constexpr std::size_t kSectorNumber = 6;
inline constexpr std::size_t kCylinderLow = 7;
inline constexpr std::size_t kCylinderHigh = 8;
inline constexpr std::size_t kDriveHead = 9;
inline constexpr std::size_t kCommand = 10;
inline constexpr std::size_t kDriveNumber = 12;
}  // namespace send_cmd_in

// SENDCMDOUTPARAMS: cBufferSize (u32) 0, DRIVERSTATUS 4..15, bBuffer 16.
// The 512 IDENTIFY bytes start at kBuffer.
namespace send_cmd_out {
inline constexpr std::size_t kBuffer = 16;
inline constexpr std::size_t kIdentifySize = 512;
inline constexpr std::size_t kSize = kBuffer + kIdentifySize;  // 528
}  // namespace send_cmd_out

inline constexpr std::uint8_t kAtaIdentifyDevice = 0xEC;
inline constexpr std::uint8_t kAtaIdentifyPacketDevice = 0xA1;

// STORAGE_PROPERTY_QUERY, 12 bytes: PropertyId (u32) 0 (0 =
// StorageDeviceProperty), QueryType (u32) 4 (0 = PropertyStandardQuery).
// STORAGE_DEVICE_DESCRIPTOR: Version 0, Size 4, DeviceType 8, ...,
// VendorIdOffset 12, ProductIdOffset 16, ProductRevisionOffset 20,
// SerialNumberOffset 24, BusType 28, RawPropertiesLength 32, raw data 36.
// Offsets are from the start of the descriptor; 0 means "absent".
namespace storage_descriptor {
inline constexpr std::size_t kQuerySize = 12;
inline constexpr std::size_t kVendorIdOffset = 12;
inline constexpr std::size_t kProductIdOffset = 16;
inline constexpr std::size_t kSerialNumberOffset = 24;
inline constexpr std::size_t kBusType = 28;
inline constexpr std::size_t kRawData = 36;
inline constexpr std::size_t kAnswerSize = 10000;
}  // namespace storage_descriptor

// DISK_GEOMETRY_EX, 40 bytes: DISK_GEOMETRY 0..23 (Cylinders i64 0,
// MediaType u32 8, TracksPerCylinder 12, SectorsPerTrack 16, BytesPerSector
// 20), DiskSize (i64) 24, Data 32.
namespace geometry_ex {
inline constexpr std::size_t kSize = 40;
inline constexpr std::size_t kDiskSize = 24;
inline constexpr std::size_t kBytesPerSector = 20;
}  // namespace geometry_ex

// MessageBox styles and answers.
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbYesNo = 0x4;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconQuestion = 0x20;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbSystemModal = 0x1000;
inline constexpr std::uint32_t kMbTaskModal = 0x2000;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Little-endian helpers for building and reading these layouts.
inline void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutU64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t GetU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(GetU32(p)) | (static_cast<std::uint64_t>(GetU32(p + 4)) << 32);
}

}  // namespace kalvorin::device
