#include "record_store.h"

#include "cli_texts.h"
#include "failure.h"
#include "postgres_record_store.h"
#include "sqlite_record_store.h"

#include <QRegularExpression>

namespace cli {

namespace {

bool isPostgresLocation(const QString& location) {
    return location.startsWith(QLatin1String("postgresql://")) ||
           location.startsWith(QLatin1String("postgres://"));
}

} // namespace

std::unique_ptr<RecordStore> openRecordStore(const QString& location) {
    if (isPostgresLocation(location))
        return std::make_unique<PostgresRecordStore>(location);
    return std::make_unique<SqliteRecordStore>(location);
}

QString shownLocation(const QString& location) {
    if (!isPostgresLocation(location))
        return location;
    // The address may not parse as a URL (a socket folder instead of a host), so the password between the
    // user name and the @ is cut out of the text itself.
    static const QRegularExpression password(QStringLiteral("^([a-z]+://[^:/@]*):[^@]*@"));
    return QString(location).replace(password, QStringLiteral("\\1@"));
}

void storeFailure(const QString& location, const QString& reason) {
    throw Failure(kFailed, text("RecordStoreFailed").arg(shownLocation(location), reason.trimmed()));
}

QString insertStatement(const Placeholder& placeholder) {
    QStringList marks;
    for (int i = 1; i <= recordColumns().size(); ++i)
        marks.append(placeholder(i));
    return QStringLiteral("INSERT INTO provisioning_records (%1) VALUES (%2)")
        .arg(recordColumns().join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

QString selectStatement(const RecordQuery& query, const Placeholder& placeholder, QStringList& parameters) {
    QStringList conditions;
    const auto condition = [&](const QString& value, const QString& test, const QString& parameter) {
        if (value.isEmpty())
            return;
        parameters.append(parameter);
        conditions.append(test.arg(placeholder(static_cast<int>(parameters.size()))));
    };
    condition(query.serial, QStringLiteral("serial = %1"), query.serial);
    condition(query.module, QStringLiteral("module = %1"), query.module);
    condition(query.fingerprint, QStringLiteral("fingerprints LIKE %1"),
              QLatin1Char('%') + query.fingerprint + QLatin1Char('%'));
    condition(query.since, QStringLiteral("recorded_at >= %1"), query.since);
    QString statement = QStringLiteral("SELECT id, %1 FROM provisioning_records")
                            .arg(recordColumns().join(QStringLiteral(", ")));
    if (!conditions.isEmpty())
        statement += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    return statement + QStringLiteral(" ORDER BY id");
}

} // namespace cli
