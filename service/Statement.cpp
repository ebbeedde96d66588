#include "Statement.h"

#include "DatabaseError.h"

namespace tolvarin::service {

Statement::Statement(sqlite3* connection, std::string_view sql) : connection_(connection)
{
    if (sqlite3_prepare_v2(connection, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) != SQLITE_OK)
        throw DatabaseError(sqlite3_errmsg(connection));
}

Statement::~Statement()
{
    sqlite3_finalize(statement_);
}

Statement& Statement::bind(int index, std::string_view text)
{
    if (sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        throw DatabaseError(sqlite3_errmsg(connection_));
    return *this;
}

Statement& Statement::bind(int index, const std::optional<std::string>& text)
{
    return text ? bind(index, std::string_view(*text)) : bindNull(index);
}

Statement& Statement::bind(int index, std::int64_t number)
{
    if (sqlite3_bind_int64(statement_, index, number) != SQLITE_OK)
        throw DatabaseError(sqlite3_errmsg(connection_));
    return *this;
}

Statement& Statement::bind(int index, const std::optional<std::int64_t>& number)
{
    return number ? bind(index, *number) : bindNull(index);
}

Statement& Statement::bindNull(int index)
{
    if (sqlite3_bind_null(statement_, index) != SQLITE_OK)
        throw DatabaseError(sqlite3_errmsg(connection_));
    return *this;
}

bool Statement::step()
{
    int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW)
        return true;
    if (result == SQLITE_DONE)
        return false;
    if (sqlite3_extended_errcode(connection_) == SQLITE_CONSTRAINT_UNIQUE ||
        sqlite3_extended_errcode(connection_) == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw UniquenessViolation(sqlite3_errmsg(connection_));
    throw DatabaseError(sqlite3_errmsg(connection_));
}

void Statement::run()
{
    while (step()) {
    }
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::string Statement::text(int column) const
{
    const auto* bytes = sqlite3_column_text(statement_, column);
    if (!bytes)
        return {};
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

std::optional<std::string> Statement::optionalText(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return text(column);
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(statement_, column);
}

}  // namespace tolvarin::service
