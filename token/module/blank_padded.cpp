#include "blank_padded.h"

#include "token/lib/utf8_text.h"

#include <cstring>

namespace quillard::module {

void copyBlankPadded(unsigned char* field, std::size_t size, std::string_view text) {
    std::memset(field, ' ', size);
    std::size_t fits = 0;
    for (std::size_t position = 0; position < text.size();) {
        std::size_t start = position;
        nextUtf8Character(text, position);
        if (position > size)
            break;
        fits = position;
        if (position == start)
            break;
    }
    std::memcpy(field, text.data(), fits);
}

void copyWholeWordsBlankPadded(unsigned char* field, std::size_t size, std::string_view text) {
    if (text.size() > size) {
        const std::size_t lastBlank = text.find_last_of(' ', size); // a blank right after the field counts
        const std::size_t wordEnd =
            lastBlank == std::string_view::npos ? lastBlank : text.find_last_not_of(' ', lastBlank);
        if (wordEnd != std::string_view::npos)
            text = text.substr(0, wordEnd + 1);
    }
    copyBlankPadded(field, size, text);
}

std::string_view trimBlankPadded(const unsigned char* field, std::size_t size) {
    while (size > 0 && (field[size - 1] == ' ' || field[size - 1] == '\0'))
        --size;
    return {reinterpret_cast<const char*>(field), size};
}

} // namespace quillard::module
