#include "media/Identify.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "device/WindowsLayouts.h"
#include "media/Text.h"

namespace kalvorin::media {
namespace {

namespace dl = device;

// Modele and NoSerie are fixed 256-byte fields ending in a zero byte.
constexpr std::size_t kMaxIdentityText = 255;

// Character classes of the "C" locale, whatever the process locale is.
bool IsPrint(std::uint8_t c) { return c >= 0x20 && c <= 0x7E; }
bool IsSpace(std::uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string Capped(std::string text) {
  if (text.size() > kMaxIdentityText) text.resize(kMaxIdentityText);
  return text;
}

std::string WithoutBlanks(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  return text;
}

using IdentifyBytes = std::array<std::uint8_t, dl::send_cmd_out::kIdentifySize>;

void TakeIdentify(InSupport& identity, const std::uint8_t* identifyBytes) {
  std::array<std::uint16_t, 256> words{};
  for (std::size_t i = 0; i < words.size(); ++i) {
    words[i] = static_cast<std::uint16_t>(identifyBytes[2 * i] | (identifyBytes[2 * i + 1] << 8));
  }
  identity.Modele = Capped(IdentifyWordsToText(words.data(), 27, 46));
  identity.NoSerie = Capped(WithoutBlanks(IdentifyWordsToText(words.data(), 10, 19)));
}

// SMART_GET_VERSION; the controller's device map, or nullopt on failure.
std::optional<std::uint8_t> SmartDeviceMap(dl::File& device) {
  std::array<std::uint8_t, dl::smart_version::kSize> answer{};
  std::uint32_t returned = 0;
  if (!device.DeviceIoControl(dl::kSmartGetVersion, nullptr, 0, answer.data(),
                              static_cast<std::uint32_t>(answer.size()), returned)) {
    return std::nullopt;
  }
  return answer[dl::smart_version::kIdeDeviceMap];
}

// One ATA IDENTIFY through SMART_RCV_DRIVE_DATA, addressed to drive n.
bool SendIdentify(dl::File& device, int n, std::uint8_t command, IdentifyBytes& identify) {
  std::array<std::uint8_t, dl::send_cmd_in::kSize> request{};
  dl::PutU32(&request[dl::send_cmd_in::kBufferSize], dl::send_cmd_out::kIdentifySize);
  request[dl::send_cmd_in::kFeatures] = 0;
  request[dl::send_cmd_in::kSectorCount] = 1;
  request[dl::send_cmd_in::kSectorNumber] = 1;
  request[dl::send_cmd_in::kCylinderLow] = 0;
  request[dl::send_cmd_in::kCylinderHigh] = 0;
  request[dl::send_cmd_in::kDriveHead] = (n & 1) ? 0xB0 : 0xA0;
  request[dl::send_cmd_in::kCommand] = command;
  request[dl::send_cmd_in::kDriveNumber] = static_cast<std::uint8_t>(n);
  std::array<std::uint8_t, dl::send_cmd_out::kSize> answer{};
  std::uint32_t returned = 0;
  if (!device.DeviceIoControl(dl::kSmartRcvDriveData, request.data(),
                              static_cast<std::uint32_t>(request.size()), answer.data(),
                              static_cast<std::uint32_t>(answer.size()), returned)) {
    return false;
  }
  std::copy_n(answer.begin() + dl::send_cmd_out::kBuffer, identify.size(), identify.begin());
  return true;
}

void AskSmartByDeviceMap(dl::File& device, InSupport& identity, int n) {
  const auto map = SmartDeviceMap(device);
  if (!map || *map == 0) return;
  const unsigned shifted = static_cast<unsigned>(*map) >> (static_cast<unsigned>(n) % 32u);
  const std::uint8_t command =
      (shifted & 0x10u) ? dl::kAtaIdentifyPacketDevice : dl::kAtaIdentifyDevice;
  IdentifyBytes identify{};
  if (SendIdentify(device, n, command, identify)) TakeIdentify(identity, identify.data());
}

void AskStorageDescriptor(dl::File& device, InSupport& identity) {
  std::array<std::uint8_t, dl::storage_descriptor::kQuerySize> query{};
  std::vector<std::uint8_t> answer(dl::storage_descriptor::kAnswerSize, 0);
  std::uint32_t returned = 0;
  if (!device.DeviceIoControl(dl::kIoctlStorageQueryProperty, query.data(),
                              static_cast<std::uint32_t>(query.size()), answer.data(),
                              static_cast<std::uint32_t>(answer.size()), returned)) {
    return;
  }
  const auto productOffset = dl::GetU32(&answer[dl::storage_descriptor::kProductIdOffset]);
  const auto serialOffset = dl::GetU32(&answer[dl::storage_descriptor::kSerialNumberOffset]);
  identity.Modele = Capped(DecodeDescriptorText(answer.data(), answer.size(), productOffset));
  identity.NoSerie = Capped(DecodeDescriptorText(answer.data(), answer.size(), serialOffset));
}

// SMART again, with the fixed command 0xEC and an otherwise empty request.
void AskSmartFixed(dl::File& device, InSupport& identity) {
  if (!SmartDeviceMap(device)) return;
  std::array<std::uint8_t, 33> request{};
  request[dl::send_cmd_in::kCommand] = dl::kAtaIdentifyDevice;
  std::array<std::uint8_t, 545> answer{};
  std::uint32_t returned = 0;
  if (!device.DeviceIoControl(dl::kSmartRcvDriveData, request.data(),
                              static_cast<std::uint32_t>(request.size()), answer.data(),
                              static_cast<std::uint32_t>(answer.size()), returned)) {
    return;
  }
  TakeIdentify(identity, &answer[dl::send_cmd_out::kBuffer]);
}

void AskManagement(dl::Platform& platform, InSupport& identity, int n) {
  const auto objects = platform.QueryWmi("WIN32_DiskDrive where Index=" + std::to_string(n));
  if (!objects.empty()) ApplyManagementAnswer(identity, objects.front());
}

// Capacity in sectors; 0 when the geometry query fails or answers a
// negative size.
std::uint64_t AskCapacity(dl::File& device) {
  std::array<std::uint8_t, dl::geometry_ex::kSize> answer{};
  std::uint32_t returned = 0;
  if (!device.DeviceIoControl(dl::kIoctlDiskGetDriveGeometryEx, nullptr, 0, answer.data(),
                              static_cast<std::uint32_t>(answer.size()), returned)) {
    return 0;
  }
  const auto size = static_cast<std::int64_t>(dl::GetU64(&answer[dl::geometry_ex::kDiskSize]));
  return size > 0 ? static_cast<std::uint64_t>(size) / kSectorSize : 0;
}

// The value of a "Name=value" line when the line is property `name`.
std::optional<std::string_view> PropertyValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line.substr(0, name.size()) != name ||
      line[name.size()] != '=') {
    return std::nullopt;
  }
  return line.substr(name.size() + 1);
}

}  // namespace

