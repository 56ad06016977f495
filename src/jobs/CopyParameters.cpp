#include "jobs/CopyParameters.h"

#include "jobs/MediumChecks.h"

#include <charconv>

namespace kalvorin::jobs {

std::optional<std::uint64_t> ReadSectorField(std::string_view text) {
  if (text.empty()) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value > kMaxSector) return std::nullopt;
  return value;
}

std::string InvalidFieldMessage(std::string_view fieldLabel, std::uint64_t minimum) {
  return "Le champ « " + std::string(fieldLabel) + " » doit contenir un nombre entier de " +
         std::to_string(minimum) + " à " + std::to_string(kMaxSector) + ".";
}

bool TargetDiskLargeEnough(std::uint64_t firstTarget, std::uint64_t count,
                           std::uint64_t diskSectors) {
  return firstTarget < diskSectors && count < diskSectors - firstTarget;
}

bool FreeSpaceLargeEnough(std::uint64_t freeBytes, std::uint64_t count) {
  return freeBytes / 512 > count;
}

bool RangeWithinLimit(std::uint64_t first, std::uint64_t count) {
  return first <= kMaxSector && count <= kMaxSector - first;
}

std::optional<std::string> RangeRefusal(std::uint64_t firstSource, std::uint64_t firstTarget,
                                        std::uint64_t count) {
  if (RangeWithinLimit(firstSource, count) && RangeWithinLimit(firstTarget, count)) {
    return std::nullopt;
  }
  return "Le premier secteur et le nombre de secteurs à copier dépassent ensemble " +
         std::to_string(kMaxSector) + " secteurs.";
}

std::optional<std::string> CopyTargetRefusal(device::Platform& platform,
                                             const media::listeSupport& source,
                                             const media::listeSupport& target,
                                             std::uint64_t firstTarget, std::uint64_t count) {
  if (target.TypeSupport == media::kPhysical) {
    if (!TargetDiskLargeEnough(firstTarget, count, target.NBSctDisque)) {
      return "Le nombre de secteurs du support cible est insuffisant.";
    }
    return std::nullopt;
  }
  if (auto refusal = ImageTargetRefusal(source, target.CheminImage)) return refusal;
  const std::optional<std::uint64_t> freeBytes = platform.FreeBytes(target.CheminImage);
  if (!freeBytes) {
    return "L'espace disque libre pour le fichier image est inconnu : le dossier choisi "
           "est inaccessible.";
  }
  if (!FreeSpaceLargeEnough(*freeBytes, count)) {
    return "L'espace disque du fichier image est insuffisant.";
  }
  return std::nullopt;
}

}  // namespace kalvorin::jobs
