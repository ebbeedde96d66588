#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace tolvarin::service::form_codec {

// Percent-decoding; with `plusIsSpace` a '+' stands for a blank, as in form data.
// Nothing for a malformed escape.
std::optional<std::string> decode(std::string_view text, bool plusIsSpace);

// Parses "a=1&b=2" into a JSON object of texts; nothing when an escape is malformed.
std::optional<nlohmann::json> parseFields(std::string_view text);

}  // namespace tolvarin::service::form_codec