std::string IdentifyWordsToText(const std::uint16_t* words, int first, int last) {
  std::string text;
  first = std::max(first, 0);
  last = std::min(last, 255);
  for (int i = first; i <= last; ++i) {
    const auto high = static_cast<char>(words[i] >> 8);
    const auto low = static_cast<char>(words[i] & 0xFF);
    if (high == 0) break;
    text += high;
    if (low == 0) break;
    text += low;
  }
  while (text.size() > 1 && text.back() == ' ') text.pop_back();
  return text;
}

std::string DecodeDescriptorText(const std::uint8_t* buffer, std::size_t size,
                                 std::int64_t offset) {
  if (offset <= 0 || static_cast<std::uint64_t>(offset) >= size) return {};
  const std::uint8_t* const begin = buffer + offset;
  const std::uint8_t* const bufferEnd = buffer + size;
  // A text without its zero byte ends at the end of the buffer.
  const std::uint8_t* const end = std::find(begin, bufferEnd, std::uint8_t{0});

  std::string text;
  bool hexOk = true;
  bool terminated = false;  // a decoded zero byte ends the text
  int high = -1;
  for (const std::uint8_t* p = begin; p != end && hexOk; ++p) {
    std::uint8_t c = *p;
    if (c >= 'A' && c <= 'Z') c = static_cast<std::uint8_t>(c - 'A' + 'a');
    if (IsSpace(c)) c = '0';
    int nibble = -1;
    if (c >= '0' && c <= '9') nibble = c - '0';
    if (c >= 'a' && c <= 'f') nibble = c - 'a' + 10;
    if (nibble < 0) {
      hexOk = false;
      break;
    }
    if (high < 0) {
      high = nibble;
      continue;
    }
    const auto byte = static_cast<std::uint8_t>((high << 4) | nibble);
    high = -1;
    if (byte == 0) {
      terminated = true;
    } else if (!IsPrint(byte)) {
      hexOk = false;
    } else if (!terminated) {
      text += static_cast<char>(byte);
    }
  }
  if (!hexOk) {
    text.clear();
    const std::uint8_t* p = begin;
    while (p != end && IsPrint(*p)) ++p;
    if (p != end) return {};
    text.assign(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(p - begin));
  }

  const auto notSpace = [](char c) { return !IsSpace(static_cast<std::uint8_t>(c)); };
  const auto first = std::find_if(text.begin(), text.end(), notSpace);
  if (first == text.end()) return text;
  const auto last = std::find_if(text.rbegin(), text.rend(), notSpace).base();
  return std::string(first, last);
}

