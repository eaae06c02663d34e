#include "sqlite_transaction.h"

namespace quillard {

namespace {

const char* beginStatement(SqliteTransaction::Kind kind) {
    switch (kind) {
    case SqliteTransaction::Kind::Write:
        return "BEGIN IMMEDIATE";
    case SqliteTransaction::Kind::Exclusive:
        return "BEGIN EXCLUSIVE";
    case SqliteTransaction::Kind::Read:
        break;
    }
    return "BEGIN";
}

} // namespace

// The statements of a transaction are kept prepared by the connection, as a key's connection runs them for
// every call.
SqliteTransaction::SqliteTransaction(SqliteConnection& connection, Kind kind) : connection_(&connection) {
    connection_->reuse(beginStatement(kind))->run();
    if (kind != Kind::Read)
        return;
    // A deferred transaction takes its shared lock at the first read; take it now.
    try {
        connection_->reuse("SELECT count(*) FROM sqlite_master")->run();
    } catch (...) {
        connection_->execute("ROLLBACK");
        throw;
    }
}

SqliteTransaction::~SqliteTransaction() {
    if (!connection_)
        return;
    try {
        connection_->reuse("ROLLBACK")->run();
    } catch (...) {
        // A failed rollback leaves the journal for SQLite to roll back at the next open.
    }
}

SqliteTransaction::SqliteTransaction(SqliteTransaction&& other) noexcept : connection_(other.connection_) {
    other.connection_ = nullptr;
}

void SqliteTransaction::commit() {
    connection_->reuse("COMMIT")->run();
    connection_ = nullptr;
}

} // namespace quillard
