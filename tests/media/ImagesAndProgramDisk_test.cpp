// Image sources and the program's own disk, over the simulated machine.
#include <gtest/gtest.h>

#include <fstream>

#include "SimMachine.h"
#include "detect/VolumeNodes.h"
#include "device/WindowsLayouts.h"
#include "device/sim/demo/PartitionBuilders.h"

namespace kalvorin::media {
namespace {

std::string MakeFile(const test::TempDir& dir, const std::string& name, std::size_t bytes) {
  const std::string path = dir.file(name);
  std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
  return path;
}

TEST(AddImage, CountsWholeSectorsOfTheFile) {
  struct Case {
    std::size_t bytes;
    std::uint64_t sectors;
  };
  const Case cases[] = {{1048576, 2048}, {1000, 1}, {511, 0}};
  for (const auto& c : cases) {
    test::SimMachine sim;
    ASSERT_TRUE(sim.Refresh());
    const std::string path = MakeFile(sim.dir, "disque.img", c.bytes);
    ASSERT_TRUE(AddImage(*sim.platform, sim.state, path));
    ASSERT_TRUE(sim.state.GroupeImages);
    const auto images = sim.Records(*sim.state.NoeudImages);
    ASSERT_EQ(images.size(), 1u);
    const listeSupport& image = *images[0];
    EXPECT_EQ(image.TypeSupport, kImage);
    EXPECT_EQ(image.TypeVolume, 1);
    EXPECT_EQ(image.CheminImage, path);
#ifdef _WIN32
    EXPECT_EQ(image.Libelle, path.substr(3));  // "C:\" dropped
#else
    EXPECT_EQ(image.Libelle, path.substr(1));  // the leading "/" dropped
#endif
    EXPECT_EQ(image.NumSerie, "Image Disque");
    EXPECT_EQ(image.FirstSct, 0u);
    EXPECT_EQ(image.NBSct, c.sectors) << c.bytes;
    EXPECT_EQ(image.NBSctDisque, c.sectors) << c.bytes;
  }
}

TEST(AddImage, ImagesShareOneHeaderUntilTheNextRefresh) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 2048);
  ASSERT_TRUE(sim.Refresh());
  const std::string first = MakeFile(sim.dir, "a.img", 512);
  const std::string second = MakeFile(sim.dir, "b.img", 1024);
  ASSERT_TRUE(AddImage(*sim.platform, sim.state, first));
  ASSERT_TRUE(AddImage(*sim.platform, sim.state, second));
  ASSERT_TRUE(AddImage(*sim.platform, sim.state, first));

  const auto& top = sim.state.tree.TopLevel();
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[0]->record->Libelle, "Support(s) connecté(s)");
  EXPECT_EQ(top[1].get(), sim.state.NoeudImages);
  EXPECT_EQ(top[1]->record->Libelle, "Image(s) connecté(s)");
  EXPECT_EQ(top[1]->record->TypeSupport, kGroupHeader);
  EXPECT_TRUE(top[1]->expanded);
  std::vector<std::string> paths;
  for (const auto* image : sim.Records(*top[1])) paths.push_back(image->CheminImage);
  EXPECT_EQ(paths, (std::vector<std::string>{first, second, first}));

  ASSERT_TRUE(sim.Refresh());
  EXPECT_EQ(sim.state.tree.TopLevel().size(), 1u);
  EXPECT_FALSE(sim.state.GroupeImages);
  EXPECT_EQ(sim.state.NoeudImages, nullptr);

  ASSERT_TRUE(AddImage(*sim.platform, sim.state, second));
  ASSERT_EQ(sim.state.tree.TopLevel().size(), 2u);
  EXPECT_EQ(sim.Records(*sim.state.NoeudImages).size(), 1u);
}

TEST(AddImage, AFileThatDoesNotOpenChangesNothing) {
  test::SimMachine sim;
  ASSERT_TRUE(sim.Refresh());
  EXPECT_FALSE(AddImage(*sim.platform, sim.state, sim.dir.file("absent.img")));
  EXPECT_FALSE(sim.state.GroupeImages);
  EXPECT_EQ(sim.state.tree.TopLevel().size(), 1u);
  EXPECT_TRUE(sim.window.messages.empty());
}

// The simulated machine, except that every file it opens cannot tell its size.
class SizelessFiles : public device::Platform {
 public:
  explicit SizelessFiles(device::Platform& inner) : inner_(inner) {}
  std::unique_ptr<device::File> Open(const std::string& path, device::Access access,
                                     device::Share share,
                                     device::Disposition disposition) override {
    auto file = inner_.Open(path, access, share, disposition);
    return file ? std::make_unique<SizelessFile>(std::move(file)) : nullptr;
  }
  int DriveType(char letter) override { return inner_.DriveType(letter); }
  std::optional<std::string> VolumeLabel(char letter) override {
    return inner_.VolumeLabel(letter);
  }
  std::optional<std::uint64_t> FreeBytes(const std::string& path) override {
    return inner_.FreeBytes(path);
  }
  bool MoveFile(const std::string& from, const std::string& to) override {
    return inner_.MoveFile(from, to);
  }
  bool DeleteFile(const std::string& path) override { return inner_.DeleteFile(path); }
  int RunCommand(const std::string& line) override { return inner_.RunCommand(line); }
  std::vector<device::WmiObject> QueryWmi(const std::string& selection) override {
    return inner_.QueryWmi(selection);
  }
  std::string ProgramPath() override { return inner_.ProgramPath(); }
  std::string ProgramVolumePath() override { return inner_.ProgramVolumePath(); }
  device::LocalTime Now() override { return inner_.Now(); }
  std::uint64_t MonotonicMilliseconds() override { return inner_.MonotonicMilliseconds(); }
  std::string FormatLongTime(int h, int m, int s) override {
    return inner_.FormatLongTime(h, m, s);
  }

