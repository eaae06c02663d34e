#include "text_encoding.h"

#include <QStringDecoder>
#include <QtEndian>

namespace platform {

namespace {

const QByteArrayView utf16LEMark("\xFF\xFE", 2);
const QByteArrayView utf8Mark("\xEF\xBB\xBF", 3);

bool isValidUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    [[maybe_unused]] QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

// UTF-16LE code units are copied one by one, so even an unpaired surrogate survives a read and a write.
QString decodeUtf16LE(QByteArrayView bytes) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    const auto* units = reinterpret_cast<const uchar*>(bytes.data());
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(qFromLittleEndian<char16_t>(units + 2 * i));
    return text;
}

QByteArray encodeUtf16LE(QStringView text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    auto* units = reinterpret_cast<uchar*>(bytes.data());
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<char16_t>(text[i].unicode(), units + 2 * i);
    return bytes;
}

} // namespace

TextEncoding detectTextEncoding(QByteArrayView bytes) {
    if (bytes.startsWith(utf16LEMark))
        return TextEncoding::Utf16LE;
    if (bytes.startsWith(utf8Mark))
        return TextEncoding::Utf8WithBom;
    return isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Local8Bit;
}

QByteArray byteOrderMark(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf16LE:
        return utf16LEMark.toByteArray();
    case TextEncoding::Utf8WithBom:
        return utf8Mark.toByteArray();
    case TextEncoding::Utf8:
    case TextEncoding::Local8Bit:
        break;
    }
    return {};
}

QByteArray encodedAscii(char c, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf16LE)
        return QByteArray(1, c) + QByteArray(1, '\0');
    return QByteArray(1, c);
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf16LE:
        return decodeUtf16LE(bytes);
    case TextEncoding::Utf8WithBom:
    case TextEncoding::Utf8:
        return QString::fromUtf8(bytes);
    case TextEncoding::Local8Bit:
        break;
    }
    return QString::fromLocal8Bit(bytes);
}

QByteArray encodeText(QStringView text, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf16LE:
        return encodeUtf16LE(text);
    case TextEncoding::Utf8WithBom:
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Local8Bit:
        break;
    }
    return text.toLocal8Bit();
}

QString decodeTextFile(QByteArrayView bytes) {
    const TextEncoding encoding = detectTextEncoding(bytes);
    return decodeText(bytes.sliced(byteOrderMark(encoding).size()), encoding);
}

} // namespace platform
