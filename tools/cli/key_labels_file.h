// The CSV file `provision --labels` reads: one key a line, "serial,label[,user PIN]" (a first line starting
// with "serial" is a header; fields may be in double quotes, "" standing for a quote inside). Labels are
// UTF-8. A file that holds user PINs is refused when group or others may read it.
#pragma once

#include "platform/secret_bytes.h"

#include <QString>
#include <map>
#include <string>

namespace cli {

struct KeyLabel {
    QString label;
    platform::SecretBytes userPin; // empty: the settings' user PIN
};

// The entries by serial; a Failure when the file cannot be read, is open to others while it holds PINs, or
// has a line that is not "serial,label[,PIN]".
std::map<std::string, KeyLabel> readKeyLabels(const QString& path);

} // namespace cli
