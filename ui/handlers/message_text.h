// The window's own ways of writing numbers into its texts: a retry count that may be unknown, and a library
// result code in hexadecimal. The texts that tell a flow's outcome come from i18n/outcome_texts.h, which the
// command line shares.
#pragma once

#include <QString>
#include <cstdint>

namespace ui {

// A retry count for the information page: the number, or "-" when the key does not tell it.
QString countText(int32_t count);

// A library result code as eight upper-case hexadecimal digits with leading zeros ("0000001A").
QString errorCodeHex(int32_t code);

} // namespace ui
