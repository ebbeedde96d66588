#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvarin::service {

// One prepared SQLite statement; parameters are bound by position, starting at 1.
class Statement {
public:
    Statement(sqlite3* connection, std::string_view sql);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, const std::string& text) { return bind(index, std::string_view(text)); }
    Statement& bind(int index, const char* text) { return bind(index, std::string_view(text)); }
    Statement& bind(int index, const std::optional<std::string>& text);
    Statement& bind(int index, std::int64_t number);
    Statement& bind(int index, const std::optional<std::int64_t>& number);
    Statement& bindNull(int index);

    // Advances to the next row; false once the statement is done.
    bool step();
    // Runs a statement that returns no rows.
    void run();

    bool isNull(int column) const;
    std::string text(int column) const;
    std::optional<std::string> optionalText(int column) const;
    std::int64_t integer(int column) const;

private:
    sqlite3* connection_;
    sqlite3_stmt* statement_ = nullptr;
};

}  // namespace tolvarin::service
