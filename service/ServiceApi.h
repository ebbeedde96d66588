#pragma once

#include "AccountStore.h"
#include "ApiRouter.h"
#include "Database.h"
#include "PushHub.h"
#include "SessionEndpoints.h"
#include "SessionStore.h"
#include "ShareEndpoints.h"
#include "ShareStore.h"
#include "SignupPage.h"
#include "UserEndpoints.h"

#include <chrono>

namespace tolvarin::service {

// Everything the service answers, wired together over one database; independent of how
// requests arrive.
class ServiceApi {
public:
    ServiceApi(Database& database, std::chrono::seconds sessionIdleTime);

    ApiResponse handle(ApiRequest request) const { return router_.handle(std::move(request)); }
    AccountStore& accounts() { return accounts_; }
    PushHub& pushHub() { return pushHub_; }

private:
    AccountStore accounts_;
    SessionStore sessions_;
    ShareStore shares_;
    PushHub pushHub_;
    ApiRouter router_;
    SignupPage signupPage_;
    SessionEndpoints sessionEndpoints_;
    UserEndpoints userEndpoints_;
    ShareEndpoints shareEndpoints_;
};

}  // namespace tolvarin::service
