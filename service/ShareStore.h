#pragma once

#include "Database.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace tolvarin::service {

// Share records between a sharer (the owner of a share key) and a sharee (who asked for it),
// answered in the share JSON form as seen from one of the two parties.
class ShareStore {
public:
    struct Request {
        std::string keyId;
        std::string keyType;
        std::optional<std::string> path;
    };
    struct Created {
        nlohmann::json share;
        std::optional<std::int64_t> sharerId;  // the key's owner, when the service knows it
        bool isNew;
    };
    struct Updated {
        nlohmann::json share;
        std::int64_t shareeId;
    };

    explicit ShareStore(Database& database) : database_(database) {}

    // Records `requesterId`'s request for a share key; asking again for the same key answers
    // the share made the first time.
    Created request(std::int64_t requesterId, const Request& request);
    nlohmann::json list(std::int64_t userId);
    // A share the user takes part in; any other id is a 404, so ids of others' shares stay hidden.
    nlohmann::json get(std::int64_t userId, std::int64_t shareId);
    // The sharer's change of `key`, `allowed`, `read` and `path`; each change raises `rev`.
    Updated update(std::int64_t userId, std::int64_t shareId, const nlohmann::json& changes);

private:
    Database& database_;
};

}  // namespace tolvarin::service
