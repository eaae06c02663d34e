#include "provisioning_record.h"

#include "token/key_table.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>
#include <cstring>

namespace cli {

namespace {

QString certificatesText(const std::vector<RecordedCertificate>& certificates) {
    QJsonArray array;
    for (const RecordedCertificate& certificate : certificates)
        array.append(QJsonObject{{QStringLiteral("sha256"), certificate.sha256},
                                 {QStringLiteral("subject"), certificate.subject}});
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::vector<RecordedCertificate> certificatesFrom(const QString& text) {
    std::vector<RecordedCertificate> certificates;
    for (const QJsonValue& value : QJsonDocument::fromJson(text.toUtf8()).array())
        certificates.push_back(
            {value[QStringLiteral("sha256")].toString(), value[QStringLiteral("subject")].toString()});
    return certificates;
}

// The fingerprints separated by blanks, the column a fingerprint search matches against.
QString fingerprintsText(const std::vector<RecordedCertificate>& certificates) {
    QStringList fingerprints;
    for (const RecordedCertificate& certificate : certificates)
        fingerprints.append(certificate.sha256);
    return fingerprints.join(QLatin1Char(' '));
}

QString userName() {
    for (const char* name : {"USER", "LOGNAME"})
        if (const QString user = qEnvironmentVariable(name); !user.isEmpty())
            return user;
    return QStringLiteral("?");
}

} // namespace

const QStringList& recordColumns() {
    static const QStringList columns{
        QStringLiteral("operation"),    QStringLiteral("kind"),         QStringLiteral("serial"),
        QStringLiteral("module"),       QStringLiteral("label"),        QStringLiteral("recorded_at"),
        QStringLiteral("user_name"),    QStringLiteral("host"),         QStringLiteral("settings"),
        QStringLiteral("certificates"), QStringLiteral("fingerprints"), QStringLiteral("so_pin_escrow"),
        QStringLiteral("result"),       QStringLiteral("message")};
    return columns;
}

QStringList ProvisioningRecord::values() const {
    return {operation,
            kind,
            serial,
            module,
            label,
            time,
            user,
            host,
            QString::fromUtf8(QJsonDocument(settings).toJson(QJsonDocument::Compact)),
            certificatesText(certificates),
            fingerprintsText(certificates),
            QString::fromLatin1(soPinEscrow.toBase64()),
            result,
            message};
}

ProvisioningRecord ProvisioningRecord::fromValues(const QStringList& values) {
    ProvisioningRecord record;
    if (values.size() != recordColumns().size())
        return record;
    record.operation = values[0];
    record.kind = values[1];
    record.serial = values[2];
    record.module = values[3];
    record.label = values[4];
    record.time = values[5];
    record.user = values[6];
    record.host = values[7];
    record.settings = QJsonDocument::fromJson(values[8].toUtf8()).object();
    record.certificates = certificatesFrom(values[9]);
    record.soPinEscrow = QByteArray::fromBase64(values[11].toLatin1());
    record.result = values[12];
    record.message = values[13];
    return record;
}

QJsonObject ProvisioningRecord::json() const {
    QJsonArray certificateArray;
    for (const RecordedCertificate& certificate : certificates)
        certificateArray.append(QJsonObject{{QStringLiteral("sha256"), certificate.sha256},
                                            {QStringLiteral("subject"), certificate.subject}});
    return {{QStringLiteral("id"), id},
            {QStringLiteral("operation"), operation},
            {QStringLiteral("kind"), kind},
            {QStringLiteral("serial"), serial},
            {QStringLiteral("module"), module},
            {QStringLiteral("label"), label},
            {QStringLiteral("time"), time},
            {QStringLiteral("user"), user},
            {QStringLiteral("host"), host},
            {QStringLiteral("settings"), settings},
            {QStringLiteral("certificates"), certificateArray},
            {QStringLiteral("soPinEscrowed"), !soPinEscrow.isEmpty()},
            {QStringLiteral("result"), result},
            {QStringLiteral("message"), message}};
}

QString currentLabel(const FoundKey& key) {
    const char* label = token::keyTable().keys[key.slot].label;
    return QString::fromUtf8(label, static_cast<qsizetype>(strnlen(label, sizeof token::TZartoInfo::label)))
        .trimmed();
}

QJsonObject settingsRecord(const TZartoBaseInfo& values) {
    return {{QStringLiteral("label"), values.LabelName},
            {QStringLiteral("manufacturer"), QString::fromLocal8Bit(values.manufacture)},
            {QStringLiteral("issuer"), QString::fromLocal8Bit(values.Issuer)},
            {QStringLiteral("userPinRetries"), values.uPinRetryTimes},
            {QStringLiteral("soPinRetries"), values.soPinRetryTimes},
            {QStringLiteral("userPinLength"), QJsonArray{values.minUPINLen, values.maxUPINLen}},
            {QStringLiteral("soPinLength"), QJsonArray{values.minSOPINLen, values.maxSOPINLen}}};
}

bool setsSoPin(const QString& kind) {
    return kind == QLatin1String("provision") || kind == QLatin1String("format") ||
           kind == QLatin1String("change-so-pin");
}

ProvisioningRecord newRecord(const QString& kind, const FoundKey& key, const QString& label) {
    ProvisioningRecord record;
    record.operation = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.kind = kind;
    record.serial = QString::fromStdString(key.serial);
    record.module = QString::fromStdString(key.module);
    record.label = label;
    record.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    record.user = userName();
    record.host = QSysInfo::machineHostName();
    return record;
}

QString normalFingerprint(const QString& text) {
    QString hex = text.toLower();
    hex.remove(QLatin1Char(':')).remove(QLatin1Char(' '));
    static const QRegularExpression sha256(QStringLiteral("^[0-9a-f]{64}$"));
    return sha256.match(hex).hasMatch() ? hex : QString();
}

} // namespace cli
