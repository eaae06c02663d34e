#include "message_text.h"

namespace ui {

QString countText(int32_t count) {
    return count >= 0 ? QString::number(count) : QStringLiteral("-");
}

QString errorCodeHex(int32_t code) {
    return QStringLiteral("%1").arg(uint32_t(code), 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace ui
