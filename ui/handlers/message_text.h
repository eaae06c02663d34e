// Building the texts of the PIN pages' messages from string-table entries that come from language files.
#pragma once

#include <QString>
#include <cstdint>

namespace ui {

// `pattern` with its first integer placeholder replaced by `value`, as the language files
// write it: "%d" (also "%5d", "%-5d", "%.3d", upper case, or "%u" for the unsigned reading) takes the
// number and "%%" gives "%". A pattern comes from a language file, so it is never handed to printf: any other
// placeholder ("%s", "%x", a second "%d") is kept as it stands instead of reading an argument that is not
// there.
QString formatCount(const QString& pattern, int32_t value);

// What a refused old PIN (user or SO) shows: K_OldCheck with the tries left, or K_Dead when none are left (or
// the library did not say); K_PIN_Error alone when the key does not tell the count.
QString refusedOldPinText(int32_t triesLeft);
// What a refused login shows: K_PIN_Error and K_Try_Time with the tries left, or K_Dead when none are left.
// A count the key does not tell (QUILLARD_RETRIES_UNKNOWN, any negative value) is left out of both texts:
// K_PIN_Error alone.
QString refusedLoginText(int32_t triesLeft);
// A retry count for the information page: the number, or "-" when the key does not tell it.
QString countText(int32_t count);

// A library result code as eight upper-case hexadecimal digits with leading zeros ("0000001A").
QString errorCodeHex(int32_t code);

} // namespace ui
