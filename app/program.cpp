#include "program.h"

#include "config/language_config.h"
#include "config/settings_file.h"
#include "i18n/string_table.h"
#include "ui/builtin_pictures.h"
#include "ui/language_choice.h"
#include "ui/main_form.h"

#include <QApplication>

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
    const config::SettingsFile languageConfig(programFolder_, QLatin1String(config::kLanguageConfigFile));
    ReadLanguageID(languageConfig.readPath(), languageId_);
    i18n::LoadLanguageFile(ui::languageFolder(programFolder_) + ui::languageFileName(languageId_));
    return instance_.claim();
}

TMainForm* Program::createMainWindow() {
    window_ = std::make_unique<TMainForm>(programFolder_);
    QApplication::setWindowIcon(ui::programIcon());
    QCoreApplication::setApplicationName(i18n::text("P_Caption"));
    window_->showLanguage(languageId_);
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
