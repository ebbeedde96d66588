#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tolvarin::service::id_text {

// A record id from a path segment: decimal digits only, within range.
inline std::optional<std::int64_t> parse(std::string_view text)
{
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value <= 0)
        return std::nullopt;
    return value;
}

}  // namespace tolvarin::service::id_text
