// The demo machine that `kalvorin --demo` runs on.
#pragma once

#include <string>

namespace kalvorin::demo {

// Writes the demo machine into `folder` (created when missing; its images
// are made anew). False with a message in `error` when a file cannot be
// written. The images are sparse: a few MB on disk.
bool BuildDemoMachine(const std::string& folder, std::string& error);

}  // namespace kalvorin::demo
