// An open SQLite database file, closed when it goes. Set up for several processes sharing one file: a
// rollback journal, full synchronisation, a busy timeout instead of immediate lock errors, and deleted
// content overwritten.
#pragma once

#include "sqlite_statement.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

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
    // The statement for `sql`, prepared at its first use and kept for the connection's life; one use of a
    // statement at a time.
    SqliteReusedStatement reuse(std::string_view sql);
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int64_t changedRows() const;
    // A number that changes whenever the database file changes, through this connection or any other; it is
    // current while a transaction holds the file's lock.
    uint32_t dataVersion();
    // True when the file this connection opened is no longer at the path it was opened under: moved, deleted
    // or replaced by another file.
    bool hasMoved();
    // Reads `size` bytes at `offset` of the file this connection opened, as they are on disk now, without
    // taking a lock; false when they cannot be read (the file is shorter, say).
    bool peekFile(int64_t offset, void* bytes, int size);

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>, TextHash, std::equal_to<>> statements_;
};

} // namespace quillard
