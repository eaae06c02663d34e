#include "language_handler.h"

#include "config/language_config.h"
#include "config/settings_file.h"
#include "i18n/string_table.h"
#include "ui/language_choice.h"
#include "ui/message_service.h"
#include "ui/pages/about_page.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace ui {

LanguageHandler::LanguageHandler(AboutPage& page, const QString& programFolder, QObject* parent)
    : QObject(parent), page_(page), programFolder_(programFolder), languageInEffect_(kLanguageChinese) {
    setObjectName(QStringLiteral("languageHandler"));
    // `activated` comes from the user alone; filling and preselecting the box does not raise it.
    connect(page.cbLanguageID, &QComboBox::activated, this, &LanguageHandler::cbLanguageIDChange);
}

void LanguageHandler::showLanguage(int languageId) {
    fillLanguageBox(page_.cbLanguageID, languageId);
    languageInEffect_ = languageIdOfItem(page_.cbLanguageID->currentIndex());
}

void LanguageHandler::cbLanguageIDChange(int item) {
    const int languageId = languageIdOfItem(item);
    const config::SettingsFile languageConfig(programFolder_, QLatin1String(config::kLanguageConfigFile));
    QString errorText;
    if (!languageConfig.write(
            [&](const QString& path) { return WriteLanguageID(path, languageId, errorText); })) {
        messageService().reportError(page_.window(), errorText);
        showLanguageInEffect();
        return;
    }
    i18n::LoadLanguageFile(languageFolder(programFolder_) + languageFileName(languageId));
    languageInEffect_ = languageId;
    emit languageChanged();
}

void LanguageHandler::showLanguageInEffect() {
    QComboBox* box = page_.cbLanguageID;
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(languageInEffect_ == kLanguageEnglish ? 1 : 0);
}

} // namespace ui
