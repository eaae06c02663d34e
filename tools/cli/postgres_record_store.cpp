#include "postgres_record_store.h"

#include "cli_texts.h"

#include <libpq-fe.h>
#include <vector>

namespace cli {

namespace {

// The advisory lock key under which the schema is created (any constant; "PZrecord" in ASCII).
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(5790327405640148324)";

const char* const kSchema[] = {
    "CREATE TABLE record_schema (version INTEGER NOT NULL)",
    "CREATE TABLE provisioning_records (id BIGSERIAL PRIMARY KEY, operation TEXT NOT NULL, "
    "kind TEXT NOT NULL, serial TEXT NOT NULL, module TEXT NOT NULL, label TEXT NOT NULL, "
    "recorded_at TEXT NOT NULL, user_name TEXT NOT NULL, host TEXT NOT NULL, settings TEXT NOT NULL, "
    "certificates TEXT NOT NULL, fingerprints TEXT NOT NULL, so_pin_escrow TEXT NOT NULL, "
    "result TEXT NOT NULL, message TEXT NOT NULL)",
    "CREATE INDEX provisioning_records_serial ON provisioning_records (serial)",
    // Records are appended, never changed.
    "CREATE FUNCTION provisioning_records_append_only() RETURNS trigger LANGUAGE plpgsql AS "
    "$$ BEGIN RAISE EXCEPTION 'provisioning records are never changed'; END $$",
    "CREATE TRIGGER provisioning_records_append_only BEFORE UPDATE OR DELETE ON provisioning_records "
    "FOR EACH ROW EXECUTE FUNCTION provisioning_records_append_only()",
};

QString placeholder(int n) {
    return QStringLiteral("$%1").arg(n);
}

struct ResultClear {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultClear>;

} // namespace

PostgresRecordStore::PostgresRecordStore(const QString& location) : location_(location) {
    connection_ = PQconnectdb(location.toUtf8().constData());
    try {
        if (!connection_ || PQstatus(connection_) != CONNECTION_OK)
            storeFailure(location_,
                         QString::fromUtf8(connection_ ? PQerrorMessage(connection_) : "out of memory"));
        PQsetClientEncoding(connection_, "UTF8");
        prepareSchema();
    } catch (...) {
        // A constructor that throws runs no destructor: the connection, even a failed one, is closed here.
        PQfinish(connection_);
        throw;
    }
}

PostgresRecordStore::~PostgresRecordStore() {
    PQfinish(connection_);
}

void PostgresRecordStore::fail(PGresult* result) {
    const QString reason =
        QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(connection_));
    PQclear(result);
    storeFailure(location_, reason);
}

PGresult* PostgresRecordStore::run(const QString& statement, const QStringList& parameters) {
    std::vector<QByteArray> bytes;
    std::vector<const char*> values;
    for (const QString& parameter : parameters)
        bytes.push_back(parameter.toUtf8());
    for (const QByteArray& value : bytes)
        values.push_back(value.constData());
    PGresult* result =
        PQexecParams(connection_, statement.toUtf8().constData(), static_cast<int>(values.size()), nullptr,
                     values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        fail(result);
    return result;
}

void PostgresRecordStore::execute(const QString& statement) {
    PQclear(run(statement));
}

void PostgresRecordStore::prepareSchema() {
    execute(QStringLiteral("BEGIN"));
    try {
        execute(QString::fromLatin1(kSchemaLock));
        const Result exists(run(QStringLiteral("SELECT to_regclass('record_schema') IS NOT NULL")));
        if (QByteArray(PQgetvalue(exists.get(), 0, 0)) == "t") {
            const Result version(run(QStringLiteral("SELECT coalesce(max(version), 0) FROM record_schema")));
            if (QByteArray(PQgetvalue(version.get(), 0, 0)).toInt() > kRecordSchemaVersion)
                storeFailure(location_, text("RecordSchemaNewer"));
        } else {
            for (const char* statement : kSchema)
                execute(QString::fromLatin1(statement));
            execute(
                QStringLiteral("INSERT INTO record_schema (version) VALUES (%1)").arg(kRecordSchemaVersion));
        }
        execute(QStringLiteral("COMMIT"));
    } catch (...) {
        PQclear(PQexec(connection_, "ROLLBACK"));
        throw;
    }
}

void PostgresRecordStore::append(ProvisioningRecord& record) {
    const Result inserted(
        run(insertStatement(placeholder) + QStringLiteral(" RETURNING id"), record.values()));
    record.id = QByteArray(PQgetvalue(inserted.get(), 0, 0)).toLongLong();
}

std::vector<ProvisioningRecord> PostgresRecordStore::find(const RecordQuery& query) {
    QStringList parameters;
    const QString statement = selectStatement(query, placeholder, parameters);
    const Result rows(run(statement, parameters));
    std::vector<ProvisioningRecord> records;
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        QStringList values;
        for (int column = 1; column <= recordColumns().size(); ++column)
            values.append(QString::fromUtf8(PQgetvalue(rows.get(), row, column)));
        ProvisioningRecord& record = records.emplace_back(ProvisioningRecord::fromValues(values));
        record.id = QByteArray(PQgetvalue(rows.get(), row, 0)).toLongLong();
    }
    return records;
}

} // namespace cli
