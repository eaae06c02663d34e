#include "sqlite_failure.h"

#include "softkey_error.h"

#include <sqlite3.h>

#include <string>

namespace quillard::softkey {

void throwSqliteFailure(sqlite3* db, std::string_view what) {
    int code = db ? sqlite3_errcode(db) & 0xFF : SQLITE_NOMEM;
    std::string message = std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
    if (code == SQLITE_NOTADB)
        throw SoftkeyError(QR_TOKEN_NOT_RECOGNIZED, message);
    if (code == SQLITE_CORRUPT)
        throw SoftkeyError(QR_DEVICE_ERROR, message);
    throw SoftkeyError(QR_STORAGE_ERROR, message);
}

} // namespace quillard::softkey
