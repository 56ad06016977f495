// The demo machine: one function per demo disk, each adding its disk (and its
// letters) to the builder and writing the disk's content into its image. To
// add a disk, write one more such function and call it from
// BuildDemoMachine. Disks stay small (64 to 512 MiB, sparse) so that a whole
// check, copy or erase of one of them takes seconds.
#include "device/sim/demo/DemoMachine.h"

#include <filesystem>
#include <system_error>

#include "device/sim/demo/FileSystemBuilders.h"
#include "device/sim/demo/ImageFile.h"
#include "device/sim/demo/MachineBuilder.h"
#include "device/sim/demo/PartitionBuilders.h"
#include "device/sim/demo/RaidBuilders.h"

namespace kalvorin::demo {

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

// The volume kinds of detection, disks 8 to 13 and an image file. Each
// disk has an identity of its own so that its rows can be told apart.
MachineDisk& AddIdentifiedDisk(MachineBuilder& machine, int number, std::uint64_t sectors,
                               const std::string& model, const std::string& serial) {
  return machine.AddDisk(number, sectors)
      .Descriptor(model, serial)
      .Wmi("Model", model)
      .Wmi("InterfaceType", "IDE")
      .Wmi("SerialNumber", serial);
}

bool Written(bool ok, const std::string& path, std::string& error) {
  if (!ok) error = "cannot write " + path;
  return ok;
}

// MBR: an NTFS primary (G:) and a type 0x0F extended partition with four
// logical drives: ext4 with a volume name, ext3 known by its last mount
// point, ext2 with neither, and FAT16.
bool AddExtendedPartitionDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk = AddIdentifiedDisk(machine, 8, 256 * kMiB, "ORVANTA HD250-LOG", "OVL250E08");
  machine.AddLetter('G').Extent(8, 2048, 102400).label = "ARCHIVES";
  if (!MakeImage(machine, disk, error)) return false;
  const std::string path = machine.ImagePath(8);
  const std::vector<LogicalDrive> logicals{{104448, 0x83, 106496, 102400},
                                           {208896, 0x83, 210944, 102400},
                                           {313344, 0x83, 315392, 102400},
                                           {417792, 0x06, 419840, 104448}};
  FatVolume fat16;
  fat16.fat32 = false;
  fat16.label = "PARTAGE";
  return Written(
      WriteExtendedLayout(path, {{0x07, 2048, 102400, 0x80}}, 0x0F, 104448, 419840, logicals) &&
          WriteVolume(path, 2048, MakeNtfsVolume(102400)) &&
          WriteVolume(path, 106496, MakeExtVolume({ExtKind::kExt4, "donnees", "/srv"}, 102400)) &&
          WriteVolume(path, 210944, MakeExtVolume({ExtKind::kExt3, "", "/home"}, 102400)) &&
          WriteVolume(path, 315392, MakeExtVolume({ExtKind::kExt2, "", ""}, 102400)) &&
          WriteVolume(path, 419840, MakeFatVolume(fat16, 104448)),
      path, error);
}

// GPT: EFI system partition (FAT32), Windows data (NTFS), XFS, and ext4
// without a name.
bool AddGptDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk = AddIdentifiedDisk(machine, 9, 256 * kMiB, "NEXORA NX-GPT256", "NXG256A09");
  if (!MakeImage(machine, disk, error)) return false;
  const std::string path = machine.ImagePath(9);
  FatVolume efi;
  efi.label = "EFI";
  return Written(WriteGpt(path, disk.sectors,
                          {{kGuidEfiSystem, 2048, 206847, "EFI system partition"},
                           {kGuidBasicData, 206848, 309247, "Basic data partition"},
                           {kGuidLinuxData, 309248, 411647, "xfs"},
                           {kGuidLinuxData, 411648, 524254, "root"}}) &&
                     WriteVolume(path, 2048, MakeFatVolume(efi, 204800)) &&
                     WriteVolume(path, 206848, MakeNtfsVolume(102400)) &&
                     WriteVolume(path, 309248, MakeXfsVolume(102400)) &&
                     WriteVolume(path, 411648, MakeExtVolume({ExtKind::kExt4, "", ""}, 112607)),
                 path, error);
}

// A hybrid MBR: the FAT32 partition listed in the MBR before the protective
// entry, then the GPT with the same FAT32 partition and an HFS+ one.
bool AddHybridMbrDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk = AddIdentifiedDisk(machine, 10, 128 * kMiB, "KALPA HybridDrive", "KHD128X10");
  if (!MakeImage(machine, disk, error)) return false;
  const std::string path = machine.ImagePath(10);
  GptLayout hybrid;
  hybrid.hybridMbr = {{0x0C, 2048, 65536}, {0xEE, 1, 2047}};
  FatVolume fat;
  fat.label = "COMMUN";
  return Written(
      WriteGpt(path, disk.sectors,
               {{kGuidBasicData, 2048, 67583, "commun"},
                {GuidFromText("48465300-0000-11AA-AA11-00306543ECAC"), 67584, 262110, "Mac"}},
               hybrid) &&
          WriteVolume(path, 2048, MakeFatVolume(fat, 65536)) &&
          WriteVolume(path, 67584, MakeHfsPlusVolume(194527)),
      path, error);
}

