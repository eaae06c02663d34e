#include "health_report.h"

#include "certificate_text.h"
#include "cli_texts.h"
#include "i18n/health_texts.h"
#include "key_spec.h"
#include "token/key_table.h"
#include "token/lib/utf8_text.h"
#include "token/token_ops.h"

#include <QDateTime>
#include <QJsonArray>
#include <cstring>

namespace cli {

namespace {

// The names --json gives each state, in the order of its enum.
constexpr const char* kStatusNames[] = {"ok", "warning", "problem"};
constexpr const char* kPinStateNames[] = {"ok", "low", "finalTry", "locked", "unknown"};
constexpr const char* kCertificateStateNames[] = {"valid", "expiring", "expired", "notYetValid"};
constexpr const char* kChainNames[] = {"trusted", "selfSigned", "issuerUnknown"};

template <typename Enum, std::size_t N> QString nameOf(const char* const (&names)[N], Enum value) {
    const auto index = static_cast<std::size_t>(value);
    return QLatin1String(names[index < N ? index : N - 1]);
}

// A retry count the key does not tell is JSON null.
QJsonValue countJson(int32_t count) {
    return count < 0 ? QJsonValue() : QJsonValue(count);
}

QJsonObject pinJson(const token::flows::PinReport& pin) {
    return {{QStringLiteral("retriesLeft"), countJson(pin.state.retriesLeft)},
            {QStringLiteral("maxRetries"), countJson(pin.state.maxRetries)},
            {QStringLiteral("locked"), pin.state.locked == 1},
            {QStringLiteral("state"), nameOf(kPinStateNames, pin.health)}};
}

QString isoMoment(int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

QJsonObject certificateJson(const token::flows::CertificateReport& report) {
    const token::TZartoCertInfo& info = report.certificate.info;
    return {{QStringLiteral("container"), QString::fromLocal8Bit(report.container)},
            {QStringLiteral("spec"), specName(report.certificate.spec)},
            {QStringLiteral("subject"), certificateText(info, QUILLARD_CERT_SUBJECT)},
            {QStringLiteral("issuer"), certificateText(info, QUILLARD_CERT_ISSUER)},
            {QStringLiteral("notBefore"), isoMoment(report.health.notBefore)},
            {QStringLiteral("notAfter"), isoMoment(report.health.notAfter)},
            {QStringLiteral("daysLeft"), static_cast<qint64>(report.health.daysLeft)},
            {QStringLiteral("state"), nameOf(kCertificateStateNames, report.health.state)},
            {QStringLiteral("chain"), nameOf(kChainNames, report.chain)}};
}

// The key's label, up to its first zero byte and without the blanks PKCS#11 pads it with.
QString labelOf(const FoundKey& key) {
    const token::TZartoInfo& record = token::keyTable().keys[key.slot];
    return QString::fromUtf8(record.label, static_cast<qsizetype>(strnlen(record.label, sizeof record.label)))
        .trimmed();
}

// A label for a line of text on the terminal, its control characters escaped (JSON escapes its own).
QString printable(const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    return QString::fromStdString(quillard::escapeControls(std::string_view(utf8.constData(), utf8.size())));
}

QString pinLine(const char* caption, const token::flows::PinReport& pin) {
    QString line = text(caption) + QStringLiteral(": ") + i18n::pinHealthText(pin.health, cliStyle());
    if (pin.state.retriesLeft >= 0 && pin.state.maxRetries > 0)
        line += QStringLiteral(" (") +
                text("TriesLeft").arg(pin.state.retriesLeft).arg(pin.state.maxRetries) + QLatin1Char(')');
    return line;
}

QString certificateLine(const token::flows::CertificateReport& report) {
    const QString subject = printable(certificateText(report.certificate.info, QUILLARD_CERT_SUBJECT));
    return QStringLiteral("  ") + printable(QString::fromLocal8Bit(report.container)) + QStringLiteral(" (") +
           specName(report.certificate.spec) + QStringLiteral(") ") + subject + QStringLiteral(": ") +
           i18n::certificateHealthLines(report.health, cliStyle()).join(QStringLiteral(", ")) +
           QStringLiteral(", ") + windowText("K_Cert_Chain") + QStringLiteral(": ") +
           i18n::chainText(report.chain, cliStyle());
}

} // namespace

QJsonObject healthJson(const FoundKey& key, const token::flows::KeyHealth& health) {
    QJsonArray certificates;
    for (const token::flows::CertificateReport& report : health.certificates)
        certificates.append(certificateJson(report));
    return {{QStringLiteral("serial"), QString::fromStdString(key.serial)},
            {QStringLiteral("module"), QString::fromStdString(key.module)},
            {QStringLiteral("label"), labelOf(key)},
            {QStringLiteral("status"), nameOf(kStatusNames, health.status)},
            {QStringLiteral("userPin"), pinJson(health.userPin)},
            {QStringLiteral("soPin"), pinJson(health.soPin)},
            {QStringLiteral("certificates"), certificates}};
}

QStringList healthLines(const FoundKey& key, const token::flows::KeyHealth& health) {
    QStringList lines{QString::fromStdString(key.serial) + QStringLiteral(" (") +
                      QString::fromStdString(key.module) + QStringLiteral(") \"") + printable(labelOf(key)) +
                      QStringLiteral("\": ") + i18n::keyStatusText(health.status, cliStyle()) +
                      QStringLiteral("; ") + pinLine("UserPin", health.userPin) + QStringLiteral("; ") +
                      pinLine("SoPin", health.soPin)};
    for (const token::flows::CertificateReport& report : health.certificates)
        lines.append(certificateLine(report));
    return lines;
}

} // namespace cli
