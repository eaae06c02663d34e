// A transaction on a SqliteConnection that rolls back unless committed. A read transaction holds the shared
// lock from its start, a write transaction the reserved lock, so what is read stays true until the end and
// two processes never interleave their changes to one key. An exclusive transaction also keeps readers out.
#pragma once

#include "sqlite_connection.h"

namespace quillard {

class SqliteTransaction {
public:
    enum class Kind { Read, Write, Exclusive };

    SqliteTransaction(SqliteConnection& connection, Kind kind);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    SqliteTransaction(SqliteTransaction&& other) noexcept;
    SqliteTransaction& operator=(SqliteTransaction&&) = delete;

    void commit();

private:
    SqliteConnection* connection_;
};

} // namespace quillard
