// A simulated machine for detection tests: disks are sparse image files that
// the test fills with the image builders before detection reads them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "device/sim/SimPlatform.h"
#include "device/sim/demo/MachineBuilder.h"
#include "media/Records.h"
#include "support/ScriptedWindow.h"
#include "support/TempDir.h"

namespace kalvorin::test {

class DetectFixture : public ::testing::Test {
 protected:
  TempDir dir;
  demo::MachineBuilder machine{dir.path().string()};
  std::unique_ptr<device::Platform> platform;
  ScriptedWindow window;
  media::InSupport identity;

  // Adds disk `number` and writes machine.json with its (empty) image.
  demo::MachineDisk& AddDisk(int number, std::uint64_t sectors) {
    auto& disk = machine.AddDisk(number, sectors);
    Commit();
    return disk;
  }
  // Writes machine.json again (after faults were added) and (re)starts the
  // simulated platform.
  void Commit() {
    std::string error;
    ASSERT_TRUE(machine.Write(error)) << error;
    platform = device::CreateSimulatedPlatform(machine.folder(), error);
    ASSERT_TRUE(platform) << error;
  }
  std::string Image(int number) const { return machine.ImagePath(number); }

  // The record of disk `number` as a whole, as the list refresh makes it.
  media::listeSupport DiskNode(int number, std::uint64_t sectors) const {
    media::listeSupport node;
    node.NumDisque = number;
    node.TypeSupport = media::kPhysical;
    node.Libelle = "Disque " + std::to_string(number);
    node.FirstSct = 0;
    node.NBSct = sectors;
    node.NBSctDisque = sectors;
    return node;
  }
  // A volume of disk `number`: the extent [first, first + count).
  media::listeSupport VolumeNode(int number, std::uint64_t diskSectors, std::uint64_t first,
                                 std::uint64_t count) const {
    media::listeSupport node = DiskNode(number, diskSectors);
    node.Libelle = "Inconnu";
    node.FirstSct = first;
    node.NBSct = count;
    return node;
  }

  std::string ReadErrorText(const std::string& libelle, std::uint64_t sector) const {
    return "Erreur Lecture Support " + libelle + " au Secteur " + std::to_string(sector);
  }
};

}  // namespace kalvorin::test
