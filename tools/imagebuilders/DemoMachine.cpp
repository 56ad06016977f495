// The demo machine: one function per demo disk, each adding its disk (and its
// letters) to the builder and writing the disk's content into its image. To
// add a disk, write one more such function and call it from
// BuildDemoMachine. Disks stay small (64 to 512 MiB, sparse) so that a whole
// check, copy or erase of one of them takes seconds.
#include "imagebuilders/DemoMachine.h"

#include <filesystem>
#include <system_error>

#include "imagebuilders/FileSystemBuilders.h"
#include "imagebuilders/ImageFile.h"
#include "imagebuilders/MachineBuilder.h"
#include "imagebuilders/PartitionBuilders.h"

namespace kalvorin::tools {

namespace {

constexpr std::uint64_t kMiB = 2048;  // sectors
constexpr std::uint32_t kFirstPartition = 2048;

// Creates disk `number`'s image anew, `sectors` long.
bool MakeImage(MachineBuilder& machine, MachineDisk& disk, std::string& error) {
  if (!CreateSparseImage(machine.ImagePath(disk.number), disk.sectors)) {
    error = "cannot create " + machine.ImagePath(disk.number);
    return false;
  }
  return true;
}

// One primary partition from sector 2048 to the end, holding `volume`.
bool WriteSinglePartition(MachineBuilder& machine, const MachineDisk& disk, std::uint8_t type,
                          const std::vector<std::uint8_t>& volume, std::string& error) {
  const std::string path = machine.ImagePath(disk.number);
  const auto count = static_cast<std::uint32_t>(disk.sectors - kFirstPartition);
  if (!WriteTableSector(path, 0, {MbrEntry{type, kFirstPartition, count, 0x80}}) ||
      !WriteVolume(path, kFirstPartition, volume)) {
    error = "cannot write the partition of " + path;
    return false;
  }
  return true;
}

// Disk 0 holds the program (and C:): never listed.
bool AddProgramDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk = machine.AddDisk(0, 256 * kMiB)
                          .Smart("ORVANTA OS256 SSD", "OVS25611C0FFEE")
                          .Wmi("Model", "ORVANTA OS256 SSD")
                          .Wmi("InterfaceType", "IDE");
  machine.SetProgramDisk(0);
  machine.AddLetter('C').Extent(0, kFirstPartition, disk.sectors - kFirstPartition).label =
      "SYSTEME";
  return MakeImage(machine, disk, error) &&
         WriteSinglePartition(machine, disk, 0x07, MakeNtfsVolume(disk.sectors - kFirstPartition),
                              error);
}

// An internal disk whose model and serial come from SMART IDENTIFY; its data
// partition is D:.
bool AddInternalDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk =
      machine.AddDisk(1, 512 * kMiB)
          .Smart("ORVANTA HD500-7K", "OV7K 20A1 B2C3")
          .Descriptor("ORVANTA HD500", "204f56374b32304131423243332020")
          .Wmi("Model", "ORVANTA HD500-7K")
          .Wmi("InterfaceType", "IDE")
          .Wmi("PNPDeviceID", "SCSI\\DISK&VEN_ORVANTA&PROD_HD500-7K\\4&1A2B3C&0&000100")
          .Wmi("SerialNumber", "OV7K20A1B2C3");
  machine.AddLetter('D').Extent(1, kFirstPartition, disk.sectors - kFirstPartition).label =
      "DONNEES";
  return MakeImage(machine, disk, error) &&
         WriteSinglePartition(machine, disk, 0x07, MakeNtfsVolume(disk.sectors - kFirstPartition),
                              error);
}

