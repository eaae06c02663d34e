// The message rules the window and the command line share: which string-table texts tell what a key flow
// ended with. Each front end reads the texts in its own way and joins two texts of one message in its own
// way, which its TextStyle says.
#pragma once

#include "token/flows/import_preparation.h"
#include "token/flows/key_session.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace i18n {

struct TextStyle {
    // Reads the string-table text `key`.
    QString (*text)(const char* key);
    // Put between two texts of one message.
    QString joint;
};

// The window's style: the string table's texts as they stand, two texts on two lines ("\r").
const TextStyle& windowStyle();

// `pattern` with its first integer placeholder replaced by `value`, as the language files write it: "%d"
// (also "%5d", "%-5d", "%.3d", upper case, or "%u" for the unsigned reading) takes the number and "%%" gives
// "%". A pattern comes from a language file, so it is never handed to printf: any other placeholder ("%s",
// "%x", a second "%d") is kept as it stands instead of reading an argument that is not there.
QString formatCount(const QString& pattern, int32_t value);

// Why a PIN may not be used: Init_Info for a key never initialised, K_Dead for a locked PIN; empty when it
// may.
QString pinCheckText(token::flows::PinCheck check, const TextStyle& style = windowStyle());
// A refused login: K_Dead when no tries are left; K_PIN_Error and K_Try_Time with the tries left; K_PIN_Error
// alone when the key does not tell the count (QUILLARD_RETRIES_UNKNOWN, any negative value).
QString refusedLoginText(int32_t triesLeft, const TextStyle& style = windowStyle());
// A refused old PIN (user or SO) that was to be changed: K_Dead when none are left, K_OldCheck with the tries
// left, K_PIN_Error alone when the key does not tell the count.
QString refusedOldPinText(int32_t triesLeft, const TextStyle& style = windowStyle());
// A new user PIN outside the key's length limits: UPIN_E2 followed by "(minimum--maximum)".
QString newPinLengthText(int32_t minimum, int32_t maximum, const TextStyle& style = windowStyle());

// Why an import cannot go ahead: I_CertPINError (the PKCS#12 file did not open with the password),
// I_CertFileError (no key pair in it), K_Cont_Name_Error (the new container's name is taken), K_spec_mode1 or
// K_spec_mode2 (the place of exchange or signature `spec` is taken), K_GetKeyCert_Error (the containers could
// not be read); empty when it can.
QString importCheckText(token::flows::ImportCheck check, int32_t spec,
                        const TextStyle& style = windowStyle());

// A PIN outside the key's length limits, which is never sent to the key: K_PIN_Length with both limits.
QString pinLengthText(int32_t minimum, int32_t maximum, const TextStyle& style = windowStyle());
// `described`, the message an operation's failure is described with, followed by the reason a result code
// gives: K_Key_Removed for a key pulled out (device removed, token not present), K_Not_Supported for an
// operation the key does not offer; `described` alone for any other code.
QString failureText(const QString& described, int32_t code, const TextStyle& style = windowStyle());
// `pattern` with its "%s" placeholders replaced by `values` in order; "%%" gives "%" and a placeholder beyond
// the values stays as it stands. Like formatCount, a pattern from a language file is never handed to printf.
QString formatStrings(const QString& pattern, const QStringList& values);
// A size in bytes as megabytes with one decimal ("2048.0 MB").
QString megabytesText(int64_t bytes);
// An ISO image larger than the key's disk area: K_ISO_TooBig with both sizes in megabytes.
QString isoTooBigText(int64_t imageBytes, int64_t areaBytes, const TextStyle& style = windowStyle());
// K_ISO_Cancelled with what the stopped write had put on the key, in MB with one decimal.
QString isoCancelledText(int64_t writtenBytes, const TextStyle& style = windowStyle());

} // namespace i18n
