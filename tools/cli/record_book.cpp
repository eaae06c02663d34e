#include "record_book.h"

#include "cli_texts.h"
#include "failure.h"
#include "tools/common/usage_error.h"

#include <set>

namespace cli {

std::unique_ptr<RecordBook> RecordBook::of(Invocation& invocation) {
    const std::optional<std::string> location = invocation.arguments().text("records");
    if (!location)
        return nullptr;
    return std::make_unique<RecordBook>(QString::fromLocal8Bit(*location));
}

std::unique_ptr<RecordBook> RecordBook::required(Invocation& invocation, const char* why) {
    std::unique_ptr<RecordBook> book = of(invocation);
    if (!book)
        throw tools::UsageError(std::string("--records STORE is needed ") + why);
    return book;
}

RecordBook::RecordBook(const QString& location) : location_(location), store_(openRecordStore(location)) {}

void settleRecord(ProvisioningRecord& record, const QString* failure) {
    record.result = failure ? QStringLiteral("failed") : QStringLiteral("ok");
    record.message = failure ? *failure : QString();
}

void RecordBook::runRecorded(ProvisioningRecord record, const std::function<void()>& operation) {
    try {
        operation();
    } catch (const Failure& failure) {
        settleRecord(record, &failure.message());
        store_->append(record);
        throw;
    }
    settleRecord(record, nullptr);
    store_->append(record);
}

ProvisioningRecord RecordBook::currentSoPinEscrow(const FoundKey& key) {
    const QString serial = QString::fromStdString(key.serial);
    const std::vector<ProvisioningRecord> records =
        store_->find({serial, QString::fromStdString(key.module), {}, {}});
    std::set<QString> failedOperations;
    for (const ProvisioningRecord& record : records)
        if (record.result == QLatin1String("failed"))
            failedOperations.insert(record.operation);
    for (auto newest = records.rbegin(); newest != records.rend(); ++newest) {
        if (!setsSoPin(newest->kind) || failedOperations.count(newest->operation))
            continue;
        for (const ProvisioningRecord& record : records)
            if (record.operation == newest->operation && !record.soPinEscrow.isEmpty())
                return record;
        throw Failure(kFailed, text("SoPinNotEscrowed").arg(serial, newest->time, newest->kind));
    }
    throw Failure(kFailed, text("NoEscrowRecord").arg(serial, shownLocation(location_)));
}

} // namespace cli
