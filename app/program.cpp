#include "program.h"

#include "i18n/string_table.h"
#include "language_config.h"
#include "settings_file.h"
#include "ui/builtin_pictures.h"
#include "ui/handlers/language_handler.h"
#include "ui/language_choice.h"
#include "ui/main_form.h"
#include "ui/pages/about_page.h"

#include <QApplication>
#include <QComboBox>

namespace app {

QString programFolder() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

void restoreWindow(QWidget* window) {
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    // A window covered by others comes to the front as well, not only a minimised one.
    window->show();
    window->raise();
    window->activateWindow();
    QWidget* popup = QApplication::activeModalWidget();
    if (popup && popup != window && popup->isVisible() && popup->isEnabled()) {
        popup->raise();
        popup->activateWindow();
    }
}

Program::Program(const QString& programFolder, const QString& instanceName)
    : programFolder_(programFolder), instance_(instanceName) {}

Program::~Program() = default;

bool Program::start() {
    const SettingsFile languageConfig(programFolder_, QLatin1String(kLanguageConfigFile));
    ReadLanguageID(languageConfig.readPath(), languageId_);
    i18n::LoadLanguageFile(ui::languageFolder(programFolder_) + ui::languageFileName(languageId_));
    return instance_.claim();
}

TMainForm* Program::createMainWindow() {
    window_ = std::make_unique<TMainForm>(programFolder_);
    QApplication::setWindowIcon(ui::programIcon());
    QCoreApplication::setApplicationName(i18n::text("P_Caption"));
    ui::fillLanguageBox(window_->TabSheet7->cbLanguageID, languageId_);
    window_->languageHandler->setLanguageInEffect(
        ui::languageIdOfItem(window_->TabSheet7->cbLanguageID->currentIndex()));
    TMainForm* window = window_.get();
    connect(&instance_, &SingleInstance::restoreRequested, window, [window] { restoreWindow(window); });
    connect(&instance_, &SingleInstance::closeRequested, window, &QWidget::close);
    return window;
}

int Program::run() {
    window_->show();
    return QApplication::exec();
}

TMainForm* Program::mainWindow() const {
    return window_.get();
}

int runProgram() {
    Program program(programFolder(), SingleInstance::defaultServerName());
    if (!program.start())
        return 0;
    program.createMainWindow();
    return program.run();
}

} // namespace app
