#include "string_table.h"

#include "platform/ini_file.h"
#include "string_table_entries.h"

#include <QFileInfo>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace i18n {

namespace {

const QString kCaptionSection = QStringLiteral("Caption");
constexpr int kBuiltInLanguageId = 2052;

int& currentLanguageId() {
    static int id = kBuiltInLanguageId;
    return id;
}

// The number after the last '_' of the file's base name, 0 when there is none.
int languageIdOfFile(const QString& path) {
    const QString base = QFileInfo(path).completeBaseName();
    bool isNumber = false;
    const int id = base.mid(base.lastIndexOf(QLatin1Char('_')) + 1).toInt(&isNumber, 10);
    return isNumber ? id : 0;
}

QString builtInOf(const StringTableEntry& entry) {
    return QString::fromUtf8(entry.builtInText);
}

// The current texts, one per entry, and the position of each key in the table.
class StringTable {
public:
    StringTable() {
        const auto entries = stringTableEntries();
        texts_.reserve(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            positions_.emplace(entries[i].key, i);
            texts_.push_back(builtInOf(entries[i]));
        }
    }

    std::optional<std::size_t> positionOf(const char* key) const {
        if (key == nullptr)
            return std::nullopt;
        const auto found = positions_.find(key);
        if (found == positions_.end())
            return std::nullopt;
        return found->second;
    }

    QString& textAt(std::size_t position) { return texts_[position]; }

private:
    std::unordered_map<std::string_view, std::size_t> positions_;
    std::vector<QString> texts_;
};

StringTable& table() {
    static StringTable instance;
    return instance;
}

QString missingValueOf(const StringTableEntry& entry) {
    return entry.missing == MissingKey::Blank ? QStringLiteral(" ") : QString();
}

} // namespace

QString text(const char* key) {
    const auto position = table().positionOf(key);
    return position ? table().textAt(*position) : QString();
}

void LoadLanguageFile(const QString& path) {
    // A file that is missing or cannot be opened changes nothing, so an unreadable file never blanks the
    // window.
    const auto file = platform::IniFile::load(path);
    if (!file.exists())
        return;
    const auto entries = stringTableEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto key = QString::fromLatin1(entries[i].key);
        table().textAt(i) = file.readString(kCaptionSection, key, missingValueOf(entries[i]));
    }
    currentLanguageId() = languageIdOfFile(path);
}

void resetStringTable() {
    const auto entries = stringTableEntries();
    for (std::size_t i = 0; i < entries.size(); ++i)
        table().textAt(i) = builtInOf(entries[i]);
    currentLanguageId() = kBuiltInLanguageId;
}

int loadedLanguageId() {
    return currentLanguageId();
}

QStringList stringTableKeys() {
    QStringList keys;
    for (const auto& entry : stringTableEntries())
        keys.append(QString::fromLatin1(entry.key));
    return keys;
}

QString builtInText(const char* key) {
    const auto position = table().positionOf(key);
    return position ? builtInOf(stringTableEntries()[*position]) : QString();
}

QString missingKeyValue(const char* key) {
    const auto position = table().positionOf(key);
    return position ? missingValueOf(stringTableEntries()[*position]) : QString();
}

} // namespace i18n
