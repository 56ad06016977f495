// The partition walk over a disk whose first sectors are the fuzz input.
#include <cstdint>

#include "FuzzMachine.h"
#include "detect/PartitionTable.h"
#include "support/ScriptedWindow.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kalvorin;
  auto& machine = fuzz::FuzzMachine::Get();
  machine.Load(data, size);
  test::ScriptedWindow window;
  media::InSupport identity;
  auto disk = machine.DiskNode();
  detect::ReadPartitionTable(machine.platform(), window, identity, disk);
  // The medium is closed and every read was bounded: at most one message per
  // table sector, plus the GPT's.
  if (disk.HandleSupport || window.messages.size() > 260) __builtin_trap();
  bool free = false;
  for (const auto& slot : identity.TablePartition) {
    if (slot.TypePartition == 0) free = true;
    // Extended entries never become slots; a GPT slot has at least a sector.
    if (!free && (slot.TypePartition == 0x05 || slot.TypePartition == 0x0F)) __builtin_trap();
    if (!free && slot.TypePartition == 0xEE && slot.NBSct == 0) __builtin_trap();
  }
  return 0;
}
