#include "device/sim/demo/MachineBuilder.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include <nlohmann/json.hpp>

namespace kalvorin::demo {

namespace {

using Json = nlohmann::ordered_json;

std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

Json Ranges(const std::vector<SectorRun>& runs) {
  Json list = Json::array();
  for (const SectorRun& run : runs) list.push_back(Json::array({run.first, run.count}));
  return list;
}

Json DiskJson(const MachineDisk& disk) {
  Json entry;
  entry["number"] = disk.number;
  entry["image"] = disk.image;
  entry["opens"] = disk.opens;
  entry["geometry"] = disk.geometry;
  if (disk.logicalSectorSize != 512) entry["logical_sector_size"] = disk.logicalSectorSize;
  if (disk.smart) {
    entry["smart"] = {{"model", disk.smart->model},
                      {"serial", disk.smart->serial},
                      {"device_map", disk.smart->deviceMap},
                      {"packet", disk.smart->packet}};
  }
  if (disk.descriptor) {
    Json descriptor = Json::object();
    if (disk.descriptor->product) descriptor["product"] = *disk.descriptor->product;
    if (disk.descriptor->serial) descriptor["serial"] = *disk.descriptor->serial;
    entry["descriptor"] = descriptor;
  }
  if (disk.wmi) {
    Json wmi = Json::object();
    for (const auto& [name, values] : *disk.wmi) {
      wmi[name] = values.size() == 1 ? Json(values[0]) : Json(values);
    }
    entry["wmi"] = wmi;
  }
  entry["faults"] = {{"read", Ranges(disk.readFaults)},
                     {"write", Ranges(disk.writeFaults)},
                     {"seek", Ranges(disk.seekFaults)}};
  return entry;
}

}  // namespace

MachineDisk& MachineDisk::Smart(std::string model, std::string serial, int deviceMap, bool packet) {
  smart = SmartIdentity{std::move(model), std::move(serial), deviceMap, packet};
  return *this;
}

MachineDisk& MachineDisk::Descriptor(std::optional<std::string> product,
                                     std::optional<std::string> serial) {
  descriptor = DescriptorTexts{std::move(product), std::move(serial)};
  return *this;
}

MachineDisk& MachineDisk::Wmi(std::string name, std::string value) {
  if (!wmi) wmi.emplace();
  wmi->emplace_back(std::move(name), std::vector<std::string>{std::move(value)});
  return *this;
}

MachineDisk& MachineDisk::WmiArray(std::string name, std::vector<std::string> values) {
  if (!wmi) wmi.emplace();
  wmi->emplace_back(std::move(name), std::move(values));
  return *this;
}

MachineDisk& MachineDisk::ReadFault(std::uint64_t first, std::uint64_t count) {
  readFaults.push_back({first, count});
  return *this;
}

MachineDisk& MachineDisk::WriteFault(std::uint64_t first, std::uint64_t count) {
  writeFaults.push_back({first, count});
  return *this;
}

MachineDisk& MachineDisk::SeekFault(std::uint64_t first, std::uint64_t count) {
  seekFaults.push_back({first, count});
  return *this;
}

MachineLetter& MachineLetter::Extent(int disk, std::uint64_t first, std::uint64_t count) {
  extents.push_back({disk, first, count});
  return *this;
}

MachineDisk& MachineBuilder::AddDisk(int number, std::uint64_t sectors) {
  MachineDisk disk;
  disk.number = number;
  disk.sectors = sectors;
  disk.image = "disk" + std::to_string(number) + ".img";
  return disks_[number] = disk;
}

MachineLetter& MachineBuilder::AddLetter(char letter, int driveType) {
  MachineLetter entry;
  entry.letter = letter;
  entry.driveType = driveType;
  return letters_[letter] = entry;
}

std::string MachineBuilder::ImagePath(int number) const {
  const auto found = disks_.find(number);
  const std::string image =
      found != disks_.end() ? found->second.image : "disk" + std::to_string(number) + ".img";
  return (Utf8Path(folder_) / Utf8Path(image)).string();
}

std::string MachineBuilder::JsonText() const {
  Json root = Json::object();
  if (programDisk_) root["program_disk"] = Json::parse(*programDisk_);
  Json disks = Json::array();
  for (const auto& [number, disk] : disks_) disks.push_back(DiskJson(disk));
  root["disks"] = disks;
  Json letters = Json::array();
  for (const auto& [letter, entry] : letters_) {
    Json item;
    item["letter"] = std::string(1, letter);
    item["drive_type"] = entry.driveType;
    item["label"] = entry.label ? Json(*entry.label) : Json(nullptr);
    item["opens"] = entry.opens;
    Json extents = Json::array();
    for (const MachineExtent& extent : entry.extents) {
      extents.push_back({{"disk", extent.disk}, {"first", extent.first}, {"count", extent.count}});
    }
    item["extents"] = extents;
    letters.push_back(item);
  }
  root["letters"] = letters;
  if (freeBytes_) root["free_bytes"] = *freeBytes_;
  return root.dump(2) + "\n";
}

bool MachineBuilder::Write(std::string& error) const {
  const std::filesystem::path folder = Utf8Path(folder_);
  std::error_code fileError;
  std::filesystem::create_directories(folder, fileError);
  if (fileError) {
    error = "cannot create " + folder_ + ": " + fileError.message();
    return false;
  }
  for (const auto& [number, disk] : disks_) {
    const std::filesystem::path image = folder / Utf8Path(disk.image);
    if (!std::filesystem::exists(image, fileError)) {
      std::ofstream create(image, std::ios::binary);
      if (!create) {
        error = "cannot create " + image.string();
        return false;
      }
    }
    const std::uint64_t bytes = disk.sectors * 512;
    if (std::filesystem::file_size(image, fileError) != bytes || fileError) {
      fileError.clear();
      std::filesystem::resize_file(image, bytes, fileError);
      if (fileError) {
        error = "cannot size " + image.string() + ": " + fileError.message();
        return false;
      }
    }
  }
  // Written whole under another name, then renamed, so that a platform
  // reading it meanwhile never sees half a description.
  const std::filesystem::path temporary = folder / "machine.json.new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << JsonText();
    if (!out.flush()) {
      error = "cannot write " + temporary.string();
      return false;
    }
  }
  std::filesystem::rename(temporary, folder / "machine.json", fileError);
  if (fileError) {
    error = "cannot write machine.json: " + fileError.message();
    return false;
  }
  return true;
}

}  // namespace kalvorin::demo
