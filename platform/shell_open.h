// Opening documents, addresses and programs the way the desktop does: an address or file goes to the program
// the desktop associates with it, a program is started on its own, detached from this process. Every request
// goes through one replaceable set of handlers so tests can watch what would have been opened.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace platform {

struct ShellHandlers {
    // Hands `url` to the desktop's associated program; false when nothing could take it.
    std::function<bool(const QUrl& url)> openUrl;
    // Starts `program` with `arguments`, detached; false when it could not be started.
    std::function<bool(const QString& program, const QStringList& arguments)> startDetached;
};

// The handlers bound to the desktop (QDesktopServices and QProcess).
ShellHandlers desktopShellHandlers();
// Replaces the handlers (tests); pass desktopShellHandlers() to restore.
void setShellHandlers(const ShellHandlers& handlers);

// Opens `target` (an address such as "https://..." or "mailto:...", or a local path) with its associated
// program.
bool shellOpen(const QString& target);
// Opens `address` in the system's web browser command (x-www-browser).
bool openInBrowser(const QString& address);
// Starts the program file at `path` without arguments, detached.
bool startProgram(const QString& path);

} // namespace platform
