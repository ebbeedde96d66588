#include "ApiRequestReader.h"

#include "ApiError.h"
#include "FormCodec.h"
#include "JsonBody.h"

namespace tolvarin::service::api_request_reader {

namespace {

std::vector<std::string> decodeSegments(std::string_view path)
{
    std::vector<std::string> segments;
    while (!path.empty()) {
        auto slash = path.find('/');
        std::string_view segment = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (segment.empty())
            continue;
        auto decoded = form_codec::decode(segment, false);
        if (!decoded)
            throw ApiError(400, "The request path is malformed");
        segments.push_back(std::move(*decoded));
    }
    return segments;
}

bool isFormData(std::string_view contentType)
{
    return contentType.substr(0, contentType.find(';')) == "application/x-www-form-urlencoded";
}

}  // namespace

ApiRequest read(std::string_view method, std::string_view target, std::string_view contentType, std::string_view body)
{
    ApiRequest request;
    request.method = std::string(method);
    auto question = target.find('?');
    request.segments = decodeSegments(target.substr(0, question));
    if (question != std::string_view::npos) {
        auto query = form_codec::parseFields(target.substr(question + 1));
        if (!query)
            throw ApiError(400, "The query string is malformed");
        request.parameters = std::move(*query);
    }
    if (body.empty())
        return request;

    nlohmann::json bodyMembers;
    if (isFormData(contentType)) {
        auto fields = form_codec::parseFields(body);
        if (!fields)
            throw ApiError(400, "The form data is malformed");
        bodyMembers = std::move(*fields);
    } else {
        bodyMembers = json_body::parseObject(body);
    }
    for (auto& [name, value] : bodyMembers.items())
        request.parameters[name] = std::move(value);
    return request;
}

std::string_view pathOf(std::string_view target)
{
    return target.substr(0, target.find('?'));
}

}  // namespace tolvarin::service::api_request_reader
