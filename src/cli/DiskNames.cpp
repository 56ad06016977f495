#include "cli/DiskNames.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace kalvorin::cli {

namespace {

constexpr std::string_view kSerialPrefix = " S/N : ";

bool SameText(std::string_view a, std::string_view b, bool ignoreCase) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (ignoreCase ? std::tolower(x) != std::tolower(y) : x != y) return false;
  }
  return true;
}

bool LooksLikePath(const std::string& name) {
  return name.find('/') != std::string::npos || name.find('\\') != std::string::npos;
}

// A device path with its links resolved (/dev/disk/by-id/... names the
// disk's own node); Windows device paths are compared as typed.
std::string Resolved(const std::string& path) {
  if (path.rfind("\\\\", 0) == 0) return path;
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

bool SamePath(const std::string& typed, const std::string& device) {
  if (device.empty()) return false;
  if (typed.rfind("\\\\", 0) == 0 || device.rfind("\\\\", 0) == 0) {
    return SameText(typed, device, true);
  }
  return Resolved(typed) == Resolved(device);
}

std::optional<int> DiskNumber(const std::string& name) {
  int number = -1;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (error != std::errc() || end != name.data() + name.size() || number < 0) return std::nullopt;
  return number;
}

}  // namespace

std::optional<std::vector<int>> DiskNumbersAtPath(device::Platform& platform,
                                                  const std::string& name) {
  if (!LooksLikePath(name)) return std::nullopt;
  std::vector<int> numbers;
  for (const device::AttachedDisk& disk : platform.AttachedDisks()) {
    if (SamePath(name, disk.devicePath)) numbers.push_back(disk.number);
  }
  return numbers;
}

std::vector<media::MediaNode*> DiskNodes(const media::MediaState& state) {
  std::vector<media::MediaNode*> disks;
  for (const auto& group : state.tree.TopLevel()) {
    for (const auto& child : group->children) {
      if (child->record && child->record->TypeSupport == media::kPhysical) {
        disks.push_back(child.get());
      }
    }
  }
  return disks;
}

std::string SerialOf(const media::listeSupport& disk) {
  if (disk.NumSerie.rfind(kSerialPrefix, 0) != 0) return {};
  return disk.NumSerie.substr(kSerialPrefix.size());
}

NamedDisk FindDisk(device::Platform& platform, const media::MediaState& state,
                   const std::string& name) {
  NamedDisk found;
  if (name.empty()) {
    found.error = "Nom de support vide.";
    return found;
  }
  const std::optional<int> number = DiskNumber(name);
  const bool path = LooksLikePath(name);
  const std::vector<int> atPath = DiskNumbersAtPath(platform, name).value_or(std::vector<int>{});
  const auto isAtPath = [&atPath](int n) {
    return std::find(atPath.begin(), atPath.end(), n) != atPath.end();
  };
  std::vector<media::MediaNode*> matches;
  for (media::MediaNode* node : DiskNodes(state)) {
    const media::listeSupport& disk = *node->record;
    const std::string serial = SerialOf(disk);
    const bool byNumber = number && *number == disk.NumDisque;
    const bool byPath = isAtPath(disk.NumDisque);
    // A device path is never taken for a serial: resolving it must not need
    // every other disk's identity, and a disk whose serial reads like
    // another's path must not stand in for it.
    const bool bySerial = !path && !serial.empty() && SameText(serial, name, true);
    if (byNumber || byPath || bySerial) matches.push_back(node);
  }
  if (matches.size() == 1) {
    found.node = matches.front();
    return found;
  }
  if (matches.size() > 1) {
    std::string list;
    for (const media::MediaNode* node : matches) {
      list += (list.empty() ? "N°" : ", N°") + std::to_string(node->record->NumDisque);
    }
    found.error = "Nom de support ambigu : « " + name + " » désigne les supports " + list +
                  ". Le désigner par son numéro ou son chemin.";
    return found;
  }
  const int program = state.NumDisqueProgramme;
  if ((number && *number == program) || isAtPath(program)) {
    found.error = "Le support N°" + std::to_string(program) +
                  " contient le programme en cours d'exécution : il n'est pas proposé.";
    return found;
  }
  found.error = "Support inconnu : « " + name +
                " ». La commande « kalvorin-cli list » donne les supports connectés.";
  return found;
}

}  // namespace kalvorin::cli
