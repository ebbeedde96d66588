#include "ShareStore.h"

#include "ApiError.h"
#include "RequestParameters.h"

#include <chrono>
#include <ctime>

namespace tolvarin::service {

namespace {

constexpr const char* selectShares =
    "SELECT s.id, s.sharer_id, s.sharee_id, s.key_id, s.key_type, s.path, s.localized_path, s.key,"
    " s.allowed, s.read, s.hidden, s.rev, s.created_at, sharer.first_name, sharee.first_name"
    " FROM shares s LEFT JOIN users sharer ON sharer.id = s.sharer_id JOIN users sharee ON sharee.id = s.sharee_id ";

std::int64_t now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The client reads dates as yyyy-MM-dd'T'HH:mm:ss with a zone; UTC is written as Z.
std::string dateText(std::int64_t seconds)
{
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

nlohmann::json textOrNull(const Statement& row, int column)
{
    auto value = row.optionalText(column);
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// User ids travel as texts in shares: the client keeps sharer and sharee as text.
nlohmann::json idTextOrNull(const Statement& row, int column)
{
    return row.isNull(column) ? nlohmann::json(nullptr) : nlohmann::json(std::to_string(row.integer(column)));
}

nlohmann::json shareJson(const Statement& row, std::int64_t viewerId)
{
    bool outgoing = !row.isNull(1) && row.integer(1) == viewerId;
    bool incoming = row.integer(2) == viewerId;
    return {
        {"id", row.integer(0)},
        {"sharer_id", idTextOrNull(row, 1)},
        {"sharee_id", idTextOrNull(row, 2)},
        {"key_id", row.text(3)},
        {"key_type", row.text(4)},
        {"path", textOrNull(row, 5)},
        {"localizedPath", textOrNull(row, 6)},
        {"key", textOrNull(row, 7)},
        {"allowed", row.integer(8) != 0},
        {"read", row.integer(9) != 0},
        {"hidden", row.integer(10) != 0},
        {"rev", row.integer(11)},
        {"created_at", dateText(row.integer(12))},
        {"sharer_full_name", textOrNull(row, 13)},
        {"sharee_full_name", textOrNull(row, 14)},
        {"incoming", incoming},
        {"outgoing", outgoing},
    };
}

nlohmann::json shareById(sqlite3* connection, std::int64_t shareId, std::int64_t viewerId)
{
    Statement select(connection, std::string(selectShares) + "WHERE s.id = ? AND (s.sharer_id = ? OR s.sharee_id = ?)");
    select.bind(1, shareId).bind(2, viewerId).bind(3, viewerId);
    if (!select.step())
        throw ApiError(404, "No such share");
    return shareJson(select, viewerId);
}

}  // namespace

ShareStore::Created ShareStore::request(std::int64_t requesterId, const Request& request)
{
    return database_.transaction([&](sqlite3* connection) {
        std::optional<std::int64_t> ownerId;
        Statement owner(connection, "SELECT user_id FROM share_keys WHERE key_id = ?");
        owner.bind(1, request.keyId);
        if (owner.step())
            ownerId = owner.integer(0);
        if (ownerId == requesterId)
            throw ApiError(422, "This share key is your own");

        Statement existing(connection, "SELECT id FROM shares WHERE sharee_id = ? AND key_id = ?");
        existing.bind(1, requesterId).bind(2, request.keyId);
        if (existing.step())
            return Created{shareById(connection, existing.integer(0), requesterId), ownerId, false};

        Statement insert(connection,
                         "INSERT INTO shares(sharer_id, sharee_id, key_id, key_type, path, localized_path, created_at)"
                         " VALUES(?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, ownerId)
            .bind(2, requesterId)
            .bind(3, request.keyId)
            .bind(4, request.keyType)
            .bind(5, request.path)
            .bind(6, ownerId ? request.path : std::nullopt)
            .bind(7, now())
            .run();
        auto shareId = static_cast<std::int64_t>(sqlite3_last_insert_rowid(connection));
        return Created{shareById(connection, shareId, requesterId), ownerId, true};
    });
}

nlohmann::json ShareStore::list(std::int64_t userId)
{
    return database_.transaction([&](sqlite3* connection) {
        Statement select(connection, std::string(selectShares) + "WHERE s.sharer_id = ? OR s.sharee_id = ? ORDER BY s.id");
        select.bind(1, userId).bind(2, userId);
        auto shares = nlohmann::json::array();
        while (select.step())
            shares.push_back(shareJson(select, userId));
        return shares;
    });
}

nlohmann::json ShareStore::get(std::int64_t userId, std::int64_t shareId)
{
    return database_.transaction([&](sqlite3* connection) { return shareById(connection, shareId, userId); });
}

ShareStore::Updated ShareStore::update(std::int64_t userId, std::int64_t shareId, const nlohmann::json& changes)
{
    // A null key or path leaves the stored one: clients send null when they have nothing.
    auto key = request_parameters::optionalText(changes, "key");
    auto path = request_parameters::optionalText(changes, "path");
    auto allowed = request_parameters::optionalFlag(changes, "allowed");
    auto read = request_parameters::optionalFlag(changes, "read");
    if (!key && !path && !allowed && !read)
        throw ApiError(400, "Nothing to change: give key, allowed, read or path");

    return database_.transaction([&](sqlite3* connection) {
        Statement parties(connection, "SELECT sharer_id, sharee_id FROM shares WHERE id = ? AND (sharer_id = ? OR sharee_id = ?)");
        parties.bind(1, shareId).bind(2, userId).bind(3, userId);
        if (!parties.step())
            throw ApiError(404, "No such share");
        if (parties.isNull(0) || parties.integer(0) != userId)
            throw ApiError(403, "Only the sharer may change this share");
        std::int64_t shareeId = parties.integer(1);

        Statement(connection,
                  "UPDATE shares SET key = coalesce(?, key), path = coalesce(?, path), allowed = coalesce(?, allowed),"
                  " read = coalesce(?, read), rev = rev + 1 WHERE id = ?")
            .bind(1, key)
            .bind(2, path)
            .bind(3, allowed ? std::optional<std::int64_t>(*allowed) : std::nullopt)
            .bind(4, read ? std::optional<std::int64_t>(*read) : std::nullopt)
            .bind(5, shareId)
            .run();
        return Updated{shareById(connection, shareId, userId), shareeId};
    });
}

}  // namespace tolvarin::service
