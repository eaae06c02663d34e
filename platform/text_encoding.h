// The encodings a configuration or language file may use, how to recognise them and how to convert between
// bytes and text in each. Conversions are lossless wherever the encoding allows it, so a file can be
// rewritten without touching the lines that did not change.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

enum class TextEncoding {
    Utf16LE,     // UTF-16 little endian, with a byte-order mark
    Utf8WithBom, // UTF-8 with a byte-order mark
    Utf8,        // UTF-8 without a mark
    Local8Bit,   // the locale's 8-bit encoding (QString::fromLocal8Bit)
};

// Recognises the encoding of a file's bytes: a UTF-16LE or UTF-8 byte-order mark decides; without one, bytes
// that are valid UTF-8 are UTF-8 and anything else is the locale's 8-bit encoding.
TextEncoding detectTextEncoding(QByteArrayView bytes);

// The byte-order mark a file in `encoding` starts with (empty when it has none).
QByteArray byteOrderMark(TextEncoding encoding);

// The encoded form of the character `c` (an ASCII character such as '\n' or '\r').
QByteArray encodedAscii(char c, TextEncoding encoding);

// Converts bytes (without the byte-order mark) to text and back.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);
QByteArray encodeText(QStringView text, TextEncoding encoding);

// Decodes a whole file's bytes: recognises the encoding, skips the byte-order mark and converts the rest.
QString decodeTextFile(QByteArrayView bytes);

} // namespace platform
