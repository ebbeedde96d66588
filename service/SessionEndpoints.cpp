#include "SessionEndpoints.h"

#include "ApiError.h"
#include "CryptoText.h"
#include "RequestParameters.h"

#include <algorithm>
#include <cctype>

namespace tolvarin::service {

using request_parameters::requiredText;

void SessionEndpoints::addRoutes(ApiRouter& router)
{
    router.add("GET", "/sessions/new", ApiRouter::Access::anyone,
               [this](const ApiRequest& request, const auto&) { return startSession(request); });
    router.add("POST", "/sessions", ApiRouter::Access::anyone,
               [this](const ApiRequest& request, const auto&) { return answerChallenge(request); });
}

ApiResponse SessionEndpoints::startSession(const ApiRequest& request)
{
    std::string email = requiredText(request.parameters, "email");
    auto credentials = accounts_.credentials(email);
    std::string salt = credentials ? credentials->authSalt : decoySalt(email);
    return ApiResponse::json({{"challenge", challenges_.issue(email)}, {"auth_salt", salt}});
}

ApiResponse SessionEndpoints::answerChallenge(const ApiRequest& request)
{
    std::string email = requiredText(request.parameters, "email");
    std::string challenge = requiredText(request.parameters, "challenge");
    std::string response = requiredText(request.parameters, "response");

    // The challenge is spent before anything else is checked, so each one allows one guess.
    bool challengeValid = challenges_.redeem(challenge, email);
    auto credentials = accounts_.credentials(email);
    if (!challengeValid || !credentials)
        throw ApiError(422, "Invalid e-mail address or password");

    SecureBuffer answered(credentials->verifier.view());
    answered.append(challenge);
    if (!crypto_text::equalInConstantTime(crypto_text::passwordHash(answered.view()), response))
        throw ApiError(422, "Invalid e-mail address or password");

    return ApiResponse::json({
        {"auth_token", sessions_.open(credentials->userId)},
        {"pusher_key", accounts_.pusherKey(credentials->userId)},
        {"user_id", credentials->userId},
    });
}

std::string SessionEndpoints::decoySalt(const std::string& email) const
{
    std::string folded = email;
    std::transform(folded.begin(), folded.end(), folded.begin(), [](unsigned char c) { return std::tolower(c); });
    return crypto_text::hmacBase64(serviceSecret_, folded, 16);
}

}  // namespace tolvarin::service
