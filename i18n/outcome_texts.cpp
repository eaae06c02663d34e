#include "outcome_texts.h"

#include "string_table.h"
#include "token/cert_presence.h"
#include "token/lib/quillard_errors.h"

#include <QRegularExpression>
#include <cstdlib>

namespace i18n {

namespace {

// "%%", or an integer placeholder: optional "-" (left-justify), width, "." precision, then d or u.
const QRegularExpression& placeholderPattern() {
    static const QRegularExpression pattern(
        QStringLiteral(R"(%(?:(%)|(-?)(\d{0,3})(?:\.(\d{0,3}))?([dDuU])))"));
    return pattern;
}

// The number written as the placeholder `match` asks: at least `precision` digits, padded with blanks to
// `width`.
QString placeholderText(const QRegularExpressionMatch& match, int32_t value) {
    const bool unsignedReading = match.captured(5).compare(QLatin1String("u"), Qt::CaseInsensitive) == 0;
    const qint64 number = unsignedReading ? qint64(uint32_t(value)) : qint64(value);
    QString text =
        QString::number(std::llabs(number)).rightJustified(match.captured(4).toInt(), QLatin1Char('0'));
    if (number < 0)
        text.prepend(QLatin1Char('-'));
    const int width = match.captured(3).toInt();
    const bool leftJustified = !match.captured(2).isEmpty();
    return leftJustified ? text.leftJustified(width) : text.rightJustified(width);
}

bool isKnownCount(int32_t count) {
    return count >= 0;
}

QString stringTableText(const char* key) {
    return text(key);
}

} // namespace

const TextStyle& windowStyle() {
    static const TextStyle style{&stringTableText, QStringLiteral("\r")};
    return style;
}

QString formatCount(const QString& pattern, int32_t value) {
    QString result;
    qsizetype copiedUpTo = 0;
    bool valueUsed = false;
    for (auto matches = placeholderPattern().globalMatch(pattern); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        result += QStringView(pattern).sliced(copiedUpTo, match.capturedStart() - copiedUpTo);
        copiedUpTo = match.capturedEnd();
        if (!match.captured(1).isEmpty()) {
            result += QLatin1Char('%');
        } else if (!valueUsed) {
            result += placeholderText(match, value);
            valueUsed = true;
        } else {
            result += match.captured();
        }
    }
    result += QStringView(pattern).sliced(copiedUpTo);
    return result;
}

QString pinCheckText(token::flows::PinCheck check, const TextStyle& style) {
    switch (check) {
    case token::flows::PinCheck::NotInitialised:
        return style.text("Init_Info");
    case token::flows::PinCheck::Locked:
        return style.text("K_Dead");
    case token::flows::PinCheck::Usable:
        break;
    }
    return {};
}

QString refusedLoginText(int32_t triesLeft, const TextStyle& style) {
    if (triesLeft == 0)
        return style.text("K_Dead");
    if (!isKnownCount(triesLeft))
        return style.text("K_PIN_Error");
    return style.text("K_PIN_Error") + style.joint + formatCount(style.text("K_Try_Time"), triesLeft);
}

QString refusedOldPinText(int32_t triesLeft, const TextStyle& style) {
    if (triesLeft == 0)
        return style.text("K_Dead");
    if (!isKnownCount(triesLeft))
        return style.text("K_PIN_Error");
    return formatCount(style.text("K_OldCheck"), triesLeft);
}

QString newPinLengthText(int32_t minimum, int32_t maximum, const TextStyle& style) {
    return style.text("UPIN_E2") +
           QStringLiteral("(%1--%2)").arg(QString::number(minimum), QString::number(maximum));
}

QString importCheckText(token::flows::ImportCheck check, int32_t spec, const TextStyle& style) {
    using token::flows::ImportCheck;
    switch (check) {
    case ImportCheck::PasswordRefused:
        return style.text("I_CertPINError");
    case ImportCheck::NoKeyPair:
        return style.text("I_CertFileError");
    case ImportCheck::ContainerNameTaken:
        return style.text("K_Cont_Name_Error");
    case ImportCheck::PlaceTaken:
        return style.text(spec == token::kExchangeSpec ? "K_spec_mode1" : "K_spec_mode2");
    case ImportCheck::ContainerListUnreadable:
        return style.text("K_GetKeyCert_Error");
    case ImportCheck::Ready:
        break;
    }
    return {};
}

QString pinLengthText(int32_t minimum, int32_t maximum, const TextStyle& style) {
    // Each replacement takes the first placeholder left, so the two limits land in their order.
    return formatCount(formatCount(style.text("K_PIN_Length"), minimum), maximum);
}

QString failureText(const QString& described, int32_t code, const TextStyle& style) {
    switch (code) {
    case QR_DEVICE_REMOVED:
    case QR_TOKEN_NOT_PRESENT:
        return described + style.joint + style.text("K_Key_Removed");
    case QR_FUNCTION_NOT_SUPPORTED:
        return described + style.joint + style.text("K_Not_Supported");
    default:
        return described;
    }
}

QString formatStrings(const QString& pattern, const QStringList& values) {
    QString result;
    qsizetype used = 0;
    for (qsizetype at = 0; at < pattern.size(); ++at) {
        const QChar next = at + 1 < pattern.size() ? pattern[at + 1] : QChar();
        if (pattern[at] != QLatin1Char('%') || (next != QLatin1Char('%') && next != QLatin1Char('s'))) {
            result += pattern[at];
        } else if (next == QLatin1Char('%')) {
            result += QLatin1Char('%');
            ++at;
        } else if (used < values.size()) {
            result += values[used++];
            ++at;
        } else {
            result += QStringLiteral("%s");
            ++at;
        }
    }
    return result;
}

QString megabytesText(int64_t bytes) {
    constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;
    return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / kBytesPerMegabyte, 0, 'f', 1);
}

QString isoTooBigText(int64_t imageBytes, int64_t areaBytes, const TextStyle& style) {
    return formatStrings(style.text("K_ISO_TooBig"), {megabytesText(imageBytes), megabytesText(areaBytes)});
}

QString isoCancelledText(int64_t writtenBytes, const TextStyle& style) {
    return formatStrings(style.text("K_ISO_Cancelled"), {megabytesText(writtenBytes)});
}

} // namespace i18n
