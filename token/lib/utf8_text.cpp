#include "utf8_text.h"

#include <cstdint>

namespace quillard {

namespace {

constexpr char16_t ReplacementCharacter = 0xFFFD;

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot start one.
int sequenceLength(unsigned char lead) {
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

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// False for overlong forms, surrogates and code points past U+10FFFF.
bool isScalarValue(char32_t code, int length) {
    static constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    return code >= Smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

void appendUtf16(std::u16string& out, char32_t code) {
    if (code <= 0xFFFF) {
        out.push_back(static_cast<char16_t>(code));
        return;
    }
    code -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}

} // namespace

std::optional<char32_t> nextUtf8Character(std::string_view text, std::size_t& position) {
    const auto lead = static_cast<unsigned char>(text[position]);
    const int length = sequenceLength(lead);
    if (length == 0) {
        ++position;
        return std::nullopt;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if (position + k >= text.size() || !isContinuation(static_cast<unsigned char>(text[position + k]))) {
            position += k;
            return std::nullopt;
        }
        code = (code << 6) | (static_cast<unsigned char>(text[position + k]) & 0x3F);
    }
    position += length;
    if (!isScalarValue(code, length))
        return std::nullopt;
    return code;
}

bool isWellFormedUtf8(std::string_view text) {
    for (std::size_t position = 0; position < text.size();)
        if (!nextUtf8Character(text, position))
            return false;
    return true;
}

namespace {

bool isControl(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

void appendEscaped(std::string& out, uint32_t value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[(value >> 4) & 0xF];
    out += kHex[value & 0xF];
}

} // namespace

std::string escapeControls(std::string_view text) {
    std::string out;
    for (std::size_t position = 0; position < text.size();) {
        const std::size_t start = position;
        const std::optional<char32_t> code = nextUtf8Character(text, position);
        if (code && !isControl(*code))
            out.append(text.substr(start, position - start));
        else if (code)
            appendEscaped(out, *code);
        else
            for (std::size_t byte = start; byte < position; ++byte)
                appendEscaped(out, static_cast<uint8_t>(text[byte]));
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text, std::size_t limit) {
    std::u16string result;
    for (std::size_t position = 0; position < text.size();) {
        const char32_t code = nextUtf8Character(text, position).value_or(ReplacementCharacter);
        if (result.size() + (code > 0xFFFF ? 2 : 1) > limit)
            break;
        appendUtf16(result, code);
    }
    return result;
}

} // namespace quillard
