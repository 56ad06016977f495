#include "device/sim/SimIdentity.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "device/WindowsLayouts.h"

namespace kalvorin::device::sim {

namespace {

void PutAtaText(std::uint8_t* identify, int firstWord, int lastWord, const std::string& text) {
  const std::size_t characters = static_cast<std::size_t>(lastWord - firstWord + 1) * 2;
  for (std::size_t i = 0; i < characters; ++i) {
    const std::uint8_t character =
        i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{' '};
    // Little-endian words, the first character of each pair in the high byte.
    identify[static_cast<std::size_t>(firstWord) * 2 + (i ^ 1)] = character;
  }
}

bool SmartVersion(const DiskDescription& disk, void* out, std::uint32_t outSize,
                  std::uint32_t& returned) {
  if (!disk.smart || out == nullptr || outSize < smart_version::kSize) return false;
  auto* answer = static_cast<std::uint8_t*>(out);
  std::memset(answer, 0, smart_version::kSize);
  answer[0] = 1;  // bVersion
  answer[1] = 1;  // bRevision
  answer[smart_version::kIdeDeviceMap] = disk.smart->deviceMap;
  PutU32(answer + 4, 0x7);  // CAP_ATA_ID_CMD | CAP_ATAPI_ID_CMD | CAP_SMART_CMD
  returned = smart_version::kSize;
  return true;
}

bool SmartIdentify(const DiskDescription& disk, std::uint64_t imageBytes, const void* in,
                   std::uint32_t inSize, void* out, std::uint32_t outSize,
                   std::uint32_t& returned) {
  if (!disk.smart || in == nullptr || inSize <= send_cmd_in::kCommand) return false;
  if (out == nullptr || outSize < send_cmd_out::kSize) return false;
  const std::uint8_t command = static_cast<const std::uint8_t*>(in)[send_cmd_in::kCommand];
  const std::uint8_t accepted = disk.smart->packet ? kAtaIdentifyPacketDevice : kAtaIdentifyDevice;
  if (command != accepted) return false;
  auto* answer = static_cast<std::uint8_t*>(out);
  std::memset(answer, 0, send_cmd_out::kSize);
  PutU32(answer, send_cmd_out::kIdentifySize);
  const std::vector<std::uint8_t> identify = BuildIdentifyBlock(*disk.smart, imageBytes / 512);
  std::memcpy(answer + send_cmd_out::kBuffer, identify.data(), identify.size());
  returned = send_cmd_out::kSize;
  return true;
}

bool StorageDescriptor(const DiskDescription& disk, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t& returned) {
  if (!disk.descriptor || in == nullptr || inSize < storage_descriptor::kQuerySize) return false;
  const auto* query = static_cast<const std::uint8_t*>(in);
  if (GetU32(query) != 0 || GetU32(query + 4) != 0) return false;  // device property, standard
  constexpr std::size_t kHeaderSize = 40;
  const auto& product = disk.descriptor->product;
  const auto& serial = disk.descriptor->serial;
  const std::size_t productOffset = kHeaderSize;
  const std::size_t serialOffset = productOffset + (product ? product->size() + 1 : 0);
  const std::size_t total = serialOffset + (serial ? serial->size() + 1 : 0);
  if (out == nullptr || outSize < total) return false;
  auto* answer = static_cast<std::uint8_t*>(out);
  std::memset(answer, 0, total);
  PutU32(answer, kHeaderSize);                            // Version
  PutU32(answer + 4, static_cast<std::uint32_t>(total));  // Size
  if (product) {
    PutU32(answer + storage_descriptor::kProductIdOffset,
           static_cast<std::uint32_t>(productOffset));
    std::memcpy(answer + productOffset, product->data(), product->size());
  }
  if (serial) {
    PutU32(answer + storage_descriptor::kSerialNumberOffset,
           static_cast<std::uint32_t>(serialOffset));
    std::memcpy(answer + serialOffset, serial->data(), serial->size());
  }
  returned = static_cast<std::uint32_t>(total);
  return true;
}

bool Geometry(const DiskDescription& disk, std::uint64_t imageBytes, void* out,
              std::uint32_t outSize, std::uint32_t& returned) {
  if (!disk.geometry || out == nullptr || outSize < geometry_ex::kSize) return false;
  auto* answer = static_cast<std::uint8_t*>(out);
  std::memset(answer, 0, geometry_ex::kSize);
  PutU64(answer, imageBytes / (255ULL * 63 * disk.logicalSectorSize));  // Cylinders
  PutU32(answer + 8, 12);                                               // FixedMedia
  PutU32(answer + 12, 255);                                             // TracksPerCylinder
  PutU32(answer + 16, 63);                                              // SectorsPerTrack
  PutU32(answer + geometry_ex::kBytesPerSector, disk.logicalSectorSize);
  PutU64(answer + geometry_ex::kDiskSize, imageBytes);
  returned = geometry_ex::kSize;
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Splits on blanks and around '='.
std::vector<std::string> Tokens(const std::string& selection) {
  std::vector<std::string> tokens;
  std::string current;
  for (const char c : selection) {
    if (std::isspace(static_cast<unsigned char>(c)) || c == '=') {
      if (!current.empty()) tokens.push_back(current);
      current.clear();
      if (c == '=') tokens.emplace_back("=");
    } else {
      current += c;
    }
  }
  if (!current.empty()) tokens.push_back(current);
  return tokens;
}

WmiObject LinesOf(const WmiProperties& properties) {
  WmiObject lines;
  for (const auto& [name, value] : properties) lines.push_back(name + "=" + value);
  return lines;
}

}  // namespace

std::vector<std::uint8_t> BuildIdentifyBlock(const SmartDescription& smart, std::uint64_t sectors) {
  std::vector<std::uint8_t> identify(send_cmd_out::kIdentifySize, 0);
  PutU16(identify.data(), smart.packet ? 0x85C0 : 0x0040);
  PutAtaText(identify.data(), 10, 19, smart.serial);
  PutAtaText(identify.data(), 23, 26, "1.0");
  PutAtaText(identify.data(), 27, 46, smart.model);
  if (!smart.packet) {
    PutU16(identify.data() + 49 * 2, 0x0200);  // LBA supported
    PutU32(identify.data() + 60 * 2,
           static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, 0x0FFFFFFF)));
    PutU64(identify.data() + 100 * 2, sectors);
  }
  return identify;
}

