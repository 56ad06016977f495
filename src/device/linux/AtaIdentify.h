// ATA IDENTIFY DEVICE through the SCSI generic pass-through (ATA PASS-THROUGH
// (16), command 0xEC), the only ATA command this program ever sends.
#pragma once

#include <array>
#include <cstdint>

namespace kalvorin::device::linuxbackend {

using IdentifyData = std::array<std::uint8_t, 512>;

// True when the device answered with IDENTIFY data that passes
// IdentifyDataLooksValid. Gives up after a few seconds.
bool SendAtaIdentify(int fd, IdentifyData& data);

// Not all zeros, word 0 says an ATA (not packet) device, and the checksum of
// word 255 holds where its signature 0xA5 is present.
bool IdentifyDataLooksValid(const IdentifyData& data);

}  // namespace kalvorin::device::linuxbackend
