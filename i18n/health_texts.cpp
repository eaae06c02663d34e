#include "health_texts.h"

#include "token/flows/key_health.h"

#include <QDateTime>
#include <algorithm>
#include <cstdint>

namespace i18n {

using token::flows::CertificateState;
using token::flows::ChainResult;
using token::flows::KeyStatus;
using token::flows::PinHealth;

namespace {

// The string-table keys of each state, in the order of its enum.
constexpr const char* kCertificateStateKeys[] = {"K_Cert_State_Valid", "K_Cert_State_Expiring",
                                                 "K_Cert_State_Expired", "K_Cert_State_NotYet"};
constexpr const char* kChainKeys[] = {"K_Cert_Chain_Trusted", "K_Cert_Chain_Self", "K_Cert_Chain_Unknown"};
constexpr const char* kPinHealthKeys[] = {"K_PIN_State_Ok", "K_PIN_State_Low", "K_PIN_State_Final",
                                          "K_PIN_State_Locked", "K_PIN_State_Unknown"};
constexpr const char* kKeyStatusKeys[] = {"K_Key_State_Ok", "K_Key_State_Warning", "K_Key_State_Problem"};

// The text of the key at `value` of `keys`; the last key for a value outside them.
template <typename Enum, std::size_t N>
QString stateText(const char* const (&keys)[N], Enum value, const TextStyle& style) {
    const auto index = static_cast<std::size_t>(value);
    return style.text(keys[index < N ? index : N - 1]);
}

} // namespace

QString certificateStateText(CertificateState state, const TextStyle& style) {
    return stateText(kCertificateStateKeys, state, style);
}

QString chainText(ChainResult chain, const TextStyle& style) {
    return stateText(kChainKeys, chain, style);
}

QString pinHealthText(PinHealth health, const TextStyle& style) {
    return stateText(kPinHealthKeys, health, style);
}

QString keyStatusText(KeyStatus status, const TextStyle& style) {
    return stateText(kKeyStatusKeys, status, style);
}

QString momentText(int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC)
               .toString(QStringLiteral("yyyy-MM-dd HH:mm")) +
           QStringLiteral(" UTC");
}

QString daysLeftText(int64_t daysLeft, const TextStyle& style) {
    return formatCount(style.text("K_Cert_DaysLeft"),
                       static_cast<int32_t>(std::clamp<int64_t>(daysLeft, INT32_MIN, INT32_MAX)));
}

QStringList certificateHealthLines(const token::flows::CertificateHealth& health, const TextStyle& style) {
    return {certificateStateText(health.state, style),
            style.text("K_Cert_EndDate") + QStringLiteral(": ") + momentText(health.notAfter),
            daysLeftText(health.daysLeft, style)};
}

QString expiryNoticeText(const QString& keyName, const QStringList& certificateLines,
                         const TextStyle& style) {
    return fillTexts(style.text("K_Cert_Expiry_Notice"), {keyName}) + style.joint +
           certificateLines.join(style.joint);
}

QString expiryNoticeLine(const QString& subject, const token::flows::CertificateHealth& health,
                         const TextStyle& style) {
    return subject + QStringLiteral(": ") + certificateStateText(health.state, style) + QStringLiteral(", ") +
           style.text("K_Cert_EndDate") + QLatin1Char(' ') + momentText(health.notAfter);
}

QString outsideValidityText(const token::flows::CertificateHealth& health, const TextStyle& style) {
    const char* what = health.state == CertificateState::NotYetValid ? "K_Import_NotYet" : "K_Import_Expired";
    return style.text(what) + style.joint +
           fillTexts(style.text("K_Import_Dates"),
                     {momentText(health.notBefore), momentText(health.notAfter)});
}

QString fillTexts(const QString& pattern, const QStringList& values) {
    QString result;
    qsizetype next = 0;
    qsizetype from = 0;
    for (qsizetype at = pattern.indexOf(QLatin1String("%s")); at >= 0 && next < values.size();
         at = pattern.indexOf(QLatin1String("%s"), from)) {
        result += pattern.mid(from, at - from) + values[next++];
        from = at + 2;
    }
    return result + pattern.mid(from);
}

} // namespace i18n
