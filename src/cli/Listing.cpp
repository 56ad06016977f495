#include "cli/Listing.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli/DiskNames.h"
#include "cli/JsonOutput.h"
#include "cli/Options.h"

namespace kalvorin::cli {

namespace {

// Rows of text, each column as wide as its widest cell (in characters).
class Table {
 public:
  void Row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
  void Print(std::ostream& out, const std::string& indent) const {
    std::vector<std::size_t> widths;
    for (const auto& row : rows_) {
      widths.resize(std::max(widths.size(), row.size()), 0);
      for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));
    }
    for (const auto& row : rows_) {
      std::string line = indent;
      for (std::size_t i = 0; i < row.size(); ++i) {
        line += row[i];
        if (i + 1 < row.size()) line += std::string(widths[i] - Width(row[i]) + 2, ' ');
      }
      out << line << '\n';
    }
  }

 private:
  static std::size_t Width(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
  }
  std::vector<std::vector<std::string>> rows_;
};

bool IsDock(const media::MediaState& state, const media::listeSupport& disk) {
  return disk.TypeInterface == "USB" && disk.IdUSB == state.IdUSBDock;
}

// "1000,2 Go" (10^9 bytes), as disk makers count.
std::string Capacity(std::uint64_t sectors) {
  const double gigabytes = static_cast<double>(sectors) * 512.0 / 1e9;
  char text[64];
  std::snprintf(text, sizeof text, "%.1f Go", gigabytes);
  std::string shown = text;
  std::replace(shown.begin(), shown.end(), '.', ',');
  return shown;
}

// The serial column: the serial number, or the dock's text.
std::string SerialColumn(const media::MediaState& state, const media::listeSupport& disk) {
  return IsDock(state, disk) ? disk.NumSerie : SerialOf(disk);
}

Json DiskJson(device::Platform& platform, const media::MediaState& state,
              const media::listeSupport& disk) {
  return Json{{"numero", disk.NumDisque},
              {"modele", disk.Libelle},
              {"numero_serie", SerialOf(disk)},
              {"texte_serie", disk.NumSerie},
              {"dock", IsDock(state, disk)},
              {"interface", disk.TypeInterface},
              {"secteurs", disk.NBSctDisque},
              {"octets", disk.NBSctDisque <= UINT64_MAX / 512 ? disk.NBSctDisque * 512 : 0},
              {"chemin", platform.DiskDevicePath(disk.NumDisque)}};
}

Json VolumeJson(int index, const media::listeSupport& volume) {
  return Json{{"volume", index},
              {"libelle", volume.Libelle},
              {"details", volume.NumSerie},
              {"type_volume", volume.TypeVolume},
              {"premier_secteur", volume.FirstSct},
              {"nombre_secteurs", volume.NBSct}};
}

}  // namespace

void PrintDisks(Console& console, device::Platform& platform, const media::MediaState& state,
                bool json) {
  const std::vector<media::MediaNode*> disks = DiskNodes(state);
  if (json) {
    Json list = Json::array();
    for (const media::MediaNode* node : disks)
      list.push_back(DiskJson(platform, state, *node->record));
    WriteJsonLine(console.Out(),
                  Json{{"disque_programme", state.NumDisqueProgramme}, {"supports", list}});
    return;
  }
  if (disks.empty()) {
    console.Out() << "Aucun support connecté (le support du programme n'est pas affiché).\n";
    return;
  }
  Table table;
  table.Row({"N°", "Modèle", "N° Série", "Interface", "Secteurs", "Capacité", "Chemin"});
  for (const media::MediaNode* node : disks) {
    const media::listeSupport& disk = *node->record;
    table.Row({std::to_string(disk.NumDisque), disk.Libelle, SerialColumn(state, disk),
               disk.TypeInterface, std::to_string(disk.NBSctDisque), Capacity(disk.NBSctDisque),
               platform.DiskDevicePath(disk.NumDisque)});
  }
  table.Print(console.Out(), "");
}

int PrintVolumes(Console& console, device::Platform& platform, const media::MediaState& state,
                 const std::string& disk, bool json) {
  std::vector<media::MediaNode*> disks;
  if (disk.empty()) {
    disks = DiskNodes(state);
  } else {
    const NamedDisk named = FindDisk(platform, state, disk);
    if (named.node == nullptr) {
      console.Err() << "kalvorin-cli : " << named.error << '\n';
      return kStatusRefused;
    }
    disks.push_back(named.node);
  }
  if (json) {
    Json list = Json::array();
    for (const media::MediaNode* node : disks) {
      Json entry = DiskJson(platform, state, *node->record);
      Json volumes = Json::array();
      int index = 0;
      for (const auto& child : node->children)
        volumes.push_back(VolumeJson(++index, *child->record));
      entry["volumes"] = volumes;
      list.push_back(entry);
    }
    WriteJsonLine(console.Out(), Json{{"supports", list}});
    return kStatusDone;
  }
  bool firstDisk = true;
  for (const media::MediaNode* node : disks) {
    const media::listeSupport& record = *node->record;
    if (!firstDisk) console.Out() << '\n';
    firstDisk = false;
    console.Out() << "Support N°" << record.NumDisque << " - " << record.Libelle << record.NumSerie
                  << " (" << platform.DiskDevicePath(record.NumDisque) << ")\n";
    if (node->children.empty()) {
      console.Out() << "  Aucun volume détecté.\n";
      continue;
    }
    Table table;
    table.Row({"Volume", "Libellé", "N° Série / Volume Logique", "1er Secteur", "Nb Secteurs"});
    int index = 0;
    for (const auto& child : node->children) {
      const media::listeSupport& volume = *child->record;
      table.Row({std::to_string(++index), volume.Libelle, volume.NumSerie,
                 std::to_string(volume.FirstSct), std::to_string(volume.NBSct)});
    }
    table.Print(console.Out(), "  ");
  }
  return kStatusDone;
}

}  // namespace kalvorin::cli
