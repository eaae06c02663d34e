#include "language_choice.h"

#include <QComboBox>

namespace ui {

QString languageFileName(int languageId) {
    return languageId == kLanguageChinese ? QStringLiteral("CHS_2052.lng") : QStringLiteral("EN_1033.lng");
}

QString languageFolder(const QString& programFolder) {
    return programFolder + QStringLiteral("Languages/");
}

void fillLanguageBox(QComboBox* box, int languageId) {
    box->clear();
    box->addItem(QStringLiteral("简体中文"));
    box->addItem(QStringLiteral("English"));
    box->setCurrentIndex(languageId == kLanguageEnglish ? 1 : 0);
}

int languageIdOfItem(int item) {
    return item == 1 ? kLanguageEnglish : kLanguageChinese;
}

} // namespace ui
