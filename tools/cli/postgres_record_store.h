// Provisioning records in a PostgreSQL database shared by several stations, reached through libpq with a
// connection address (postgresql://user@host/database, or a Unix socket folder as ?host=/path). Schema
// creation is serialised with an advisory lock so that stations starting together create it once.
#pragma once

#include "record_store.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace cli {

class PostgresRecordStore : public RecordStore {
public:
    explicit PostgresRecordStore(const QString& location);
    ~PostgresRecordStore() override;
    PostgresRecordStore(const PostgresRecordStore&) = delete;
    PostgresRecordStore& operator=(const PostgresRecordStore&) = delete;

    void append(ProvisioningRecord& record) override;
    std::vector<ProvisioningRecord> find(const RecordQuery& query) override;

private:
    // Runs `statement` with text `parameters`; the result when it succeeded, else a Failure.
    PGresult* run(const QString& statement, const QStringList& parameters = {});
    void execute(const QString& statement);
    void prepareSchema();
    [[noreturn]] void fail(PGresult* result);

    QString location_;
    PGconn* connection_ = nullptr;
};

} // namespace cli
