#include "blank_trim.h"

namespace platform {

namespace {

bool isBlankOrControl(QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Control;
}

} // namespace

QString trimBlanksAndControls(const QString& text) {
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && isBlankOrControl(text[first]))
        ++first;
    while (end > first && isBlankOrControl(text[end - 1]))
        --end;
    return text.sliced(first, end - first);
}

} // namespace platform
