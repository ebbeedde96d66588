#pragma once

#include "AccountStore.h"
#include "ApiRouter.h"

namespace tolvarin::service {

// The signed-in user's own object and keys, and other users' public view.
class UserEndpoints {
public:
    explicit UserEndpoints(AccountStore& accounts) : accounts_(accounts) {}

    void addRoutes(ApiRouter& router);

private:
    ApiResponse updateUser(const ApiRequest& request);
    ApiResponse storeRecoveryKey(const ApiRequest& request);
    ApiResponse recoveryKey(const ApiRequest& request, const std::string& keyId);
    ApiResponse otherUser(const std::string& userId);

    AccountStore& accounts_;
};

}  // namespace tolvarin::service
