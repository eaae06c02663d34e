// Provisioning records in an SQLite file, readable by its owner only. Writers take the file's write lock
// for each append and wait for one another.
#pragma once

#include "record_store.h"

struct sqlite3;

namespace cli {

class SqliteRecordStore : public RecordStore {
public:
    explicit SqliteRecordStore(const QString& path);
    ~SqliteRecordStore() override;
    SqliteRecordStore(const SqliteRecordStore&) = delete;
    SqliteRecordStore& operator=(const SqliteRecordStore&) = delete;

    void append(ProvisioningRecord& record) override;
    std::vector<ProvisioningRecord> find(const RecordQuery& query) override;

private:
    void execute(const char* statement);
    // The schema version of the file; 0 when it has none yet.
    int storedVersion();
    // Creates the schema in an empty file, or checks the version of an existing one.
    void prepareSchema();
    [[noreturn]] void fail();

    QString path_;
    sqlite3* database_ = nullptr;
};

} // namespace cli
