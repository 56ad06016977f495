// The integrity check over the simulated machine: the block walk, the
// refresh, the error policy, stopping, the report and the save step.
#include <filesystem>
#include <fstream>

#include "jobs/JobFixture.h"
#include "jobs/Jobs.h"
#include "jobs/Messages.h"

namespace kalvorin::test {
namespace {

using jobs::ControlerSupport;

constexpr const char* kEnd = "\nFin du traitement -> le 5/3/2025 \xE0 9:7\n";

class Check : public JobTest {};

// Blocks between which nothing happens are read as one request of up to 16
// blocks; a request never spans a refresh, so the refreshes, the stop button
// and the report stay those of single blocks.
TEST_F(Check, ReadsTheRangeInRunsOfBlocksCutAtEachRefresh) {
  struct Case {
    std::uint64_t first, count;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> someReads;  // (sector, sectors)
    std::size_t reads;
    std::vector<int> progress;
  } cases[] = {
      {700, 0, {}, 0, {}},
      {700, 300, {{700, 300}}, 1, {}},  // 128 + 128 + 44: the short last block needs no refresh
      // 62 runs of 16 blocks and one of 8 up to the refresh at 129 000, then 128 + 72.
      {1000,
       128'200,
       {{1000, 2048}, {127'976, 1024}, {129'000, 200}},
       64,
       {100 * 128'000 / 128'200}},
      // The whole last block is read alone, after its refresh.
      {1000, 256'000, {{129'000, 2048}, {256'872, 128}}, 127, {50, 99}},
  };
  machine.AddDisk(1, 300'000);
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    window = ScriptedWindow{};
    platform->ops.clear();
    media::listeSupport disk = Disk(1, 300'000);
    ControlerSupport(*context, disk, c.first, c.count);

    const auto transfers = Transfers(DiskPath(1));
    ASSERT_EQ(transfers.size(), 2 * c.reads + 1);
    EXPECT_EQ(transfers.back().kind, 'C');
    std::uint64_t next = c.first * 512;  // one seek and one read per request, tiling the range
    for (std::size_t i = 0; i < c.reads; ++i) {
      ASSERT_EQ(transfers[2 * i], (FileOp{'S', next, 0}));
      ASSERT_EQ(transfers[2 * i + 1].kind, 'R');
      ASSERT_EQ(transfers[2 * i + 1].offset, next);
      ASSERT_LE(transfers[2 * i + 1].bytes, 16u * 65536);
      next += transfers[2 * i + 1].bytes;
    }
    EXPECT_EQ(next, (c.first + c.count) * 512);
    for (const auto& [p, n] : c.someReads) {
      EXPECT_NE(std::find(transfers.begin(), transfers.end(), FileOp{'R', p * 512, n * 512}),
                transfers.end());
    }
    EXPECT_EQ(window.progress, c.progress);
    EXPECT_EQ(window.processEventsCalls, static_cast<int>(c.progress.size()));
    EXPECT_EQ(ReportBytes(), "Titre du secteur " + std::to_string(c.first) + " au secteur " +
                                 std::to_string(c.first + c.count) + "\n\n" + kEnd);
    ASSERT_EQ(window.messages.size(), 1u);  // the save question
    EXPECT_EQ(window.messages[0].text, "Enregistrer le rapport ?");
    EXPECT_EQ(window.messages[0].caption, "Traitement terminé");
    EXPECT_EQ(window.messages[0].style, 0x1024u);
  }
}

TEST_F(Check, RefreshShowsPositionSpeedAndEnd) {
  machine.AddDisk(1, 300'000);
  Start();
  platform->monotonicStep = 10'000;  // ten seconds between two clock readings
  media::listeSupport disk = Disk(1, 300'000);
  ControlerSupport(*context, disk, 1000, 256'000);
  EXPECT_EQ(window.statusTexts,
            (std::vector<std::string>{"Sct 129000 / 257000 - 6 Mo/seconde - fin à : 09:07:20",
                                      "Sct 256872 / 257000 - 6 Mo/seconde - fin à : 09:07:20"}));
}

TEST_F(Check, OpensTheDiskOfAVolumeReadOnly) {
  machine.AddDisk(3, 8192);
  Start();
  media::listeSupport volume = Disk(3, 4096, "EXT4");
  volume.FirstSct = 2048;
  ControlerSupport(*context, volume, 2048, 4096);
  ASSERT_EQ(platform->opens.size(), 1u);
  EXPECT_EQ(platform->opens[0].path, "\\\\.\\PHYSICALDRIVE3");
  EXPECT_EQ(platform->opens[0].access, device::Access::Read);
  const auto& ops = platform->ops[DiskPath(3)];
  ASSERT_GE(ops.size(), 2u);
  EXPECT_EQ(ops[0], (FileOp{'S', 2048 * 512, 0}));
  EXPECT_EQ(volume.HandleSupport, nullptr);
}

TEST_F(Check, ErrorPolicyFollowsTheBoxAndTheAnswer) {
  struct Case {
    bool ignore;
    std::deque<int> answers;  // to the error boxes, then the save question
    int errorBoxes;
    std::string reportBody;
    std::vector<std::string> status;  // after each failed block, and before the full last one
  } cases[] = {
      {true,
       {},
       0,
       "Lecture du support au secteur 256 impossible.\n"
       "Lecture du support au secteur 640 impossible.\n",
       {"Sct 384", "Sct 768", "Sct 896"}},
      {false,
       {device::kIdYes, device::kIdYes},
       2,
       "Lecture du support au secteur 256 impossible.\n"
       "Lecture du support au secteur 640 impossible.\n",
       {"Sct 384", "Sct 768", "Sct 896"}},
      {false,
       {device::kIdNo},
       1,
       "Lecture du support au secteur 256 impossible.\n"
       "Arr\xEAt du traitement au secteur 256\n",
       {}},
  };
  machine.AddDisk(2, 1024).ReadFault(300, 1).ReadFault(700, 3);
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.errorBoxes);
    window = ScriptedWindow{};
    window.ignoreErrors = c.ignore;
    window.answers = c.answers;
    media::listeSupport disk = Disk(2, 1024);
    ControlerSupport(*context, disk, 0, 1024);

    EXPECT_EQ(ReportBytes(), "Titre du secteur 0 au secteur 1024\n\n" + c.reportBody + kEnd);
    ASSERT_EQ(window.messages.size(), static_cast<std::size_t>(c.errorBoxes) + 1);
    if (c.errorBoxes > 0) {
      EXPECT_EQ(window.messages[0].text,
                "Lecture du support au secteur 256 impossible.\n\rVoulez_vous continuer ?");
      EXPECT_EQ(window.messages[0].caption, "ID2 - ERREUR DISQUE");
      EXPECT_EQ(window.messages[0].style, 0x1014u);
    }
    EXPECT_EQ(window.messages.back().text, "Enregistrer le rapport ?");
    ASSERT_EQ(window.statusTexts.size(), c.status.size());
    for (std::size_t i = 0; i < c.status.size(); ++i) {
      EXPECT_EQ(window.statusTexts[i].rfind(c.status[i] + " / 1024 - ", 0), 0u);
    }
    EXPECT_EQ(window.running, c.answers.empty() || c.answers.front() != device::kIdNo);
  }
}

TEST_F(Check, TheBoxIsReadAtEachFailure) {
  machine.AddDisk(2, 1024).ReadFault(300, 1).ReadFault(700, 3);
  Start();
  window.onProcessEvents = [this] { window.ignoreErrors = true; };  // ticked after the first box
  media::listeSupport disk = Disk(2, 1024);
  ControlerSupport(*context, disk, 0, 1024);
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].text.rfind("Lecture du support au secteur 256", 0), 0u);
}

TEST_F(Check, TheStopButtonEndsTheLoopBeforeTheNextBlock) {
  machine.AddDisk(1, 300'000);
  Start();
  window.onProcessEvents = [this] { window.StopJob(); };
  media::listeSupport disk = Disk(1, 300'000);
  ControlerSupport(*context, disk, 0, 256'000);
  const auto transfers = Transfers(DiskPath(1));
  ASSERT_EQ(transfers.size(), 2 * 63 + 1);  // the blocks before the first refresh, in runs
  EXPECT_EQ(transfers[2 * 62 + 1], (FileOp{'R', 126'976 * 512, 1024 * 512}));
  EXPECT_EQ(ReportBytes(), std::string("Titre du secteur 0 au secteur 256000\n\n") + kEnd);
  EXPECT_EQ(window.messages.back().text, "Enregistrer le rapport ?");
}

TEST_F(Check, AFailedRunIsReadAgainBlockByBlock) {
  machine.AddDisk(1, 4096).ReadFault(600, 1);
  Start();
  window.ignoreErrors = true;
  media::listeSupport disk = Disk(1, 4096);
  ControlerSupport(*context, disk, 0, 4096);
  EXPECT_EQ(ReportBytes(), std::string("Titre du secteur 0 au secteur 4096\n\n") +
                               "Lecture du support au secteur 512 impossible.\n" + kEnd);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> reads;
  for (const FileOp& op : Transfers(DiskPath(1))) {
    if (op.kind == 'R') reads.emplace_back(op.offset / 512, op.bytes / 512);
  }
  // The failed run block by block to its end, runs again after it, and the
  // whole last block alone after its refresh.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> expected = {{0, 2048}};
  for (std::uint64_t p = 0; p < 2048; p += 128) expected.emplace_back(p, 128);
  expected.emplace_back(2048, 1920);
  expected.emplace_back(3968, 128);
  EXPECT_EQ(reads, expected);
}

TEST_F(Check, FaultsOfTheMachineFailTheirBlocks) {
  // A seek fails where a request starts: the range's start here.
  machine.AddDisk(1, 1024).ReadFault(1000, 1).SeekFault(128, 1);
  Start();
  window.ignoreErrors = true;
  media::listeSupport disk = Disk(1, 1024);
  ControlerSupport(*context, disk, 128, 896);
  EXPECT_EQ(ReportBytes(), std::string("Titre du secteur 128 au secteur 1024\n\n") +
                               "Positionnement du support au secteur 128 impossible.\n"
                               "Lecture du support au secteur 896 impossible.\n" +
                               kEnd);
}

TEST_F(Check, ReadingPastTheEndOfTheMediumIsAFailure) {
  machine.AddDisk(1, 200);
  Start();
  window.ignoreErrors = true;
  media::listeSupport disk = Disk(1, 200);
  ControlerSupport(*context, disk, 0, 400);
  EXPECT_EQ(ReportBytes(), std::string("Titre du secteur 0 au secteur 400\n\n") +
                               "Lecture du support au secteur 128 impossible.\n"
                               "Lecture du support au secteur 256 impossible.\n"
                               "Lecture du support au secteur 384 impossible.\n" +
                               kEnd);
}

TEST_F(Check, AMediumThatDoesNotOpenEndsTheJobAtOnce) {
  machine.AddDisk(1, 1024).opens = false;
  Start();
  std::ofstream(ReportPath()) << "ancien";
  media::listeSupport disk = Disk(1, 1024);
  ControlerSupport(*context, disk, 0, 1024);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "Ouverture du support source impossible.");
  EXPECT_EQ(window.messages[0].caption, "ERREUR support source");
  EXPECT_EQ(window.messages[0].style, 0x30u);
  EXPECT_EQ(ReportBytes(), "ancien");
}

TEST_F(Check, AReportThatCannotBeCreatedStopsTheJobBeforeItStarts) {
  machine.AddDisk(1, 1024);
  Start();
  context->CheminProgramme = dir.file("absent") + "/";
  media::listeSupport disk = Disk(1, 1024);
  ControlerSupport(*context, disk, 0, 1024);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_NE(window.messages[0].text.find(dir.file("absent") + "/Rapport.txt"), std::string::npos);
  EXPECT_NE(window.messages[0].text.find("ne peut pas être créé"), std::string::npos);
  EXPECT_EQ(Transfers(DiskPath(1)), (std::vector<FileOp>{{'C', 0, 0}}));
  EXPECT_EQ(disk.HandleSupport, nullptr);
}

TEST_F(Check, SaveStepMovesDeletesOrKeepsTheReport) {
  machine.AddDisk(1, 256);
  Start();
  const std::string chosen = dir.file("garde.txt");
  struct Case {
    int answer;
    std::optional<std::string> dialog;
    bool moveFails;
    bool reportStays, chosenHasReport;
    std::size_t messages;
  } cases[] = {
      {device::kIdYes, chosen, false, false, true, 1},  // replaces the file of that name
      {device::kIdYes, std::nullopt, false, true, false, 1},
      {device::kIdNo, std::nullopt, false, false, false, 1},
      {device::kIdYes, chosen, true, true, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messages + 10 * c.answer);
    std::ofstream(chosen, std::ios::trunc) << "ancien contenu";
    window = ScriptedWindow{};
    window.answers = {c.answer};
    window.saveAnswers = {c.dialog};
    platform->moveFails = c.moveFails;
    media::listeSupport disk = Disk(1, 256);
    ControlerSupport(*context, disk, 0, 256);

    EXPECT_EQ(std::filesystem::exists(ReportPath()), c.reportStays);
    const auto kept = demo::ReadAt(chosen, 0, 4096);
    EXPECT_EQ(std::string(kept.begin(), kept.end()),
              c.chosenHasReport ? "Titre du secteur 0 au secteur 256\n\n" + std::string(kEnd)
                                : "ancien contenu");
    ASSERT_EQ(window.messages.size(), c.messages);
    if (c.answer == device::kIdYes) {
      ASSERT_EQ(window.saveDialogNames.size(), 1u);
      EXPECT_EQ(window.saveDialogNames[0], "Contrôler - DATA01 - 5-3-2025_9h7min");
      EXPECT_EQ(window.saveDialogSpecs[0].title, "Sauvegarde du rapport du traitement effectué");
      EXPECT_EQ(window.saveDialogSpecs[0].filter, "Fichier texte|*.txt");
      EXPECT_EQ(window.saveDialogSpecs[0].defaultExtension, "txt");
    } else {
      EXPECT_TRUE(window.saveDialogNames.empty());
    }
    if (c.moveFails) {
      EXPECT_NE(window.messages[1].text.find(chosen), std::string::npos);
      EXPECT_NE(window.messages[1].text.find(context->CheminProgramme + "Rapport.txt"),
                std::string::npos);
    }
  }
}

// Installed, the program keeps its working report in a folder of its own,
// not beside its executable: the report is made there, and the save step
// moves, deletes or leaves it there exactly as it would beside the program.
TEST_F(Check, AnInstalledProgramsReportLivesInItsOwnFolder) {
  machine.AddDisk(1, 256);
  Start();
  const std::filesystem::path own = dir.path() / "etat";
  std::filesystem::create_directory(own);
  const std::string working = (own / "Rapport.txt").string();
  platform->reportFolder = device::Platform::ReportFolder{own.string() + "/", ""};
  const std::string chosen = dir.file("garde.txt");
  struct Case {
    int answer;
    std::optional<std::string> dialog;  // nullopt: the save dialog is cancelled
    bool reportStays, chosenHasReport;
  } cases[] = {
      {device::kIdYes, chosen, false, true},
      {device::kIdNo, std::nullopt, false, false},
      {device::kIdYes, std::nullopt, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer + 10 * c.dialog.has_value());
    std::filesystem::remove(chosen);
    window = ScriptedWindow{};
    window.answers = {c.answer};
    window.saveAnswers = {c.dialog};
    media::listeSupport disk = Disk(1, 256);
    ControlerSupport(*context, disk, 0, 256);

    EXPECT_EQ(platform->reportFolderQueries.back(), context->CheminProgramme);
    EXPECT_EQ(std::filesystem::exists(working), c.reportStays);
    EXPECT_EQ(std::filesystem::exists(chosen), c.chosenHasReport);
    EXPECT_FALSE(std::filesystem::exists(ReportPath()));
    ASSERT_EQ(window.messages.size(), 1u);  // the save question alone
  }
  const auto kept = demo::ReadAt(working, 0, 4096);
  EXPECT_EQ(std::string(kept.begin(), kept.end()),
            "Titre du secteur 0 au secteur 256\n\n" + std::string(kEnd));
}

TEST_F(Check, ARefusedReportFolderStopsTheJobBeforeItStarts) {
  machine.AddDisk(1, 256);
  Start();
  const std::string own = dir.file("etat") + "/";
  const std::string why = "Le dossier « " + dir.file("etat") + " » n'est pas un vrai dossier.";
  platform->reportFolder = device::Platform::ReportFolder{own, why};
  media::listeSupport disk = Disk(1, 256);
  ControlerSupport(*context, disk, 0, 256);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, jobs::ReportNotCreated(own + "Rapport.txt") + "\n" + why);
  EXPECT_EQ(window.messages[0].caption, jobs::kReportCaption);
  EXPECT_EQ(Transfers(DiskPath(1)), (std::vector<FileOp>{{'C', 0, 0}}));
  EXPECT_FALSE(std::filesystem::exists(own));
  EXPECT_FALSE(std::filesystem::exists(ReportPath()));
}

}  // namespace
}  // namespace kalvorin::test
