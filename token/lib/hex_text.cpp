#include "hex_text.h"

namespace quillard {

std::string upperHex(const uint8_t* bytes, std::size_t size) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(Digits[bytes[i] >> 4]);
        text.push_back(Digits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string colonHex(const uint8_t* bytes, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0)
            text.push_back(':');
        text += upperHex(bytes + i, 1);
    }
    return text;
}

} // namespace quillard