 private:
  class SizelessFile : public device::File {
   public:
    explicit SizelessFile(std::unique_ptr<device::File> inner) : inner_(std::move(inner)) {}
    bool Seek(std::uint64_t offset) override { return inner_->Seek(offset); }
    bool Read(void* b, std::uint32_t n, std::uint32_t& t) override { return inner_->Read(b, n, t); }
    bool Write(const void* b, std::uint32_t n, std::uint32_t& t) override {
      return inner_->Write(b, n, t);
    }
    bool Size(std::uint64_t&) override { return false; }
    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t& returned) override {
      return inner_->DeviceIoControl(code, in, inSize, out, outSize, returned);
    }
    bool ReadUncached(std::uint64_t offset, void* b, std::uint32_t n) override {
      return inner_->ReadUncached(offset, b, n);
    }
    void AdviseSequential(std::uint64_t o, std::uint64_t n) override {
      inner_->AdviseSequential(o, n);
    }
    void AdviseWillNeed(std::uint64_t o, std::uint64_t n) override { inner_->AdviseWillNeed(o, n); }
    bool Close() override { return inner_->Close(); }

   private:
    std::unique_ptr<device::File> inner_;
  };
  device::Platform& inner_;
};

TEST(AddImage, AFileWithoutASizeAddsNoNode) {
  test::SimMachine sim;
  ASSERT_TRUE(sim.Refresh());
  SizelessFiles platform(*sim.platform);
  EXPECT_FALSE(AddImage(platform, sim.state, MakeFile(sim.dir, "a.img", 4096)));
  EXPECT_FALSE(sim.state.GroupeImages);
  EXPECT_EQ(sim.state.tree.TopLevel().size(), 1u);
}

TEST(ImageLabel, DropsTheDriveOrServerPrefix) {
  struct Case {
    std::string path;
    std::string label;
  };
  const Case cases[] = {
      {"C:\\images\\disque.img", "images\\disque.img"},
      {"D:/copies/usb.img", "copies/usb.img"},
      {"\\\\serveur\\partage\\disque.img", "erveur\\partage\\disque.img"},
      {"//serveur/partage/disque.img", "erveur/partage/disque.img"},
      {"/home/tech/disque.img", "home/tech/disque.img"},
      {"É:\\x.img", "x.img"},  // characters, not bytes
      {"C:", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ImageLabel(c.path), c.label) << c.path;
}

TEST(ToggleVolumeDetection, OnThenOffRemovesVolumeAndImageNodes) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 8192);
  ASSERT_TRUE(sim.Write());
  ASSERT_TRUE(demo::WriteTableSector(sim.machine.ImagePath(1), 0,
                                     {{0x83, 2048, 1024}, {0x07, 4096, 1024}}));
  ASSERT_TRUE(sim.Refresh());
  EXPECT_TRUE(sim.DiskNode(1).children.empty());

  detect::ToggleVolumeDetection(*sim.platform, sim.window, sim.state);
  EXPECT_TRUE(sim.state.DetectionVolumes);
  EXPECT_EQ(sim.DiskNode(1).children.size(), 2u);
  ASSERT_TRUE(AddImage(*sim.platform, sim.state, MakeFile(sim.dir, "a.img", 4096)));

  detect::ToggleVolumeDetection(*sim.platform, sim.window, sim.state);
  EXPECT_FALSE(sim.state.DetectionVolumes);
  EXPECT_TRUE(sim.DiskNode(1).children.empty());
  EXPECT_EQ(sim.state.tree.TopLevel().size(), 1u);
  EXPECT_FALSE(sim.state.GroupeImages);
}

TEST(FindProgramDisk, TakesTheDiskOfTheProgramsVolume) {
  test::SimMachine sim;
  sim.machine.SetProgramDisk(3);
  ASSERT_TRUE(sim.Write());
  sim.state.NumDisqueProgramme = 0;
  FindProgramDisk(*sim.platform, sim.window, sim.state);
  EXPECT_EQ(sim.state.NumDisqueProgramme, 3);
  EXPECT_TRUE(sim.window.messages.empty());
  const std::string program = sim.platform->ProgramPath();
  EXPECT_EQ(sim.state.CheminProgramme, program.substr(0, program.find_last_of("/\\") + 1));
  ASSERT_FALSE(sim.state.CheminProgramme.empty());
  EXPECT_NE(std::string("/\\").find(sim.state.CheminProgramme.back()), std::string::npos);
}

TEST(FindProgramDisk, KeepsDiskZeroHiddenWhenTheExtentsAreUnknown) {
  test::SimMachine failing;
  failing.machine.SetProgramDiskFails();
  ASSERT_TRUE(failing.Write());
  FindProgramDisk(*failing.platform, failing.window, failing.state);
  EXPECT_EQ(failing.state.NumDisqueProgramme, 0);
  ASSERT_EQ(failing.window.messages.size(), 1u);
  EXPECT_EQ(failing.window.messages[0].text,
            "IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS failed for drive");
  EXPECT_EQ(failing.window.messages[0].caption, "ERREUR");
  EXPECT_EQ(failing.window.messages[0].style, device::kMbTaskModal | device::kMbIconError);

  test::SimMachine unopened;
  unopened.machine.ClearProgramDisk();
  ASSERT_TRUE(unopened.Write());
  FindProgramDisk(*unopened.platform, unopened.window, unopened.state);
  EXPECT_EQ(unopened.state.NumDisqueProgramme, 0);
  EXPECT_TRUE(unopened.window.messages.empty());
}

}  // namespace
}  // namespace kalvorin::media
