// The provisioning records a command keeps with --records STORE: the store is opened before any key is
// touched, so a station that cannot reach it refuses to work unrecorded, and each operation's outcome is
// appended once it is known.
#pragma once

#include "invocation.h"
#include "record_store.h"

#include <functional>
#include <memory>
#include <optional>

namespace cli {

class RecordBook {
public:
    // The book of --records; nullptr when the option was not given.
    static std::unique_ptr<RecordBook> of(Invocation& invocation);
    // The book of --records; a usage error naming `why` when the option was not given.
    static std::unique_ptr<RecordBook> required(Invocation& invocation, const char* why);

    explicit RecordBook(const QString& location);
    RecordStore& store() { return *store_; }
    const QString& location() const { return location_; }

    // Runs `operation` and appends `record` with its result: ok, or failed with the Failure's message, which
    // is then thrown on.
    void runRecorded(ProvisioningRecord record, const std::function<void()>& operation);

    // The record holding the SO PIN `key` has now, sealed for the recovery key: the newest operation that set
    // the key's SO PIN and did not fail. A Failure when there is none or that operation sealed none.
    ProvisioningRecord currentSoPinEscrow(const FoundKey& key);

private:
    QString location_;
    std::unique_ptr<RecordStore> store_;
};

// Sets `record`'s result: failed with `failure` as its message, or ok when there is none.
void settleRecord(ProvisioningRecord& record, const QString* failure);

} // namespace cli
