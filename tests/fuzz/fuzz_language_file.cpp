// Language files: any file loads without harm and every entry of the string table then holds a text within
// the INI value limit.
#include "fuzz_input_file.h"
#include "i18n/string_table.h"
#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static FuzzInputFile input(".lng");
    i18n::resetStringTable();
    i18n::LoadLanguageFile(QString::fromStdString(input.write(data, size)));
    for (const QString& key : i18n::stringTableKeys())
        require(i18n::text(key).size() <= platform::IniFile::maxValueLength);
    return 0;
}
