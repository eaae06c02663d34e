#include "system_info_handler.h"

#include "i18n/string_table.h"
#include "key_info_view.h"
#include "platform/module_files.h"
#include "platform/os_version.h"
#include "token/token_ops.h"
#include "ui/pages/system_check_page.h"

#include <QFileInfo>
#include <QTableWidget>

namespace ui {

namespace {

// The library's own file when `name` is one of the maker's module names.
QString libraryFileFor(const QString& name) {
    return QString::fromStdString(token::quillard_module_file(name.toLocal8Bit().toStdString()));
}

} // namespace

SystemInfoHandler::SystemInfoHandler(SystemCheckPage& page, QObject* parent)
    : QObject(parent), page_(page), sources_(platform::systemHostSources()) {
    setObjectName(QStringLiteral("systemInfoHandler"));
}

void SystemInfoHandler::setHostSources(const platform::HostSources& sources) {
    sources_ = sources;
    browser_.reset();
}

void SystemInfoHandler::ShowSystemInfo() {
    QTableWidget* list = page_.LVSystemInfo;
    list->setRowCount(0);
    AddInfoRow(list, i18n::text("S_System_Ver"), platform::osVersionText(sources_));
    AddInfoRow(list, i18n::text("S_IE_Ver"), browserText());
    AddInfoRow(list, i18n::text("S_CSP_State"), providerStateText());
    // The provider module has one place; the PKCS#11 module falls back to the system library folder, used
    // whether or not the file is there.
    const QString providerModule = modulePath("CSP11Name", {sources_.moduleFolder});
    const QString pkcs11Module = modulePath("PKCS11Name", {sources_.moduleFolder, sources_.libraryFolder});
    AddInfoRow(list, i18n::text("S_CSP_Ver"), platform::fileVersionText(providerModule));
    AddInfoRow(list, i18n::text("S_PKCS11_Ver"), platform::fileVersionText(pkcs11Module));
    // A long value (the system's name with its kernel) wraps onto a second line instead of being cut.
    list->setWordWrap(true);
    list->resizeRowsToContents();
}

QString SystemInfoHandler::browserText() {
    if (!browser_)
        browser_ = platform::defaultBrowser(sources_);
    if (browser_->name.isEmpty())
        return {};
    // The full-width colon of the caption is kept.
    return browser_->name + QStringLiteral(" Version：") + browser_->version;
}

QString SystemInfoHandler::providerStateText() const {
    const QString wanted = i18n::text("PROVIDER_NAME");
    QStringList providers = platform::registeredModules(sources_);
    providers.prepend(QString::fromStdString(token::quillard_provider_name()));
    // Names compare exactly: a name that differs in letter case is another provider.
    return providers.contains(wanted, Qt::CaseSensitive) ? i18n::text("S_CSP_Install")
                                                         : i18n::text("S_CSP_NullInstall");
}

QString SystemInfoHandler::modulePath(const char* nameKey, const QStringList& folders) const {
    const QString name = i18n::text(nameKey);
    if (const QString own = libraryFileFor(name); !own.isEmpty())
        return own;
    QString path;
    for (const QString& folder : folders) {
        path = platform::moduleFilePath(folder, name);
        if (QFileInfo(path).isFile())
            break;
    }
    return path;
}

} // namespace ui
