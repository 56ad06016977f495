#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "device/Platform.h"

namespace kalvorin::media {

struct MAPLetterPartition {
  char Lettre = 0;
  std::string Racine;     // "X:\"
  std::uint32_t NumDisque = 0;
  std::uint64_t FirstSct = 0;
  std::uint64_t NBSct = 0;
  std::int32_t TypeLecteur = 0;
  std::string Affichage;  // UTF-8: label + " (" + letter + ":)"
};

struct Utilitaires {
  std::array<media::MAPLetterPartition, 26> MAPLetterPartition{};
  int count = 0;  // entries filled, from index 0
};

// Fills `map` with the letters C..Z mounted on a single disk extent.
void BuildLetterMap(device::Platform& platform, Utilitaires& map);

}  // namespace kalvorin::media
