#pragma once

#include "AccountStore.h"
#include "ApiRouter.h"

namespace tolvarin::service {

// The plain HTML page behind the login window's "create account" link.
class SignupPage {
public:
    explicit SignupPage(AccountStore& accounts) : accounts_(accounts) {}

    void addRoutes(ApiRouter& router);

private:
    ApiResponse createAccount(const ApiRequest& request);

    AccountStore& accounts_;
};

}  // namespace tolvarin::service
