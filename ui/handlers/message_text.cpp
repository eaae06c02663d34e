#include "message_text.h"

#include "i18n/string_table.h"

#include <QRegularExpression>
#include <cstdlib>

namespace ui {

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

} // namespace

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

bool isKnownCount(int32_t count) {
    return count >= 0;
}

QString refusedOldPinText(int32_t triesLeft) {
    if (triesLeft == 0)
        return i18n::text("K_Dead");
    if (!isKnownCount(triesLeft))
        return i18n::text("K_PIN_Error");
    return formatCount(i18n::text("K_OldCheck"), triesLeft);
}

QString refusedLoginText(int32_t triesLeft) {
    if (triesLeft == 0)
        return i18n::text("K_Dead");
    if (!isKnownCount(triesLeft))
        return i18n::text("K_PIN_Error");
    return i18n::text("K_PIN_Error") + QLatin1Char('\r') + formatCount(i18n::text("K_Try_Time"), triesLeft);
}

QString countText(int32_t count) {
    return isKnownCount(count) ? QString::number(count) : QStringLiteral("-");
}

QString errorCodeHex(int32_t code) {
    return QStringLiteral("%1").arg(uint32_t(code), 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace ui
