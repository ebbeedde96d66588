#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace tolvarin::service {

// A request as the endpoints see it: decoded path segments and every parameter (query string
// and body merged into one JSON object), plus the signed-in user once the token was checked.
struct ApiRequest {
    std::string method;
    std::vector<std::string> segments;
    nlohmann::json parameters = nlohmann::json::object();
    std::int64_t userId = 0;
};

}  // namespace tolvarin::service
