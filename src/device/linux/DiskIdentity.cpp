#include "device/linux/DiskIdentity.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

#include "device/WindowsLayouts.h"

namespace kalvorin::device::linuxbackend {
namespace {

namespace fs = std::filesystem;

// STORAGE_BUS_TYPE values.
constexpr std::uint32_t kBusScsi = 1;
constexpr std::uint32_t kBusUsb = 7;
constexpr std::uint32_t kBusSata = 11;
constexpr std::uint32_t kBusSd = 12;
constexpr std::uint32_t kBusFileBackedVirtual = 15;
constexpr std::uint32_t kBusNvme = 17;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Keeps text a line of the management answer can hold: no control bytes,
// blanks trimmed at both ends.
std::string Clean(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
  }
  const auto first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string Attribute(const fs::path& path) {
  return Clean(ReadAttribute(path.string()).value_or(""));
}

// Serial of SCSI VPD page 0x80: 4-byte header, then the page length of text.
std::string VpdSerial(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string page(512, '\0');
  in.read(page.data(), static_cast<std::streamsize>(page.size()));
  const std::size_t size = static_cast<std::size_t>(in.gcount());
  if (size < 4) return {};
  const std::size_t length =
      (static_cast<unsigned char>(page[2]) << 8) | static_cast<unsigned char>(page[3]);
  const std::size_t available = std::min(length, size - 4);
  std::string text = page.substr(4, available);
  return Clean(text.substr(0, text.find('\0')));
}

// A property of udev's database for the device ("E:KEY=value" lines), with
// the \xNN escapes of the *_ENC properties decoded.
std::string UdevProperty(const SystemPaths& paths, const WholeDisk& disk, const std::string& key) {
  std::ifstream in(paths.run + "/udev/data/b" + std::to_string(disk.major) + ":" +
                   std::to_string(disk.minor));
  std::string line;
  const std::string prefix = "E:" + key + "=";
  for (int lines = 0; lines < 1000 && std::getline(in, line); ++lines) {
    if (!StartsWith(line, prefix)) continue;
    std::string value, raw = line.substr(prefix.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x' &&
          std::isxdigit(static_cast<unsigned char>(raw[i + 2])) &&
          std::isxdigit(static_cast<unsigned char>(raw[i + 3]))) {
        value += static_cast<char>(std::stoi(raw.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        value += raw[i];
      }
    }
    return Clean(value);
  }
  return {};
}

// The USB device above `device` in the sysfs tree (the first ancestor with an
// idVendor attribute), or an empty path.
fs::path UsbDeviceOf(const fs::path& device) {
  std::error_code error;
  for (fs::path dir = device;
       dir.has_relative_path() && dir.string().find("/usb") != std::string::npos;
       dir = dir.parent_path()) {
    if (fs::exists(dir / "idVendor", error)) return dir;
  }
  return {};
}

// Vendor and product as Windows writes them in device ids.
std::string IdPart(std::string_view text, std::size_t maxLength) {
  std::string out;
  for (char c : text.substr(0, maxLength)) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '\\' || c == ',') {
      out += '_';
    } else {
      out += static_cast<char>(std::toupper(u));
    }
  }
  return out;
}

std::string Ascii(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    out += (u >= 0x20 && u < 0x7F) ? c : '_';
  }
  return out;
}

std::string HexText(std::string_view text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (char c : Ascii(text)) {
    const auto u = static_cast<unsigned char>(c);
    out += kDigits[u >> 4];
    out += kDigits[u & 0x0F];
  }
  return out;
}

}  // namespace

