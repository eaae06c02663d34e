#include "sqlite_statement.h"

#include "sqlite_failure.h"

#include <sqlite3.h>

namespace quillard {

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : db_(db) {
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) != SQLITE_OK)
        throwSqliteFailure(db_, "cannot prepare a statement");
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

SqliteStatement& SqliteStatement::bindInteger(int index, int64_t value) {
    if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK)
        throwSqliteFailure(db_, "cannot bind a value");
    return *this;
}

SqliteStatement& SqliteStatement::bindText(int index, std::string_view text) {
    if (sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) !=
        SQLITE_OK)
        throwSqliteFailure(db_, "cannot bind a text");
    return *this;
}

SqliteStatement& SqliteStatement::bindBlob(int index, const void* data, std::size_t size) {
    // An empty blob is still a blob, not NULL: SQLite needs a non-null pointer for that.
    static const uint8_t empty = 0;
    if (sqlite3_bind_blob64(statement_, index, size ? data : &empty, size, SQLITE_TRANSIENT) != SQLITE_OK)
        throwSqliteFailure(db_, "cannot bind a blob");
    return *this;
}

bool SqliteStatement::step() {
    int status = sqlite3_step(statement_);
    if (status == SQLITE_ROW)
        return true;
    if (status == SQLITE_DONE)
        return false;
    throwSqliteFailure(db_, "cannot run a statement");
}

void SqliteStatement::run() {
    while (step()) {
    }
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_); // repeats the last step's error, which was thrown already
    sqlite3_clear_bindings(statement_);
}

int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string SqliteStatement::text(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return data ? std::string(data, sqlite3_column_bytes(statement_, column)) : std::string();
}

std::vector<uint8_t> SqliteStatement::blob(int column) const {
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement_, column));
    return data ? std::vector<uint8_t>(data, data + sqlite3_column_bytes(statement_, column))
                : std::vector<uint8_t>();
}

} // namespace quillard
