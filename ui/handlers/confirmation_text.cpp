#include "confirmation_text.h"

#include "key_info_view.h"

#include <cstring>

namespace ui {

QString confirmationText(const QString& question, const token::TZartoInfo& key, const QString& target) {
    const QString serial =
        QString::fromLatin1(key.serial, static_cast<qsizetype>(strnlen(key.serial, sizeof key.serial)));
    QString line = keyLabel(key).trimmed() + QStringLiteral(" (") + serial + QLatin1Char(')');
    if (!target.isEmpty())
        line += QStringLiteral(": ") + target;
    return question + QLatin1Char('\r') + line;
}

} // namespace ui
