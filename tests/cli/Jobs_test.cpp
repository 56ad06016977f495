// check, erase and copy from the command line over the simulated machine:
// the rules of the window, the questions on the terminal, the report, the
// JSON lines and the exit statuses.
#include <filesystem>

#include "cli/CliFixture.h"
#include "cli/JobCommand.h"
#include "cli/JsonSchema.h"
#include "cli/Options.h"
#include "media/Text.h"

namespace kalvorin::test {
namespace {

using cli::kStatusDone;
using cli::kStatusFailedBlocks;
using cli::kStatusRefused;
using cli::kStatusStopped;

const std::string kEndLinePrefix = "\nFin du traitement -> le ";

class Jobs : public CliTest {
 protected:
  // The report holds the header, then `middle`, then the end line.
  void ExpectReport(const std::string& title, std::uint64_t first, std::uint64_t end,
                    const std::string& middle) {
    const std::string text = Report();
    const std::string header = ReportHeader(title, first, end);
    ASSERT_EQ(text.substr(0, header.size()), header) << text;
    const std::size_t endLine = text.rfind(kEndLinePrefix);
    ASSERT_NE(endLine, std::string::npos) << text;
    EXPECT_EQ(text.substr(header.size(), endLine - header.size()), middle);
    EXPECT_EQ(text.back(), '\n');
  }
  void ExpectSchema() {
    const auto schema = LoadSchema("job-line.schema.json");
    for (const auto& line : JsonLines()) EXPECT_EQ(SchemaViolation(schema, line), "") << line;
  }
  bool AllZero(int disk, std::uint64_t first, std::uint64_t count) {
    const auto bytes = Sectors(disk, first, count);
    return bytes.size() == count * 512 &&
           std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
  }
};

TEST_F(Jobs, CheckWritesItsReportWhereAsked) {
  ASSERT_EQ(Run({"check", "2", "--rapport", report}), kStatusDone);
  ExpectReport("Contrôler l'intégrité du support N° 2 - NEXORA TEST-2", 0, kDiskSectors, "");
  EXPECT_EQ(console.out.str(), "Rapport : " + report + "\n");
  EXPECT_NE(console.err.str().find("sans bloc en échec"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(machine.folder()) / "Rapport.txt"));

  // The same with JSON lines: start, one progress line a second at most
  // (two refreshes, the clock moves 1 s a reading), end.
  std::filesystem::remove(report);
  console.step = 1000;
  ASSERT_EQ(Run({"check", "SER002", "--json", "--rapport", report}), kStatusDone);
  ExpectSchema();
  const auto lines = JsonLines();
  ASSERT_EQ(Events(), (std::vector<std::string>{"debut", "progression", "progression", "fin"}));
  EXPECT_EQ(lines[0]["commande"], "check");
  EXPECT_EQ(lines[0]["support"], 2);
  EXPECT_EQ(lines[0]["nombre_secteurs"], kDiskSectors);
  EXPECT_EQ(lines[0]["rapport"], report);
  EXPECT_EQ(lines[1]["secteur"], 128'000);
  EXPECT_EQ(lines[1]["pourcentage"], 42);
  EXPECT_EQ(lines[2]["secteur"], 256'000);
  EXPECT_EQ(lines[3]["statut"], 0);
  EXPECT_EQ(lines[3]["blocs_en_echec"], 0);
  EXPECT_EQ(lines[3]["arrete"], false);
  EXPECT_EQ(lines[3]["rapport"], report);

  // Two refreshes within a second give one progress line.
  std::filesystem::remove(report);
  console.step = 400;
  ASSERT_EQ(Run({"check", "2", "--json", "--rapport", report}), kStatusDone);
  EXPECT_EQ(Events(), (std::vector<std::string>{"debut", "progression", "fin"}));
}

TEST_F(Jobs, ProgressLineIsRedrawnAtMostFourTimesASecond) {
  machine.AddDisk(kPlain, 2'000'000);  // 15 refreshes
  console.errTerminal = true;
  console.step = 100;  // one refresh every 100 ms of the clock
  ASSERT_EQ(Run({"check", "2", "--rapport", report}), kStatusDone);
  const std::string err = console.err.str();
  const auto redraws = std::count(err.begin(), err.end(), '\r');
  EXPECT_GE(redraws, 4);
  EXPECT_LE(redraws, 6);  // 15 refreshes over 1.5 s of the clock
  EXPECT_NE(err.find("\r25 % - Sct 512000 / 2000000 - "), std::string::npos) << err;
  EXPECT_NE(err.find(" Mo/seconde - fin à : "), std::string::npos);
}

TEST_F(Jobs, AFailedBlockAsksOnTheTerminalAndIsNoWithoutOne) {
  machine.Disk(kPlain).ReadFault(1000, 1).ReadFault(200'000, 1);
  const std::string title = "Contrôler l'intégrité du support N° 2 - NEXORA TEST-2";
  const std::string first = "Lecture du support au secteur 896 impossible.\n";
  const std::string second = "Lecture du support au secteur 199936 impossible.\n";
  struct Case {
    const char* name;
    bool interactive;
    std::vector<std::string> extra;
    std::deque<std::string> answers;
    std::string middle;
    int failed;
  } cases[] = {
      {"no terminal: No", false, {}, {}, first + "Arrêt du traitement au secteur 896\n", 1},
      {"ignore errors", false, {"--ignorer-erreurs"}, {}, first + second, 2},
      {"answered o then n",
       true,
       {},
       {"o", "n"},
       first + second + "Arrêt du traitement au secteur 199936\n",
       2},
      {"input ends: No", true, {}, {}, first + "Arrêt du traitement au secteur 896\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(report);
    console.interactive = c.interactive;
    console.input = c.answers;
    std::vector<std::string> arguments{"check", "2", "--json", "--rapport", report};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    ASSERT_EQ(Run(arguments), kStatusFailedBlocks);
    ExpectSchema();
    ExpectReport(title, 0, kDiskSectors, media::Utf8ToLatin1Truncated(c.middle));
    const auto lines = JsonLines();
    EXPECT_EQ(lines.back()["blocs_en_echec"], c.failed);
    EXPECT_EQ(lines.back()["statut"], kStatusFailedBlocks);
    const auto events = Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "bloc_en_echec"), c.failed);
    if (c.interactive && !c.answers.empty()) {
      EXPECT_NE(console.err.str().find("Voulez_vous continuer ? (o/n) : "), std::string::npos);
    }
  }
}

TEST_F(Jobs, EraseIsConfirmedByTypingTheDisksNumber) {
  struct Case {
    const char* name;
    bool interactive;
    std::vector<std::string> extra;
    std::deque<std::string> answers;
    int status;
  } cases[] = {
      {"no terminal, no --oui", false, {}, {}, kStatusRefused},
      {"wrong number typed", true, {}, {"4"}, kStatusRefused},
      {"oui typed", true, {}, {"oui"}, kStatusRefused},
      {"input ends", true, {}, {}, kStatusRefused},
      {"number typed", true, {}, {" 2 "}, kStatusDone},
      {"--oui without terminal", false, {"--oui", "--json"}, {}, kStatusDone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(report);
    Fill(kPlain, 0, 200, 0xAB);
    Fill(kPlain, kDiskSectors - 10, 10, 0xAB);
    console.interactive = c.interactive;
    console.input = c.answers;
    std::vector<std::string> arguments{"erase", "\\\\.\\PHYSICALDRIVE2", "--rapport", report};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    ASSERT_EQ(Run(arguments), c.status) << console.err.str();
    if (c.status == kStatusRefused) {
      EXPECT_FALSE(AllZero(kPlain, 0, 1));
      EXPECT_FALSE(std::filesystem::exists(report));
      continue;
    }
    EXPECT_TRUE(AllZero(kPlain, 0, 200));
    EXPECT_TRUE(AllZero(kPlain, kDiskSectors - 10, 10));
    if (c.extra.size() == 2) {
      ExpectSchema();
      EXPECT_EQ(Events().front(), "debut");
      EXPECT_EQ(JsonLines().front()["commande"], "erase");
      EXPECT_EQ(JsonLines().back()["statut"], kStatusDone);
    }
    ExpectReport("Formater le support N° 2 - NEXORA TEST-2", 0, kDiskSectors, "");
  }
  // The Part's text was shown, then the prompt naming the number.
  console.interactive = true;
  console.input = {"x"};
  Run({"erase", "2", "--rapport", report + ".2"});
  EXPECT_NE(console.err.str().find("Toutes les données du support N°2 - NEXORA TEST-2 seront "
                                   "inaccessibles.\nVoulez-vous continuer ?"),
            std::string::npos)
      << console.err.str();
  EXPECT_NE(console.err.str().find("taper le numéro du support (2) : "), std::string::npos);
}

TEST_F(Jobs, EraseOfAVolumeNamesTheVolumeAndKeepsTheRest) {
  Fill(kTable, 1000, 1, 0xAB);     // between the table area and the volume
  Fill(kTable, 2100, 10, 0xCD);    // inside the volume, after its boot sector
  Fill(kTable, 102'048, 1, 0xEF);  // the next volume
  console.interactive = true;
  console.input = {"1"};
  ASSERT_EQ(Run({"erase", "1", "--volume", "1", "--rapport", report}), kStatusDone);
  EXPECT_NE(console.err.str().find("support N°1 - NTFS seront inaccessibles"), std::string::npos)
      << console.err.str();
  EXPECT_TRUE(AllZero(kTable, 0, 128));
  EXPECT_FALSE(AllZero(kTable, 1000, 1));
  EXPECT_TRUE(AllZero(kTable, 2048, 100));
  EXPECT_FALSE(AllZero(kTable, 102'048, 1));
  ExpectReport("Formater le support N° 1 - ORVANTA TEST-1", 2048, 102'048, "");
  EXPECT_EQ(ReadText(machine.folder() + "/rescan.log").empty(), false);

  EXPECT_EQ(Run({"check", "1", "--volume", "3", "--rapport", report + ".2"}), kStatusRefused);
  EXPECT_NE(console.err.str().find("n'a pas de volume 3"), std::string::npos);
}

TEST_F(Jobs, TheDockAndTheSourceItselfAreNeverWritten) {
  struct Case {
    std::vector<std::string> arguments;
    const char* message;
  } cases[] = {
      {{"erase", "3", "--oui"}, "Il est impossible de formater le support présent sur le DOCK."},
      {{"copy", "2", "--vers", "3", "--oui"}, "ne peut pas être la cible d'une copie"},
      {{"copy", "2", "--vers", "SER002", "--oui"}, "le support source lui-même"},
      {{"copy", "2", "--vers", "4", "--oui"},
       "Le nombre de secteurs du support cible est insuffisant."},
      {{"copy", "2", "--vers", "1", "--premier-secteur-cible", "1", "--oui"},
       "Le nombre de secteurs du support cible est insuffisant."},
      {{"copy", "2", "--vers", "1", "--nombre-secteurs", "1000"}, "demande l'option --oui"},
      {{"erase", "0", "--oui"}, "contient le programme"},
      // Named by their device paths, only the named disks are identified:
      // the same refusals hold.
      {{"erase", "\\\\.\\PHYSICALDRIVE3", "--oui"},
       "Il est impossible de formater le support présent sur le DOCK."},
      {{"copy", "\\\\.\\PHYSICALDRIVE2", "--vers", "\\\\.\\PHYSICALDRIVE3", "--oui"},
       "ne peut pas être la cible d'une copie"},
      {{"copy", "\\\\.\\PHYSICALDRIVE2", "--vers", "\\\\.\\physicaldrive2", "--oui"},
       "le support source lui-même"},
      {{"erase", "\\\\.\\PHYSICALDRIVE0", "--oui"}, "contient le programme"},
      {{"check", "\\\\.\\PHYSICALDRIVE7"}, "Support inconnu"},
      {{"check", "2", "--premier-secteur", "299999", "--nombre-secteurs", "2"},
       "dépasse la fin du support N°2"},
  };
  Fill(kDock, 0, 1, 0xAB);
  Fill(kPlain, 0, 1, 0xAB);
  Fill(kTable, 0, 1, 0xAB);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--json", "--rapport", report});
    ASSERT_EQ(Run(arguments), kStatusRefused);
    EXPECT_NE(console.err.str().find(c.message), std::string::npos) << console.err.str();
    ExpectSchema();
    ASSERT_EQ(Events(), std::vector<std::string>{"fin"});
    EXPECT_EQ(JsonLines()[0]["rapport"], nullptr);
    EXPECT_FALSE(std::filesystem::exists(report));
  }
  EXPECT_FALSE(AllZero(kDock, 0, 1));
  EXPECT_FALSE(AllZero(kPlain, 0, 1));
  EXPECT_FALSE(AllZero(kTable, 0, 1));
}

TEST_F(Jobs, CopyToADiskAndToAnImage) {
  Fill(kPlain, 500, 300, 0x5A);
  ASSERT_EQ(Run({"copy", "2", "--vers", "SER001", "--nombre-secteurs", "1000", "--oui", "--json",
                 "--rapport", report}),
            kStatusDone);
  ExpectSchema();
  EXPECT_EQ(JsonLines()[0]["cible"], 1);
  EXPECT_EQ(Sectors(kTable, 500, 300), Sectors(kPlain, 500, 300));
  ExpectReport("Copier le support N° 2 - NEXORA TEST-2", 0, 1000, "");

  const std::string image = (dir.path() / "copie.img").string();
  ASSERT_EQ(Run({"copy", "2", "--image", image, "--premier-secteur", "500", "--nombre-secteurs",
                 "300", "--premier-secteur-cible", "0", "--rapport", report + ".2"}),
            kStatusDone);
  EXPECT_EQ(demo::ReadAt(image, 0, 300 * 512), Sectors(kPlain, 500, 300));
  EXPECT_EQ(std::filesystem::file_size(image), 300u * 512);

  // An image that exists is replaced only when confirmed.
  EXPECT_EQ(Run({"copy", "2", "--image", image, "--rapport", report + ".3"}), kStatusRefused);
  EXPECT_EQ(std::filesystem::file_size(image), 300u * 512);
  console.interactive = true;
  console.input = {"o"};
  EXPECT_EQ(
      Run({"copy", "2", "--image", image, "--nombre-secteurs", "10", "--rapport", report + ".4"}),
      kStatusDone);
  EXPECT_EQ(std::filesystem::file_size(image), 10u * 512);
}

TEST_F(Jobs, TheDefaultReportNameIsUniqueInTheCurrentFolder) {
  const std::filesystem::path before = std::filesystem::current_path();
  const std::filesystem::path here = dir.path() / "ici";
  std::filesystem::create_directories(here);
  std::filesystem::current_path(here);
  const int first = Run({"check", "2", "--nombre-secteurs", "10"});
  const std::string out = console.out.str();
  const int second = Run({"check", "2", "--nombre-secteurs", "10", "--json"});
  const auto lines = JsonLines();
  std::filesystem::current_path(before);

  ASSERT_EQ(first, kStatusDone);
  ASSERT_EQ(second, kStatusDone);
  ASSERT_EQ(out.rfind("Rapport : Rapport-controle-2-", 0), 0u) << out;
  EXPECT_NE(out.find("-4711.txt\n"), std::string::npos) << out;
  const std::string name = out.substr(10, out.size() - 11);
  const std::string other = lines.back()["rapport"];
  EXPECT_NE(name, other);
  EXPECT_TRUE(std::filesystem::exists(here / name));
  EXPECT_TRUE(std::filesystem::exists(here / other));
  EXPECT_FALSE(std::filesystem::exists(here / "Rapport.txt"));

  // A report never replaces another.
  ASSERT_EQ(Run({"check", "2", "--rapport", (here / name).string()}), kStatusRefused);
  EXPECT_NE(console.err.str().find("existe déjà"), std::string::npos);
}

TEST_F(Jobs, AStopEndsTheJobWithStatus3AndAFullReport) {
  console.stopWhen = [this] { return console.out.str().find("progression") != std::string::npos; };
  ASSERT_EQ(Run({"check", "2", "--json", "--rapport", report}), kStatusStopped);
  ExpectSchema();
  EXPECT_EQ(Events(), (std::vector<std::string>{"debut", "progression", "fin"}));
  EXPECT_EQ(JsonLines().back()["arrete"], true);
  EXPECT_EQ(JsonLines().back()["statut"], kStatusStopped);
  // No stop line: the stop is the user's, not an answer to a failure.
  ExpectReport("Contrôler l'intégrité du support N° 2 - NEXORA TEST-2", 0, kDiskSectors, "");

  // A stop while the confirmation waits writes nothing.
  Fill(kPlain, 0, 1, 0xAB);
  console.interactive = true;
  console.stopWhen = [] { return true; };
  ASSERT_EQ(Run({"erase", "2", "--rapport", report + ".2"}), kStatusStopped);
  EXPECT_FALSE(AllZero(kPlain, 0, 1));
  EXPECT_FALSE(std::filesystem::exists(report + ".2"));
}

TEST_F(Jobs, UniqueReportNamesDifferByProcessAndTime) {
  device::LocalTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 10;
  t.hour = 6;
  t.minute = 5;
  t.second = 9;
  EXPECT_EQ(cli::UniqueReportName("formatage", 3, t, 77),
            "Rapport-formatage-3-20261210-060509-77.txt");
  EXPECT_NE(cli::UniqueReportName("formatage", 3, t, 77),
            cli::UniqueReportName("formatage", 3, t, 78));
}

}  // namespace
}  // namespace kalvorin::test
