// The terminal facts a command-line program needs: whether standard input or error is a terminal, reading a
// secret from the terminal without echo, and whether a file that holds secrets is private to its owner.
#pragma once

#include "secret_bytes.h"

#include <QString>
#include <optional>

namespace platform {

bool standardInputIsTerminal();
bool standardErrorIsTerminal();

// Shows `prompt` on standard error and reads one line from standard input with echo off (restored
// afterwards, also after an interruption of the read); the line without its end. Nothing at end of input.
std::optional<SecretBytes> readHiddenLine(const QString& prompt);

// Whether the file at `path` may be read by anyone but its owner (group or others have read permission).
// False for a file that does not exist.
bool readableByOthers(const QString& path);

} // namespace platform
