#include "Database.h"

#include "CryptoText.h"
#include "DatabaseError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvarin::service {

namespace {

constexpr const char* schema = R"sql(
CREATE TABLE IF NOT EXISTS settings(
  name TEXT PRIMARY KEY,
  value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS users(
  id INTEGER PRIMARY KEY,
  email TEXT NOT NULL UNIQUE COLLATE NOCASE,
  first_name TEXT NOT NULL,
  key_salt TEXT NOT NULL,
  auth_salt TEXT NOT NULL,
  verifier TEXT NOT NULL,
  reset_key TEXT NOT NULL,
  pusher_key TEXT NOT NULL UNIQUE,
  access_key TEXT,
  packing_key TEXT,
  public_key TEXT,
  share_key_id TEXT,
  effective_mount_point TEXT,
  user_blob TEXT);
CREATE TABLE IF NOT EXISTS share_keys(
  key_id TEXT PRIMARY KEY,
  user_id INTEGER NOT NULL REFERENCES users(id));
CREATE TABLE IF NOT EXISTS sessions(
  token_hash TEXT PRIMARY KEY,
  user_id INTEGER NOT NULL REFERENCES users(id),
  last_used INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS recovery_keys(
  user_id INTEGER NOT NULL REFERENCES users(id),
  key_id TEXT NOT NULL,
  key TEXT NOT NULL,
  PRIMARY KEY(user_id, key_id));
CREATE TABLE IF NOT EXISTS shares(
  id INTEGER PRIMARY KEY,
  sharer_id INTEGER REFERENCES users(id),
  sharee_id INTEGER NOT NULL REFERENCES users(id),
  key_id TEXT NOT NULL,
  key_type TEXT NOT NULL,
  path TEXT,
  localized_path TEXT,
  key TEXT,
  allowed INTEGER NOT NULL DEFAULT 0,
  read INTEGER NOT NULL DEFAULT 0,
  hidden INTEGER NOT NULL DEFAULT 0,
  rev INTEGER NOT NULL DEFAULT 1,
  created_at INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS shares_by_sharer ON shares(sharer_id);
CREATE INDEX IF NOT EXISTS shares_by_sharee ON shares(sharee_id);
)sql";

// Account data must never be readable by other users, so the file is made 0600 before
// SQLite opens it (its journal files copy the file's mode).
void createPrivateFile(const std::filesystem::path& file)
{
    int descriptor = ::open(file.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor < 0)
        throw DatabaseError("cannot open database " + file.string() + ": " + std::strerror(errno));
    ::fchmod(descriptor, 0600);
    ::close(descriptor);
}

}  // namespace

Database::Database(const std::filesystem::path& file)
{
    createPrivateFile(file);
    if (sqlite3_open_v2(file.c_str(), &connection_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        std::string message = connection_ ? sqlite3_errmsg(connection_) : "out of memory";
        sqlite3_close(connection_);
        throw DatabaseError("cannot open database " + file.string() + ": " + message);
    }
    try {
        sqlite3_busy_timeout(connection_, 5000);
        execute("PRAGMA journal_mode=WAL");
        execute("PRAGMA foreign_keys=ON");
        createSchema();
        serviceSecret_ = loadOrCreateSecret();
    } catch (...) {
        sqlite3_close(connection_);
        throw;
    }
}

Database::~Database()
{
    OPENSSL_cleanse(serviceSecret_.data(), serviceSecret_.size());
    sqlite3_close(connection_);
}

void Database::execute(const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(connection_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(connection_);
        sqlite3_free(error);
        throw DatabaseError(message);
    }
}

void Database::createSchema()
{
    std::lock_guard lock(mutex_);
    execute(schema);
}

std::string Database::loadOrCreateSecret()
{
    return transaction([](sqlite3* connection) {
        Statement select(connection, "SELECT value FROM settings WHERE name = 'service_secret'");
        if (select.step())
            return select.text(0);
        std::string secret = crypto_text::randomBase64(32);
        Statement(connection, "INSERT INTO settings(name, value) VALUES('service_secret', ?)").bind(1, secret).run();
        return secret;
    });
}

}  // namespace tolvarin::service
