#pragma once

#include "device/sim/demo/MachineBuilder.h"

namespace kalvorin::test {

// The machine most tests use:
//   0  the program's disk (never listed)
//   1  internal disk, 1 000 000 sectors, serial, MBR with two partitions
//      (2048 + 204800, 206848 + 204800), unreadable sectors 999000-999007
//   2  USB stick, 1 000 000 sectors, one partition (2048 + 100000)
//   3  the dock, 500 000 sectors, one partition (2048 + 100000)
//   free space 1 073 741 824 bytes
void DescribeStandardMachine(demo::MachineBuilder& machine);
// Writes the partition tables of the standard machine into its images.
void WriteStandardPartitions(const demo::MachineBuilder& machine);

}  // namespace kalvorin::test
