// The texts, captions and styles of the jobs' message boxes.
#pragma once

#include <cstdint>
#include <string>

#include "device/Platform.h"
#include "device/WindowsLayouts.h"

namespace kalvorin::jobs {

// Outcome of one block.
enum class Outcome : int { Success = 0, ReadFailed = 1, WriteFailed = 2, SeekFailed = 3 };

inline constexpr std::uint32_t kStyleWarning = device::kMbIconWarning;  // 0x30
inline constexpr std::uint32_t kStyleBlockFailed =
    device::kMbYesNo | device::kMbIconError | device::kMbSystemModal;  // 0x1014
inline constexpr std::uint32_t kStyleConfirmOverwrite =
    device::kMbYesNo | device::kMbIconWarning | device::kMbSystemModal;  // 0x1034
inline constexpr std::uint32_t kStyleSaveReport =
    device::kMbYesNo | device::kMbIconQuestion | device::kMbSystemModal;  // 0x1024
inline constexpr std::uint32_t kStyleError =
    device::kMbOk | device::kMbIconError | device::kMbSystemModal;  // 0x1010

inline constexpr const char* kSourceOpenFailed = "Ouverture du support source impossible.";
inline constexpr const char* kSourceCaption = "ERREUR support source";
inline constexpr const char* kTargetOpenFailed = "Ouverture du support cible impossible.";
inline constexpr const char* kTargetCaption = "ERREUR support cible";
inline constexpr const char* kConfirmCaption = "Formater le support";
inline constexpr const char* kContinueQuestion = "\n\rVoulez_vous continuer ?";
inline constexpr const char* kSaveQuestion = "Enregistrer le rapport ?";
inline constexpr const char* kSaveCaption = "Traitement terminé";
inline constexpr const char* kReportCaption = "ERREUR rapport";

// "ID<disk> - ERREUR DISQUE"
std::string BlockCaption(std::int32_t disk);
// The message of a failed block at p (the first sector of the block).
std::string BlockMessage(Outcome outcome, std::uint64_t p);
// The warning before a disk is overwritten.
std::string ConfirmOverwriteText(std::int32_t disk, const std::string& label);
// The job refuses to write to the disk that holds the program.
std::string ProgramDiskRefused(std::int32_t disk);
std::string ReportNotCreated(const std::string& reportPath);
std::string ReportIncomplete(const std::string& reportPath);
std::string ReportNotMoved(const std::string& reportPath, const std::string& chosenPath);
// What was written may not be on the medium: its flush failed.
std::string FlushFailed(const std::string& medium);
std::string BootSectorNotRestored(std::int32_t disk, const std::string& label,
                                  std::uint64_t sector);
// The disk opened under this number is not the disk that was listed.
std::string DiskChangedText(std::int32_t disk);
// The disk is held by the system or another program: says by what.
std::string DiskBusyText(std::int32_t disk, const std::string& label, const device::DiskUse& use);
// `medium` ("N°1 - label", or an image's path) left during the block at p.
std::string MediumGoneText(const std::string& medium, std::uint64_t p);
// The copy's image target names something that is not a file.
std::string ImageTargetNotFile(const std::string& path);
inline constexpr const char* kImageTargetIsSource =
    "Le fichier image cible est l'image source elle-même : choisir un autre fichier.";

}  // namespace kalvorin::jobs
