#include "ServiceApi.h"

namespace tolvarin::service {

ServiceApi::ServiceApi(Database& database, std::chrono::seconds sessionIdleTime)
    : accounts_(database),
      sessions_(database, sessionIdleTime),
      shares_(database),
      router_(sessions_),
      signupPage_(accounts_),
      sessionEndpoints_(accounts_, sessions_, database.serviceSecret()),
      userEndpoints_(accounts_),
      shareEndpoints_(shares_, pushHub_)
{
    // The sign-up page comes first: its "/users/new" would otherwise match "/users/*".
    signupPage_.addRoutes(router_);
    sessionEndpoints_.addRoutes(router_);
    userEndpoints_.addRoutes(router_);
    shareEndpoints_.addRoutes(router_);
}

}  // namespace tolvarin::service
