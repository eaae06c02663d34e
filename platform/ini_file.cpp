#include "ini_file.h"

#include "ini_integer.h"
#include "secure_wipe.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <utility>

namespace platform {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool sameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isQuoted(QStringView value) {
    return value.size() >= 2 && value.front() == u'"' && value.back() == u'"';
}

// A value as a read returns it: blanks trimmed, one pair of surrounding quotes removed, cut at the maximum
// length (never in the middle of a surrogate pair).
QStringView valueText(QStringView afterEquals) {
    QStringView value = trimBlanks(afterEquals);
    if (isQuoted(value))
        value = value.sliced(1, value.size() - 2);
    if (value.size() > IniFile::maxValueLength) {
        value = value.first(IniFile::maxValueLength);
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value;
}

// Written in quotes when a read would otherwise trim blanks off the value or strip its own quotes.
QString protectValue(const QString& value) {
    const bool needsQuotes =
        !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()) || isQuoted(value));
    return needsQuotes ? u'"' + value + u'"' : value;
}

bool hasLineBreak(QStringView text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

bool isWritableSection(const QString& section) {
    return !trimBlanks(section).isEmpty() && !hasLineBreak(section) && !section.contains(u']');
}

bool isWritableKey(const QString& key) {
    const QStringView name = trimBlanks(key);
    return !name.isEmpty() && !hasLineBreak(key) && !key.contains(u'=') && !name.startsWith(u'[') &&
           !name.startsWith(u';');
}

bool isWritableRequest(const QString& section, const QList<QPair<QString, QString>>& keysAndValues) {
    if (!isWritableSection(section))
        return false;
    for (const auto& [key, value] : keysAndValues)
        if (!isWritableKey(key) || hasLineBreak(value))
            return false;
    return true;
}

bool readWholeFile(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// QSaveFile writes a temporary file beside the target and renames it into place on commit, so a failure at
// any point leaves the old file as it was.
// A file the write creates is readable by its owner only: configuration files may hold PINs.
bool saveAtomically(const QString& path, const QByteArray& bytes) {
    const bool isNew = !QFileInfo::exists(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (isNew && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

// One line of the file. Lines keep the bytes they were read from, so a write reproduces every line it did not
// change byte for byte, even text that does not decode cleanly.
struct IniFile::Line {
    enum class Kind { Other, Section, Entry };

    QByteArray raw;    // the line's bytes in the file without the line end; unused once `changed`
    QByteArray ending; // the line end in the file's encoding; empty for a last line without one
    QString text;      // the decoded line
    Kind kind = Kind::Other;
    QString name;             // the section name or the key, blanks trimmed
    qsizetype valueStart = 0; // for an entry: where the text after '=' begins
    bool changed = false;     // set or added by a write

    Line(QByteArray rawBytes, QByteArray lineEnd, QString decoded)
        : raw(std::move(rawBytes)), ending(std::move(lineEnd)), text(std::move(decoded)) {
        describe();
    }
    Line(const Line&) = default;
    Line(Line&&) noexcept = default;
    Line& operator=(const Line&) = default;
    Line& operator=(Line&&) noexcept = default;
    ~Line() {
        secureWipe(raw);
        secureWipe(text);
    }

    bool isSection() const { return kind == Kind::Section; }
    bool isEntry() const { return kind == Kind::Entry; }
    QStringView value() const { return valueText(QStringView(text).sliced(valueStart)); }

    void replaceText(const QString& newText) {
        secureWipe(raw);
        secureWipe(text);
        text = newText;
        changed = true;
        describe();
    }

    // Works out what the line is: a section header "[name]", a comment ";...", an entry "key=value" or other
    // text.
    void describe() {
        const QStringView trimmed = trimBlanks(text);
        kind = Kind::Other;
        name.clear();
        if (trimmed.startsWith(u'[')) {
            const qsizetype close = trimmed.indexOf(u']');
            kind = Kind::Section;
            name = trimBlanks(trimmed.sliced(1, (close < 0 ? trimmed.size() : close) - 1)).toString();
            return;
        }
        if (trimmed.startsWith(u';'))
            return;
        const qsizetype equals = text.indexOf(u'=');
        const QStringView key = equals < 0 ? QStringView() : trimBlanks(QStringView(text).first(equals));
        if (!key.isEmpty()) {
            kind = Kind::Entry;
            name = key.toString();
            valueStart = equals + 1;
        }
    }
};

IniFile::IniFile() = default;
IniFile::IniFile(const IniFile& other) = default;
IniFile::IniFile(IniFile&& other) noexcept = default;
IniFile::~IniFile() = default;

IniFile& IniFile::operator=(const IniFile& other) {
    IniFile copy(other);
    return *this = std::move(copy);
}

// Swapping hands the old lines to `other`, whose destructor wipes them.
IniFile& IniFile::operator=(IniFile&& other) noexcept {
    std::swap(exists_, other.exists_);
    std::swap(encoding_, other.encoding_);
    std::swap(lines_, other.lines_);
    return *this;
}

IniFile IniFile::load(const QString& path) {
    QByteArray bytes;
    IniFile file;
    if (readWholeFile(path, bytes))
        file = parse(bytes);
    secureWipe(bytes);
    return file;
}

IniFile IniFile::parse(const QByteArray& bytes) {
    IniFile file;
    file.exists_ = true;
    file.encoding_ = detectTextEncoding(bytes);
    file.splitLines(QByteArrayView(bytes).sliced(byteOrderMark(file.encoding_).size()));
    return file;
}

IniFile IniFile::createEmpty() {
    IniFile file;
    file.encoding_ = TextEncoding::Utf8WithBom;
    return file;
}

// Splits at line feeds (a UTF-16 code unit in UTF-16 files); a carriage return before one belongs to the line
// end.
void IniFile::splitLines(QByteArrayView body) {
    const QByteArray lineFeed = encodedAscii('\n', encoding_);
    const QByteArray carriageReturn = encodedAscii('\r', encoding_);
    const qsizetype unit = lineFeed.size();
    qsizetype start = 0;
    while (start < body.size()) {
        qsizetype end = start;
        while (end + unit <= body.size() && body.sliced(end, unit) != lineFeed)
            end += unit;
        const bool hasLineFeed = end + unit <= body.size();
        QByteArrayView content = body.sliced(start, (hasLineFeed ? end : body.size()) - start);
        QByteArray ending = hasLineFeed ? lineFeed : QByteArray();
        if (hasLineFeed && content.endsWith(carriageReturn)) {
            content.chop(unit);
            ending.prepend(carriageReturn);
        }
        lines_.emplace_back(content.toByteArray(), ending, decodeText(content, encoding_));
        start = hasLineFeed ? end + unit : body.size();
    }
}

bool IniFile::exists() const {
    return exists_;
}

qsizetype IniFile::findSection(const QString& section) const {
    const QStringView wanted = trimBlanks(section);
    for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i)
        if (lines_[i].isSection() && sameName(lines_[i].name, wanted))
            return i;
    return -1;
}

qsizetype IniFile::findEntry(qsizetype sectionLine, const QString& key) const {
    const QStringView wanted = trimBlanks(key);
    for (qsizetype i = sectionLine + 1; i < qsizetype(lines_.size()) && !lines_[i].isSection(); ++i)
        if (lines_[i].isEntry() && sameName(lines_[i].name, wanted))
            return i;
    return -1;
}

qsizetype IniFile::endOfSectionEntries(qsizetype sectionLine) const {
    qsizetype end = sectionLine + 1;
    for (qsizetype i = sectionLine + 1; i < qsizetype(lines_.size()) && !lines_[i].isSection(); ++i)
        if (lines_[i].isEntry())
            end = i + 1;
    return end;
}

std::optional<QString> IniFile::lookup(const QString& section, const QString& key) const {
    const auto value = valueView(section, key);
    return value ? std::optional<QString>(value->toString()) : std::nullopt;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const {
    return lookup(section, key).value_or(defaultValue);
}

int IniFile::readInt(const QString& section, const QString& key, int defaultValue) const {
    const auto value = lookup(section, key);
    if (!value)
        return defaultValue;
    const auto number = parseLeadingInteger(*value);
    return number ? number->value : 0;
}

std::optional<int> IniFile::readNumber(const QString& section, const QString& key) const {
    const auto value = lookup(section, key);
    const auto number = value ? parseLeadingInteger(*value) : std::nullopt;
    if (!number || number->length != value->size())
        return std::nullopt;
    return number->value;
}

QStringList IniFile::sectionNames() const {
    QStringList names;
    for (const Line& line : lines_)
        if (line.isSection() && !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    return names;
}

bool IniFile::writeString(const QString& path, const QString& section, const QString& key,
                          const QString& value) {
    return writeStrings(path, section, {{key, value}});
}

bool IniFile::writeStrings(const QString& path, const QString& section,
                           const QList<QPair<QString, QString>>& keysAndValues) {
    if (!isWritableRequest(section, keysAndValues))
        return false;
    // Something that exists but cannot be read as a file is refused rather than replaced; QSaveFile refuses a
    // write-protected file.
    const bool existed = QFileInfo::exists(path);
    IniFile file = existed ? load(path) : createEmpty();
    if (existed && !file.exists())
        return false;
    IniFile changed = file;
    changed.completeBareCarriageReturn();
    for (const auto& [key, value] : keysAndValues)
        changed.setValue(section, key, protectValue(value));
    QByteArray bytes = changed.serialize();
    const bool saved = file.readsBackAs(bytes, section, keysAndValues) && saveAtomically(path, bytes);
    secureWipe(bytes);
    return saved;
}

// A last line that ends in a bare carriage return ("[a" CR) gets the line feed that completes its line end,
// and the carriage return becomes part of it: a line feed added after it by a write would make a read take
// the line without the carriage return, so it must already mean the same before the write decides anything.
void IniFile::completeBareCarriageReturn() {
    const QByteArray carriageReturn = encodedAscii('\r', encoding_);
    if (lines_.empty() || !lines_.back().ending.isEmpty() || !lines_.back().raw.endsWith(carriageReturn))
        return;
    Line& last = lines_.back();
    QByteArray content = last.raw.first(last.raw.size() - carriageReturn.size());
    last = Line(content, carriageReturn + encodedAscii('\n', encoding_), decodeText(content, encoding_));
    secureWipe(content);
}

// Parses `bytes` as the file would be read after the write and checks the promise of a write: each written
// value reads back exactly, and every value this file gave before reads the same.
bool IniFile::readsBackAs(const QByteArray& bytes, const QString& section,
                          const QList<QPair<QString, QString>>& keysAndValues) const {
    const IniFile written = parse(bytes);
    const auto isWritten = [&](const QString& lineSection, const QString& key) {
        for (const auto& entry : keysAndValues)
            if (sameName(lineSection, trimBlanks(section)) && sameName(key, trimBlanks(entry.first)))
                return true;
        return false;
    };
    for (const auto& [key, value] : keysAndValues)
        if (written.valueView(section, key) != QStringView(value))
            return false;
    QString lineSection;
    for (const Line& line : lines_) {
        if (line.isSection())
            lineSection = line.name;
        else if (line.isEntry() && !isWritten(lineSection, line.name) &&
                 valueView(lineSection, line.name) != written.valueView(lineSection, line.name))
            return false;
    }
    return true;
}

std::optional<QStringView> IniFile::valueView(const QString& section, const QString& key) const {
    const qsizetype sectionLine = findSection(section);
    const qsizetype entryLine = sectionLine < 0 ? -1 : findEntry(sectionLine, key);
    if (entryLine < 0)
        return std::nullopt;
    return lines_[entryLine].value();
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value) {
    qsizetype sectionLine = findSection(section);
    if (sectionLine < 0) {
        insertLine(qsizetype(lines_.size()), u'[' + trimBlanks(section).toString() + u']');
        sectionLine = qsizetype(lines_.size()) - 1;
    }
    QString entry = trimBlanks(key).toString() + u'=' + value;
    const qsizetype entryLine = findEntry(sectionLine, key);
    if (entryLine >= 0)
        lines_[entryLine].replaceText(entry);
    else
        insertLine(endOfSectionEntries(sectionLine), entry);
    secureWipe(entry);
}

void IniFile::insertLine(qsizetype position, const QString& text) {
    const QByteArray ending = lineEnding();
    if (position > 0 && lines_[position - 1].ending.isEmpty())
        lines_[position - 1].ending = ending;
    Line line({}, ending, {});
    line.replaceText(text);
    lines_.insert(lines_.begin() + position, std::move(line));
}

// New lines end like the file's first line; in a file without line ends, with a line feed.
QByteArray IniFile::lineEnding() const {
    for (const Line& line : lines_)
        if (!line.ending.isEmpty())
            return line.ending;
    return encodedAscii('\n', encoding_);
}

// The buffer is reserved up front so it never moves: it may hold PINs and is wiped after the write.
QByteArray IniFile::serialize() const {
    qsizetype size = byteOrderMark(encoding_).size();
    for (const Line& line : lines_)
        size += (line.changed ? line.text.size() * 4 : line.raw.size()) + line.ending.size();
    QByteArray bytes;
    bytes.reserve(size);
    bytes += byteOrderMark(encoding_);
    for (const Line& line : lines_) {
        if (line.changed) {
            QByteArray encoded = encodeText(line.text, encoding_);
            bytes += encoded;
            secureWipe(encoded);
        } else {
            bytes += line.raw;
        }
        bytes += line.ending;
    }
    return bytes;
}

} // namespace platform
