// The erase job over the simulated machine.
#include <filesystem>
#include <fstream>

#include "jobs/JobFixture.h"
#include "jobs/Jobs.h"
#include "media/Text.h"

namespace kalvorin::test {
namespace {

using jobs::FormaterSupport;

constexpr const char* kEnd = "\nFin du traitement -> le 5/3/2025 \xE0 9:7\n";

class Erase : public JobTest {};

TEST_F(Erase, AVolumeLosesItsRangeAndTheDiskItsPartitionArea) {
  machine.AddDisk(3, 8192);
  Start();
  Fill(3, 0, 8192, 0xA5);
  media::listeSupport volume = Disk(3, 4096, "EXT4");
  volume.FirstSct = 2048;
  FormaterSupport(*context, volume, 2048, 4096);

  ASSERT_GE(window.messages.size(), 1u);
  EXPECT_EQ(
      window.messages[0].text,
      "Toutes les données du support N°3 - EXT4 seront inaccessibles.\rVoulez-vous continuer ?");
  EXPECT_EQ(window.messages[0].caption, "Formater le support");
  EXPECT_EQ(window.messages[0].style, 0x1034u);
  EXPECT_TRUE(AllAre(3, 0, 128, 0));
  EXPECT_TRUE(AllAre(3, 128, 1920, 0xA5));
  EXPECT_TRUE(AllAre(3, 2048, 4096, 0));
  EXPECT_TRUE(AllAre(3, 6144, 2048, 0xA5));
  EXPECT_EQ(ReportBytes(), std::string("Titre du secteur 2048 au secteur 6144\n\n") + kEnd);
  EXPECT_EQ(RescanLog().size(), 1u);
  // The partition area, the rescan, then the range.
  const auto transfers = Transfers(DiskPath(3));
  ASSERT_GE(transfers.size(), 4u);
  EXPECT_EQ(transfers[1], (FileOp{'W', 0, 65536}));
  EXPECT_EQ(transfers[3], (FileOp{'W', 2048 * 512, 16 * 65536}));  // a run of 16 blocks
  EXPECT_EQ(platform->opens[0].access, device::Access::ReadWrite);
  ASSERT_EQ(window.saveDialogNames.size(), 1u);
  EXPECT_EQ(window.saveDialogNames[0], "Formater - DATA01 - 5-3-2025_9h7min");
}

TEST_F(Erase, AWholeDiskIsZeroedWithItsFirstBlockTwice) {
  machine.AddDisk(1, 1000);
  Start();
  Fill(1, 0, 1000, 0x11);
  media::listeSupport disk = Disk(1, 1000);
  FormaterSupport(*context, disk, 0, 1000);
  EXPECT_TRUE(AllAre(1, 0, 1000, 0));
  const auto transfers = Transfers(DiskPath(1));
  // The partition area, then the whole range as one run of 8 blocks.
  EXPECT_EQ(std::count(transfers.begin(), transfers.end(), FileOp{'W', 0, 65536}), 1);
  EXPECT_EQ(std::count(transfers.begin(), transfers.end(), FileOp{'W', 0, 1000 * 512}), 1);
  EXPECT_EQ(ReportBytes(), std::string("Titre du secteur 0 au secteur 1000\n\n") + kEnd);
}

TEST_F(Erase, NoToTheConfirmationWritesNothing) {
  machine.AddDisk(1, 1024);
  Start();
  Fill(1, 0, 1024, 0x22);
  std::ofstream(ReportPath()) << "ancien";
  window.answers = {device::kIdNo};
  media::listeSupport disk = Disk(1, 1024);
  FormaterSupport(*context, disk, 0, 1024);
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(Transfers(DiskPath(1)), (std::vector<FileOp>{{'C', 0, 0}}));
  EXPECT_TRUE(AllAre(1, 0, 1024, 0x22));
  EXPECT_EQ(ReportBytes(), "ancien");
  EXPECT_TRUE(RescanLog().empty());
  EXPECT_TRUE(window.saveDialogNames.empty());
}

TEST_F(Erase, WriteAndSeekFailuresAndShortWritesAreFailedBlocks) {
  machine.AddDisk(1, 1024).WriteFault(300, 1).SeekFault(512, 1);
  Start();
  platform->injections[DiskPath(1)].shortWrites = {768 * 512};
  window.ignoreErrors = true;
  media::listeSupport disk = Disk(1, 1024);
  FormaterSupport(*context, disk, 0, 1024);
  EXPECT_EQ(ReportBytes(), std::string("Titre du secteur 0 au secteur 1024\n\n") +
                               "Ecriture du support au secteur 256 impossible.\n"
                               "Positionnement du support au secteur 512 impossible.\n"
                               "Ecriture du support au secteur 768 impossible.\n" +
                               kEnd);
  // A failed write is not read again.
  for (const FileOp& op : platform->ops[DiskPath(1)]) EXPECT_NE(op.kind, 'U');
}

TEST_F(Erase, AFailedFlushIsAWriteFailureToldAndReported) {
  machine.AddDisk(1, 256);
  Start();
  platform->injections[DiskPath(1)].closeFails = true;
  media::listeSupport disk = Disk(1, 256, "USB");
  FormaterSupport(*context, disk, 0, 256);
  ASSERT_EQ(window.messages.size(), 3u);  // confirmation, flush failure, save question
  const std::string message = window.messages[1].text;
  EXPECT_EQ(message.rfind("Ecriture du support N°1 - USB impossible", 0), 0u);
  EXPECT_EQ(window.messages[1].caption, "ID1 - ERREUR DISQUE");
  EXPECT_EQ(window.messages[1].style, 0x1010u);
  EXPECT_EQ(ReportBytes(), "Titre du secteur 0 au secteur 256\n\n" +
                               std::string(media::Utf8ToLatin1Truncated(message)) + "\n" + kEnd);
}

TEST_F(Erase, TheProgramDiskIsNeverWritten) {
  machine.AddDisk(2, 256);
  Start();
  context->NumDisqueProgramme = 2;
  media::listeSupport disk = Disk(2, 256);
  FormaterSupport(*context, disk, 0, 256);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_NE(window.messages[0].text.find("N°2"), std::string::npos);
  EXPECT_TRUE(platform->opens.empty());
  EXPECT_FALSE(std::filesystem::exists(ReportPath()));
}

TEST_F(Erase, AReportThatCannotBeCreatedWritesNothing) {
  machine.AddDisk(1, 256);
  Start();
  Fill(1, 0, 256, 0x33);
  context->CheminProgramme = dir.file("absent") + "/";
  media::listeSupport disk = Disk(1, 256);
  FormaterSupport(*context, disk, 0, 256);
  ASSERT_EQ(window.messages.size(), 2u);  // confirmation, then the report message
  EXPECT_NE(window.messages[1].text.find("Rapport.txt"), std::string::npos);
  EXPECT_EQ(Transfers(DiskPath(1)), (std::vector<FileOp>{{'C', 0, 0}}));
  EXPECT_TRUE(AllAre(1, 0, 256, 0x33));
  EXPECT_TRUE(RescanLog().empty());
}

TEST_F(Erase, StoppedAtTheFirstRefreshTheRangeStartIsErased) {
  machine.AddDisk(1, 140'000);
  Start();
  Fill(1, 127'000, 13'000, 0x44);
  window.onProcessEvents = [this] { window.StopJob(); };
  media::listeSupport disk = Disk(1, 140'000);
  FormaterSupport(*context, disk, 0, 140'000);
  EXPECT_TRUE(AllAre(1, 127'000, 1000, 0));
  EXPECT_TRUE(AllAre(1, 128'000, 12'000, 0x44));
  EXPECT_EQ(window.messages.back().text, "Enregistrer le rapport ?");
}

}  // namespace
}  // namespace kalvorin::test
