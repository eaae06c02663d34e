// Languages/LanguageConfig.ini: the chosen user-interface language, key LanguageID of section [Language]
// (1033 English, 2052 Simplified Chinese).
#pragma once

#include <QString>
#include <QtGlobal>

// The file's path inside the program folder (see SettingsFile for where it is read and written).
namespace config {
inline constexpr char kLanguageConfigFile[] = "Languages/LanguageConfig.ini";
}

// Sets `id` to the stored identifier (0 when the key is missing or not a number) and returns 0; returns 1 and
// leaves `id` untouched when the file is missing or unreadable.
int ReadLanguageID(const QString& path, qint32& id);

// Writes the identifier in decimal, creating the file when needed. When the write is refused (the folder is
// missing or read-only, the path is a folder) returns false and sets `errorText` to "Unable to write to
// <path>" for the caller to show.
bool WriteLanguageID(const QString& path, qint32 id, QString& errorText);
