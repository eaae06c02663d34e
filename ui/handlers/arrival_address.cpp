#include "arrival_address.h"

#include "platform/shell_open.h"

#include <QUrl>

namespace ui {

namespace {

// Without the characters up to U+0020 at both ends.
QString withoutBlanksAndControls(const QString& text) {
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && text[first].unicode() <= 0x20)
        ++first;
    while (end > first && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(first, end - first);
}

} // namespace

void openArrivalUrl(const QString& url, int browserMode) {
    const QString trimmed = withoutBlanksAndControls(url);
    if (trimmed.isEmpty())
        return;
    const QUrl address = QUrl::fromUserInput(trimmed);
    if (!address.isValid() || address.scheme().isEmpty())
        return;
    // The encoded form always starts with the scheme.
    const QString encoded = address.toString(QUrl::FullyEncoded);
    if (browserMode == 0)
        platform::shellOpen(encoded);
    else
        platform::openInBrowser(encoded);
}

} // namespace ui
