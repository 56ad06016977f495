#include "device/sim/MachineDescription.h"

#include <cstdint>
#include <filesystem>
#include <limits>

#include <nlohmann/json.hpp>

namespace kalvorin::device::sim {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::uint64_t kMaxSectorNumber = static_cast<std::uint64_t>(INT64_MAX) / 512;

// Each reader answers false after storing the message for the key `key`.
class Reader {
 public:
  explicit Reader(std::string& error) : error_(error) {}

  bool Fail(const std::string& key, const std::string& problem) {
    error_ =
        "Description de machine invalide (machine.json) : la clé « " + key + " » " + problem + ".";
    return false;
  }

  bool Unsigned(const Json& value, const std::string& key, std::uint64_t max, std::uint64_t& out) {
    if (!value.is_number_integer() ||
        (!value.is_number_unsigned() && value.get<std::int64_t>() < 0)) {
      return Fail(key, "doit être un entier positif ou nul");
    }
    const std::uint64_t number = value.get<std::uint64_t>();
    if (number > max) return Fail(key, "dépasse la valeur maximale " + std::to_string(max));
    out = number;
    return true;
  }

  bool Int(const Json& value, const std::string& key, int min, int max, int& out) {
    std::uint64_t number = 0;
    if (!Unsigned(value, key, static_cast<std::uint64_t>(max), number)) return false;
    if (number < static_cast<std::uint64_t>(min)) {
      return Fail(key, "doit être au moins " + std::to_string(min));
    }
    out = static_cast<int>(number);
    return true;
  }

  bool Bool(const Json& object, const char* name, const std::string& key, bool& out) {
    if (!object.contains(name) || object[name].is_null()) return true;
    if (!object[name].is_boolean()) return Fail(key + "." + name, "doit valoir true ou false");
    out = object[name].get<bool>();
    return true;
  }

  bool String(const Json& value, const std::string& key, std::string& out) {
    if (!value.is_string()) return Fail(key, "doit être un texte");
    out = value.get<std::string>();
    return true;
  }

  bool Ranges(const Json& faults, const char* name, const std::string& key,
              std::vector<SectorRange>& out) {
    if (!faults.contains(name) || faults[name].is_null()) return true;
    const Json& list = faults[name];
    const std::string listKey = key + "." + name;
    if (!list.is_array()) return Fail(listKey, "doit être une liste de [premier, nombre]");
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string itemKey = listKey + "[" + std::to_string(i) + "]";
      const Json& pair = list[i];
      if (!pair.is_array() || pair.size() != 2) return Fail(itemKey, "doit être [premier, nombre]");
      SectorRange range;
      if (!Unsigned(pair[0], itemKey + "[0]", UINT64_MAX, range.first)) return false;
      if (!Unsigned(pair[1], itemKey + "[1]", UINT64_MAX, range.count)) return false;
      out.push_back(range);
    }
    return true;
  }

  bool ImagePath(const Json& value, const std::string& key, std::string& out) {
    if (!String(value, key, out)) return false;
    if (out.empty()) return Fail(key, "ne doit pas être vide");
    const std::filesystem::path path(std::u8string(out.begin(), out.end()));
    if (path.has_root_name() || path.has_root_directory() || path.is_absolute()) {
      return Fail(key, "doit être un chemin relatif au dossier de la machine");
    }
    for (const auto& part : path) {
      if (part == "..") return Fail(key, "ne doit pas sortir du dossier de la machine");
    }
    return true;
  }

  bool Smart(const Json& value, const std::string& key, SmartDescription& out) {
    if (!value.is_object()) return Fail(key, "doit être un objet");
    if (value.contains("model") && !String(value["model"], key + ".model", out.model)) return false;
    if (value.contains("serial") && !String(value["serial"], key + ".serial", out.serial)) {
      return false;
    }
    if (value.contains("device_map")) {
      int map = 0;
      if (!Int(value["device_map"], key + ".device_map", 0, 255, map)) return false;
      out.deviceMap = static_cast<std::uint8_t>(map);
    }
    return Bool(value, "packet", key, out.packet);
  }

  bool Descriptor(const Json& value, const std::string& key, DescriptorDescription& out) {
    if (!value.is_object()) return Fail(key, "doit être un objet");
    for (const char* name : {"product", "serial"}) {
      if (!value.contains(name) || value[name].is_null()) continue;
      std::string text;
      if (!String(value[name], key + "." + name, text)) return false;
      (std::string(name) == "product" ? out.product : out.serial) = text;
    }
    return true;
  }

