// UTF-16 to UTF-8 conversion for the texts the operations layer hands to the library.
#pragma once

#include <cstdint>
#include <string>

namespace token {

// Converts UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(const std::u16string& text);
// The UTF-16 text in `units` up to the first NUL, reading at most `maxUnits` units.
std::u16string utf16FromBuffer(const uint16_t* units, std::size_t maxUnits);

} // namespace token
