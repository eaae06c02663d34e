// Where provisioning records are kept: an SQLite file for one station, or a PostgreSQL database that several
// stations share (a location starting with postgresql:// or postgres://). Opening a store creates its schema
// when missing and refuses one written by a newer schema version. Every append is one transaction of the
// store, so stations writing at the same time each get their own record and none is lost.
#pragma once

#include "provisioning_record.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace cli {

// Empty fields match everything; `since` is compared with the records' UTC times.
struct RecordQuery {
    QString serial;
    QString module;
    QString fingerprint; // as normalFingerprint() gives it
    QString since;
};

class RecordStore {
public:
    virtual ~RecordStore() = default;
    // Appends `record` and sets its id; a Failure when the store refuses.
    virtual void append(ProvisioningRecord& record) = 0;
    // The records matching `query`, oldest first.
    virtual std::vector<ProvisioningRecord> find(const RecordQuery& query) = 0;
};

// The schema version this program writes.
constexpr int kRecordSchemaVersion = 1;

// Opens the store at `location`; a Failure (naming the location without a password) when it cannot be
// reached, created or used.
std::unique_ptr<RecordStore> openRecordStore(const QString& location);

// `location` fit to show: a connection address without its password.
QString shownLocation(const QString& location);

// The statement text both stores share, with `placeholder(n)` for the n-th parameter (from 1).
using Placeholder = std::function<QString(int)>;
QString insertStatement(const Placeholder& placeholder);
// The select of `query`; its parameters, in order, go to `parameters`.
QString selectStatement(const RecordQuery& query, const Placeholder& placeholder, QStringList& parameters);

// A Failure saying the store at `location` cannot be used, with the store's own `reason`.
[[noreturn]] void storeFailure(const QString& location, const QString& reason);

} // namespace cli
