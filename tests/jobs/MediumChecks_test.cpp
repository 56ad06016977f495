// The checks a job makes on its media before it acts, over the simulated
// machine: the disk it opened is the disk that was listed, an image target is
// a file, the report is never written through a planted link; and a medium
// that disappears ends the job.
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include "jobs/BlockLoop.h"
#include "jobs/JobFixture.h"
#include "jobs/Jobs.h"
#include "jobs/MediumChecks.h"
#include "jobs/Messages.h"
#include "media/Text.h"

namespace kalvorin::test {
namespace {

namespace fs = std::filesystem;

class MediumChecks : public JobTest {};

// Between the refresh and the job another disk takes the number: the job
// opens it, sees it is not the disk listed, and ends before its confirmation.
TEST_F(MediumChecks, ADiskSwappedSinceTheRefreshIsRefusedBeforeItsConfirmation) {
  struct Case {
    const char* what;
    std::string serialAfter;
    std::uint64_t sectorsAfter;
    std::optional<std::uint64_t> sequenceBefore, sequenceAfter;
  } cases[] = {
      {"another serial", "SERIE-B", 4096, std::nullopt, std::nullopt},
      {"another capacity", "SERIE-A", 4224, std::nullopt, std::nullopt},
      {"same texts and size, another medium", "SERIE-A", 4096, 7, 8},
      {"a sequence number only now", "SERIE-A", 4096, std::nullopt, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    machine.AddDisk(1, 4096).Smart("DISQUE-A", "SERIE-A").diskseq = c.sequenceBefore;
    machine.AddDisk(2, 8192).Smart("DISQUE-C", "SERIE-C");
    Start();
    media::listeSupport disk = Disk(1, 4096, "DISQUE-A");
    media::listeSupport source = Disk(2, 8192, "DISQUE-C");
    ASSERT_TRUE(disk.Identite.has_value());

    auto& newcomer = machine.AddDisk(1, c.sectorsAfter).Smart("DISQUE-A", c.serialAfter);
    newcomer.image = "newcomer.img";
    newcomer.diskseq = c.sequenceAfter;
    std::string error;
    ASSERT_TRUE(machine.Write(error)) << error;
    Fill(1, 0, 128, 0x5A);

    for (int job = 0; job < 2; ++job) {
      window = ScriptedWindow{};
      if (job == 0) {
        jobs::FormaterSupport(*context, disk, 0, 4096);
      } else {
        jobs::CopierSupport(*context, source, disk, 0, 0, 1024);
      }
      ASSERT_EQ(window.messages.size(), 1u) << "no confirmation, no save question";
      EXPECT_EQ(window.messages[0].text,
                "Le support N°1 a changé depuis la dernière actualisation. Actualiser la liste "
                "des supports.");
      EXPECT_EQ(window.messages[0].caption,
                job == 0 ? "ERREUR support source" : "ERREUR support cible");
      EXPECT_EQ(window.messages[0].style, 0x30u);
      EXPECT_FALSE(disk.HandleSupport);
      EXPECT_FALSE(source.HandleSupport);
    }
    EXPECT_TRUE(AllAre(1, 0, 128, 0x5A));
    EXPECT_FALSE(fs::exists(ReportPath()));
    EXPECT_TRUE(RescanLog().empty());
    machine.RemoveDisk(1);
    machine.RemoveDisk(2);
  }
}

// The system holds the disk: a job that writes it says by what, before its
// confirmation; a check, which only reads, runs.
TEST_F(MediumChecks, ABusyDiskIsRefusedForWritingWithWhatHoldsIt) {
  machine.AddDisk(1, 4096).busy = {{"/mnt/donnees"}, {"md127"}};
  machine.AddDisk(2, 4096);
  Start();
  Fill(1, 0, 4096, 0x77);
  media::listeSupport disk = Disk(1, 4096, "DISQUE-A");
  media::listeSupport volume = Disk(1, 2048, "EXT4");
  volume.FirstSct = 2048;
  media::listeSupport source = Disk(2, 4096, "DISQUE-B");
  for (int job = 0; job < 3; ++job) {
    SCOPED_TRACE(job);
    window = ScriptedWindow{};
    if (job == 0) jobs::FormaterSupport(*context, disk, 0, 4096);
    if (job == 1) jobs::FormaterSupport(*context, volume, 2048, 2048);
    if (job == 2) jobs::CopierSupport(*context, source, disk, 0, 0, 4096);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              jobs::DiskBusyText(1, job == 1 ? "EXT4" : "DISQUE-A",
                                 device::DiskUse{{"/mnt/donnees"}, {"md127"}, false}));
    EXPECT_EQ(window.messages[0].caption,
              job == 2 ? "ERREUR support cible" : "ERREUR support source");
    EXPECT_FALSE(source.HandleSupport);
  }
  EXPECT_TRUE(AllAre(1, 0, 4096, 0x77));
  window = ScriptedWindow{};
  jobs::ControlerSupport(*context, disk, 0, 4096);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "Enregistrer le rapport ?");
}

TEST_F(MediumChecks, TheSameDiskListedAgainIsAcceptedAndARecordWithoutIdentityIsNot) {
  machine.AddDisk(1, 4096).Smart("DISQUE-A", "SERIE-A").diskseq = 3;
  Start();
  media::listeSupport disk = Disk(1, 4096, "DISQUE-A");
  jobs::ControlerSupport(*context, disk, 0, 4096);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "Enregistrer le rapport ?");

