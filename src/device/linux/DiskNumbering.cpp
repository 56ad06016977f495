#include "device/linux/DiskNumbering.h"

namespace kalvorin::device::linuxbackend {

void DiskNumbering::Update(const std::vector<WholeDisk>& disks) {
  std::array<bool, kMaxDiskNumbers> kept{};
  std::vector<const WholeDisk*> newcomers;
  for (const auto& disk : disks) {
    bool found = false;
    for (int n = 0; n < kMaxDiskNumbers; ++n) {
      if (slots_[n] && slots_[n]->identity == disk.identity) {
        slots_[n] = disk;  // flags such as read-only may have changed
        kept[n] = true;
        found = true;
        break;
      }
    }
    if (!found) newcomers.push_back(&disk);
  }
  for (int n = 0; n < kMaxDiskNumbers; ++n) {
    if (!kept[n]) slots_[n].reset();
  }
  int next = 0;
  for (const WholeDisk* disk : newcomers) {
    while (next < kMaxDiskNumbers && slots_[next]) ++next;
    if (next >= kMaxDiskNumbers) break;
    slots_[next] = *disk;
  }
}

const WholeDisk* DiskNumbering::Find(int number) const {
  if (number < 0 || number >= kMaxDiskNumbers || !slots_[number]) return nullptr;
  return &*slots_[number];
}

std::optional<int> DiskNumbering::NumberOf(const std::string& kernelName) const {
  for (int n = 0; n < kMaxDiskNumbers; ++n) {
    if (slots_[n] && slots_[n]->name == kernelName) return n;
  }
  return std::nullopt;
}

}  // namespace kalvorin::device::linuxbackend
