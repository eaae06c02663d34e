// The requests a running instance accepts over its local socket. A client sends the bytes of one request and
// disconnects; the bytes are read as UTF-16LE text up to the first NUL character.
//   - "CLOSE" (exactly, letter case included) closes the main window and so ends the program;
//   - the restore request, sent by a second start of the program, restores the window and brings its modal
//   dialog
//     to the front. It begins with a NUL character, so no text request can ever be taken for it;
//   - anything else is ignored.
#pragma once

#include <QByteArray>
#include <QString>

namespace app {

enum class InstanceRequest { None, Restore, Close };

// The bytes of `text` as a text request (UTF-16LE, no terminator).
QByteArray textRequestBytes(const QString& text);
QByteArray restoreRequestBytes();
InstanceRequest parseInstanceRequest(const QByteArray& bytes);

} // namespace app