  window = ScriptedWindow{};
  disk.Identite.reset();
  jobs::ControlerSupport(*context, disk, 0, 4096);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_NE(window.messages[0].text.find("a changé"), std::string::npos);
}

// The device behind the source goes away during a check with "Ignorer les
// erreurs" ticked: one line for the disconnection, no line per remaining block.
TEST_F(MediumChecks, ADiskThatVanishesEndsTheJobAtOnce) {
  machine.AddDisk(1, 100'000).Vanish(1000);
  Start();
  window.ignoreErrors = true;
  media::listeSupport disk = Disk(1, 100'000, "DISQUE-A");
  jobs::ControlerSupport(*context, disk, 0, 100'000);

  // Found at the first block of the run of blocks whose transfer met the
  // unplugging.
  const std::uint64_t at = 1000 / jobs::kRunSectors * jobs::kRunSectors;
  const std::string gone = "Le support N°1 - DISQUE-A a été déconnecté au secteur " +
                           std::to_string(at) + " : le traitement est arrêté.";
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].text, gone);
  EXPECT_EQ(window.messages[0].caption, "ID1 - ERREUR DISQUE");
  EXPECT_EQ(window.messages[0].style, 0x1010u);
  EXPECT_EQ(window.messages[1].text, "Enregistrer le rapport ?");
  EXPECT_EQ(ReportBytes(), "Titre du secteur 0 au secteur 100000\n\n" +
                               media::Utf8ToLatin1Truncated(gone) +
                               "\n\nFin du traitement -> le 5/3/2025 \xE0 9:7\n");
  // Nothing was tried after the block that found the disk gone.
  const auto transfers = Transfers(DiskPath(1));
  ASSERT_GE(transfers.size(), 2u);
  EXPECT_EQ(transfers[transfers.size() - 2].offset, at * 512);
  EXPECT_EQ(transfers.back().kind, 'C');
  EXPECT_EQ(window.processEventsCalls, 0);
}

TEST_F(MediumChecks, AVanishingTargetEndsTheCopyAndAVanishingDiskTheErase) {
  machine.AddDisk(1, 8192);
  machine.AddDisk(2, 8192).Vanish(4000);
  Start();
  media::listeSupport source = Disk(1, 8192, "SOURCE");
  media::listeSupport target = Disk(2, 8192, "CIBLE");
  jobs::CopierSupport(*context, source, target, 0, 0, 8192);
  const std::uint64_t at = 4000 / jobs::kRunSectors * jobs::kRunSectors;
  const std::string copyGone = "Le support N°2 - CIBLE a été déconnecté au secteur " +
                               std::to_string(at) + " : le traitement est arrêté.";
  ASSERT_EQ(window.messages.size(), 3u);  // confirmation, disconnection, save question
  EXPECT_EQ(window.messages[1].text, copyGone);
  EXPECT_EQ(window.messages[1].caption, "ID1 - ERREUR DISQUE");
  EXPECT_NE(ReportBytes().find(media::Utf8ToLatin1Truncated(copyGone) + "\n\n"), std::string::npos);

  window = ScriptedWindow{};
  media::listeSupport erased = Disk(2, 8192, "CIBLE");
  jobs::FormaterSupport(*context, erased, 0, 8192);
  ASSERT_EQ(window.messages.size(), 3u);  // confirmation, disconnection (no flush failure), save
  EXPECT_NE(window.messages[1].text.find("déconnecté au secteur " + std::to_string(at)),
            std::string::npos);
}

TEST_F(MediumChecks, AnImageTargetMustBeANewPathOrARegularFile) {
  const fs::path base = dir.path();
  const std::string source = base.string() + "/source.img";
  ASSERT_TRUE(demo::CreateSparseImage(source, 64));
  ASSERT_TRUE(demo::CreateSparseImage((base / "old.img").string(), 8));
  fs::create_directory(base / "folder");
  media::listeSupport image = Image(source);
  media::listeSupport disk;
  disk.TypeSupport = media::kPhysical;
  disk.NumDisque = 1;

  struct Case {
    std::string path;
    bool accepted;
  } cases[] = {
      {(base / "new.img").string(), true},
      {(base / "old.img").string(), true},
      {(base / "folder").string(), false},
      {"\\\\.\\PHYSICALDRIVE1", false},
      {"//./PhysicalDrive1", false},
      {"\\\\?\\GLOBALROOT\\Device\\Harddisk1", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(!jobs::ImageTargetRefusal(disk, c.path).has_value(), c.accepted);
  }
  EXPECT_EQ(jobs::ImageTargetRefusal(image, (base / "folder" / ".." / "source.img").string()),
            jobs::kImageTargetIsSource);
  EXPECT_EQ(*jobs::ImageTargetRefusal(disk, (base / "folder").string()),
            "La cible « " + (base / "folder").string() +
                " » n'est pas un fichier : un périphérique, un dossier, un tube ou une socket ne "
                "peut pas recevoir l'image. Choisir un nouveau fichier.");
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((base / "fifo").c_str(), 0600), 0);
  fs::create_symlink(base / "folder", base / "to-folder");
  fs::create_symlink(base / "fifo", base / "to-fifo");
  fs::create_symlink(source, base / "to-source");
  fs::create_symlink(base / "old.img", base / "to-old");
  for (const char* name : {"fifo", "to-folder", "to-fifo"}) {
    EXPECT_TRUE(jobs::ImageTargetRefusal(disk, (base / name).string()).has_value()) << name;
  }
  EXPECT_FALSE(jobs::ImageTargetRefusal(disk, (base / "to-old").string()).has_value());
  EXPECT_EQ(jobs::ImageTargetRefusal(image, (base / "to-source").string()),
            jobs::kImageTargetIsSource);
#endif
}

TEST_F(MediumChecks, ACopyToAnImageTargetThatIsNotAFileOpensNothing) {
  machine.AddDisk(1, 4096);
  Start();
  fs::create_directory(dir.path() / "folder");
  media::listeSupport source = Disk(1, 4096);
  media::listeSupport target = Image((dir.path() / "folder").string());
  jobs::CopierSupport(*context, source, target, 0, 0, 4096);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].caption, "ERREUR support cible");
  EXPECT_EQ(window.messages[0].style, 0x1010u);
  EXPECT_TRUE(platform->opens.empty());
  EXPECT_FALSE(fs::exists(ReportPath()));
}

