#include "FormCodec.h"

namespace tolvarin::service::form_codec {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isUtf8(const std::string& text)
{
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

}  // namespace

std::optional<std::string> decode(std::string_view text, bool plusIsSpace)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        char c = text[index];
        if (c == '%') {
            if (index + 2 >= text.size())
                return std::nullopt;
            int high = hexValue(text[index + 1]);
            int low = hexValue(text[index + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            decoded.push_back(static_cast<char>(high * 16 + low));
            index += 2;
        } else if (c == '+' && plusIsSpace) {
            decoded.push_back(' ');
        } else {
            decoded.push_back(c);
        }
    }
    // Decoded bytes end up in JSON answers, which must stay valid UTF-8.
    if (!isUtf8(decoded))
        return std::nullopt;
    return decoded;
}

std::optional<nlohmann::json> parseFields(std::string_view text)
{
    auto fields = nlohmann::json::object();
    while (!text.empty()) {
        auto end = text.find('&');
        std::string_view pair = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (pair.empty())
            continue;
        auto equals = pair.find('=');
        auto name = decode(pair.substr(0, equals), true);
        auto value = decode(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1), true);
        if (!name || !value)
            return std::nullopt;
        fields[*name] = *value;
    }
    return fields;
}

}  // namespace tolvarin::service::form_codec
