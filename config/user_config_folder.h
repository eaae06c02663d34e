// The per-user configuration folder: <config>/Norvale/PellorZu/, where <config> is XDG_CONFIG_HOME (by
// default ~/.config) or the platform's equivalent.
#pragma once

#include <QString>

// The folder's path with a trailing '/'. Creates the folder and its missing parents when it does not exist;
// the path is returned even when that fails, and reading files from it then finds nothing.
QString GetUserConfigFolder();

// Creates `folder` and its missing parents, each readable by its owner only (they may come to hold the
// default PINs); folders that exist keep their mode. True when the folder exists afterwards.
namespace config {
bool MakePrivateFolder(const QString& folder);
}
