// Window state that the media operations read and write; the main window
// holds one, tests make their own.
#pragma once

#include <cstdint>
#include <string>

#include "media/MediaTree.h"

namespace kalvorin::media {

struct MediaState {
  std::int32_t NumDisqueProgramme = 0;
  std::int32_t NumDisqueDock = -1;  // kept across refreshes once seen
  std::string IdUSBDock = "201804";
  std::string CheminProgramme;  // folder of the executable, with its separator
  bool DetectionVolumes = false;
  bool GroupeImages = false;
  MediaNode* NoeudImages = nullptr;
  MediaTree tree;
};

}  // namespace kalvorin::media
