// The drive-letter map over the simulated machine.
#include <gtest/gtest.h>

#include "SimMachine.h"
#include "media/LetterMap.h"

namespace kalvorin::media {
namespace {

Utilitaires Build(test::SimMachine& sim) {
  Utilitaires map;
  if (sim.Write()) BuildLetterMap(*sim.platform, map);
  return map;
}

TEST(BuildLetterMap, RecordsALetterOnASingleExtent) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 409600);
  sim.machine.AddLetter('C').Extent(1, 206848, 202752).label = "SYSTEME";
  const Utilitaires map = Build(sim);
  ASSERT_EQ(map.count, 1);
  const MAPLetterPartition& c = map.MAPLetterPartition[0];
  EXPECT_EQ(c.Lettre, 'C');
  EXPECT_EQ(c.Racine, "C:\\");
  EXPECT_EQ(c.NumDisque, 1u);
  EXPECT_EQ(c.FirstSct, 206848u);
  EXPECT_EQ(c.NBSct, 202752u);
  EXPECT_EQ(c.TypeLecteur, 3);
  EXPECT_EQ(c.Affichage, "SYSTEME (C:)");
}

TEST(BuildLetterMap, FillsEntriesInLetterOrderWithoutGaps) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 409600);
  sim.machine.AddDisk(2, 409600);
  sim.machine.AddLetter('D').Extent(1, 2048, 1000).label = "";  // unlabelled
  sim.machine.AddLetter('E', 2).label = "LECTEUR";              // card reader, no medium
  sim.machine.AddLetter('F').Extent(1, 4096, 1000).label = "DONNEES";
  auto& spanned = sim.machine.AddLetter('G').Extent(1, 8192, 100).Extent(2, 0, 100);
  spanned.label = "SPANNED";
  sim.machine.AddLetter('H', 5).Extent(2, 2048, 100);  // optical: type refused
  sim.machine.AddLetter('I', 4).Extent(2, 4096, 100);  // network: type refused
  auto& closed = sim.machine.AddLetter('J').Extent(2, 8192, 100);
  closed.opens = false;
  sim.machine.AddLetter('K', 1).Extent(2, 16384, 100).label = std::nullopt;
  sim.machine.AddLetter('Z', 2).Extent(2, 32768, 100).label = "CLE";

  const Utilitaires map = Build(sim);
  ASSERT_EQ(map.count, 4);
  const auto& e = map.MAPLetterPartition;
  EXPECT_EQ(e[0].Lettre, 'D');
  EXPECT_EQ(e[0].Affichage, " (D:)");
  EXPECT_EQ(e[1].Lettre, 'F');  // takes the index E could not fill
  EXPECT_EQ(e[1].Affichage, "DONNEES (F:)");
  EXPECT_EQ(e[2].Lettre, 'K');
  EXPECT_EQ(e[2].TypeLecteur, 1);
  EXPECT_EQ(e[2].Affichage, " (K:)");  // label query failed
  EXPECT_EQ(e[3].Lettre, 'Z');
  EXPECT_EQ(e[3].TypeLecteur, 2);
  EXPECT_EQ(e[3].NumDisque, 2u);
  EXPECT_EQ(e[3].Affichage, "CLE (Z:)");
}

TEST(BuildLetterMap, NoLetterGivesNoEntry) {
  test::SimMachine sim;
  sim.machine.AddDisk(1, 2048);
  EXPECT_EQ(Build(sim).count, 0);
  sim.machine.AddLetter('E', 2);
  EXPECT_EQ(Build(sim).count, 0);
}

}  // namespace
}  // namespace kalvorin::media
