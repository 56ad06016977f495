// DetectVolume on an extent whose bounds come from the input, over a disk
// holding the rest of the input at the extent's first sector.
//
// Input: flags (1 byte), first sector (8), sector count (8), then the data.
// flags bit 0: first sector taken modulo the disk size; bit 1: count taken
// modulo the disk size + 1; bit 2: the medium's size is the largest value
// instead of the disk's.
#include <cstdint>

#include "FuzzMachine.h"
#include "detect/SectorReader.h"
#include "detect/VolumeDetection.h"
#include "support/ScriptedWindow.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kalvorin;
  using fuzz::FuzzMachine;
  if (size < 17) return 0;
  const std::uint8_t flags = data[0];
  std::uint64_t first = detect::ReadU64LE(data + 1);
  std::uint64_t count = detect::ReadU64LE(data + 9);
  if (flags & 1) first %= FuzzMachine::kDiskSectors;
  if (flags & 2) count %= FuzzMachine::kDiskSectors + 1;
  auto& machine = FuzzMachine::Get();
  machine.Load(data + 17, size - 17, first);
  test::ScriptedWindow window;
  media::InSupport identity;
  auto node = machine.DiskNode();
  node.Libelle = "Inconnu";
  node.FirstSct = first;
  node.NBSct = count;
  if (flags & 4) node.NBSctDisque = UINT64_MAX;
  detect::DetectVolume(machine.platform(), window, identity, node);
  // One message for the work buffer, three near the end, one for a mirror.
  if (node.HandleSupport || window.messages.size() > 5) __builtin_trap();
  if (identity.TypeVolume < 1 || identity.TypeVolume > 8) __builtin_trap();
  return 0;
}
