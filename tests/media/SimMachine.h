// A simulated machine in a temporary folder, with the window state and a
// scripted window, for the media tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "detect/VolumeNodes.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/MachineBuilder.h"
#include "media/MediaState.h"
#include "media/Refresh.h"
#include "support/ScriptedWindow.h"
#include "support/TempDir.h"

namespace kalvorin::test {

struct SimMachine {
  TempDir dir;
  demo::MachineBuilder machine{dir.path().string()};
  ScriptedWindow window;
  media::MediaState state;
  std::unique_ptr<device::Platform> platform;

  // Writes the description (images and machine.json); false, with a test
  // failure, when that or the platform fails.
  bool Write() {
    std::string error;
    if (!machine.Write(error)) {
      ADD_FAILURE() << "machine: " << error;
      return false;
    }
    if (!platform) platform = device::CreateSimulatedPlatform(machine.folder(), error);
    if (!platform) ADD_FAILURE() << "platform: " << error;
    return platform != nullptr;
  }
  bool Refresh() {
    if (!Write()) return false;
    media::RefreshMediaList(*platform, window, state, detect::AddVolumeNodes);
    return true;
  }

  // The supports group header (first top-level node).
  media::MediaNode& Supports() const { return *state.tree.TopLevel().at(0); }
  std::vector<media::listeSupport*> Records(const media::MediaNode& parent) const {
    std::vector<media::listeSupport*> records;
    for (const auto& child : parent.children) records.push_back(child->record.get());
    return records;
  }
  std::vector<int> DiskNumbers() const {
    std::vector<int> numbers;
    for (const auto* disk : Records(Supports())) numbers.push_back(disk->NumDisque);
    return numbers;
  }
  media::listeSupport& DiskRecord(int n) const {
    for (auto* disk : Records(Supports())) {
      if (disk->NumDisque == n) return *disk;
    }
    throw std::runtime_error("disk " + std::to_string(n) + " not listed");
  }
  media::MediaNode& DiskNode(int n) const {
    for (const auto& child : Supports().children) {
      if (child->record->NumDisque == n) return *child;
    }
    throw std::runtime_error("disk " + std::to_string(n) + " not listed");
  }
};

}  // namespace kalvorin::test
