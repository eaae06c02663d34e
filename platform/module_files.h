// PKCS#11 modules on this host: the ones registered with p11-kit, by name, and the version a module file
// carries in its versioned file name. Nothing here loads a module.
#pragma once

#include "host_sources.h"

#include <QString>
#include <QStringList>

namespace platform {

// The names of the modules registered with p11-kit: the file names without ".module" in the registration
// folders, each once, in folder order.
QStringList registeredModules(const HostSources& sources);
// `name` in `folder`: as given when that file exists, else with ".so" in place of its extension when that one
// exists, else as given.
QString moduleFilePath(const QString& folder, const QString& name);
// The version of the file at `path` from its real file name (links followed): the numbers after ".so.", as
// four numbers joined by "." (libfoo.so.8.0.0 gives "8.0.0.0"); empty for a missing file or a name without
// a version, "-1" when the links cannot be followed (a loop).
QString fileVersionText(const QString& path);

} // namespace platform
