// A small JSON Schema checker for the documents and lines kalvorin-cli
// writes. It knows the keywords the schemas of schemas/ use: type (one or a
// list), enum, const, minimum, required, properties, additionalProperties
// (false), items, oneOf and $ref to "#/$defs/NAME".
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace kalvorin::test {

// The schema in schemas/<name>; a test failure when it cannot be read.
nlohmann::json LoadSchema(const std::string& name);

// Empty when `value` satisfies `schema`; else where and why it does not.
std::string SchemaViolation(const nlohmann::json& schema, const nlohmann::json& value);

}  // namespace kalvorin::test
