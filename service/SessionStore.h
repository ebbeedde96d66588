#pragma once

#include "Database.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tolvarin::service {

// Session tokens. Only a digest of each token is stored, so the database alone does not
// let anyone act as a user; a token unused for longer than the idle time is dropped.
class SessionStore {
public:
    SessionStore(Database& database, std::chrono::seconds idleTime) : database_(database), idleTime_(idleTime) {}

    std::string open(std::int64_t userId);
    // The token's user, renewing the token's idle time; nothing for an unknown or expired one.
    std::optional<std::int64_t> userFor(const std::string& token);

private:
    Database& database_;
    std::chrono::seconds idleTime_;
};

}  // namespace tolvarin::service
