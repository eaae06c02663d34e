#include "token_text.h"

#include "token/lib/utf8_text.h"

#include <cstring>
#include <string_view>

namespace quillard::pkcs11 {

std::string paddedFieldText(const unsigned char* field, std::size_t size, std::size_t limit) {
    std::string_view raw(reinterpret_cast<const char*>(field),
                         strnlen(reinterpret_cast<const char*>(field), size));
    while (!raw.empty() && raw.back() == ' ')
        raw.remove_suffix(1);
    std::string text;
    std::size_t position = 0;
    while (position < raw.size()) {
        const std::size_t start = position;
        std::optional<char32_t> character = nextUtf8Character(raw, position);
        if (!character && position >= raw.size() && static_cast<unsigned char>(raw[start]) >= 0xC2)
            break; // the start of a character the field had no room for
        std::string_view piece = character ? raw.substr(start, position - start) : std::string_view("?");
        if (text.size() + piece.size() > limit)
            break;
        text.append(piece);
    }
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
