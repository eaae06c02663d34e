#include "ini_integer.h"

#include <cstdint>

namespace platform {

namespace {

int digitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    int value = base;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < base ? value : -1;
}

bool startsWithHexPrefix(QStringView text) {
    return text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') &&
           digitValue(text[2], 16) >= 0;
}

struct Magnitude {
    std::uint64_t value = 0;
    qsizetype length = 0;
};

// Reads digits of `base` up to the first other character; stops early once the value passes `limit`.
std::optional<Magnitude> readDigits(QStringView text, int base, std::uint64_t limit) {
    Magnitude magnitude;
    for (; magnitude.length < text.size(); ++magnitude.length) {
        const int digit = digitValue(text[magnitude.length], base);
        if (digit < 0)
            break;
        magnitude.value = magnitude.value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (magnitude.value > limit)
            return std::nullopt;
    }
    if (magnitude.length == 0)
        return std::nullopt;
    return magnitude;
}

} // namespace

std::optional<LeadingInteger> parseLeadingInteger(QStringView text) {
    qsizetype position = 0;
    const bool negative = !text.isEmpty() && text[0] == u'-';
    if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+'))
        ++position;

    const bool hexadecimal = startsWithHexPrefix(text.sliced(position));
    if (hexadecimal)
        position += 2;
    const std::uint64_t limit = hexadecimal ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    const auto magnitude = readDigits(text.sliced(position), hexadecimal ? 16 : 10, limit);
    if (!magnitude)
        return std::nullopt;

    // Two's complement arithmetic on 32 bits: the hexadecimal bit pattern and the negation both wrap as
    // intended.
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude->value);
    if (negative)
        bits = 0u - bits;
    return LeadingInteger{static_cast<int>(bits), position + magnitude->length};
}

} // namespace platform
