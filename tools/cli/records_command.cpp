#include "records_command.h"

#include "cli_texts.h"
#include "record_book.h"
#include "tools/common/usage_error.h"

#include <QDateTime>
#include <QJsonArray>

namespace cli {

namespace {

// --since as the records' UTC time text: a date (from its midnight, UTC) or an ISO date and time.
QString sinceText(const std::string& since) {
    const QString given = QString::fromLocal8Bit(since);
    QDateTime time = QDateTime::fromString(given, Qt::ISODateWithMs);
    if (!time.isValid()) {
        const QDate date = QDate::fromString(given, Qt::ISODate);
        if (date.isValid())
            time = date.startOfDay(Qt::UTC);
    }
    if (!time.isValid())
        throw tools::UsageError("--since needs a date (2026-01-31) or an ISO date and time");
    return time.toUTC().toString(Qt::ISODateWithMs);
}

RecordQuery queryFrom(const tools::Arguments& arguments) {
    RecordQuery query;
    if (const auto serial = arguments.text("serial"))
        query.serial = QString::fromLocal8Bit(*serial);
    if (const auto fingerprint = arguments.text("fingerprint")) {
        query.fingerprint = normalFingerprint(QString::fromLocal8Bit(*fingerprint));
        if (query.fingerprint.isEmpty())
            throw tools::UsageError(
                "--fingerprint needs a SHA-256 fingerprint: 64 hexadecimal digits, with or "
                "without colons");
    }
    if (const auto since = arguments.text("since"))
        query.since = sinceText(*since);
    return query;
}

QString recordLine(const ProvisioningRecord& record) {
    QString line = QStringLiteral("%1  %2  %3  %4:%5  \"%6\"  %7@%8  %9")
                       .arg(record.id)
                       .arg(record.time, record.kind, record.module, record.serial, record.label, record.user,
                            record.host, record.result);
    if (!record.soPinEscrow.isEmpty())
        line += QStringLiteral("  ") + text("RecordEscrowed");
    if (!record.message.isEmpty())
        line += QStringLiteral("  (") + record.message + QLatin1Char(')');
    for (const RecordedCertificate& certificate : record.certificates)
        line += QStringLiteral("\n    ") + certificate.sha256 + QStringLiteral("  ") + certificate.subject;
    return line;
}

} // namespace

std::string RecordsCommand::usage() const {
    return "usage: pellorzu-cli records --records STORE [--serial S] [--fingerprint F] [--since DATE] "
           "[--json]\n"
           "Lists the provisioning records, oldest first: every provision, format, change-so-pin and unlock\n"
           "run with --records STORE, and every SO PIN shown by 'escrow show'. STORE is an SQLite file, or "
           "a\n"
           "PostgreSQL connection address (postgresql://user@host/database, or ?host=/socket/folder) that\n"
           "several stations share; its schema is made when missing.\n"
           "  --serial S        records of the key with serial S\n"
           "  --fingerprint F   records naming the certificate with SHA-256 fingerprint F (hex, with or\n"
           "                    without colons)\n"
           "  --since DATE      records from DATE (2026-01-31, UTC) or an ISO date and time on\n"
           "With --json an array of {id, operation, kind, serial, module, label, time, user, host, "
           "settings,\n"
           "certificates [{sha256, subject}], soPinEscrowed, result, message}; fingerprints in lower-case "
           "hex.\n";
}

int RecordsCommand::run(Invocation& invocation) {
    invocation.expectAtMost(0);
    const RecordQuery query = queryFrom(invocation.arguments());
    const std::unique_ptr<RecordBook> book = RecordBook::required(invocation, "to list records");
    const std::vector<ProvisioningRecord> records = book->store().find(query);
    if (invocation.json()) {
        QJsonArray array;
        for (const ProvisioningRecord& record : records)
            array.append(record.json());
        invocation.printJson(array);
        return kDone;
    }
    if (records.empty())
        invocation.print(text("NoRecords"));
    for (const ProvisioningRecord& record : records)
        invocation.print(recordLine(record));
    return kDone;
}

} // namespace cli
