// The jobs over the kernel's block devices: loop devices the test attaches
// over its own images, a LinuxPlatform seen through a recording platform, and
// the rescan recorded but not run (the script would re-read the tables of
// every disk of the machine).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "device/linux/LinuxPlatform.h"
#include "jobs/JobFixture.h"
#include "jobs/Jobs.h"
#include "media/Identify.h"
#include "support/LoopDevice.h"

namespace kalvorin::test {

class LoopJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform.runCommands = false;
    context = std::make_unique<jobs::JobContext>(
        jobs::JobContext{platform, window, dir.path().string() + "/", "LOOP", -1});
  }
  // A loop device over `image`, or null with skipReason saying why.
  std::unique_ptr<LoopDevice> Attach(const std::string& image, LoopDevice::Options options = {}) {
    std::string whyNot;
    auto loop = LoopDevice::Attach(image, options, whyNot);
    if (!loop) skipReason = whyNot;
    return loop;
  }
  // The record a refresh makes of the disk behind `kernelName`; without an
  // identity (and with no sectors) when the disk cannot be identified.
  media::listeSupport Record(const std::string& kernelName, const std::string& label) {
    media::listeSupport record;
    const auto number = native.DiskNumberOf(kernelName);
    EXPECT_TRUE(number.has_value()) << kernelName << " has no disk number";
    record.NumDisque = number.value_or(-1);
    record.TypeSupport = media::kPhysical;
    record.Libelle = label;
    media::InSupport identity;
    if (media::IdentifyDisk(native, identity, record.NumDisque)) {
      record.Identite = media::IdentityOf(identity);
      record.NBSct = record.NBSctDisque = identity.NBSctDisque;
    }
    return record;
  }

  TempDir dir;
  device::linuxbackend::LinuxPlatform native;
  RecordingPlatform platform{native};
  ScriptedWindow window;
  std::unique_ptr<jobs::JobContext> context;
  std::string skipReason;
};

}  // namespace kalvorin::test
