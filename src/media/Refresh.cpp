#include "media/Refresh.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "device/WindowsLayouts.h"
#include "media/Identify.h"
#include "media/LetterMap.h"
#include "media/Text.h"

namespace kalvorin::media {
namespace {

namespace dl = device;

constexpr std::size_t kUsbIdLength = 6;

// Up to `count` characters of a UTF-8 text from byte `from`, never cutting
// a character in two.
std::string Characters(const std::string& text, std::size_t from, std::size_t count) {
  std::size_t end = from;
  for (std::size_t taken = 0; end < text.size() && taken < count; ++taken) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return text.substr(from, end - from);
}

// Drops the first `count` characters of a UTF-8 text.
std::string DropCharacters(const std::string& text, std::size_t count) {
  return text.substr(Characters(text, 0, count).size());
}

// The six characters after the last backslash of a PNP device ID: the
// start of a USB disk's serial number.
std::string UsbId(const std::string& pnpDeviceId) {
  const auto slash = pnpDeviceId.rfind('\\');
  return Characters(pnpDeviceId, slash == std::string::npos ? 0 : slash + 1, kUsbIdLength);
}

std::unique_ptr<listeSupport> GroupHeader(const std::string& label) {
  auto header = std::make_unique<listeSupport>();
  header->Libelle = label;
  header->TypeSupport = kGroupHeader;
  header->TypeVolume = 0;
  return header;
}

std::unique_ptr<listeSupport> DiskRecord(const InSupport& identity, int n, MediaState& state) {
  auto disk = std::make_unique<listeSupport>();
  disk->NumDisque = n;
  disk->Libelle = AnsiToUtf8(identity.Modele);
  if (!identity.NoSerie.empty()) disk->NumSerie = " S/N : " + AnsiToUtf8(identity.NoSerie);
  disk->TypeInterface = identity.TypeInterface;
  if (disk->TypeInterface == "USB") {
    disk->IdUSB = UsbId(identity.PNPDeviceID);
    if (disk->IdUSB == state.IdUSBDock) {
      state.NumDisqueDock = n;
      disk->NumSerie = "DOCK For MORVESTANIX (Protégé en écriture)";
    }
  }
  disk->TypeVolume = 0;
  disk->TypeSupport = kPhysical;
  disk->FirstSct = 0;
  disk->NBSct = identity.NBSctDisque;
  disk->NBSctDisque = identity.NBSctDisque;
  disk->Identite = IdentityOf(identity);
  return disk;
}

}  // namespace

void RefreshMediaList(device::Platform& platform, WindowPort& window, MediaState& state,
                      VolumeNodesStep addVolumeNodes) {
  // Only the numbers a disk may answer to are tried: opening every other
  // one would cost each refresh its time for nothing.
  std::vector<int> numbers;
  for (const device::AttachedDisk& disk : platform.AttachedDisks()) numbers.push_back(disk.number);
  RefreshNamedDisks(platform, window, state, addVolumeNodes, std::move(numbers));
}

void RefreshNamedDisks(device::Platform& platform, WindowPort& window, MediaState& state,
                       VolumeNodesStep addVolumeNodes, std::vector<int> numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

  InSupport identity;
  Utilitaires letters;
  if (state.DetectionVolumes) BuildLetterMap(platform, letters);

  state.tree.Clear();
  state.GroupeImages = false;
  state.NoeudImages = nullptr;

  MediaNode* supports = state.tree.Add(nullptr, GroupHeader("Support(s) connecté(s)"));
  for (const int n : numbers) {
    if (n < 0 || n >= kMaxDisks || n == state.NumDisqueProgramme) continue;
    if (!IdentifyDisk(platform, identity, n)) continue;
    MediaNode* diskNode = state.tree.Add(supports, DiskRecord(identity, n, state));
    if (identity.NBSctDisque != 0 && state.DetectionVolumes && addVolumeNodes) {
      addVolumeNodes(platform, window, identity, letters, state.tree, *diskNode);
    }
  }
  MediaTree::ExpandAll(supports);
}

void FindProgramDisk(device::Platform& platform, WindowPort& window, MediaState& state) {
  const std::string program = platform.ProgramPath();
  const auto separator = program.find_last_of("/\\");
  state.CheminProgramme = separator == std::string::npos ? "" : program.substr(0, separator + 1);

  auto volume = platform.Open(platform.ProgramVolumePath(), dl::Access::Inspect,
                              dl::Share::ReadWrite, dl::Disposition::OpenExisting);
  if (!volume) return;
  std::array<std::uint8_t, 1024> answer{};
  std::uint32_t returned = 0;
  constexpr std::size_t kOneExtent = dl::disk_extents::kFirstExtent + dl::disk_extents::kExtentSize;
  const bool answered =
      volume->DeviceIoControl(dl::kIoctlVolumeGetVolumeDiskExtents, nullptr, 0, answer.data(),
                              static_cast<std::uint32_t>(answer.size()), returned);
  volume->Close();
  // Without an extent the program's disk is unknown: NumDisqueProgramme
  // keeps its value (0 at start-up, the usual system disk) rather than
  // becoming "none", which would offer the program's own disk for erasing.
  if (!answered || returned < kOneExtent || dl::GetU32(&answer[dl::disk_extents::kCount]) == 0) {
    window.MessageBox("IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS failed for drive", "ERREUR",
                      dl::kMbTaskModal | dl::kMbIconError);
    return;
  }
  state.NumDisqueProgramme = static_cast<std::int32_t>(
      dl::GetU32(&answer[dl::disk_extents::kFirstExtent + dl::disk_extents::kDiskNumber]));
}

std::string ImageLabel(const std::string& path) {
  if (!path.empty() && path[0] == '/' && (path.size() < 2 || path[1] != '/')) {
    return path.substr(1);
  }
  return DropCharacters(path, 3);
}

bool AddImage(device::Platform& platform, MediaState& state, const std::string& path) {
  auto file = platform.Open(path, dl::Access::Read, dl::Share::Read, dl::Disposition::OpenExisting);
  if (!file) return false;
  std::uint64_t bytes = 0;
  const bool sized = file->Size(bytes);
  file->Close();
  // A file whose size cannot be read would only give a node of no sectors.
  if (!sized) return false;

  if (!state.GroupeImages) {
    state.NoeudImages = state.tree.Add(nullptr, GroupHeader("Image(s) connecté(s)"));
    state.GroupeImages = true;
  }
  auto image = std::make_unique<listeSupport>();
  image->TypeSupport = kImage;
  image->TypeVolume = kVolumeUnknown;
  image->CheminImage = path;
  image->Libelle = ImageLabel(path);
  image->NumSerie = "Image Disque";
  image->FirstSct = 0;
  image->NBSct = bytes / kSectorSize;
  image->NBSctDisque = image->NBSct;
  state.tree.Add(state.NoeudImages, std::move(image));
  MediaTree::ExpandAll(state.NoeudImages);
  return true;
}

}  // namespace kalvorin::media
