#include "sqlite_connection.h"

#include "sqlite_failure.h"
#include "storage_error.h"
#include "token/lib/quillard_errors.h"

#include <sqlite3.h>

#include <string>

namespace quillard {

namespace {

constexpr int kBusyTimeoutMs = 10000;

} // namespace

SqliteConnection::SqliteConnection(const std::filesystem::path& file, OpenMode mode) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    if (mode == OpenMode::CreateIfMissing)
        flags |= SQLITE_OPEN_CREATE;
    int status = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
    if (status != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        std::error_code ignored;
        bool missing = mode == OpenMode::ExistingOnly && !std::filesystem::exists(file, ignored);
        throw StorageError(missing ? QR_FILE_NOT_FOUND : QR_STORAGE_ERROR,
                           "cannot open " + file.string() + ": " + message);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    try {
        // secure_delete reads the file's header, so this is also where a file that is no database shows.
        execute("PRAGMA foreign_keys = ON; PRAGMA secure_delete = ON; PRAGMA synchronous = FULL;");
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

SqliteConnection::~SqliteConnection() {
    statements_.clear(); // SQLite closes no connection with statements left
    sqlite3_close(db_);
}

SqliteConnection::SqliteConnection(SqliteConnection&& other) noexcept
    : db_(other.db_), statements_(std::move(other.statements_)) {
    other.db_ = nullptr;
}

int64_t SqliteConnection::changedRows() const {
    return sqlite3_changes64(db_);
}

SqliteReusedStatement SqliteConnection::reuse(std::string_view sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end())
        found = statements_.emplace(std::string(sql), std::make_unique<SqliteStatement>(db_, sql)).first;
    return SqliteReusedStatement(*found->second);
}

uint32_t SqliteConnection::dataVersion() {
    unsigned int version = 0;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &version) != SQLITE_OK)
        throwSqliteFailure(db_, "cannot read the data version");
    return version;
}

bool SqliteConnection::hasMoved() {
    int moved = 0;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK)
        throwSqliteFailure(db_, "cannot check the file");
    return moved != 0;
}

bool SqliteConnection::peekFile(int64_t offset, void* bytes, int size) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return false;
    return file->pMethods->xRead(file, bytes, size, offset) == SQLITE_OK;
}

void SqliteConnection::execute(std::string_view sql) {
    std::string text(sql);
    char* error = nullptr;
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        sqlite3_free(error);
        throwSqliteFailure(db_, "cannot run " + text.substr(0, text.find(' ')));
    }
}

} // namespace quillard