void ApplyManagementAnswer(InSupport& identity, const device::WmiObject& object) {
  static constexpr std::string_view kControllerSuffix = " SCSI Disk Device";
  for (const auto& line : object) {
    if (const auto value = PropertyValue(line, "PNPDeviceID")) {
      identity.PNPDeviceID = std::string(*value);
    } else if (const auto value = PropertyValue(line, "InterfaceType")) {
      identity.TypeInterface = std::string(*value);
    } else if (const auto value = PropertyValue(line, "Model")) {
      std::string model = Capped(Utf8ToAnsi(*value));
      const auto suffix = model.find(kControllerSuffix);
      if (suffix != std::string::npos) model.resize(suffix);
      identity.Modele = std::move(model);
    } else if (const auto value = PropertyValue(line, "SerialNumber")) {
      if (identity.NoSerie.empty()) identity.NoSerie = WithoutBlanks(Capped(Utf8ToAnsi(*value)));
    }
  }
}

namespace {

void IdentifyOpenDisk(device::Platform& platform, device::File& device, InSupport& identity,
                      int n) {
  identity.Modele.clear();
  identity.NoSerie.clear();
  identity.NBSctDisque = 0;
  identity.TypeInterface.clear();
  identity.PNPDeviceID.clear();
  // A later source that answers overwrites what an earlier one found.
  AskSmartByDeviceMap(device, identity, n);
  AskStorageDescriptor(device, identity);
  AskSmartFixed(device, identity);
  AskManagement(platform, identity, n);
  identity.NBSctDisque = AskCapacity(device);
  identity.NumSequence = device.MediumSequence();
}

}  // namespace

bool IdentifyDisk(device::Platform& platform, InSupport& identity, int n) {
  // Only the device's queries are asked: nothing is written.
  auto device = platform.Open("\\\\.\\PhysicalDrive" + std::to_string(n), dl::Access::Inspect,
                              dl::Share::ReadWrite, dl::Disposition::OpenExisting);
  if (!device) {
    identity.Modele.clear();
    identity.NoSerie.clear();
    identity.NBSctDisque = 0;
    identity.TypeInterface.clear();
    identity.PNPDeviceID.clear();
    identity.NumSequence.reset();
    return false;
  }
  IdentifyOpenDisk(platform, *device, identity, n);
  device->Close();
  return true;
}

IdentiteDisque IdentityOf(const InSupport& identity) {
  return {identity.Modele, identity.NoSerie, identity.NBSctDisque, identity.NumSequence};
}

bool SameDisk(const IdentiteDisque& listed, const IdentiteDisque& opened) {
  return listed == opened;
}

}  // namespace kalvorin::media
