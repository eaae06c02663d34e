// One prepared SQLite statement, finalised when it goes. Every failure throws a StorageError
// (sqlite_failure.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quillard {

class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters are numbered from 1, as in SQLite.
    SqliteStatement& bindInteger(int index, int64_t value);
    SqliteStatement& bindText(int index, std::string_view text);
    SqliteStatement& bindBlob(int index, const void* data, std::size_t size);
    SqliteStatement& bindBlob(int index, const std::vector<uint8_t>& bytes) {
        return bindBlob(index, bytes.data(), bytes.size());
    }

    // Moves to the next row; false when there is none.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    // Makes the statement ready to run again: its rows are given up (and with them any lock they hold) and
    // its values unbound.
    void reset();

    // Columns are numbered from 0.
    int64_t integer(int column) const;
    std::string text(int column) const;
    std::vector<uint8_t> blob(int column) const;

private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

// A statement kept prepared by its connection (SqliteConnection::reuse()), lent for one use: it is reset when
// this goes, so it holds no lock between uses.
class SqliteReusedStatement {
public:
    explicit SqliteReusedStatement(SqliteStatement& statement) : statement_(statement) {}
    ~SqliteReusedStatement() { statement_.reset(); }
    SqliteReusedStatement(const SqliteReusedStatement&) = delete;
    SqliteReusedStatement& operator=(const SqliteReusedStatement&) = delete;

    SqliteStatement* operator->() const { return &statement_; }
    SqliteStatement& operator*() const { return statement_; }

private:
    SqliteStatement& statement_;
};

} // namespace quillard
