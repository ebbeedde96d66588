#include "UserEndpoints.h"

#include "ApiError.h"
#include "IdText.h"
#include "RequestParameters.h"

namespace tolvarin::service {

using Access = ApiRouter::Access;

void UserEndpoints::addRoutes(ApiRouter& router)
{
    router.add("GET", "/user", Access::signedIn,
               [this](const ApiRequest& request, const auto&) { return ApiResponse::json(accounts_.userObject(request.userId)); });
    router.add("PUT", "/user", Access::signedIn, [this](const ApiRequest& request, const auto&) { return updateUser(request); });
    router.add("POST", "/user/recovery_keys", Access::signedIn,
               [this](const ApiRequest& request, const auto&) { return storeRecoveryKey(request); });
    router.add("GET", "/user/recovery_keys/*", Access::signedIn,
               [this](const ApiRequest& request, const auto& captures) { return recoveryKey(request, captures[0]); });
    router.add("GET", "/user/reset_key", Access::signedIn, [this](const ApiRequest& request, const auto&) {
        return ApiResponse::json({{"key", accounts_.resetKey(request.userId)}});
    });
    router.add("GET", "/users/*", Access::signedIn, [this](const ApiRequest&, const auto& captures) { return otherUser(captures[0]); });
}

ApiResponse UserEndpoints::updateUser(const ApiRequest& request)
{
    accounts_.updateUser(request.userId, request_parameters::requiredObject(request.parameters, "user"));
    return ApiResponse::json(accounts_.userObject(request.userId));
}

ApiResponse UserEndpoints::storeRecoveryKey(const ApiRequest& request)
{
    std::string key = request_parameters::requiredText(request.parameters, "key");
    std::string keyId = request_parameters::requiredText(request.parameters, "key_id");
    accounts_.storeRecoveryKey(request.userId, keyId, key);
    return ApiResponse::json({{"key_id", keyId}}, 201);
}

ApiResponse UserEndpoints::recoveryKey(const ApiRequest& request, const std::string& keyId)
{
    auto key = accounts_.recoveryKey(request.userId, keyId);
    if (!key)
        throw ApiError(404, "No recovery key with this id");
    return ApiResponse::json({{"key", *key}});
}

ApiResponse UserEndpoints::otherUser(const std::string& userId)
{
    auto id = id_text::parse(userId);
    if (!id)
        throw ApiError(404, "No such user");
    return ApiResponse::json(accounts_.publicUser(*id));
}

}  // namespace tolvarin::service
