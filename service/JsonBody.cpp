#include "JsonBody.h"

#include "ApiError.h"

namespace tolvarin::service::json_body {

namespace {

struct TooDeep {};

}  // namespace

nlohmann::json parseObject(std::string_view body)
{
    nlohmann::json parsed;
    try {
        parsed = nlohmann::json::parse(
            body,
            [](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
                if (depth > maximumDepth)
                    throw TooDeep{};
                return true;
            },
            false);
    } catch (const TooDeep&) {
        throw ApiError(400, "The JSON body is nested too deeply");
    }
    if (parsed.is_discarded())
        throw ApiError(400, "The body is not valid JSON");
    if (!parsed.is_object())
        throw ApiError(400, "The body must be a JSON object");
    return parsed;
}

}  // namespace tolvarin::service::json_body
