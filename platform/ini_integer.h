// Integers in INI values as the private-profile functions read them: an optional sign, then either "0x" (or
// "0X") and hexadecimal digits or decimal digits. Hexadecimal covers the 32 bits of an unsigned value, which
// is taken as the same bits of a signed one (0xFFFFFFFF is -1); decimal must fit a signed 32-bit integer.
#pragma once

#include <QStringView>
#include <optional>

namespace platform {

struct LeadingInteger {
    int value = 0;
    qsizetype length = 0; // characters of the text that make up the number
};

// The number at the start of `text`; nothing when the text does not start with one or the number does not
// fit.
std::optional<LeadingInteger> parseLeadingInteger(QStringView text);

} // namespace platform
