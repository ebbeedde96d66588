#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace tolvarin::service {

struct ApiResponse {
    unsigned status = 200;
    std::string contentType = "application/json";
    std::string body;

    static ApiResponse json(const nlohmann::json& value, unsigned status = 200)
    {
        return {status, "application/json", value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
    }
    static ApiResponse html(std::string page, unsigned status = 200)
    {
        return {status, "text/html; charset=utf-8", std::move(page)};
    }
    static ApiResponse error(unsigned status, const std::string& message)
    {
        return json({{"error", message}}, status);
    }
};

}  // namespace tolvarin::service
