#include "cli/JsonOutput.h"

namespace kalvorin::cli {

void WriteJsonLine(std::ostream& out, const Json& value) {
  out << value.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
  out.flush();
}

}  // namespace kalvorin::cli
