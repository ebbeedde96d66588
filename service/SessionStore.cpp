#include "SessionStore.h"

#include "CryptoText.h"

namespace tolvarin::service {

namespace {

std::int64_t now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string SessionStore::open(std::int64_t userId)
{
    std::string token = crypto_text::randomHex(32);
    database_.transaction([&](sqlite3* connection) {
        Statement(connection, "DELETE FROM sessions WHERE last_used < ?").bind(1, now() - idleTime_.count()).run();
        Statement(connection, "INSERT INTO sessions(token_hash, user_id, last_used) VALUES(?, ?, ?)")
            .bind(1, crypto_text::sha256Hex(token))
            .bind(2, userId)
            .bind(3, now())
            .run();
    });
    return token;
}

std::optional<std::int64_t> SessionStore::userFor(const std::string& token)
{
    if (token.empty())
        return std::nullopt;
    std::string tokenHash = crypto_text::sha256Hex(token);
    return database_.transaction([&](sqlite3* connection) -> std::optional<std::int64_t> {
        Statement select(connection, "SELECT user_id, last_used FROM sessions WHERE token_hash = ?");
        select.bind(1, tokenHash);
        if (!select.step())
            return std::nullopt;
        std::int64_t userId = select.integer(0);
        std::int64_t current = now();
        if (current - select.integer(1) > idleTime_.count()) {
            Statement(connection, "DELETE FROM sessions WHERE token_hash = ?").bind(1, tokenHash).run();
            return std::nullopt;
        }
        Statement(connection, "UPDATE sessions SET last_used = ? WHERE token_hash = ?").bind(1, current).bind(2, tokenHash).run();
        return userId;
    });
}

}  // namespace tolvarin::service
