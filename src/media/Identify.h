#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/Platform.h"
#include "media/Records.h"

namespace kalvorin::media {

// Identifies physical disk n. True when the disk opened, whatever its
// queries gave. Clears TypeInterface and PNPDeviceID first, so a disk
// without a management answer inherits nothing from the previous disk.
bool IdentifyDisk(device::Platform& platform, InSupport& identity, int n);

// What the disk record keeps of an identification.
IdentiteDisque IdentityOf(const InSupport& identity);

// Whether the disk now open is the disk that was listed: same model, serial
// and capacity, and the same medium sequence number. A number known on one
// side only does not match.
bool SameDisk(const IdentiteDisque& listed, const IdentiteDisque& opened);

// ATA string of IDENTIFY words first..last (high byte first), trailing
// blanks cut but never the first character. `words` holds 256 words.
std::string IdentifyWordsToText(const std::uint16_t* words, int first, int last);

// A text of the storage descriptor at `offset` of `buffer` (`size` bytes),
// hex-decoded when it is a hex string, trimmed. Never reads outside the
// buffer: an offset at or past the end gives the empty text, a text without
// a zero byte ends at the buffer's end.
std::string DecodeDescriptorText(const std::uint8_t* buffer, std::size_t size, std::int64_t offset);

// Takes PNPDeviceID, InterfaceType, Model (less a " SCSI Disk Device"
// suffix) and, only while NoSerie is empty, SerialNumber (without blanks)
// from the lines "Name=value" of one management object. A property absent
// from `object` leaves its field as it is.
void ApplyManagementAnswer(InSupport& identity, const device::WmiObject& object);

}  // namespace kalvorin::media
