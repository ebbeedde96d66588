#pragma once

#include "request.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace tvlkeyctl {

// The answer of a key-library function: its outputs, or nothing when it returned -1.
using Answer = std::optional<nlohmann::json>;

// Runs the public function named by operation; BadRequest when there is none of that name.
Answer runOperation(const std::string& operation, const Request& request);

}  // namespace tvlkeyctl