  bool Wmi(const Json& value, const std::string& key, WmiProperties& out) {
    if (!value.is_object()) return Fail(key, "doit être un objet");
    for (const auto& [name, property] : value.items()) {
      const std::string propertyKey = key + "." + name;
      std::string text;
      if (property.is_string()) {
        text = property.get<std::string>();
      } else if (property.is_array()) {
        for (const auto& element : property) {
          if (!element.is_string()) return Fail(propertyKey, "doit être une liste de textes");
          if (!text.empty()) text += ", ";
          text += element.get<std::string>();
        }
      } else if (property.is_number_integer()) {
        text = property.dump();
      } else {
        return Fail(propertyKey, "doit être un texte ou une liste de textes");
      }
      out.emplace_back(name, text);
    }
    return true;
  }

  bool Disk(const Json& value, const std::string& key, DiskDescription& out) {
    if (!value.is_object()) return Fail(key, "doit être un objet");
    if (!value.contains("number")) return Fail(key + ".number", "est absente");
    if (!Int(value["number"], key + ".number", 0, 127, out.number)) return false;
    if (!value.contains("image")) return Fail(key + ".image", "est absente");
    if (!ImagePath(value["image"], key + ".image", out.image)) return false;
    if (!Bool(value, "opens", key, out.opens) || !Bool(value, "geometry", key, out.geometry)) {
      return false;
    }
    if (value.contains("logical_sector_size")) {
      int size = 0;
      if (!Int(value["logical_sector_size"], key + ".logical_sector_size", 1, 1 << 20, size)) {
        return false;
      }
      out.logicalSectorSize = static_cast<std::uint32_t>(size);
    }
    if (value.contains("smart") && !value["smart"].is_null()) {
      if (!Smart(value["smart"], key + ".smart", out.smart.emplace())) return false;
    }
    if (value.contains("descriptor") && !value["descriptor"].is_null()) {
      if (!Descriptor(value["descriptor"], key + ".descriptor", out.descriptor.emplace())) {
        return false;
      }
    }
    if (value.contains("wmi") && !value["wmi"].is_null()) {
      if (!Wmi(value["wmi"], key + ".wmi", out.wmi.emplace())) return false;
    }
    if (value.contains("faults") && !value["faults"].is_null()) {
      const Json& faults = value["faults"];
      const std::string faultsKey = key + ".faults";
      if (!faults.is_object()) return Fail(faultsKey, "doit être un objet");
      if (!Ranges(faults, "read", faultsKey, out.faults.read) ||
          !Ranges(faults, "write", faultsKey, out.faults.write) ||
          !Ranges(faults, "seek", faultsKey, out.faults.seek)) {
        return false;
      }
    }
    return true;
  }

  bool Letter(const Json& value, const std::string& key, LetterDescription& out) {
    if (!value.is_object()) return Fail(key, "doit être un objet");
    std::string letter;
    if (!value.contains("letter")) return Fail(key + ".letter", "est absente");
    if (!String(value["letter"], key + ".letter", letter)) return false;
    const char upper = letter.size() == 1 && letter[0] >= 'a' && letter[0] <= 'z'
                           ? static_cast<char>(letter[0] - 'a' + 'A')
                           : (letter.size() == 1 ? letter[0] : '\0');
    if (upper < 'C' || upper > 'Z') return Fail(key + ".letter", "doit être une lettre de C à Z");
    out.letter = upper;
    if (value.contains("drive_type") &&
        !Int(value["drive_type"], key + ".drive_type", 0, 6, out.driveType)) {
      return false;
    }
    if (!value.contains("label")) {
      out.label = std::string();
    } else if (!value["label"].is_null()) {
      if (!String(value["label"], key + ".label", out.label.emplace())) return false;
    }
    if (!Bool(value, "opens", key, out.opens)) return false;
    if (value.contains("extents") && !value["extents"].is_null()) {
      const Json& extents = value["extents"];
      if (!extents.is_array()) return Fail(key + ".extents", "doit être une liste");
      for (std::size_t i = 0; i < extents.size(); ++i) {
        const std::string extentKey = key + ".extents[" + std::to_string(i) + "]";
        const Json& extent = extents[i];
        if (!extent.is_object()) return Fail(extentKey, "doit être un objet");
        ExtentDescription parsed;
        for (const char* name : {"disk", "first", "count"}) {
          if (!extent.contains(name)) return Fail(extentKey + "." + name, "est absente");
        }
        if (!Int(extent["disk"], extentKey + ".disk", 0, 127, parsed.disk) ||
            !Unsigned(extent["first"], extentKey + ".first", kMaxSectorNumber, parsed.first) ||
            !Unsigned(extent["count"], extentKey + ".count", kMaxSectorNumber, parsed.count)) {
          return false;
        }
        out.extents.push_back(parsed);
      }
    }
    return true;
  }

