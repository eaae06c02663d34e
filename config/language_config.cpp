#include "language_config.h"

#include "platform/ini_file.h"

namespace {

const QString section = QStringLiteral("Language");
const QString key = QStringLiteral("LanguageID");

} // namespace

int ReadLanguageID(const QString& path, qint32& id) {
    const platform::IniFile ini = platform::IniFile::load(path);
    if (!ini.exists())
        return 1;
    // A value that is not a whole number ("1033abc", "english") counts as 0, like a missing one.
    id = ini.readNumber(section, key).value_or(0);
    return 0;
}

bool WriteLanguageID(const QString& path, qint32 id, QString& errorText) {
    if (platform::IniFile::writeString(path, section, key, QString::number(id)))
        return true;
    errorText = QStringLiteral("Unable to write to %1").arg(path);
    return false;
}
