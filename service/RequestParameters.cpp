#include "RequestParameters.h"

#include "ApiError.h"

namespace tolvarin::service::request_parameters {

namespace {

const nlohmann::json* member(const nlohmann::json& object, std::string_view name)
{
    auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

ApiError invalid(std::string_view name, std::string_view expected)
{
    return ApiError(400, "Member '" + std::string(name) + "' must be " + std::string(expected));
}

}  // namespace

std::string requiredText(const nlohmann::json& object, std::string_view name)
{
    const auto* value = member(object, name);
    if (!value || !value->is_string() || value->get_ref<const std::string&>().empty())
        throw invalid(name, "a non-empty text");
    return value->get<std::string>();
}

std::optional<std::string> optionalText(const nlohmann::json& object, std::string_view name)
{
    const auto* value = member(object, name);
    if (!value || value->is_null())
        return std::nullopt;
    if (!value->is_string())
        throw invalid(name, "a text or null");
    return value->get<std::string>();
}

std::optional<bool> optionalFlag(const nlohmann::json& object, std::string_view name)
{
    const auto* value = member(object, name);
    if (!value)
        return std::nullopt;
    if (!value->is_boolean())
        throw invalid(name, "true or false");
    return value->get<bool>();
}

const nlohmann::json& requiredObject(const nlohmann::json& object, std::string_view name)
{
    const auto* value = member(object, name);
    if (!value || !value->is_object())
        throw invalid(name, "an object");
    return *value;
}

}  // namespace tolvarin::service::request_parameters
