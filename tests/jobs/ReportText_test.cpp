// The report's bytes, the default name of a saved report and the rescan
// command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "jobs/JobSteps.h"
#include "jobs/Report.h"
#include "jobs/Rescan.h"
#include "support/TempDir.h"

namespace kalvorin::jobs {
namespace {

TEST(ReportText, LinesAreLatin1WithLineFeedsOnly) {
  EXPECT_EQ(ReportHeader("Contrôler l'intégrité du support N° 3 - DATA01", 2048, 4096),
            "Contr\xF4ler l'int\xE9grit\xE9 du support N\xB0 3 - DATA01 du secteur 2048 au "
            "secteur 4096\n\n");
  EXPECT_EQ(ReportLine("Lecture du support au secteur 123 impossible."),
            "Lecture du support au secteur 123 impossible.\n");
  EXPECT_EQ(ReportStopLine(18446744073709551615ull),
            "Arr\xEAt du traitement au secteur 18446744073709551615\n");
  EXPECT_EQ(ReportEndLine({2025, 3, 5, 9, 7, 0, 0}),
            "\nFin du traitement -> le 5/3/2025 \xE0 9:7\n");
  EXPECT_EQ(DateTimeText({2024, 12, 9, 14, 5, 59, 0}), "9-12-2024_14h5min");
}

TEST(ReportText, ATitleEndsBeforeItsFirstCharacterBeyondLatin1) {
  EXPECT_EQ(ReportHeader("Copier ÿ€ reste", 0, 0), "Copier \xFF du secteur 0 au secteur 0\n\n");
  EXPECT_EQ(ReportHeader("€", 1, 2), " du secteur 1 au secteur 2\n\n");
}

TEST(ReportText, AReportWithoutFailureHasFourLines) {
  test::TempDir dir;
  Report report;
  ASSERT_TRUE(report.Create(dir.file("Rapport.txt"), "Titre", 0, 0));
  ASSERT_TRUE(report.Finish({2025, 3, 5, 9, 7, 0, 0}));
  std::ifstream in(dir.file("Rapport.txt"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes,
            "Titre du secteur 0 au secteur 0\n\n\nFin du traitement -> le 5/3/2025 \xE0 9:7\n");
}

TEST(ReportText, CreationFailsInAMissingFolder) {
  test::TempDir dir;
  Report report;
  EXPECT_FALSE(report.Create(dir.file("absent/Rapport.txt"), "Titre", 0, 0));
}

TEST(SavedReportName, IsJobWordLabelAndEndTime) {
  EXPECT_EQ(DefaultReportName("Contrôler - ", "DATA01", false, "9-12-2024_14h5min"),
            "Contrôler - DATA01 - 9-12-2024_14h5min");
  // An image's label is a path: its file name without extension.
  EXPECT_EQ(DefaultReportName("Copie - ", "images\\disque.img", true, "1-1-2025_0h0min"),
            "Copie - disque - 1-1-2025_0h0min");
  EXPECT_EQ(DefaultReportName("Copie - ", "tmp/sauvegardes/usb.img", true, "d"), "Copie - usb - d");
  // Nothing in a label can lead the save dialog into another folder.
  EXPECT_EQ(DefaultReportName("Formater - ", "WD/Elements: 2?", false, "d"),
            "Formater - WD_Elements_ 2_ - d");
}

// Runs with an empty current directory, restored at the end.
class Rescan : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::filesystem::current_path();
    std::filesystem::current_path(current_.path());
  }
  void TearDown() override { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
  test::TempDir current_;
};

// The script runs as administrator: one planted in the current folder or on
// the search path must never be the one run.
TEST_F(Rescan, TheScriptComesOnlyFromTheProgramFolder) {
  test::TempDir program, onPath;
  const std::string name = RescanScriptName();
  std::ofstream(std::filesystem::current_path() / name) << "rem\n";
  std::ofstream(onPath.file(name)) << "rem\n";
  const std::string current = (std::filesystem::current_path() / name).string();

  // Missing from the program folder (and from an installed program's
  // scripts folder): never looked for elsewhere.
  std::string line = RescanCommandLine(program.path().string() + "/");
  EXPECT_EQ(line.find(current), std::string::npos) << line;
  EXPECT_EQ(line.find(onPath.file(name)), std::string::npos) << line;

  std::ofstream(program.file(name)) << "rem\n";
  line = RescanCommandLine(program.path().string() + "/");
  EXPECT_NE(line.find(program.file(name)), std::string::npos) << line;

  // An unknown program folder runs nothing rather than a bare name.
  EXPECT_EQ(RescanCommandLine(""), "");
}

#ifndef _WIN32
TEST_F(Rescan, APathWithAQuoteIsQuotedForTheShell) {
  test::TempDir dir;
  const auto folder = dir.path() / "l'outil";
  std::filesystem::create_directory(folder);
  std::ofstream(folder / "RescanDisks.sh") << "true\n";
  EXPECT_EQ(RescanCommandLine(folder.string() + "/"),
            "/bin/sh '" + dir.path().string() + "/l'\\''outil/RescanDisks.sh'");
}
#endif

}  // namespace
}  // namespace kalvorin::jobs
