#include "cli/JsonSchema.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kalvorin::test {

namespace {

bool HasType(const nlohmann::json& value, const std::string& type) {
  if (type == "object") return value.is_object();
  if (type == "array") return value.is_array();
  if (type == "string") return value.is_string();
  if (type == "integer") return value.is_number_integer();
  if (type == "number") return value.is_number();
  if (type == "boolean") return value.is_boolean();
  if (type == "null") return value.is_null();
  return false;
}

class Checker {
 public:
  explicit Checker(const nlohmann::json& root) : root_(root) {}

  std::string Check(const nlohmann::json& schema, const nlohmann::json& value,
                    const std::string& where) const {
    if (schema.contains("$ref")) {
      const std::string ref = schema["$ref"];
      const std::string prefix = "#/$defs/";
      if (ref.rfind(prefix, 0) != 0) return where + ": unsupported $ref " + ref;
      return Check(root_["$defs"][ref.substr(prefix.size())], value, where);
    }
    if (schema.contains("type")) {
      const nlohmann::json& type = schema["type"];
      bool matched = false;
      if (type.is_array()) {
        for (const auto& one : type) matched = matched || HasType(value, one);
      } else {
        matched = HasType(value, type);
      }
      if (!matched) return where + ": expected type " + type.dump() + ", got " + value.dump();
    }
    if (schema.contains("const") && value != schema["const"]) {
      return where + ": expected " + schema["const"].dump() + ", got " + value.dump();
    }
    if (schema.contains("enum")) {
      bool found = false;
      for (const auto& allowed : schema["enum"]) found = found || allowed == value;
      if (!found) return where + ": " + value.dump() + " not in " + schema["enum"].dump();
    }
    if (schema.contains("minimum") && value.is_number() &&
        value.get<double>() < schema["minimum"].get<double>()) {
      return where + ": " + value.dump() + " below " + schema["minimum"].dump();
    }
    if (schema.contains("oneOf")) {
      int matches = 0;
      std::string reasons;
      for (const auto& option : schema["oneOf"]) {
        const std::string why = Check(option, value, where);
        if (why.empty()) {
          ++matches;
        } else {
          reasons += "\n  " + why;
        }
      }
      if (matches != 1) {
        return where + ": matches " + std::to_string(matches) + " of oneOf" + reasons;
      }
    }
    if (value.is_object()) {
      for (const auto& name : schema.value("required", nlohmann::json::array())) {
        if (!value.contains(name.get<std::string>())) {
          return where + ": missing " + name.get<std::string>();
        }
      }
      const nlohmann::json properties = schema.value("properties", nlohmann::json::object());
      for (const auto& [name, member] : value.items()) {
        if (properties.contains(name)) {
          const std::string why = Check(properties[name], member, where + "." + name);
          if (!why.empty()) return why;
        } else if (schema.value("additionalProperties", true) == false) {
          return where + ": unexpected member " + name;
        }
      }
    }
    if (value.is_array() && schema.contains("items")) {
      for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string why =
            Check(schema["items"], value[i], where + "[" + std::to_string(i) + "]");
        if (!why.empty()) return why;
      }
    }
    return {};
  }

 private:
  const nlohmann::json& root_;
};

}  // namespace

nlohmann::json LoadSchema(const std::string& name) {
  std::ifstream file(std::string(KALVORIN_CLI_SCHEMAS) + "/" + name);
  EXPECT_TRUE(file.is_open()) << name;
  nlohmann::json schema = nlohmann::json::parse(file, nullptr, false);
  EXPECT_FALSE(schema.is_discarded()) << name;
  return schema;
}

std::string SchemaViolation(const nlohmann::json& schema, const nlohmann::json& value) {
  return Checker(schema).Check(schema, value, "$");
}

}  // namespace kalvorin::test
