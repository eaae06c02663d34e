#include "utf8_length_limit.h"

#include <QLineEdit>
#include <QStringView>
#include <algorithm>

namespace ui {

Utf8LengthLimit::Utf8LengthLimit(QLineEdit& edit, int maxBytes)
    : QObject(&edit), edit_(edit), maxBytes_(maxBytes) {
    connect(&edit, &QLineEdit::textEdited, this, &Utf8LengthLimit::cut);
}

QString Utf8LengthLimit::fitting(const QString& text, int maxBytes) {
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        // A surrogate pair is one character of four bytes.
        const bool pair =
            text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const int size = static_cast<int>(QStringView(text).sliced(end, units).toUtf8().size());
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        end += units;
    }
    return text.left(end);
}

void Utf8LengthLimit::cut(const QString& typed) {
    const QString kept = fitting(typed, maxBytes_);
    if (kept.size() == typed.size())
        return;
    const auto cursor = static_cast<int>(std::min<qsizetype>(edit_.cursorPosition(), kept.size()));
    edit_.setText(kept);
    edit_.setCursorPosition(cursor);
}

} // namespace ui
