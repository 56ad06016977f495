#pragma once

#include <memory>
#include <string>

#include "device/Platform.h"

namespace kalvorin::device {

// The simulated machine described by `folder`/machine.json. nullptr, with a
// French message naming the faulty key in `error`, when the description is
// malformed.
std::unique_ptr<Platform> CreateSimulatedPlatform(const std::string& folder, std::string& error);

}  // namespace kalvorin::device