// A disk without SMART and without a descriptor serial: only the management
// query knows its serial. Sectors 65536 to 65543 cannot be read, to show the
// error policy of the jobs.
bool AddManagementSerialDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk =
      machine.AddDisk(2, 256 * kMiB)
          .Descriptor("NEXORA NX-2000", std::nullopt)
          .Wmi("Model", "NEXORA NX-2000")
          .Wmi("InterfaceType", "IDE")
          .Wmi("PNPDeviceID", "SCSI\\DISK&VEN_NEXORA&PROD_NX-2000\\4&2B3C4D&0&000200")
          .Wmi("SerialNumber", "  NX20 00A4 77F1  ")
          .ReadFault(65536, 8);
  return MakeImage(machine, disk, error);
}

// A disk behind a SCSI controller: the management model carries the
// controller's " SCSI Disk Device" suffix, the descriptor a hex serial.
bool AddScsiDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk =
      machine.AddDisk(3, 256 * kMiB)
          .Descriptor("TV-SAS900", "5456533930305834343731")
          .Wmi("Model", "TERRAVOLT TV-SAS900 SCSI Disk Device")
          .Wmi("InterfaceType", "SCSI")
          .Wmi("PNPDeviceID", "SCSI\\DISK&VEN_TERRAVOL&PROD_TV-SAS900\\5&3C4D5E&0&000300")
          .Wmi("SerialNumber", "TVS900X4471");
  return MakeImage(machine, disk, error);
}

// A USB stick with a FAT32 partition on the removable letter E:.
bool AddUsbStick(MachineBuilder& machine, std::string& error) {
  const std::string serial = "0019E06B9C1AF150A7B3";
  MachineDisk& disk =
      machine.AddDisk(4, 128 * kMiB)
          .Descriptor("DataPocket 3.0", serial)
          .Wmi("Model", "KALPA DataPocket 3.0 USB Device")
          .Wmi("InterfaceType", "USB")
          .Wmi("PNPDeviceID",
               "USBSTOR\\DISK&VEN_KALPA&PROD_DATAPOCKET_3.0&REV_PMAP\\" + serial + "&0")
          .Wmi("SerialNumber", serial);
  machine.AddLetter('E', 2).Extent(4, kFirstPartition, disk.sectors - kFirstPartition).label =
      "CLE_USB";
  FatVolume fat;
  fat.label = "CLE_USB";
  return MakeImage(machine, disk, error) &&
         WriteSinglePartition(machine, disk, 0x0C,
                              MakeFatVolume(fat, disk.sectors - kFirstPartition), error);
}

// The write-protected dock, known by the USB serial that starts with 201804.
bool AddDock(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk =
      machine.AddDisk(5, 256 * kMiB)
          .Descriptor("WriteBlock Dock", "201804000317")
          .Wmi("Model", "PROTECTA WriteBlock USB Device")
          .Wmi("InterfaceType", "USB")
          .Wmi("PNPDeviceID",
               "USBSTOR\\DISK&VEN_PROTECTA&PROD_WRITEBLOCK&REV_0100\\201804000317&0");
  return MakeImage(machine, disk, error);
}

// A disk that opens but answers none of the queries: no texts, capacity 0.
bool AddSilentDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk = machine.AddDisk(6, 64 * kMiB);
  disk.geometry = false;
  return MakeImage(machine, disk, error);
}

// A card reader with no card in it: a removable letter without extents.
void AddEmptyCardReader(MachineBuilder& machine) { machine.AddLetter('F', 2).label = std::nullopt; }

}  // namespace

bool BuildDemoMachine(const std::string& folder, std::string& error) {
  std::error_code fileError;
  std::filesystem::create_directories(
      std::filesystem::path(std::u8string(folder.begin(), folder.end())), fileError);
  if (fileError) {
    error = "cannot create " + folder + ": " + fileError.message();
    return false;
  }
  MachineBuilder machine(folder);
  if (!AddProgramDisk(machine, error) || !AddInternalDisk(machine, error) ||
      !AddManagementSerialDisk(machine, error) || !AddScsiDisk(machine, error) ||
      !AddUsbStick(machine, error) || !AddDock(machine, error) || !AddSilentDisk(machine, error)) {
    return false;
  }
  AddEmptyCardReader(machine);
  return machine.Write(error);
}

}  // namespace kalvorin::tools
