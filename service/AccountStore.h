#pragma once

#include "Database.h"
#include "SecureBuffer.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace tolvarin::service {

// Accounts and what they keep on the service: salts, the password verifier, wrapped keys,
// the key blob, recovery wrappings, the reset key and the ids of their share keys.
class AccountStore {
public:
    struct Credentials {
        std::int64_t userId;
        std::string authSalt;
        SecureBuffer verifier;
    };

    explicit AccountStore(Database& database) : database_(database) {}

    // Creates an account and answers its id; an e-mail already in use is a 422.
    std::int64_t createUser(const std::string& email, const std::string& firstName, const SecureBuffer& password);

    std::optional<Credentials> credentials(const std::string& email);

    // The signed-in user's own object, secrets of the key hierarchy included.
    nlohmann::json userObject(std::int64_t userId);
    // What any signed-in user may learn of another: no salts, no wrapped keys.
    nlohmann::json publicUser(std::int64_t userId);

    // Stores each member of `user` that is present; see the README for which members.
    void updateUser(std::int64_t userId, const nlohmann::json& user);

    void storeRecoveryKey(std::int64_t userId, const std::string& keyId, const std::string& key);
    std::optional<std::string> recoveryKey(std::int64_t userId, const std::string& keyId);
    std::string resetKey(std::int64_t userId);

    std::string pusherKey(std::int64_t userId);
    std::optional<std::int64_t> userForPusherKey(const std::string& pusherKey);

private:
    Database& database_;
};

}  // namespace tolvarin::service
