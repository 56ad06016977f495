#pragma once

#include "device/Platform.h"
#include "media/Records.h"
#include "media/WindowPort.h"

namespace kalvorin::detect {

// Fills identity.TablePartition from the disk's MBR, its chain of extended
// boot records, or its GPT. False when a table sector cannot be read or lacks
// the 0x55 0xAA/0xBB mark; the slots found before stay. Entries that start
// at or past the end of the disk (NBSctDisque) are not partitions of it.
bool ReadPartitionTable(device::Platform& platform, media::WindowPort& window,
                        media::InSupport& identity, media::listeSupport& disk);

}  // namespace kalvorin::detect
