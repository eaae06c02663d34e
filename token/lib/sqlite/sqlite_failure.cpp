#include "sqlite_failure.h"

#include "storage_error.h"
#include "token/lib/quillard_errors.h"

#include <sqlite3.h>

#include <string>

namespace quillard {

void throwSqliteFailure(sqlite3* db, std::string_view what) {
    int code = db ? sqlite3_errcode(db) & 0xFF : SQLITE_NOMEM;
    std::string message = std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
    if (code == SQLITE_NOTADB)
        throw StorageError(QR_FILE_UNUSABLE, message);
    if (code == SQLITE_CORRUPT)
        throw StorageError(QR_DEVICE_ERROR, message);
    throw StorageError(QR_STORAGE_ERROR, message);
}

} // namespace quillard
