#pragma once

#include <nlohmann/json.hpp>

#include <string_view>

namespace tolvarin::service::json_body {

// Deeper nesting than any request of the service needs is refused, so that a hostile body
// cannot exhaust the stack.
constexpr int maximumDepth = 16;

// Parses a request body that must be one JSON object; a 400 ApiError otherwise.
nlohmann::json parseObject(std::string_view body);

}  // namespace tolvarin::service::json_body
