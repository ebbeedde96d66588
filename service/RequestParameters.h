#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace tolvarin::service {

// Typed reads of request members; a wrong type or a missing required member is a 400.
namespace request_parameters {

// A member that must be a non-empty text.
std::string requiredText(const nlohmann::json& object, std::string_view name);

// A member that may be absent or null; when present it must be a text.
std::optional<std::string> optionalText(const nlohmann::json& object, std::string_view name);

// A member that may be absent; when present it must be true or false.
std::optional<bool> optionalFlag(const nlohmann::json& object, std::string_view name);

// A member that must be a JSON object.
const nlohmann::json& requiredObject(const nlohmann::json& object, std::string_view name);

}  // namespace request_parameters
}  // namespace tolvarin::service
