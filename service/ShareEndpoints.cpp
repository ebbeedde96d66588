#include "ShareEndpoints.h"

#include "ApiError.h"
#include "IdText.h"
#include "RequestParameters.h"

namespace tolvarin::service {

using Access = ApiRouter::Access;

namespace {

std::int64_t shareIdFrom(const std::string& text)
{
    auto id = id_text::parse(text);
    if (!id)
        throw ApiError(404, "No such share");
    return *id;
}

}  // namespace

void ShareEndpoints::addRoutes(ApiRouter& router)
{
    router.add("GET", "/shares", Access::signedIn,
               [this](const ApiRequest& request, const auto&) { return ApiResponse::json(shares_.list(request.userId)); });
    router.add("POST", "/shares", Access::signedIn, [this](const ApiRequest& request, const auto&) { return requestShare(request); });
    router.add("GET", "/shares/*", Access::signedIn, [this](const ApiRequest& request, const auto& captures) {
        return ApiResponse::json(shares_.get(request.userId, shareIdFrom(captures[0])));
    });
    router.add("PUT", "/shares/*", Access::signedIn,
               [this](const ApiRequest& request, const auto& captures) { return updateShare(request, captures[0]); });
}

ApiResponse ShareEndpoints::requestShare(const ApiRequest& request)
{
    // `sharer_id` names the requester in the client's request; the session already says who
    // that is, so the member is not trusted.
    ShareStore::Request shareRequest{
        request_parameters::requiredText(request.parameters, "key_id"),
        request_parameters::optionalText(request.parameters, "key_type").value_or("shek"),
        request_parameters::optionalText(request.parameters, "path"),
    };
    auto created = shares_.request(request.userId, shareRequest);
    if (created.isNew && created.sharerId)
        pushHub_.publish(*created.sharerId, "share_request", created.share["id"].get<std::int64_t>());
    return ApiResponse::json(created.share, created.isNew ? 201 : 200);
}

ApiResponse ShareEndpoints::updateShare(const ApiRequest& request, const std::string& shareId)
{
    auto id = shareIdFrom(shareId);
    auto updated = shares_.update(request.userId, id, request.parameters);
    pushHub_.publish(updated.shareeId, "share_updated", id);
    return ApiResponse::json(updated.share);
}

}  // namespace tolvarin::service
