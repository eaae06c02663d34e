// INI reading and writing: any file reads without harm, values are never longer than the limit, and a write
// either fails or reads back exactly with every section still there.
#include "fuzz_input_file.h"
#include "platform/ini_file.h"

// The reader trims only spaces and tabs around a section name, so the expected name is trimmed the same way
// (QString::trimmed would also take a leading form feed, which the name keeps).
static QString withoutTrailingBlanks(QString name) {
    while (name.endsWith(u' ') || name.endsWith(u'\t'))
        name.chop(1);
    return name;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static FuzzInputFile input(".ini");
    // The last byte picks the value written; the rest is the file.
    const std::size_t fileSize = size > 0 ? size - 1 : 0;
    const QString path = QString::fromStdString(input.write(data, fileSize));
    const platform::IniFile before = platform::IniFile::load(path);
    const QStringList sections = before.sectionNames();
    for (const QString& section : sections)
        require(before.readString(section, "Key").size() <= platform::IniFile::maxValueLength);

    const QString value = size > 0 ? QString("v%1 ").arg(data[size - 1]) : QString("plain");
    const QString section = sections.isEmpty() ? QString("Fuzz") : sections.front();
    if (!platform::IniFile::writeString(path, section, "FuzzKey", value))
        return 0;
    const platform::IniFile after = platform::IniFile::load(path);
    require(after.readString(section, "FuzzKey") == value);
    // A last header that ended in a bare carriage return loses it to the completed line end.
    for (const QString& name : sections)
        require(after.sectionNames().contains(name, Qt::CaseInsensitive) ||
                (name.endsWith(u'\r') &&
                 after.sectionNames().contains(withoutTrailingBlanks(name.chopped(1)), Qt::CaseInsensitive)));
    return 0;
}
