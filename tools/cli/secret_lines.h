// Splitting the text of a file that holds secrets into lines without leaving copies behind.
#pragma once

#include "platform/secret_bytes.h"

#include <QByteArray>
#include <vector>

namespace cli {

// The lines of `content` (ended by "\n" or "\r\n"; the last may lack its end), each in wiping storage;
// `content` is wiped.
std::vector<platform::SecretBytes> secretLines(QByteArray& content);

} // namespace cli
