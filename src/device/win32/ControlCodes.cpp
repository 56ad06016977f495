// The control codes and byte layouts the logic builds by hand must be the ones
// Windows uses: each is checked against the system headers at compile time.
#include <cstddef>

#include "device/Platform.h"
#include "device/WindowsLayouts.h"
#include "device/win32/WindowsApi.h"

#include <winioctl.h>

namespace kalvorin::device {

static_assert(kIoctlVolumeGetVolumeDiskExtents == IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS);
static_assert(kSmartGetVersion == SMART_GET_VERSION);
static_assert(kSmartRcvDriveData == SMART_RCV_DRIVE_DATA);
static_assert(kIoctlStorageQueryProperty == IOCTL_STORAGE_QUERY_PROPERTY);
static_assert(kIoctlDiskGetDriveGeometryEx == IOCTL_DISK_GET_DRIVE_GEOMETRY_EX);

static_assert(offsetof(VOLUME_DISK_EXTENTS, NumberOfDiskExtents) == disk_extents::kCount);
static_assert(offsetof(VOLUME_DISK_EXTENTS, Extents) == disk_extents::kFirstExtent);
static_assert(sizeof(DISK_EXTENT) == disk_extents::kExtentSize);
static_assert(offsetof(DISK_EXTENT, DiskNumber) == disk_extents::kDiskNumber);
static_assert(offsetof(DISK_EXTENT, StartingOffset) == disk_extents::kStartingOffset);
static_assert(offsetof(DISK_EXTENT, ExtentLength) == disk_extents::kExtentLength);

static_assert(sizeof(GETVERSIONINPARAMS) == smart_version::kSize);
static_assert(offsetof(GETVERSIONINPARAMS, bIDEDeviceMap) == smart_version::kIdeDeviceMap);

static_assert(offsetof(SENDCMDINPARAMS, cBufferSize) == send_cmd_in::kBufferSize);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bFeaturesReg) ==
              send_cmd_in::kFeatures);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bSectorCountReg) ==
              send_cmd_in::kSectorCount);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bSectorNumberReg) ==
              send_cmd_in::kSectorNumber);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bCylLowReg) ==
              send_cmd_in::kCylinderLow);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bCylHighReg) ==
              send_cmd_in::kCylinderHigh);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bDriveHeadReg) ==
              send_cmd_in::kDriveHead);
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bCommandReg) ==
              send_cmd_in::kCommand);
static_assert(offsetof(SENDCMDINPARAMS, bDriveNumber) == send_cmd_in::kDriveNumber);
static_assert(offsetof(SENDCMDINPARAMS, bBuffer) == send_cmd_in::kSize);
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == send_cmd_out::kBuffer);
static_assert(ID_CMD == kAtaIdentifyDevice);
static_assert(ATAPI_ID_CMD == kAtaIdentifyPacketDevice);

static_assert(sizeof(STORAGE_PROPERTY_QUERY) == storage_descriptor::kQuerySize);
static_assert(StorageDeviceProperty == 0 && PropertyStandardQuery == 0);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset) ==
              storage_descriptor::kVendorIdOffset);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset) ==
              storage_descriptor::kProductIdOffset);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset) ==
              storage_descriptor::kSerialNumberOffset);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) == storage_descriptor::kBusType);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties) ==
              storage_descriptor::kRawData);

static_assert(sizeof(DISK_GEOMETRY_EX) == geometry_ex::kSize);
static_assert(offsetof(DISK_GEOMETRY_EX, DiskSize) == geometry_ex::kDiskSize);
static_assert(offsetof(DISK_GEOMETRY, BytesPerSector) == geometry_ex::kBytesPerSector);

static_assert(MB_OK == kMbOk && MB_YESNO == kMbYesNo && MB_ICONERROR == kMbIconError &&
              MB_ICONQUESTION == kMbIconQuestion && MB_ICONWARNING == kMbIconWarning &&
              MB_SYSTEMMODAL == kMbSystemModal && MB_TASKMODAL == kMbTaskModal);
static_assert(IDOK == kIdOk && IDCANCEL == kIdCancel && IDYES == kIdYes && IDNO == kIdNo);

static_assert(DRIVE_UNKNOWN == kDriveUnknown && DRIVE_NO_ROOT_DIR == kDriveNoRootDir &&
              DRIVE_REMOVABLE == kDriveRemovable && DRIVE_FIXED == kDriveFixed &&
              DRIVE_REMOTE == kDriveRemote && DRIVE_CDROM == kDriveCdrom &&
              DRIVE_RAMDISK == kDriveRamdisk);

}  // namespace kalvorin::device
