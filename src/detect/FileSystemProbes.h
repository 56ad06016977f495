// One probe per file-system format. Each looks at the first 64 KiB of an
// extent; on a match it writes the kind and texts and answers true, otherwise
// it writes nothing.
#pragma once

#include <cstdint>

#include "media/Records.h"

namespace kalvorin::detect {

bool ProbeExt(media::InSupport& identity, const std::uint8_t* buffer);
bool ProbeFat(media::InSupport& identity, const std::uint8_t* buffer);
bool ProbeNtfs(media::InSupport& identity, const std::uint8_t* buffer);
bool ProbeHfsPlus(media::InSupport& identity, const std::uint8_t* buffer);
bool ProbeXfs(media::InSupport& identity, const std::uint8_t* buffer);

}  // namespace kalvorin::detect
