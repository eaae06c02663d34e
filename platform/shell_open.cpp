#include "shell_open.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>

namespace platform {

namespace {

constexpr const char* kBrowserCommand = "x-www-browser";

ShellHandlers& activeHandlers() {
    static ShellHandlers handlers = desktopShellHandlers();
    return handlers;
}

// A target without a scheme is a local path; anything else is taken as the address it spells.
QUrl targetUrl(const QString& target) {
    QUrl url(target, QUrl::TolerantMode);
    if (url.scheme().isEmpty() && QFileInfo::exists(target))
        return QUrl::fromLocalFile(target);
    return url;
}

} // namespace

ShellHandlers desktopShellHandlers() {
    return ShellHandlers{
        [](const QUrl& url) { return url.isValid() && QDesktopServices::openUrl(url); },
        [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        },
    };
}

void setShellHandlers(const ShellHandlers& handlers) {
    activeHandlers() = handlers;
}

bool shellOpen(const QString& target) {
    if (target.isEmpty())
        return false;
    return activeHandlers().openUrl(targetUrl(target));
}

bool openInBrowser(const QString& address) {
    return activeHandlers().startDetached(QString::fromLatin1(kBrowserCommand), {address});
}

bool startProgram(const QString& path) {
    return activeHandlers().startDetached(path, {});
}

} // namespace platform
