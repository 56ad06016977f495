// The copy job over the simulated machine: to an image file, to a disk with
// the boot-signature guard, and its failures.
#include <filesystem>
#include <fstream>

#include "jobs/JobFixture.h"
#include "jobs/Jobs.h"
#include "media/Text.h"

namespace kalvorin::test {
namespace {

using jobs::CopierSupport;

constexpr const char* kEnd = "\nFin du traitement -> le 5/3/2025 \xE0 9:7\n";

std::vector<std::uint8_t> Pattern(std::size_t sectors, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(sectors * 512);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(seed + i / 512);
  return bytes;
}

class Copy : public JobTest {
 protected:
  // Source disk 1 of 4096 sectors with a pattern and a boot signature in
  // sectors 0 and 2048; target disk 2 of 8192 sectors filled with 0xEE.
  void StartTwoDisks() {
    machine.AddDisk(1, 4096);
    machine.AddDisk(2, 8192);
    Start();
    source = Pattern(4096, 1);
    for (std::size_t boot : {0u, 2048u}) {
      source[boot * 512 + 510] = 0x55;
      source[boot * 512 + 511] = 0xAA;
    }
    ASSERT_TRUE(demo::WriteAt(machine.ImagePath(1), 0, source));
    Fill(2, 0, 8192, 0xEE);
  }
  std::vector<std::uint8_t> SourceSectors(std::uint64_t first, std::uint64_t count) const {
    return {source.begin() + first * 512, source.begin() + (first + count) * 512};
  }

