// Where the facts about this host are read from: the os-release files, the kernel release, the XDG
// default-application settings and desktop entries, the p11-kit module registrations and the module folders.
// The program reads the real places; tests build hosts of their own in a temporary folder.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

struct HostSources {
    // The os-release files, the first existing one counts.
    QStringList osReleaseFiles;
    // The release of the running kernel ("6.1.0-18-amd64").
    std::function<QString()> kernelRelease;
    // The mimeapps.list files in XDG order, the first one naming a default counts.
    QStringList mimeappsFiles;
    // The folders of desktop entries in XDG order.
    QStringList applicationFolders;
    // The browser command used when no default application is set.
    QString fallbackBrowser;
    // The folders of p11-kit module registrations (*.module files).
    QStringList moduleConfigFolders;
    // Where PKCS#11 modules are installed, and the system library folder looked at after it.
    QString moduleFolder;
    QString libraryFolder;
    // How long the browser may take to say its version before it is stopped.
    int versionTimeoutMs = 2500;
};

// The places of this host, from the environment (XDG variables, the desktop in use) and the build's p11-kit
// settings.
HostSources systemHostSources();

} // namespace platform
