// What `list` and `info` tell of a key, as JSON and as text: serial, label, module, manufacturer, model,
// whether it is initialised, the state of its user and SO PIN, its memory, and for `info` its PIN lengths and
// versions.
#pragma once

#include "key_directory.h"

#include <QJsonObject>
#include <QStringList>

namespace cli {

QJsonObject keyJson(const FoundKey& key, bool details);
// One line per field, "caption: value", with the window's captions where it has them.
QStringList keyLines(const FoundKey& key);
// The header and one row of the key table `list` prints.
QString keyTableHeader();
QString keyTableRow(const FoundKey& key);

} // namespace cli
