// JSON written for programs: one document, or one line per job event.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

namespace kalvorin::cli {

using Json = nlohmann::ordered_json;

// Writes `value` on one line and flushes, so a reader sees each event as it
// happens. Texts that are not valid UTF-8 are written with U+FFFD.
void WriteJsonLine(std::ostream& out, const Json& value);

}  // namespace kalvorin::cli
