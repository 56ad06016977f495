// list, detect, the naming of disks and the command line itself.
#include "BuildInfo.h"
#include "cli/CliFixture.h"
#include "cli/JsonSchema.h"
#include "cli/Options.h"

namespace kalvorin::test {
namespace {

using cli::kStatusDone;
using cli::kStatusRefused;

class Listing : public CliTest {
 protected:
  // A serial that is also another disk's number.
  Listing() { machine.Disk(kSmall).Smart("KALPA SMALL", "2"); }
};

TEST_F(Listing, ListShowsEveryDiskButTheProgramsOne) {
  ASSERT_EQ(Run({"list"}), kStatusDone);
  const std::string text = console.out.str();
  EXPECT_EQ(text.find("PROGRAMME"), std::string::npos);
  EXPECT_NE(text.find("ORVANTA TEST-1"), std::string::npos);
  EXPECT_NE(text.find("SER002"), std::string::npos);
  EXPECT_NE(text.find("DOCK For MORVESTANIX (Protégé en écriture)"), std::string::npos);
  EXPECT_EQ(text.find("DOCK0001"), std::string::npos);  // the dock shows its text, not its serial
  EXPECT_NE(text.find("\\\\.\\PHYSICALDRIVE2"), std::string::npos);
  EXPECT_NE(text.find("300000"), std::string::npos);

  ASSERT_EQ(Run({"list", "--json"}), kStatusDone);
  const auto lines = JsonLines();
  ASSERT_EQ(lines.size(), 1u);  // one document
  EXPECT_EQ(SchemaViolation(LoadSchema("list.schema.json"), lines[0]), "");
  const auto& disks = lines[0]["supports"];
  ASSERT_EQ(disks.size(), 4u);
  EXPECT_EQ(lines[0]["disque_programme"], 0);
  EXPECT_EQ(disks[0]["numero"], kTable);
  EXPECT_EQ(disks[1]["numero_serie"], "SER002");
  EXPECT_EQ(disks[1]["octets"], kDiskSectors * 512);
  EXPECT_EQ(disks[1]["chemin"], "\\\\.\\PHYSICALDRIVE2");
  EXPECT_EQ(disks[2]["dock"], true);
  EXPECT_EQ(disks[2]["numero_serie"], "");
  EXPECT_EQ(disks[2]["interface"], "USB");
}

TEST_F(Listing, DetectShowsTheVolumeRows) {
  ASSERT_EQ(Run({"detect", "1"}), kStatusDone);
  const std::string text = console.out.str();
  EXPECT_NE(text.find("Support N°1 - ORVANTA TEST-1 S/N : SER001"), std::string::npos);
  EXPECT_NE(text.find("DATA"), std::string::npos);  // the letter replaces the details
  EXPECT_NE(text.find("102048"), std::string::npos);
  EXPECT_EQ(text.find("NEXORA"), std::string::npos);  // only the disk asked for

  ASSERT_EQ(Run({"detect", "--json"}), kStatusDone);
  const auto lines = JsonLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(SchemaViolation(LoadSchema("detect.schema.json"), lines[0]), "");
  const auto& disks = lines[0]["supports"];
  ASSERT_EQ(disks.size(), 4u);
  const auto& volumes = disks[0]["volumes"];
  ASSERT_EQ(volumes.size(), 2u);
  EXPECT_EQ(volumes[0]["volume"], 1);
  EXPECT_EQ(volumes[0]["libelle"], "NTFS");
  EXPECT_EQ(volumes[0]["type_volume"], 6);
  EXPECT_EQ(volumes[0]["premier_secteur"], 2048);
  EXPECT_EQ(volumes[0]["nombre_secteurs"], 100'000);
  EXPECT_EQ(volumes[1]["libelle"], "Inconnu");
  EXPECT_EQ(volumes[1]["premier_secteur"], 102'048);
  EXPECT_TRUE(disks[1]["volumes"].empty());
}

TEST_F(Listing, ADiskIsNamedByNumberDevicePathOrSerial) {
  // A serial that reads like another disk's device path: a path is only a path.
  machine.AddDisk(5, 1000).Smart("KALPA PATH", "\\\\.\\PHYSICALDRIVE1");
  struct Case {
    const char* name;
    int status;
    const char* shown;  // in the output, or in the message
  } cases[] = {
      {"1", kStatusDone, "Support N°1 "},
      {"\\\\.\\PHYSICALDRIVE1", kStatusDone, "Support N°1 "},
      {"\\\\.\\physicaldrive1", kStatusDone, "Support N°1 "},
      {"SER001", kStatusDone, "Support N°1 "},
      {"ser001", kStatusDone, "Support N°1 "},
      {"DOCK0001", kStatusRefused, "Support inconnu"},  // the dock's serial is not shown
      {"2", kStatusRefused, "ambigu : « 2 » désigne les supports N°2, N°4"},
      {"SER002", kStatusDone, "Support N°2 "},
      {"7", kStatusRefused, "Support inconnu : « 7 »"},
      {"0", kStatusRefused, "Le support N°0 contient le programme"},
      {"\\\\.\\PHYSICALDRIVE0", kStatusRefused, "Le support N°0 contient le programme"},
      {"PRG000", kStatusRefused, "Support inconnu"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run({"detect", c.name}), c.status);
    EXPECT_NE((console.out.str() + console.err.str()).find(c.shown), std::string::npos)
        << console.out.str() << console.err.str();
  }
}

TEST_F(Listing, BadUsageIsRefusedWithStatus2) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"format", "1"},
      {"check"},
      {"list", "1"},
      {"list", "--oui"},
      {"check", "1", "--vers", "2"},
      {"check", "1", "--nombre-secteurs", "0"},
      {"check", "1", "--premier-secteur", "12a"},
      {"check", "1", "--premier-secteur", "-1"},
      {"check", "1", "--volume", "33"},
      {"check", "1", "--rapport"},
      {"check", "1", "2"},
      {"copy", "1"},
      {"copy", "1", "--vers", "2", "--image", "x.img"},
      {"detect", "--json=oui"},
      {"--demo", "list"},  // with --machine, added by Run()
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    EXPECT_EQ(Run(arguments), kStatusRefused);
    EXPECT_EQ(console.out.str(), "");
    EXPECT_NE(console.err.str().find("kalvorin-cli : "), std::string::npos);
  }
}

TEST_F(Listing, HelpOfEachCommandIsInFrench) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--help"}, "Commandes :"},
      {{"--help"}, "--version"},
      {{"list", "--help"}, "Utilisation : kalvorin-cli list"},
      {{"detect", "-h"}, "Utilisation : kalvorin-cli detect"},
      {{"check", "--help"}, "Contrôle l'intégrité"},
      {{"erase", "--help"}, "--oui"},
      {{"copy", "--help"}, "--premier-secteur-cible"},
  };
  for (const auto& [arguments, shown] : cases) {
    SCOPED_TRACE(shown);
    std::vector<std::string> line = arguments;
    console.out.str("");
    ASSERT_EQ(cli::RunCli(line, console), kStatusDone);
    EXPECT_NE(console.out.str().find(shown), std::string::npos) << console.out.str();
  }
}

TEST_F(Listing, VersionIsOneLineAndNeedsNoMachine) {
  // Before a command or after one: no disk is opened, no machine is needed.
  for (const std::vector<std::string>& line :
       {std::vector<std::string>{"--version"}, std::vector<std::string>{"check", "--version"}}) {
    SCOPED_TRACE(::testing::PrintToString(line));
    console.out.str("");
    console.err.str("");
    ASSERT_EQ(cli::RunCli(line, console), kStatusDone);
    EXPECT_EQ(console.out.str(), "kalvorin-cli (Kalvorin 2), version " KALVORIN_VERSION "\n");
    EXPECT_EQ(console.err.str(), "");
  }
  EXPECT_EQ(cli::RunCli({"--version=2"}, console), kStatusRefused);
}

}  // namespace
}  // namespace kalvorin::test
