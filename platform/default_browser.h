// The web browser this host opens addresses with: the desktop entry set as default for https (then http) in
// the XDG default-application settings, else the system's browser command. Its version is asked from the
// program itself ("--version"), never taken from the desktop entry, whose Version key is the version of the
// entry format.
#pragma once

#include "host_sources.h"

#include <QString>

namespace platform {

struct BrowserFacts {
    QString name;    // the desktop entry's Name, or the browser command's file name; empty when none is known
    QString version; // the first dotted number the program prints; empty when unknown
};

BrowserFacts defaultBrowser(const HostSources& sources);

// Runs `program --version` without a shell, with no input, and stops it after `timeoutMs`; the first dotted
// number of what it prints, or empty when it cannot be started, prints none or does not end in time.
QString programVersion(const QString& program, int timeoutMs);

} // namespace platform