  bool Machine(const Json& root, MachineDescription& out) {
    if (!root.is_object()) return Fail("(racine)", "doit être un objet");
    if (root.contains("program_disk") && !root["program_disk"].is_null()) {
      const Json& program = root["program_disk"];
      if (program.is_string() && program.get<std::string>() == "fail") {
        out.programDiskKind = ProgramDiskKind::Fail;
      } else if (program.is_number_integer()) {
        if (!Int(program, "program_disk", 0, 127, out.programDisk)) return false;
        out.programDiskKind = ProgramDiskKind::Number;
      } else {
        return Fail("program_disk", "doit être un numéro de disque de 0 à 127 ou \"fail\"");
      }
    }
    if (root.contains("disks") && !root["disks"].is_null()) {
      const Json& disks = root["disks"];
      if (!disks.is_array()) return Fail("disks", "doit être une liste");
      for (std::size_t i = 0; i < disks.size(); ++i) {
        const std::string key = "disks[" + std::to_string(i) + "]";
        DiskDescription disk;
        if (!Disk(disks[i], key, disk)) return false;
        if (out.FindDisk(disk.number) != nullptr) {
          return Fail(key + ".number", "reprend le numéro d'un autre disque");
        }
        out.disks.push_back(std::move(disk));
      }
    }
    if (root.contains("letters") && !root["letters"].is_null()) {
      const Json& letters = root["letters"];
      if (!letters.is_array()) return Fail("letters", "doit être une liste");
      for (std::size_t i = 0; i < letters.size(); ++i) {
        const std::string key = "letters[" + std::to_string(i) + "]";
        LetterDescription letter;
        if (!Letter(letters[i], key, letter)) return false;
        if (out.FindLetter(letter.letter) != nullptr) {
          return Fail(key + ".letter", "reprend la lettre d'un autre volume");
        }
        out.letters.push_back(std::move(letter));
      }
    }
    if (root.contains("free_bytes") && !root["free_bytes"].is_null()) {
      std::uint64_t free = 0;
      if (!Unsigned(root["free_bytes"], "free_bytes", UINT64_MAX, free)) return false;
      out.freeBytes = free;
    }
    return true;
  }

 private:
  std::string& error_;
};

}  // namespace

bool TouchesRange(const std::vector<SectorRange>& ranges, std::uint64_t firstSector,
                  std::uint64_t lastSector) {
  for (const SectorRange& range : ranges) {
    if (range.count == 0) continue;
    // The range's last sector, without overflow.
    const std::uint64_t rangeLast =
        range.count - 1 > UINT64_MAX - range.first ? UINT64_MAX : range.first + (range.count - 1);
    if (firstSector <= rangeLast && range.first <= lastSector) return true;
  }
  return false;
}

const DiskDescription* MachineDescription::FindDisk(int number) const {
  for (const DiskDescription& disk : disks) {
    if (disk.number == number) return &disk;
  }
  return nullptr;
}

const LetterDescription* MachineDescription::FindLetter(char letter) const {
  for (const LetterDescription& entry : letters) {
    if (entry.letter == letter) return &entry;
  }
  return nullptr;
}

bool ParseMachineDescription(const std::string& text, MachineDescription& machine,
                             std::string& error) {
  try {
    Json root;
    try {
      root = Json::parse(text);
    } catch (const Json::parse_error& parseError) {
      error =
          "Description de machine invalide (machine.json) : ce n'est pas du JSON valide "
          "(octet " +
          std::to_string(parseError.byte) + ").";
      return false;
    }
    MachineDescription parsed;
    Reader reader(error);
    if (!reader.Machine(root, parsed)) return false;
    machine = std::move(parsed);
    return true;
  } catch (const std::exception&) {
    error = "Description de machine invalide (machine.json) : lecture impossible.";
    return false;
  }
}

}  // namespace kalvorin::device::sim
