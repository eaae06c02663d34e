// Writing a whole file the safe way: to a temporary name beside it, then renamed into place, so a reader
// never sees half a file and a failed write leaves the old one. A new file is readable by its owner only; a
// file that is replaced keeps its mode.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// False when the file cannot be written (the old file, if any, is then untouched).
bool writeWholeFile(const QString& path, const QByteArray& bytes);

} // namespace platform
