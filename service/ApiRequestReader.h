#pragma once

#include "ApiRequest.h"

#include <string_view>

namespace tolvarin::service::api_request_reader {

// Builds the endpoints' view of an HTTP request: decoded path segments, and the query string
// merged with a JSON or form body (body members win). Malformed input is a 400 ApiError.
ApiRequest read(std::string_view method, std::string_view target, std::string_view contentType, std::string_view body);

// The target without its query string, for the request log: tokens travel in the query.
std::string_view pathOf(std::string_view target);

}  // namespace tolvarin::service::api_request_reader
