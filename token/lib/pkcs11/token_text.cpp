#include "token_text.h"

#include "token/lib/utf8_text.h"

#include <cstring>
#include <string_view>

namespace quillard::pkcs11 {

namespace {

bool isControl(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

// A byte that starts a character of more than one byte (0xF5 to 0xFF start none).
bool startsLongCharacter(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return value >= 0xC2 && value <= 0xF4;
}

void trimBlanks(std::string_view& text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
}

} // namespace

std::string paddedFieldText(const unsigned char* field, std::size_t size, std::size_t limit) {
    std::string_view raw(reinterpret_cast<const char*>(field),
                         strnlen(reinterpret_cast<const char*>(field), size));
    trimBlanks(raw);
    std::string text;
    std::size_t position = 0;
    while (position < raw.size()) {
        const std::size_t start = position;
        std::optional<char32_t> character = nextUtf8Character(raw, position);
        if (!character && position >= raw.size() && startsLongCharacter(raw[start]))
            break; // the start of a character the field had no room for
        const bool kept = character && !isControl(*character);
        std::string_view piece = kept ? raw.substr(start, position - start) : std::string_view("?");
        if (text.size() + piece.size() > limit)
            break;
        text.append(piece);
    }
    // What was dropped or cut at the end may have left blanks there; the text read again would lose them.
    std::string_view kept(text);
    trimBlanks(kept);
    text.resize(kept.size());
    return text;
}

bool fillPaddedField(const std::string& text, unsigned char* field, std::size_t size) {
    if (text.size() > size)
        return false;
    std::memset(field, ' ', size);
    std::memcpy(field, text.data(), text.size());
    return true;
}

} // namespace quillard::pkcs11
