// Wiping Qt strings that held a secret (a PIN read from or written to a configuration file). A buffer that is
// shared with another string is only released here: its last owner wipes it.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Overwrites the characters of `text` with zeros when this string is their only owner, then empties it.
void secureWipe(QString& text);
void secureWipe(QByteArray& bytes);

} // namespace platform
