// The two interface languages: their identifiers, the language files that carry them and the language box
// that offers them. The box's items are fixed texts, the same in both languages.
#pragma once

#include <QString>

class QComboBox;

namespace ui {

inline constexpr int kLanguageEnglish = 1033;
inline constexpr int kLanguageChinese = 2052;

// The language file for `languageId`: "CHS_2052.lng" for 2052, "EN_1033.lng" for 1033 and any other value.
QString languageFileName(int languageId);
// The folder "Languages" beside the program, with a trailing '/'; `programFolder` ends with '/'.
QString languageFolder(const QString& programFolder);

// Fills `box` with "简体中文" (item 0) and "English" (item 1) and selects item 1 for 1033, item 0 otherwise.
void fillLanguageBox(QComboBox* box, int languageId);
// The identifier an item of the box stands for: 2052 for item 0, 1033 for item 1.
int languageIdOfItem(int item);

} // namespace ui
