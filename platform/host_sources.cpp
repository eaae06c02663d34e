#include "host_sources.h"

#include <QDir>
#include <QSysInfo>

#ifndef PELLORZU_P11_MODULE_CONFIGS
#define PELLORZU_P11_MODULE_CONFIGS "/usr/share/p11-kit/modules"
#endif
#ifndef PELLORZU_P11_MODULE_PATH
#define PELLORZU_P11_MODULE_PATH "/usr/lib/pkcs11"
#endif
#ifndef PELLORZU_SYSTEM_LIBDIR
#define PELLORZU_SYSTEM_LIBDIR "/usr/lib"
#endif

namespace platform {

namespace {

// An XDG variable's value, or `fallback` when it is unset or empty.
QString xdgFolder(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? fallback : value;
}

QStringList xdgFolders(const char* variable, const QString& fallback) {
    return xdgFolder(variable, fallback).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

// "<desktop>-mimeapps.list" for each desktop in use (lower case), then "mimeapps.list", in `folder`.
QStringList mimeappsIn(const QString& folder) {
    QStringList files;
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        files << folder + QLatin1Char('/') + desktop.toLower() + QStringLiteral("-mimeapps.list");
    files << folder + QStringLiteral("/mimeapps.list");
    return files;
}

} // namespace

HostSources systemHostSources() {
    const QString home = QDir::homePath();
    const QString configHome = xdgFolder("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    const QString dataHome = xdgFolder("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    const QStringList configDirs = xdgFolders("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    const QStringList dataDirs = xdgFolders("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));

    HostSources sources;
    sources.osReleaseFiles = {QStringLiteral("/etc/os-release"), QStringLiteral("/usr/lib/os-release")};
    sources.kernelRelease = [] { return QSysInfo::kernelVersion(); };
    sources.mimeappsFiles << mimeappsIn(configHome);
    for (const QString& folder : configDirs)
        sources.mimeappsFiles << mimeappsIn(folder);
    sources.mimeappsFiles << mimeappsIn(dataHome + QStringLiteral("/applications"));
    sources.applicationFolders << dataHome + QStringLiteral("/applications");
    for (const QString& folder : dataDirs) {
        sources.mimeappsFiles << mimeappsIn(folder + QStringLiteral("/applications"));
        sources.applicationFolders << folder + QStringLiteral("/applications");
    }
    sources.fallbackBrowser = QStringLiteral("x-www-browser");
    sources.moduleConfigFolders = {configHome + QStringLiteral("/pkcs11/modules"),
                                   QStringLiteral("/etc/pkcs11/modules"),
                                   QStringLiteral(PELLORZU_P11_MODULE_CONFIGS)};
    sources.moduleFolder = QStringLiteral(PELLORZU_P11_MODULE_PATH);
    sources.libraryFolder = QStringLiteral(PELLORZU_SYSTEM_LIBDIR);
    return sources;
}

} // namespace platform
