// Turns the last SQLite error of a connection into a SoftkeyError: a file that is no database at all is a key
// not recognised, a damaged one a device error, anything else (a lock held too long, a full disk) a storage
// error.
#pragma once

#include <string_view>

struct sqlite3;

namespace quillard::softkey {

[[noreturn]] void throwSqliteFailure(sqlite3* db, std::string_view what);

} // namespace quillard::softkey
