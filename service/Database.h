#pragma once

#include "Statement.h"

#include <sqlite3.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <type_traits>

namespace tolvarin::service {

// The service's one SQLite database. Every use runs inside `transaction`, which serialises
// callers and rolls back on any exception, so a failed request leaves no partial change.
class Database {
public:
    explicit Database(const std::filesystem::path& file);
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    template <typename Work>
    auto transaction(Work&& work) -> std::invoke_result_t<Work&, sqlite3*>
    {
        std::lock_guard lock(mutex_);
        execute("BEGIN IMMEDIATE");
        try {
            if constexpr (std::is_void_v<std::invoke_result_t<Work&, sqlite3*>>) {
                work(connection_);
                execute("COMMIT");
            } else {
                auto result = work(connection_);
                execute("COMMIT");
                return result;
            }
        } catch (...) {
            sqlite3_exec(connection_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    // A random secret made when the database was created; never leaves the service.
    const std::string& serviceSecret() const { return serviceSecret_; }

private:
    void execute(const char* sql);
    void createSchema();
    std::string loadOrCreateSecret();

    std::mutex mutex_;
    sqlite3* connection_ = nullptr;
    std::string serviceSecret_;
};

}  // namespace tolvarin::service