bool AnswerDiskQuery(const DiskDescription& disk, std::uint64_t imageBytes, std::uint32_t code,
                     const void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
                     std::uint32_t& returned) {
  returned = 0;
  switch (code) {
    case kSmartGetVersion:
      return SmartVersion(disk, out, outSize, returned);
    case kSmartRcvDriveData:
      return SmartIdentify(disk, imageBytes, in, inSize, out, outSize, returned);
    case kIoctlStorageQueryProperty:
      return StorageDescriptor(disk, in, inSize, out, outSize, returned);
    case kIoctlDiskGetDriveGeometryEx:
      return Geometry(disk, imageBytes, out, outSize, returned);
    default:
      return false;
  }
}

bool AnswerExtentsQuery(const std::vector<ExtentDescription>& extents, void* out,
                        std::uint32_t outSize, std::uint32_t& returned) {
  returned = 0;
  if (extents.empty() || extents.size() > 1024) return false;
  const std::size_t total = disk_extents::kFirstExtent + extents.size() * disk_extents::kExtentSize;
  if (out == nullptr || outSize < total) return false;
  auto* answer = static_cast<std::uint8_t*>(out);
  std::memset(answer, 0, total);
  PutU32(answer + disk_extents::kCount, static_cast<std::uint32_t>(extents.size()));
  for (std::size_t i = 0; i < extents.size(); ++i) {
    std::uint8_t* record = answer + disk_extents::kFirstExtent + i * disk_extents::kExtentSize;
    PutU32(record + disk_extents::kDiskNumber, static_cast<std::uint32_t>(extents[i].disk));
    // first and count are at most INT64_MAX / 512 (checked when loaded).
    PutU64(record + disk_extents::kStartingOffset, extents[i].first * 512);
    PutU64(record + disk_extents::kExtentLength, extents[i].count * 512);
  }
  returned = static_cast<std::uint32_t>(total);
  return true;
}

std::vector<WmiObject> AnswerWmiQuery(const MachineDescription& machine,
                                      const std::string& selection) {
  const std::vector<std::string> tokens = Tokens(selection);
  if (tokens.empty() || Lower(tokens[0]) != "win32_diskdrive") return {};
  std::vector<WmiObject> objects;
  if (tokens.size() == 1) {
    std::vector<const DiskDescription*> disks;
    for (const DiskDescription& disk : machine.disks) {
      if (disk.wmi) disks.push_back(&disk);
    }
    std::sort(disks.begin(), disks.end(),
              [](const auto* a, const auto* b) { return a->number < b->number; });
    for (const DiskDescription* disk : disks) objects.push_back(LinesOf(*disk->wmi));
    return objects;
  }
  if (tokens.size() != 5 || Lower(tokens[1]) != "where" || Lower(tokens[2]) != "index" ||
      tokens[3] != "=") {
    return {};
  }
  const std::string& number = tokens[4];
  if (number.empty() || number.size() > 3 ||
      !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return {};
  }
  const DiskDescription* disk = machine.FindDisk(std::stoi(number));
  if (disk != nullptr && disk->wmi) objects.push_back(LinesOf(*disk->wmi));
  return objects;
}

}  // namespace kalvorin::device::sim
