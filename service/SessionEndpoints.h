#pragma once

#include "AccountStore.h"
#include "ApiRouter.h"
#include "ChallengeBook.h"
#include "SessionStore.h"

#include <string>

namespace tolvarin::service {

// The challenge–response sign-in: GET /sessions/new and POST /sessions.
class SessionEndpoints {
public:
    SessionEndpoints(AccountStore& accounts, SessionStore& sessions, std::string serviceSecret)
        : accounts_(accounts), sessions_(sessions), serviceSecret_(std::move(serviceSecret))
    {
    }

    void addRoutes(ApiRouter& router);

private:
    ApiResponse startSession(const ApiRequest& request);
    ApiResponse answerChallenge(const ApiRequest& request);
    // A salt for an e-mail without an account: stable and shaped like a real one, so the
    // answer does not reveal whether the account exists.
    std::string decoySalt(const std::string& email) const;

    AccountStore& accounts_;
    SessionStore& sessions_;
    std::string serviceSecret_;
    ChallengeBook challenges_;
};

}  // namespace tolvarin::service
