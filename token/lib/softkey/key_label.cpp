#include "key_label.h"

#include <cstdint>

namespace quillard::softkey {

namespace {

// Length of the UTF-8 sequence starting with `lead`, 0 when `lead` cannot start one.
std::size_t sequenceLength(uint8_t lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// The allowed range of the byte after `lead`: it excludes overlong forms, surrogates and code points past
// U+10FFFF.
bool secondByteFits(uint8_t lead, uint8_t second) {
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead == 0xE0)
        low = 0xA0;
    else if (lead == 0xED)
        high = 0x9F;
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F;
    return second >= low && second <= high;
}

bool isContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

bool KeyLabel::isValid(std::string_view label) {
    return label.size() <= kLongestLabel && label.find('\0') == std::string_view::npos &&
           isWellFormedUtf8(label);
}

bool KeyLabel::isWellFormedUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<uint8_t>(text[i]);
        std::size_t length = sequenceLength(lead);
        if (length == 0 || i + length > text.size())
            return false;
        if (length > 1 && !secondByteFits(lead, static_cast<uint8_t>(text[i + 1])))
            return false;
        for (std::size_t k = 2; k < length; ++k)
            if (!isContinuation(static_cast<uint8_t>(text[i + k])))
                return false;
        i += length;
    }
    return true;
}

} // namespace quillard::softkey
