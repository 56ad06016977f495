// The simulated machine's description: any text given as machine.json is
// either refused with a message naming a key, or gives a description whose
// numbers are in range.
#include <cstdint>
#include <string>

#include "device/sim/MachineDescription.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kalvorin::device::sim;
  MachineDescription machine;
  std::string error;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!ParseMachineDescription(text, machine, error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  for (const DiskDescription& disk : machine.disks) {
    if (disk.number < 0 || disk.number > 127) __builtin_trap();
  }
  for (const LetterDescription& letter : machine.letters) {
    if (letter.letter < 'C' || letter.letter > 'Z') __builtin_trap();
  }
  return 0;
}
