// An open SQLite database file, closed when it goes. Set up for several processes sharing one file: a
// rollback journal, full synchronisation, a busy timeout instead of immediate lock errors, and deleted
// content overwritten.
#pragma once

#include "sqlite_statement.h"

#include <filesystem>
#include <string_view>

struct sqlite3;

namespace quillard {

class SqliteConnection {
public:
    enum class OpenMode { ExistingOnly, CreateIfMissing };

    // Throws StorageError: QR_FILE_NOT_FOUND when an existing file was asked for and there is none,
    // QR_STORAGE_ERROR when the file cannot be opened, otherwise as sqlite_failure.h says.
    SqliteConnection(const std::filesystem::path& file, OpenMode mode);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;
    SqliteConnection(SqliteConnection&& other) noexcept;
    SqliteConnection& operator=(SqliteConnection&&) = delete;

    void execute(std::string_view sql);
    SqliteStatement prepare(std::string_view sql) { return SqliteStatement(db_, sql); }
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int64_t changedRows() const;

private:
    sqlite3* db_ = nullptr;
};

} // namespace quillard
