#include "ApiRouter.h"

#include "ApiError.h"
#include "DatabaseError.h"

#include <iostream>
#include <sstream>

namespace tolvarin::service {

namespace {

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> segments;
    std::stringstream stream(path);
    std::string segment;
    while (std::getline(stream, segment, '/')) {
        if (!segment.empty())
            segments.push_back(segment);
    }
    return segments;
}

bool matches(const std::vector<std::string>& pattern, const std::vector<std::string>& segments, ApiRouter::Captures& captures)
{
    if (pattern.size() != segments.size())
        return false;
    captures.clear();
    for (std::size_t index = 0; index < pattern.size(); ++index) {
        if (pattern[index] == "*")
            captures.push_back(segments[index]);
        else if (pattern[index] != segments[index])
            return false;
    }
    return true;
}

}  // namespace

void ApiRouter::add(std::string method, const std::string& pattern, Access access, Handler handler)
{
    routes_.push_back(Route{std::move(method), splitPath(pattern), access, std::move(handler)});
}

ApiResponse ApiRouter::handle(ApiRequest request) const
{
    try {
        return dispatch(request);
    } catch (const ApiError& error) {
        return ApiResponse::error(error.status(), error.what());
    } catch (const nlohmann::json::exception& error) {
        return ApiResponse::error(400, std::string("Malformed request: ") + error.what());
    } catch (const DatabaseError& error) {
        std::cerr << "database error: " << error.what() << std::endl;
        return ApiResponse::error(500, "The service could not complete the request");
    } catch (const std::exception& error) {
        std::cerr << "internal error: " << error.what() << std::endl;
        return ApiResponse::error(500, "The service could not complete the request");
    }
}

ApiResponse ApiRouter::dispatch(ApiRequest& request) const
{
    bool pathKnown = false;
    Captures captures;
    for (const auto& route : routes_) {
        if (!matches(route.pattern, request.segments, captures))
            continue;
        pathKnown = true;
        if (route.method != request.method)
            continue;
        if (route.access == Access::signedIn) {
            const auto& token = request.parameters.value("auth_token", nlohmann::json());
            auto userId = token.is_string() ? sessions_.userFor(token.get<std::string>()) : std::nullopt;
            if (!userId)
                throw ApiError(401, "Sign in first: the session token is missing, unknown or expired");
            request.userId = *userId;
        }
        return route.handler(request, captures);
    }
    if (pathKnown)
        throw ApiError(405, "Method " + request.method + " is not allowed here");
    throw ApiError(404, "No such resource");
}

}  // namespace tolvarin::service
