// INI files read and written with the rules of the Windows private-profile functions: section and key names
// match without regard to letter case, blanks around a value are dropped and then one pair of surrounding
// double quotes is removed, a value is cut at 2047 characters, integers are decimal or 0x hexadecimal. Files
// may be UTF-16LE with a byte-order mark, UTF-8 (with or without a mark) or the locale's 8-bit encoding. A
// write keeps the rest of the file and replaces it atomically (temporary name, then rename).
//
// When a section or a key appears twice, the first one counts. Lines starting with ';' are comments. A file
// created by a write is UTF-8 with a byte-order mark, so Chinese text stays intact whatever the locale.
#pragma once

#include "text_encoding.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace platform {

class IniFile {
public:
    // The longest value a read returns, in UTF-16 code units; longer values are cut.
    static constexpr qsizetype maxValueLength = 2047;

    // Reads the file at `path`; a missing or unreadable file gives an empty IniFile whose exists() is false.
    static IniFile load(const QString& path);

    IniFile();
    IniFile(const IniFile& other);
    IniFile(IniFile&& other) noexcept;
    IniFile& operator=(const IniFile& other);
    IniFile& operator=(IniFile&& other) noexcept;
    // Wipes the file's text from memory: configuration files may hold PINs.
    ~IniFile();

    bool exists() const;
    // GetPrivateProfileString: the value, or `defaultValue` when the section or key is missing.
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) const;
    // GetPrivateProfileInt: leading decimal digits (optionally signed) or 0x hexadecimal; `defaultValue` when
    // the key is missing; 0 when the value does not start with a number or the number does not fit 32 bits.
    int readInt(const QString& section, const QString& key, int defaultValue) const;
    // The value as a whole number (decimal or 0x hexadecimal, optionally signed, nothing after it); nothing
    // when the key is missing or its value is not such a number or does not fit in 32 bits.
    std::optional<int> readNumber(const QString& section, const QString& key) const;
    QStringList sectionNames() const;

    // WritePrivateProfileString: sets one value, creating section and key as needed, keeping every other line
    // and the file's encoding. Returns false when the file cannot be written, or when the file as written
    // would not read back the value exactly with every other value unchanged (say, a UTF-16 file cut in the
    // middle of a character); the old file is then untouched.
    static bool writeString(const QString& path, const QString& section, const QString& key,
                            const QString& value);
    // Sets several values of one section in a single replacement of the file: all of them or, on failure,
    // none. Values with leading or trailing blanks, or wrapped in quotes, are written in quotes so they read
    // back unchanged. Names or values holding a line break (or a key holding '=') are refused: they would
    // break the file's structure. A file the write creates is readable by its owner only.
    static bool writeStrings(const QString& path, const QString& section,
                             const QList<QPair<QString, QString>>& keysAndValues);

private:
    struct Line;

    static IniFile parse(const QByteArray& bytes);
    static IniFile createEmpty();
    void splitLines(QByteArrayView body);
    qsizetype findSection(const QString& section) const;
    qsizetype findEntry(qsizetype sectionLine, const QString& key) const;
    qsizetype endOfSectionEntries(qsizetype sectionLine) const;
    std::optional<QString> lookup(const QString& section, const QString& key) const;
    std::optional<QStringView> valueView(const QString& section, const QString& key) const;
    void completeBareCarriageReturn();
    bool readsBackAs(const QByteArray& bytes, const QString& section,
                     const QList<QPair<QString, QString>>& keysAndValues) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    void insertLine(qsizetype position, const QString& text);
    QByteArray lineEnding() const;
    QByteArray serialize() const;

    bool exists_ = false;
    TextEncoding encoding_ = TextEncoding::Utf8WithBom;
    std::vector<Line> lines_;
};

} // namespace platform