TEST(SameFile, NamesOfOneFileHoweverSpelled) {
  TempDir dir;
  const std::string image = dir.file("source.img");
  ASSERT_TRUE(demo::CreateSparseImage(image, 8));
  fs::create_directory(dir.path() / "sub");
  EXPECT_TRUE(jobs::SameFile(image, image));
  EXPECT_TRUE(jobs::SameFile(image, dir.file("sub/../source.img")));
  EXPECT_TRUE(jobs::SameFile(image, dir.file("./source.img")));
  EXPECT_FALSE(jobs::SameFile(image, dir.file("copy.img")));
  EXPECT_FALSE(jobs::SameFile(image, dir.file("sub/source.img")));
#ifndef _WIN32
  fs::create_symlink(image, dir.path() / "link.img");
  EXPECT_TRUE(jobs::SameFile(image, dir.file("link.img")));
#endif
}

#ifndef _WIN32
// "Rapport.txt" is written as administrator in the program's folder: a link
// planted under that name must not lead the report into another file.
TEST_F(MediumChecks, AReportLinkPlantedInTheProgramFolderIsNotFollowed) {
  machine.AddDisk(1, 1024);
  Start();
  const fs::path victim = dir.path() / "precious.txt";
  std::ofstream(victim) << "précieux";
  fs::create_symlink(victim, ReportPath());
  media::listeSupport disk = Disk(1, 1024);
  jobs::ControlerSupport(*context, disk, 0, 1024);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, jobs::ReportNotCreated(ReportPath()));
  std::ifstream in(victim);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "précieux");
  EXPECT_TRUE(fs::is_symlink(ReportPath()));
  // A stale report of an earlier job is replaced.
  fs::remove(ReportPath());
  std::ofstream(ReportPath()) << "ancien rapport";
  window = ScriptedWindow{};
  jobs::ControlerSupport(*context, disk, 0, 1024);
  EXPECT_EQ(ReportBytes().rfind("Titre du secteur 0 au secteur 1024", 0), 0u);
}
#endif

TEST(DiskBusyText, NamesWhatHoldsTheDisk) {
  struct Case {
    device::DiskUse use;
    std::string expected;
  } cases[] = {
      {{{"/mnt/data", "/home"}, {}, false},
       "Le support N°2 - DISQUE est utilisé : ses volumes sont montés sur /mnt/data, /home.\r"
       "Le traitement n'est pas lancé : démonter ses volumes puis recommencer."},
      {{{"/mnt/data"}, {"md127"}, false},
       "Le support N°2 - DISQUE est utilisé : ses volumes sont montés sur /mnt/data, et le "
       "système s'en sert (md127).\rLe traitement n'est pas lancé : démonter ses volumes puis "
       "recommencer."},
      {{{}, {"dm-0", "swap /dev/sdb2"}, false},
       "Le support N°2 - DISQUE est utilisé par le système (dm-0, swap /dev/sdb2).\r"
       "Le traitement n'est pas lancé."},
      {{{}, {}, true},
       "Le support N°2 - DISQUE est utilisé par un autre programme.\rLe traitement n'est pas "
       "lancé."},
  };
  for (const Case& c : cases) EXPECT_EQ(jobs::DiskBusyText(2, "DISQUE", c.use), c.expected);
}

}  // namespace
}  // namespace kalvorin::test
