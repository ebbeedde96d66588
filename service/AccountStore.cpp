#include "AccountStore.h"

#include "ApiError.h"
#include "CryptoText.h"
#include "DatabaseError.h"
#include "RequestParameters.h"

#include <array>
#include <string_view>

namespace tolvarin::service {

namespace {

constexpr std::size_t keySaltBytes = 20;
constexpr std::size_t authSaltBytes = 16;
constexpr std::size_t resetKeyBytes = 32;
constexpr std::size_t pusherKeyBytes = 16;

// Members of PUT /user that are plain texts, with the column each is kept in.
constexpr std::array<std::string_view, 5> textMembers = {
    "access_key", "packing_key", "public_key", "share_key_id", "effective_mount_point"};

nlohmann::json textOrNull(const Statement& row, int column)
{
    auto value = row.optionalText(column);
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// Records that `keyId` belongs to `userId`; a key id that another account already holds
// would let that account's share requests be routed to the wrong owner.
void claimShareKey(sqlite3* connection, std::int64_t userId, const std::string& keyId)
{
    Statement owner(connection, "SELECT user_id FROM share_keys WHERE key_id = ?");
    owner.bind(1, keyId);
    if (owner.step()) {
        if (owner.integer(0) != userId)
            throw ApiError(409, "The share key id is already held by another account");
        return;
    }
    Statement(connection, "INSERT INTO share_keys(key_id, user_id) VALUES(?, ?)").bind(1, keyId).bind(2, userId).run();
}

}  // namespace

std::int64_t AccountStore::createUser(const std::string& email, const std::string& firstName, const SecureBuffer& password)
{
    if (email.find('@') == std::string::npos)
        throw ApiError(422, "The e-mail address is not valid");
    if (firstName.empty())
        throw ApiError(422, "The first name is missing");
    if (password.empty())
        throw ApiError(422, "The password is missing");

    std::string authSalt = crypto_text::randomBase64(authSaltBytes);
    SecureBuffer saltedPassword(password.view());
    saltedPassword.append(authSalt);
    SecureBuffer verifier(crypto_text::passwordHash(saltedPassword.view()));

    return database_.transaction([&](sqlite3* connection) {
        Statement insert(connection,
                         "INSERT INTO users(email, first_name, key_salt, auth_salt, verifier, reset_key, pusher_key)"
                         " VALUES(?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, email)
            .bind(2, firstName)
            .bind(3, crypto_text::randomBase64(keySaltBytes))
            .bind(4, authSalt)
            .bind(5, verifier.view())
            .bind(6, crypto_text::randomBase64(resetKeyBytes))
            .bind(7, crypto_text::randomHex(pusherKeyBytes));
        try {
            insert.run();
        } catch (const UniquenessViolation&) {
            throw ApiError(422, "An account with this e-mail address already exists");
        }
        return static_cast<std::int64_t>(sqlite3_last_insert_rowid(connection));
    });
}

std::optional<AccountStore::Credentials> AccountStore::credentials(const std::string& email)
{
    return database_.transaction([&](sqlite3* connection) -> std::optional<Credentials> {
        Statement select(connection, "SELECT id, auth_salt, verifier FROM users WHERE email = ?");
        select.bind(1, email);
        if (!select.step())
            return std::nullopt;
        return Credentials{select.integer(0), select.text(1), SecureBuffer(select.text(2))};
    });
}

nlohmann::json AccountStore::userObject(std::int64_t userId)
{
    return database_.transaction([&](sqlite3* connection) {
        Statement select(connection,
                         "SELECT id, email, first_name, key_salt, access_key, packing_key, public_key, share_key_id,"
                         " effective_mount_point, user_blob FROM users WHERE id = ?");
        select.bind(1, userId);
        if (!select.step())
            throw ApiError(404, "No such user");
        nlohmann::json user = {
            {"id", select.integer(0)},
            {"email", select.text(1)},
            {"first_name", select.text(2)},
            {"key_salt", select.text(3)},
            {"access_key", textOrNull(select, 4)},
            {"packing_key", textOrNull(select, 5)},
            {"public_key", textOrNull(select, 6)},
            {"share_key_id", textOrNull(select, 7)},
            {"effective_mount_point", textOrNull(select, 8)},
            {"user_blob", nullptr},
        };
        if (auto blob = select.optionalText(9))
            user["user_blob"] = {{"blob", *blob}};
        return user;
    });
}

nlohmann::json AccountStore::publicUser(std::int64_t userId)
{
    return database_.transaction([&](sqlite3* connection) {
        Statement select(connection, "SELECT id, first_name, public_key FROM users WHERE id = ?");
        select.bind(1, userId);
        if (!select.step())
            throw ApiError(404, "No such user");
        return nlohmann::json{{"id", select.integer(0)}, {"first_name", select.text(1)}, {"public_key", textOrNull(select, 2)}};
    });
}

void AccountStore::updateUser(std::int64_t userId, const nlohmann::json& user)
{
    // Read and check every member before writing any, so a bad member changes nothing.
    std::vector<std::pair<std::string_view, std::optional<std::string>>> texts;
    for (auto name : textMembers) {
        if (user.contains(name))
            texts.emplace_back(name, request_parameters::optionalText(user, name));
    }
    std::optional<std::string> firstName = request_parameters::optionalText(user, "first_name");
    if (firstName && firstName->empty())
        throw ApiError(400, "Member 'first_name' must be a non-empty text");

    // An empty user_blob object means the client has no blob text: the stored one stays.
    bool blobGiven = false;
    std::optional<std::string> blob;
    if (user.contains("user_blob") && !user["user_blob"].is_null()) {
        const auto& userBlob = request_parameters::requiredObject(user, "user_blob");
        if (userBlob.contains("blob")) {
            blobGiven = true;
            blob = request_parameters::optionalText(userBlob, "blob");
        }
    }
    for (const auto& [name, value] : texts) {
        if (name == "share_key_id" && value && value->empty())
            throw ApiError(400, "Member 'share_key_id' must not be empty");
    }

    database_.transaction([&](sqlite3* connection) {
        for (const auto& [name, value] : texts) {
            // `name` comes from the fixed list above, never from the request.
            std::string sql = "UPDATE users SET " + std::string(name) + " = ? WHERE id = ?";
            Statement(connection, sql).bind(1, value).bind(2, userId).run();
            if (name == "share_key_id" && value)
                claimShareKey(connection, userId, *value);
        }
        if (firstName)
            Statement(connection, "UPDATE users SET first_name = ? WHERE id = ?").bind(1, *firstName).bind(2, userId).run();
        if (blobGiven)
            Statement(connection, "UPDATE users SET user_blob = ? WHERE id = ?").bind(1, blob).bind(2, userId).run();
    });
}

void AccountStore::storeRecoveryKey(std::int64_t userId, const std::string& keyId, const std::string& key)
{
    database_.transaction([&](sqlite3* connection) {
        Statement(connection, "INSERT OR REPLACE INTO recovery_keys(user_id, key_id, key) VALUES(?, ?, ?)")
            .bind(1, userId)
            .bind(2, keyId)
            .bind(3, key)
            .run();
    });
}

std::optional<std::string> AccountStore::recoveryKey(std::int64_t userId, const std::string& keyId)
{
    return database_.transaction([&](sqlite3* connection) -> std::optional<std::string> {
        Statement select(connection, "SELECT key FROM recovery_keys WHERE user_id = ? AND key_id = ?");
        select.bind(1, userId).bind(2, keyId);
        if (!select.step())
            return std::nullopt;
        return select.text(0);
    });
}

std::string AccountStore::resetKey(std::int64_t userId)
{
    return database_.transaction([&](sqlite3* connection) {
        Statement select(connection, "SELECT reset_key FROM users WHERE id = ?");
        select.bind(1, userId);
        if (!select.step())
            throw ApiError(404, "No such user");
        return select.text(0);
    });
}

std::string AccountStore::pusherKey(std::int64_t userId)
{
    return database_.transaction([&](sqlite3* connection) {
        Statement select(connection, "SELECT pusher_key FROM users WHERE id = ?");
        select.bind(1, userId);
        if (!select.step())
            throw ApiError(404, "No such user");
        return select.text(0);
    });
}

std::optional<std::int64_t> AccountStore::userForPusherKey(const std::string& pusherKey)
{
    return database_.transaction([&](sqlite3* connection) -> std::optional<std::int64_t> {
        Statement select(connection, "SELECT id FROM users WHERE pusher_key = ?");
        select.bind(1, pusherKey);
        if (!select.step())
            return std::nullopt;
        return select.integer(0);
    });
}

}  // namespace tolvarin::service
