#include "language_handler.h"

#include "app/language_config.h"
#include "app/settings_file.h"
#include "i18n/string_table.h"
#include "ui/apply_language.h"
#include "ui/language_choice.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/about_page.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace ui {

LanguageHandler::LanguageHandler(TMainForm& form)
    : QObject(&form), form_(form), languageInEffect_(kLanguageChinese) {
    // `activated` comes from the user alone; filling and preselecting the box does not raise it.
    connect(form.TabSheet7->cbLanguageID, &QComboBox::activated, this, &LanguageHandler::cbLanguageIDChange);
}

void LanguageHandler::cbLanguageIDChange(int item) {
    const int languageId = languageIdOfItem(item);
    const app::SettingsFile languageConfig(form_.programFolder(), QLatin1String(kLanguageConfigFile));
    QString errorText;
    if (!languageConfig.write(
            [&](const QString& path) { return WriteLanguageID(path, languageId, errorText); })) {
        messageService().reportError(&form_, errorText);
        showLanguageInEffect();
        return;
    }
    i18n::LoadLanguageFile(languageFolder(form_.programFolder()) + languageFileName(languageId));
    languageInEffect_ = languageId;
    ApplyLanguage(form_);
    form_.BuildRootNodes();
    form_.ScanKeys();
}

void LanguageHandler::showLanguageInEffect() {
    QComboBox* box = form_.TabSheet7->cbLanguageID;
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(languageInEffect_ == kLanguageEnglish ? 1 : 0);
}

} // namespace ui
