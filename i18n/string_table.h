// The process-wide string table: 203 texts addressed by key (K_Dead, P_MSGTitle, ...), each starting with its
// built-in Simplified Chinese text, replaced by LoadLanguageFile.
#pragma once

#include <QString>
#include <QStringList>

namespace i18n {

// The current text of the entry `key`; an empty text for a key that is not in the table.
QString text(const char* key);
inline QString text(const QString& key) {
    return text(key.toUtf8().constData());
}

// Loads the language file at `path` (a full path): a missing file changes nothing; otherwise every entry
// takes the file's value from section "Caption" or, when the file lacks the key, its missing-key value.
void LoadLanguageFile(const QString& path);

// Puts every entry back to its built-in text (used at start and by tests).
void resetStringTable();

// The language of the texts in the table: the number that ends the name of the language file loaded last
// (2052 for "CHS_2052.lng", 1033 for "EN_1033.lng"), 2052 while the built-in texts are in place, and 0 for
// a loaded file whose name ends in no number. Texts that are not in the table follow it.
int loadedLanguageId();

// Every key of the table, in table order.
QStringList stringTableKeys();
// The built-in text and the missing-key value of `key`.
QString builtInText(const char* key);
QString missingKeyValue(const char* key);

} // namespace i18n