// GPT of md members: RAID 5 on format 1.2, RAID 1 on 1.0 with NTFS inside,
// RAID 0 on 1.1, RAID 10 on 1.2, a 0.90 member (passed over: its ext2 shows)
// and RAID 1 on 1.2 with ext4 inside.
bool AddRaidMembersDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk =
      AddIdentifiedDisk(machine, 11, 512 * kMiB, "TERRAVOLT TV-RAID512", "TVR512M11");
  if (!MakeImage(machine, disk, error)) return false;
  const std::string path = machine.ImagePath(11);
  struct Member {
    std::uint64_t first, count;
    MdMemberSpec spec;
  };
  const Member members[] = {{2048, 204800, {MdFormat::k1_2, 5, 2, 128, 4, 2048, 2}},
                            {206848, 204800, {MdFormat::k1_0, 1, 0, 0, 2, 0, 0}},
                            {411648, 204800, {MdFormat::k1_1, 0, 0, 1024, 3, 2048, 1}},
                            {616448, 204800, {MdFormat::k1_2, 10, 0x102, 1024, 4, 2048, 3}},
                            {821248, 204800, {MdFormat::k0_90, 1, 0, 0, 2, 0, 0}},
                            {1026048, 22495, {MdFormat::k1_2, 1, 0, 0, 2, 2048, 1}}};
  std::vector<GptPartition> partitions;
  for (const Member& member : members) {
    partitions.push_back({kGuidLinuxRaid, member.first, member.first + member.count - 1, "raid"});
  }
  bool ok = WriteGpt(path, disk.sectors, partitions);
  for (const Member& member : members) {
    ok = ok && WriteMdMember(path, member.first, member.count, member.spec);
  }
  return Written(
      ok && WriteVolume(path, 206848, MakeNtfsVolume(204784)) &&
          WriteVolume(path, 821248, MakeExtVolume({ExtKind::kExt2, "ancien", ""}, 204672)) &&
          WriteVolume(path, 1026048 + 2048, MakeExtVolume({ExtKind::kExt4, "miroir", ""}, 20447)),
      path, error);
}

// A whole disk used as an md member (RAID 6, format 1.2): no partition table.
bool AddWholeDiskMember(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk = AddIdentifiedDisk(machine, 12, 64 * kMiB, "ORVANTA HD64-MD", "OVM064W12");
  return MakeImage(machine, disk, error) &&
         Written(WriteMdMember(machine.ImagePath(12), 0, disk.sectors,
                               {MdFormat::k1_2, 6, 2, 1024, 6, 2048, 4}),
                 machine.ImagePath(12), error);
}

// A type 0x05 extended partition whose second extended boot record (sector
// 131072) cannot be read: detection reports it and shows what came before.
bool AddBadTableSectorDisk(MachineBuilder& machine, std::string& error) {
  MachineDisk& disk = AddIdentifiedDisk(machine, 13, 128 * kMiB, "NEXORA NX-128B", "NXB128F13")
                          .ReadFault(131072, 1);
  if (!MakeImage(machine, disk, error)) return false;
  const std::string path = machine.ImagePath(13);
  return Written(
      WriteExtendedLayout(path, {{0x83, 2048, 63488, 0x80}}, 0x05, 65536, 196608,
                          {{65536, 0x83, 67584, 63488}, {131072, 0x83, 133120, 129024}}) &&
          WriteVolume(path, 2048, MakeExtVolume({ExtKind::kExt4, "systeme", "/"}, 63488)) &&
          WriteVolume(path, 67584, MakeExtVolume({ExtKind::kExt3, "var", ""}, 63488)),
      path, error);
}

// An image file to add with "Ajouter une image disque": an MBR with a FAT32
// and an ext4 partition.
bool WriteExampleImage(const std::string& folder, std::string& error) {
  const std::string path =
      (std::filesystem::path(std::u8string(folder.begin(), folder.end())) / "exemple.img").string();
  FatVolume fat;
  fat.label = "EXEMPLE";
  return Written(
      CreateSparseImage(path, 64 * kMiB) &&
          WriteTableSector(path, 0, {{0x0C, 2048, 63488, 0x80}, {0x83, 65536, 65536}}) &&
          WriteVolume(path, 2048, MakeFatVolume(fat, 63488)) &&
          WriteVolume(path, 65536, MakeExtVolume({ExtKind::kExt4, "exemple", ""}, 65536)),
      path, error);
}

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
      !AddUsbStick(machine, error) || !AddDock(machine, error) || !AddSilentDisk(machine, error) ||
      !AddExtendedPartitionDisk(machine, error) || !AddGptDisk(machine, error) ||
      !AddHybridMbrDisk(machine, error) || !AddRaidMembersDisk(machine, error) ||
      !AddWholeDiskMember(machine, error) || !AddBadTableSectorDisk(machine, error) ||
      !WriteExampleImage(folder, error)) {
    return false;
  }
  AddEmptyCardReader(machine);
  return machine.Write(error);
}

}  // namespace kalvorin::demo
