// What the job commands take from the selected node, shared by the window
// and the terminal: the source label, the job titles and the copy targets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/MediaState.h"
#include "media/MediaTree.h"

namespace kalvorin::media {

inline constexpr const char* kDockEraseRefused =
    "Il est impossible de formater le support présent sur le DOCK.";

// LibelleSource of a node: a volume is labelled by its disk.
std::string SourceLabel(const MediaNode& node);

// Titles of the processing panel, which are also the reports' titles.
std::string CheckTitle(std::int32_t disk, const std::string& sourceLabel);
std::string EraseTitle(std::int32_t disk, const std::string& sourceLabel);
std::string CopyTitle(std::int32_t disk, const std::string& sourceLabel);
std::string CopyImageTitle(const std::string& imageLabel);

// Records of `state.tree` a copy from `source` may be offered, in display
// order: never a group header or an image, never a record of the program's
// disk, of the dock's number or of the source's disk (a disk and its
// volumes are in or out together).
std::vector<listeSupport*> EligibleTargets(const MediaState& state, const listeSupport* source);

}  // namespace kalvorin::media
