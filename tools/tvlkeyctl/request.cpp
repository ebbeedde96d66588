#include "request.h"

#include <limits>

namespace tvlkeyctl {

Request::Request(nlohmann::json body) : body_(std::move(body))
{
    if (!body_.is_object())
        throw BadRequest("the request must be one JSON object");
}

const nlohmann::json& Request::member(const char* name) const
{
    const auto found = body_.find(name);
    if (found == body_.end())
        throw BadRequest(std::string("missing member \"") + name + "\"");
    return *found;
}

std::string Request::text(const char* name) const
{
    const nlohmann::json& value = member(name);
    if (!value.is_string())
        throw BadRequest(std::string("member \"") + name + "\" must be a string");
    return value.get<std::string>();
}

int Request::integer(const char* name) const
{
    const nlohmann::json& value = member(name);
    if (!value.is_number_integer() || value.get<long long>() < std::numeric_limits<int>::min() ||
        value.get<long long>() > std::numeric_limits<int>::max())
        throw BadRequest(std::string("member \"") + name + "\" must be an integer");
    return value.get<int>();
}

}  // namespace tvlkeyctl