DiskIdentity ReadDiskIdentity(const SystemPaths& paths, const WholeDisk& disk) {
  DiskIdentity identity;
  identity.removable = disk.removable;
  const fs::path block = fs::path(paths.sys) / "block" / disk.name;
  const fs::path deviceLink = block / "device";
  std::error_code error;
  fs::path device = fs::canonical(deviceLink, error);
  if (error) device.clear();

  if (disk.loop) {
    const std::string backing =
        Clean(ReadAttribute((block / "loop/backing_file").string()).value_or(""));
    identity.vendor = "Linux";
    identity.model = "Loop device /dev/" + disk.name;
    identity.serial = fs::path(backing).filename().string();
    identity.interfaceType = "SCSI";
    identity.busType = kBusFileBackedVirtual;
    identity.pnpDeviceId = "SCSI\\DISK&VEN_LINUX&PROD_LOOP_DEVICE\\4&" + disk.name + "&0";
    return identity;
  }

  identity.vendor = Attribute(deviceLink / "vendor");
  if (StartsWith(identity.vendor, "0x")) identity.vendor.clear();  // a PCI id (virtio)
  std::string model = Attribute(deviceLink / "model");
  if (model.empty()) model = Attribute(deviceLink / "name");  // MMC cards
  identity.revision = Attribute(deviceLink / "rev");
  if (identity.revision.empty()) identity.revision = Attribute(deviceLink / "firmware_rev");
  const bool ata = identity.vendor == "ATA" ||
                   (!device.empty() && device.string().find("/ata") != std::string::npos);
  if (ata) {
    // sysfs keeps 16 characters of an ATA model; udev's copy is whole.
    const std::string whole = UdevProperty(paths, disk, "ID_MODEL_ENC");
    if (!whole.empty()) model = whole;
  }
  if (!ata && !identity.vendor.empty()) {
    model = model.empty() ? identity.vendor : identity.vendor + " " + model;
  }
  if (model.empty() && StartsWith(disk.name, "vd")) model = "Virtio Block Device";
  if (model.empty()) model = "Disk /dev/" + disk.name;
  identity.model = model;

  const fs::path usbDevice = device.empty() ? fs::path() : UsbDeviceOf(device);
  const bool usb = !usbDevice.empty();
  const std::string usbSerial = usb ? Attribute(usbDevice / "serial") : std::string();
  if (usb) identity.serial = usbSerial;
  if (identity.serial.empty()) identity.serial = UdevProperty(paths, disk, "ID_SERIAL_SHORT");
  if (identity.serial.empty()) identity.serial = VpdSerial(deviceLink / "vpd_pg80");
  if (identity.serial.empty()) identity.serial = Attribute(deviceLink / "serial");
  if (identity.serial.empty()) identity.serial = Attribute(block / "serial");

  const std::string vendorId = IdPart(identity.vendor.empty() ? "LINUX" : identity.vendor, 8);
  const std::string productId =
      IdPart(ata || identity.vendor.empty() ? model : Attribute(deviceLink / "model"), 16);
  if (usb) {
    identity.interfaceType = "USB";
    identity.busType = kBusUsb;
    const std::string instance = usbSerial.empty() ? "7&" + disk.name : IdPart(usbSerial, 64);
    identity.pnpDeviceId = "USBSTOR\\DISK&VEN_" + vendorId + "&PROD_" + productId + "&REV_" +
                           IdPart(identity.revision, 4) + "\\" + instance + "&0";
    return identity;
  }
  identity.interfaceType = ata ? "IDE" : "SCSI";
  if (ata) {
    identity.busType = kBusSata;
  } else if (StartsWith(disk.name, "nvme")) {
    identity.busType = kBusNvme;
  } else if (StartsWith(disk.name, "mmcblk")) {
    identity.busType = kBusSd;
  } else {
    identity.busType = kBusScsi;
  }
  identity.pnpDeviceId = "SCSI\\DISK&VEN_" + (ata ? std::string() : vendorId) + "&PROD_" +
                         productId + "\\4&" + disk.name + "&0";
  return identity;
}

std::vector<std::uint8_t> BuildStorageDescriptor(const DiskIdentity& identity) {
  namespace sd = storage_descriptor;
  std::vector<std::uint8_t> answer(sd::kRawData, 0);
  auto append = [&answer](std::size_t field, const std::string& text) {
    if (text.empty()) return;  // offset 0: absent
    PutU32(answer.data() + field, static_cast<std::uint32_t>(answer.size()));
    answer.insert(answer.end(), text.begin(), text.end());
    answer.push_back(0);
  };
  answer[8] = 0;  // DeviceType: direct-access device
  answer[10] = identity.removable ? 1 : 0;
  append(sd::kVendorIdOffset, Ascii(identity.vendor));
  append(sd::kProductIdOffset, HexText(identity.model));
  append(20, Ascii(identity.revision));  // ProductRevisionOffset
  append(sd::kSerialNumberOffset, HexText(identity.serial));
  PutU32(answer.data() + sd::kBusType, identity.busType);
  PutU32(answer.data(), static_cast<std::uint32_t>(sd::kRawData));  // Version
  PutU32(answer.data() + 4, static_cast<std::uint32_t>(answer.size()));
  return answer;
}

WmiObject BuildWmiObject(const DiskIdentity& identity, int number, std::uint64_t sizeBytes) {
  WmiObject object;
  object.push_back("DeviceID=\\\\.\\PHYSICALDRIVE" + std::to_string(number));
  object.push_back("Index=" + std::to_string(number));
  object.push_back("InterfaceType=" + identity.interfaceType);
  object.push_back(std::string("MediaType=") +
                   (identity.removable ? "Removable Media" : "Fixed hard disk media"));
  object.push_back("Model=" + identity.model);
  object.push_back("PNPDeviceID=" + identity.pnpDeviceId);
  if (!identity.serial.empty()) object.push_back("SerialNumber=" + identity.serial);
  if (sizeBytes != 0) object.push_back("Size=" + std::to_string(sizeBytes));
  return object;
}

int ParseDiskDriveSelection(const std::string& selection) {
  std::string text;
  for (char c : selection) text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::size_t at = 0;
  auto skipBlanks = [&] {
    const std::size_t start = at;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    return at > start;
  };
  auto word = [&](std::string_view expected) {
    if (text.compare(at, expected.size(), expected) != 0) return false;
    at += expected.size();
    return true;
  };
  skipBlanks();
  if (!word("win32_diskdrive") || !skipBlanks() || !word("where") || !skipBlanks() ||
      !word("index")) {
    return -1;
  }
  skipBlanks();
  if (!word("=")) return -1;
  skipBlanks();
  int value = 0, digits = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && digits < 4) {
    value = value * 10 + (text[at] - '0');
    ++at;
    ++digits;
  }
  skipBlanks();
  if (digits == 0 || at != text.size() || value > 127) return -1;
  return value;
}

}  // namespace kalvorin::device::linuxbackend
