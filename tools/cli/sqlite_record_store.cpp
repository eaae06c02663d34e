#include "sqlite_record_store.h"

#include "cli_texts.h"

#include <QFile>
#include <sqlite3.h>

namespace cli {

namespace {

// How long a writer waits for another station's transaction on the same file.
constexpr int kBusyTimeoutMs = 60000;

const char* const kSchema[] = {
    "CREATE TABLE record_schema (version INTEGER NOT NULL)",
    "CREATE TABLE provisioning_records (id INTEGER PRIMARY KEY AUTOINCREMENT, operation TEXT NOT NULL, "
    "kind TEXT NOT NULL, serial TEXT NOT NULL, module TEXT NOT NULL, label TEXT NOT NULL, "
    "recorded_at TEXT NOT NULL, user_name TEXT NOT NULL, host TEXT NOT NULL, settings TEXT NOT NULL, "
    "certificates TEXT NOT NULL, fingerprints TEXT NOT NULL, so_pin_escrow TEXT NOT NULL, "
    "result TEXT NOT NULL, message TEXT NOT NULL)",
    "CREATE INDEX provisioning_records_serial ON provisioning_records (serial)",
    // Records are appended, never changed.
    "CREATE TRIGGER provisioning_records_no_update BEFORE UPDATE ON provisioning_records "
    "BEGIN SELECT RAISE(ABORT, 'provisioning records are never changed'); END",
    "CREATE TRIGGER provisioning_records_no_delete BEFORE DELETE ON provisioning_records "
    "BEGIN SELECT RAISE(ABORT, 'provisioning records are never deleted'); END",
};

struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

QString columnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? QString::fromUtf8(text) : QString();
}

// A new file is made readable by its owner only before SQLite opens it; its journal files take its mode.
bool createPrivateFile(const QString& path) {
    if (QFile::exists(path))
        return true;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

SqliteRecordStore::SqliteRecordStore(const QString& path) : path_(path) {
    if (!createPrivateFile(path))
        storeFailure(path, text("FileUnwritable").arg(path));
    try {
        if (sqlite3_open_v2(path.toLocal8Bit().constData(), &database_, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK)
            fail();
        sqlite3_busy_timeout(database_, kBusyTimeoutMs);
        prepareSchema();
    } catch (...) {
        // A constructor that throws runs no destructor: the database, even one that failed to open, is
        // closed here.
        sqlite3_close(database_);
        throw;
    }
}

SqliteRecordStore::~SqliteRecordStore() {
    sqlite3_close(database_);
}

void SqliteRecordStore::fail() {
    storeFailure(path_, QString::fromUtf8(database_ ? sqlite3_errmsg(database_) : "out of memory"));
}

void SqliteRecordStore::execute(const char* statement) {
    if (sqlite3_exec(database_, statement, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

int SqliteRecordStore::storedVersion() {
    Statement version;
    if (sqlite3_prepare_v2(database_, "SELECT max(version) FROM record_schema", -1, &version.handle,
                           nullptr) != SQLITE_OK)
        return 0;
    return sqlite3_step(version.handle) == SQLITE_ROW ? sqlite3_column_int(version.handle, 0) : 0;
}

void SqliteRecordStore::prepareSchema() {
    execute("BEGIN IMMEDIATE");
    try {
        const int version = storedVersion();
        if (version > kRecordSchemaVersion)
            storeFailure(path_, text("RecordSchemaNewer"));
        if (version == 0) {
            for (const char* statement : kSchema)
                execute(statement);
            execute(
                ("INSERT INTO record_schema (version) VALUES (" + std::to_string(kRecordSchemaVersion) + ")")
                    .c_str());
        }
        execute("COMMIT");
    } catch (...) {
        sqlite3_exec(database_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteRecordStore::append(ProvisioningRecord& record) {
    const QByteArray sql = insertStatement([](int n) { return QStringLiteral("?%1").arg(n); }).toUtf8();
    Statement insert;
    if (sqlite3_prepare_v2(database_, sql.constData(), -1, &insert.handle, nullptr) != SQLITE_OK)
        fail();
    const QStringList values = record.values();
    for (int i = 0; i < values.size(); ++i) {
        const QByteArray value = values[i].toUtf8();
        sqlite3_bind_text(insert.handle, i + 1, value.constData(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    }
    if (sqlite3_step(insert.handle) != SQLITE_DONE)
        fail();
    record.id = sqlite3_last_insert_rowid(database_);
}

std::vector<ProvisioningRecord> SqliteRecordStore::find(const RecordQuery& query) {
    QStringList parameters;
    const QByteArray sql = selectStatement(
                               query, [](int n) { return QStringLiteral("?%1").arg(n); }, parameters)
                               .toUtf8();
    Statement select;
    if (sqlite3_prepare_v2(database_, sql.constData(), -1, &select.handle, nullptr) != SQLITE_OK)
        fail();
    for (int i = 0; i < parameters.size(); ++i) {
        const QByteArray value = parameters[i].toUtf8();
        sqlite3_bind_text(select.handle, i + 1, value.constData(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    }
    std::vector<ProvisioningRecord> records;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(select.handle)) == SQLITE_ROW) {
        QStringList values;
        for (int column = 1; column <= recordColumns().size(); ++column)
            values.append(columnText(select.handle, column));
        ProvisioningRecord& record = records.emplace_back(ProvisioningRecord::fromValues(values));
        record.id = sqlite3_column_int64(select.handle, 0);
    }
    if (step != SQLITE_DONE)
        fail();
    return records;
}

} // namespace cli
