// Turns the last SQLite error of a connection into a StorageError: a file that is no database at all gives
// QR_FILE_UNUSABLE, a damaged one QR_DEVICE_ERROR, anything else (a lock held too long, a full disk)
// QR_STORAGE_ERROR.
#pragma once

#include <string_view>

struct sqlite3;

namespace quillard {

[[noreturn]] void throwSqliteFailure(sqlite3* db, std::string_view what);

} // namespace quillard
