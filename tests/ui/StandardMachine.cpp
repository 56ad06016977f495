// The standard test machine. No Qt header here: the image builders use
// names that Qt reserves as macros.
#include "StandardMachine.h"

#include "device/sim/demo/PartitionBuilders.h"

namespace kalvorin::test {

void DescribeStandardMachine(demo::MachineBuilder& machine) {
  machine.SetProgramDisk(0);
  machine.AddDisk(0, 4096).Smart("SYSTEM DISK", "SYS0001");
  machine.AddDisk(1, 1000000)
      .Smart("WDC WD10EZEX-08WN4A0", "WD-WCC6Y1234567")
      .Wmi("Model", "WDC WD10EZEX-08WN4A0")
      .Wmi("InterfaceType", "IDE")
      .Wmi("PNPDeviceID", "SCSI\\DISK&VEN_WDC&PROD_WD10EZEX\\4&1A2B3C&0&000000")
      .ReadFault(999000, 8);
  machine.AddDisk(2, 1000000)
      .Wmi("Model", "SanDisk Cruzer Blade USB Device")
      .Wmi("SerialNumber", "4C530001230520115323")
      .Wmi("InterfaceType", "USB")
      .Wmi("PNPDeviceID", "USBSTOR\\DISK&VEN_SANDISK&PROD_CRUZER\\4C530001230520115323&0");
  machine.AddDisk(3, 500000)
      .Wmi("Model", "JMicron Dock USB Device")
      .Wmi("InterfaceType", "USB")
      .Wmi("PNPDeviceID", "USBSTOR\\DISK&VEN_JMICRON&PROD_DOCK\\201804000123&0");
  machine.SetFreeBytes(1073741824);
}

void WriteStandardPartitions(const demo::MachineBuilder& machine) {
  demo::WriteTableSector(machine.ImagePath(1), 0,
                         {{0x83, 2048, 204800, 0}, {0x07, 206848, 204800, 0}});
  demo::WriteTableSector(machine.ImagePath(2), 0, {{0x0C, 2048, 100000, 0}});
  demo::WriteTableSector(machine.ImagePath(3), 0, {{0x83, 2048, 100000, 0}});
}

}  // namespace kalvorin::test