  std::vector<std::uint8_t> source;
};

TEST_F(Copy, ToANewImageFileThatGrowsFromItsFirstTargetSector) {
  machine.AddDisk(1, 4096).ReadFault(1300, 1);  // a failed block, then a refresh
  Start();
  const auto bytes = Pattern(4096, 7);
  ASSERT_TRUE(demo::WriteAt(machine.ImagePath(1), 0, bytes));
  const std::string imagePath = dir.file("copie.img");
  std::ofstream(imagePath) << std::string(100'000, 'x');  // an existing file is replaced
  media::listeSupport disk = Disk(1, 4096);
  media::listeSupport image = Image(imagePath);
  std::vector<std::uintmax_t> sizes;
  window.ignoreErrors = true;
  window.onProcessEvents = [&] { sizes.push_back(std::filesystem::file_size(imagePath)); };
  CopierSupport(*context, disk, image, 1000, 300, 1536);

  EXPECT_EQ(platform->opens[1].disposition, device::Disposition::CreateAlways);
  ASSERT_EQ(sizes.size(), 2u);  // after the failed block, before the full last block
  EXPECT_EQ(sizes[0], (300 + 128 * 2) * 512u);
  EXPECT_EQ(sizes[1], (300 + 1536 - 128) * 512u);
  const auto copied = demo::ReadAt(imagePath, 0, 10'000'000);
  ASSERT_EQ(copied.size(), (300 + 1536) * 512u);
  std::vector<std::uint8_t> expected(copied.size(), 0);  // the first 300 sectors read as zeros
  std::copy(bytes.begin() + 1000 * 512, bytes.begin() + 2536 * 512, expected.begin() + 300 * 512);
  std::fill(expected.begin() + (300 + 256) * 512, expected.begin() + (300 + 384) * 512, 0);
  EXPECT_EQ(copied, expected);
  // No confirmation, no zeroing, no rescan: only the save question.
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_TRUE(RescanLog().empty());
  EXPECT_EQ(ReportBytes(), std::string("Titre du secteur 1000 au secteur 2536\n\n") +
                               "Lecture du support au secteur 1256 impossible.\n" + kEnd);
  EXPECT_EQ(window.saveDialogNames.at(0), "Copie - DATA01 - 5-3-2025_9h7min");
}

TEST_F(Copy, ABlockWhoseReadFailedIsNotWritten) {
  StartTwoDisks();
  machine.Disk(1).ReadFault(300, 1);
  std::string error;
  ASSERT_TRUE(machine.Write(error)) << error;
  platform->injections[DiskPath(1)].shortReads = {640 * 512};  // a short read fails too
  window.ignoreErrors = true;
  media::listeSupport from = Disk(1, 4096);
  media::listeSupport to = Disk(2, 8192, "CIBLE");
  CopierSupport(*context, from, to, 0, 4096, 1024);

  EXPECT_EQ(ReportBytes(), std::string("Titre du secteur 0 au secteur 1024\n\n") +
                               "Lecture du support au secteur 256 impossible.\n"
                               "Lecture du support au secteur 640 impossible.\n" +
                               kEnd);
  EXPECT_TRUE(AllAre(2, 4096 + 256, 128, 0xEE));
  EXPECT_TRUE(AllAre(2, 4096 + 640, 128, 0xEE));
  EXPECT_EQ(Sectors(2, 4096 + 768, 128), SourceSectors(768, 128));  // the data read again
  EXPECT_EQ(Sectors(2, 4096, 256), SourceSectors(0, 256));
}

TEST_F(Copy, ToADiskConfirmsZeroesItsPartitionAreaAndRescans) {
  StartTwoDisks();
  media::listeSupport from = Disk(1, 4096);
  media::listeSupport to = Disk(2, 8192, "CIBLE");
  CopierSupport(*context, from, to, 0, 2048, 1024);
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(
      window.messages[0].text,
      "Toutes les données du support N°2 - CIBLE seront inaccessibles.\rVoulez-vous continuer ?");
  EXPECT_EQ(window.messages[0].style, 0x1034u);
  EXPECT_EQ(RescanLog().size(), 1u);
  EXPECT_TRUE(AllAre(2, 0, 128, 0));  // no guard: sector 0 stays zero
  EXPECT_TRUE(AllAre(2, 128, 1920, 0xEE));
  EXPECT_EQ(Sectors(2, 2048, 1024), SourceSectors(0, 1024));
  EXPECT_TRUE(AllAre(2, 3072, 5120, 0xEE));
  EXPECT_EQ(platform->opens[0].access, device::Access::Read);
  EXPECT_EQ(platform->opens[1].disposition, device::Disposition::OpenExisting);
}

TEST_F(Copy, TheBootSignatureIsGuardedDuringTheCopyAndRestoredAfter) {
  struct Case {
    const char* name;
    std::uint64_t firstSource;
    bool stopAtRefresh;
    std::deque<int> answers;  // confirmation, error box...
  } cases[] = {
      {"completed", 0, false, {}},
      {"a volume at 2048", 2048, false, {}},
      {"stopped", 0, true, {}},
      {"ended by No", 0, false, {device::kIdYes, device::kIdNo}},
  };
  StartTwoDisks();
  machine.Disk(1).ReadFault(300, 1).ReadFault(2048 + 300, 1);  // a failed block, then a refresh
  std::string error;
  ASSERT_TRUE(machine.Write(error)) << error;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fill(2, 0, 8192, 0xEE);
    window = ScriptedWindow{};
    window.answers = c.answers;
    std::vector<std::uint8_t> duringSector0;
    window.onProcessEvents = [&] {
      duringSector0 = Sectors(2, 0, 1);
      if (c.stopAtRefresh) window.StopJob();
    };
    window.onMessageBox = [&](const RecordedMessage& m) {
      if (m.caption == "ID1 - ERREUR DISQUE") duringSector0 = Sectors(2, 0, 1);
    };
    media::listeSupport from = Disk(1, 4096);
    media::listeSupport to = Disk(2, 8192, "CIBLE");
    CopierSupport(*context, from, to, c.firstSource, 0, 1024);

    ASSERT_EQ(duringSector0.size(), 512u);
    EXPECT_EQ(duringSector0[510], 0x55);
    EXPECT_EQ(duringSector0[511], 0xBB);
    EXPECT_EQ(Sectors(2, 0, 1), SourceSectors(c.firstSource, 1));
  }
}

TEST_F(Copy, AFirstSectorThatCannotBePutBackIsToldAndReported) {
  StartTwoDisks();
  platform->injections[DiskPath(2)].failedWriteSizes = {512};
  media::listeSupport from = Disk(1, 4096);
  media::listeSupport to = Disk(2, 8192, "CIBLE");
  CopierSupport(*context, from, to, 0, 0, 1024);
  ASSERT_EQ(window.messages.size(), 3u);
  const std::string message = "Restauration du secteur 0 du support cible N°2 - CIBLE impossible.";
  EXPECT_EQ(window.messages[1].text, message);
  EXPECT_EQ(window.messages[1].caption, "ERREUR support cible");
  EXPECT_EQ(window.messages[1].style, 0x1010u);
  EXPECT_EQ(ReportBytes(), "Titre du secteur 0 au secteur 1024\n\n" +
                               media::Utf8ToLatin1Truncated(message) + "\n" + kEnd);
  EXPECT_EQ(Sectors(2, 0, 1)[511], 0xBB);
}

TEST_F(Copy, AFailedFlushOfTheTargetIsToldAndReported) {
  machine.AddDisk(1, 512);
  Start();
  const std::string imagePath = dir.file("copie.img");
  platform->injections[imagePath].closeFails = true;
  media::listeSupport disk = Disk(1, 512);
  media::listeSupport image = Image(imagePath);
  CopierSupport(*context, disk, image, 0, 0, 512);
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_NE(window.messages[0].text.find(imagePath), std::string::npos);
  EXPECT_EQ(window.messages[0].caption, "ERREUR support cible");
  EXPECT_NE(ReportBytes().find("impossible \xE0 la fermeture"), std::string::npos);
}

TEST_F(Copy, NoToTheConfirmationWritesNothingAndAsksNothingMore) {
  StartTwoDisks();
  std::ofstream(ReportPath()) << "ancien";
  window.answers = {device::kIdNo};
  media::listeSupport from = Disk(1, 4096);
  media::listeSupport to = Disk(2, 8192, "CIBLE");
  CopierSupport(*context, from, to, 0, 0, 1024);
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_TRUE(AllAre(2, 0, 8192, 0xEE));
  EXPECT_EQ(Transfers(DiskPath(2)), (std::vector<FileOp>{{'C', 0, 0}}));
  EXPECT_EQ(Transfers(DiskPath(1)), (std::vector<FileOp>{{'C', 0, 0}}));
  EXPECT_EQ(ReportBytes(), "ancien");
  EXPECT_TRUE(RescanLog().empty());
}

TEST_F(Copy, MediaThatDoNotOpenEndTheJob) {
  machine.AddDisk(1, 256);
  machine.AddDisk(2, 256).opens = false;
  Start();
  struct Case {
    int from, to;
    const char* text;
    const char* caption;
  } cases[] = {
      {2, 1, "Ouverture du support source impossible.", "ERREUR support source"},
      {1, 2, "Ouverture du support cible impossible.", "ERREUR support cible"},
  };
  for (const Case& c : cases) {
    window = ScriptedWindow{};
    media::listeSupport from = Disk(c.from, 256);
    media::listeSupport to = Disk(c.to, 256);
    CopierSupport(*context, from, to, 0, 0, 256);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, c.text);
    EXPECT_EQ(window.messages[0].caption, c.caption);
    EXPECT_EQ(window.messages[0].style, 0x30u);
    EXPECT_EQ(from.HandleSupport, nullptr);
    EXPECT_FALSE(std::filesystem::exists(ReportPath()));
  }
}

TEST_F(Copy, TheProgramDiskIsNeverATarget) {
  StartTwoDisks();
  context->NumDisqueProgramme = 2;
  media::listeSupport from = Disk(1, 4096);
  media::listeSupport to = Disk(2, 8192);
  CopierSupport(*context, from, to, 0, 0, 1024);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_TRUE(platform->opens.empty());
  EXPECT_TRUE(AllAre(2, 0, 8192, 0xEE));
}

TEST_F(Copy, AnImageSourceNamesTheSavedReportAfterItsFile) {
  const std::string sourcePath = dir.file("source.img");
  ASSERT_TRUE(demo::CreateSparseImage(sourcePath, 300));
  Start();
  context->LibelleSource = "images/disque.img";
  media::listeSupport from = Image(sourcePath);
  media::listeSupport to = Image(dir.file("copie.img"));
  CopierSupport(*context, from, to, 0, 0, 300);
  EXPECT_EQ(window.saveDialogNames.at(0), "Copie - disque - 5-3-2025_9h7min");
  EXPECT_EQ(std::filesystem::file_size(dir.file("copie.img")), 300 * 512u);
}

}  // namespace
}  // namespace kalvorin::test
