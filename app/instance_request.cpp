#include "instance_request.h"

#include <QtEndian>

namespace app {

namespace {

const QString kCloseText = QStringLiteral("CLOSE");
const QString kRestoreText = QStringLiteral("RESTORE");

// The text of a request: UTF-16LE units up to the first NUL unit or the end; a lone final byte is dropped.
QString requestText(const QByteArray& bytes) {
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = qFromLittleEndian<quint16>(bytes.constData() + i);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

} // namespace

QByteArray textRequestBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (QChar character : text) {
        const quint16 unit = qToLittleEndian<quint16>(character.unicode());
        bytes.append(reinterpret_cast<const char*>(&unit), 2);
    }
    return bytes;
}

QByteArray restoreRequestBytes() {
    return textRequestBytes(QChar(u'\0') + kRestoreText);
}

InstanceRequest parseInstanceRequest(const QByteArray& bytes) {
    if (bytes == restoreRequestBytes())
        return InstanceRequest::Restore;
    return requestText(bytes) == kCloseText ? InstanceRequest::Close : InstanceRequest::None;
}

} // namespace app
