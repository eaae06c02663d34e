// The settings `format` and `provision` initialise keys with: an INI file with the [InitData] section of
// Initconfig.ini (LabelName, manufacture, Issuer, default_sopin, default_upin, uPinRetryTimes,
// soPinRetryTimes, minUPINLen, maxUPINLen, minSOPINLen, maxSOPINLen). It holds the new PINs, so a file that
// group or others may read is refused.
#pragma once

#include "config/zarto_base_info.h"
#include "key_directory.h"

#include <QString>

namespace cli {

TZartoBaseInfo readFormatSettings(const QString& path);

// A Failure when the settings cannot format a key: a PIN outside its length limits, a text longer than its
// field, no label or manufacturer.
void checkFormatSettings(const TZartoBaseInfo& values);

// Formats `key` with `values`; `currentSoPin` proves the SO PIN of an initialised key (nullptr for a blank
// one). The key's record is read again afterwards. A Failure when the key refuses.
void formatKeyWith(const FoundKey& key, const TZartoBaseInfo& values,
                   const platform::SecretBytes* currentSoPin);

} // namespace cli
