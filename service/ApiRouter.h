#pragma once

#include "ApiRequest.h"
#include "ApiResponse.h"
#include "SessionStore.h"

#include <functional>
#include <string>
#include <vector>

namespace tolvarin::service {

// Maps method and path to an endpoint, checks the session token of every endpoint that
// needs one, and turns every failure into a JSON error answer.
class ApiRouter {
public:
    // Path segments that matched a "*" in the route's pattern, in order.
    using Captures = std::vector<std::string>;
    using Handler = std::function<ApiResponse(const ApiRequest&, const Captures&)>;
    enum class Access { anyone, signedIn };

    explicit ApiRouter(SessionStore& sessions) : sessions_(sessions) {}

    void add(std::string method, const std::string& pattern, Access access, Handler handler);
    ApiResponse handle(ApiRequest request) const;

private:
    struct Route {
        std::string method;
        std::vector<std::string> pattern;
        Access access;
        Handler handler;
    };

    ApiResponse dispatch(ApiRequest& request) const;

    SessionStore& sessions_;
    std::vector<Route> routes_;
};

}  // namespace tolvarin::service
